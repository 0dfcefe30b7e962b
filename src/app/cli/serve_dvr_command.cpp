#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/serve_dvr/dvr_simulator.h"

namespace marlin::cli {

namespace {

struct ServeDvrArgs {
  serve_dvr::SimulatorOptions simulator;
  std::optional<int> camera;
  std::optional<double> fps;
  std::optional<std::string> password;
  std::optional<int> loginWaitMs;
  std::vector<std::string> faults;
};

CLI::Validator faultSwitch() {
  return CLI::Validator(
      [](const std::string& text) {
        std::string error;
        return serve_dvr::parseFaultSwitch(text, error) ? std::string() : error;
      },
      "NAME[@SECONDS]");
}

serve_dvr::SimulatorOptions simulatorOptions(ServeDvrArgs& args) {
  serve_dvr::SimulatorOptions options = args.simulator;
  options.stream.camera = args.camera;
  options.stream.picturesPerSecond = args.fps;
  // From the environment, so that it need not show in the process list.
  const char* fromEnvironment = std::getenv("MARLIN_PASSWORD");
  options.password = args.password.value_or(fromEnvironment != nullptr ? fromEnvironment : "");
  if (args.loginWaitMs) {
    options.loginWait = std::chrono::milliseconds(*args.loginWaitMs);
  }
  for (const std::string& text : args.faults) {
    std::string error;
    options.faults.push_back(*serve_dvr::parseFaultSwitch(text, error));
  }
  return options;
}

}  // namespace

void addServeDvrCommand(CLI::App& app) {
  auto args = std::make_shared<ServeDvrArgs>();
  serve_dvr::SimulatorOptions& options = args->simulator;
  CLI::App* command = app.add_subcommand("serve-dvr", "Serve a recording on 127.0.0.1 as a DVR's live stream");
  addRecordingArgs(*command, options.stream.recording);
  command->add_option("--port", options.port, "port to listen on, 127.0.0.1 only (default 8841; 0: any free port)");
  command->add_option("--password", args->password, "the DVR's password (default: $MARLIN_PASSWORD, else empty)");
  command->add_option("--channel", args->camera, "send this camera alone at full size, not the split screen")
      ->check(CLI::Range(0, 15));
  command->add_option("--fps", args->fps, "pictures per second instead of the recording's pace")
      ->check(CLI::Range(0.1, 1000.0));
  command->add_flag("--loop", options.stream.loop, "start the recording over instead of ending after it");
  CLI::Option* ddnsPort = command->add_option("--ddns-port", options.ddnsPort,
                                              "also answer address lookups for --name on this port (0: any free port)");
  CLI::Option* name = command->add_option("--name", options.dvrName, "the DVR's name in lookups, up to 8 bytes");
  ddnsPort->needs(name);
  name->needs(ddnsPort);
  command->add_option("--refuse", options.refuseReason,
                      "refuse every login with this reason (1 too many clients, 2 wrong password, 3 bad network)");
  command->add_option("--login-wait", args->loginWaitMs, "answer each login with 'wait' first, the answer MS later")
      ->check(CLI::Range(0, 600000));
  command
      ->add_option("--fault", args->faults,
                   "NAME[@SECONDS after the login; default 1], repeatable: drop, stall, garbage, split, "
                   "oversize-message, huge-frame, message-in-frame, close-after-login, ddns-bad-magic, ddns-silent")
      ->check(faultSwitch());
  command->add_option("--save-sent", options.saveSent, "append every byte of the live streams sent to this file");
  command->callback([args] { serve_dvr::runDvrSimulator(simulatorOptions(*args)); });
}

}  // namespace marlin::cli
