// marlin: the headless tool for recordings and DVR disks.
#include <CLI/CLI.hpp>
#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/cli_support.h"
#include "app/cli/command_choice.h"
#include "app/cli/commands.h"
#include "base/log.h"

namespace {

// The same list is in the manual page and README.md.
constexpr const char* kExitStatusHelp =
    "Exit status:\n"
    "  0    success\n"
    "  1    failure: a recording, file, disk or DVR that cannot be read, written or reached;\n"
    "       an evidence folder that is not intact\n"
    "  2    usage error: an unknown command or option, a bad value, options that do not go\n"
    "       together; also a login the DVR refused (live)\n"
    "  130  stopped by Ctrl-C or SIGTERM, with what was written finished\n";

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write then fails with EFBIG, which the commands
  // report and cut back to whole blocks, instead of the signal killing the
  // tool with half a block written.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app{"Marlin Viewer command-line tool"};
  app.require_subcommand(1);
  app.fallthrough();
  app.set_version_flag("--version", "marlin " MARLIN_VERSION, "print the version and quit");
  app.footer(kExitStatusHelp);
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
  marlin::cli::addVerifyCommand(app);
  marlin::cli::addActivityCommand(app);
  marlin::cli::addStillCommand(app);
  marlin::cli::addDisksCommand(app);
  marlin::cli::addDecodeCommand(app);
  marlin::cli::addMakeSampleCommand(app);
  marlin::cli::addPlayCommand(app);
  marlin::cli::addLiveCommand(app);
  marlin::cli::addServeDvrCommand(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help and version are answers, not errors.
    if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      return app.exit(error);
    }
    if (const auto choice = marlin::cli::commandChoiceError(app, std::vector<std::string>(argv + 1, argv + argc))) {
      std::cerr << "marlin: " << *choice << "\n";
    } else {
      app.exit(error);
    }
    return marlin::cli::kUsageExit;
  } catch (const marlin::cli::CommandError& error) {
    std::cerr << "marlin: " << error.what() << "\n";
    return error.exitCode();
  } catch (const std::exception& error) {
    std::cerr << "marlin: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
