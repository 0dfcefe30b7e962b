#include "app/cli/command_choice.h"

#include <algorithm>

namespace marlin::cli {

std::optional<std::string> commandChoiceError(const CLI::App& app, const std::vector<std::string>& arguments) {
  if (!app.get_subcommands().empty()) {
    return std::nullopt;
  }
  std::vector<std::string> commands;
  std::string listed;
  for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
    commands.push_back(command->get_name());
    listed += (listed.empty() ? "" : ", ") + command->get_name();
  }
  // The tool's own options are all flags, so the first word that is no
  // option stands where the command belongs.
  const auto word = std::find_if(arguments.begin(), arguments.end(),
                                 [](const std::string& argument) { return argument.empty() || argument[0] != '-'; });
  if (word == arguments.end()) {
    return "no command given (commands: " + listed + ")";
  }
  // A command that is there was never reached: an earlier option failed.
  if (std::find(commands.begin(), commands.end(), *word) != commands.end()) {
    return std::nullopt;
  }
  return "unknown command '" + *word + "' (commands: " + listed + ")";
}

}  // namespace marlin::cli
