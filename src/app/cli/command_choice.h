#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace marlin::cli {

// Why a command line that failed to parse chose no command: "unknown command
// 'x'" or "no command given", with the commands there are. Nothing when a
// command was chosen, whose own options are then at fault.
std::optional<std::string> commandChoiceError(const CLI::App& app, const std::vector<std::string>& arguments);

}  // namespace marlin::cli
