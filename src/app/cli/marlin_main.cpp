// marlin: the headless tool for recordings and DVR disks.
#include <CLI/CLI.hpp>
#include <csignal>
#include <exception>
#include <iostream>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "base/log.h"

int main(int argc, char** argv) {
  // Past a file-size limit a write then fails with EFBIG, which the commands
  // report and cut back to whole blocks, instead of the signal killing the
  // tool with half a block written.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app{"Marlin Viewer command-line tool"};
  app.require_subcommand(1);
  app.fallthrough();
  // At once, so that what a command does while its options are read (the
  // recording recognised) is logged too.
  app.add_flag_callback(
         "--verbose", [] { marlin::setLogLevel(marlin::LogLevel::Debug); },
         "print diagnostics on standard error (as MARLIN_LOG=debug does)")
      ->trigger_on_parse();
  app.failure_message([](const CLI::App*, const CLI::Error& e) { return "marlin: " + std::string(e.what()) + "\n"; });
  marlin::cli::addInfoCommand(app);
  marlin::cli::addFramesCommand(app);
  marlin::cli::addCutCommand(app);
  marlin::cli::addExportCommand(app);
  marlin::cli::addDisksCommand(app);
  marlin::cli::addDecodeCommand(app);
  marlin::cli::addMakeSampleCommand(app);
  marlin::cli::addPlayCommand(app);
  marlin::cli::addLiveCommand(app);
  marlin::cli::addServeDvrCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  } catch (const marlin::cli::CommandError& error) {
    std::cerr << "marlin: " << error.what() << "\n";
    return error.exitCode();
  } catch (const std::exception& error) {
    std::cerr << "marlin: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
