#pragma once

#include <CLI/CLI.hpp>

namespace marlin::cli {

// Each adds one subcommand of the "marlin" tool; failures are thrown as
// CommandError from the subcommand's callback.
void addInfoCommand(CLI::App& app);
void addActivityCommand(CLI::App& app);
void addStillCommand(CLI::App& app);
void addFramesCommand(CLI::App& app);
void addCutCommand(CLI::App& app);
void addExportCommand(CLI::App& app);
void addVerifyCommand(CLI::App& app);
void addDisksCommand(CLI::App& app);
void addDecodeCommand(CLI::App& app);
void addMakeSampleCommand(CLI::App& app);
void addPlayCommand(CLI::App& app);
void addLiveCommand(CLI::App& app);
void addServeDvrCommand(CLI::App& app);

}  // namespace marlin::cli
