#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>

#include "app/cli/commands.h"
#include "app/cli/live_session.h"
#include "app/cli/play_session.h"

namespace marlin::cli {

namespace {

// A week, as for play.
constexpr double kLongestSeconds = 7 * 86400.0;

// The password from the first of --password, --password-file and
// MARLIN_PASSWORD that is given; empty when none is.
std::string passwordFrom(const std::string& given, bool wasGiven, const std::string& file) {
  if (wasGiven) {
    return given;
  }
  if (!file.empty()) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      throw CommandError("cannot read the password file " + file);
    }
    std::string password;
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') {
      password.pop_back();
    }
    return password;
  }
  const char* fromEnvironment = std::getenv("MARLIN_PASSWORD");
  return fromEnvironment != nullptr ? fromEnvironment : "";
}

}  // namespace

void addLiveCommand(CLI::App& app) {
  auto options = std::make_shared<LiveOptions>();
  auto password = std::make_shared<std::string>();
  auto passwordFile = std::make_shared<std::string>();
  auto mouseTexts = std::make_shared<std::vector<std::string>>();
  CLI::App* command = app.add_subcommand("live", "Show a DVR's live stream headless through the engine's Client mode");
  CLI::Option* host = command->add_option("--host", options->host, "the DVR's address or host name");
  command->add_option("--port", options->port, "the DVR's port (default 8841)")->check(CLI::Range(1, 65535));
  CLI::Option* passwordOption =
      command->add_option("--password", *password, "the login password (or MARLIN_PASSWORD, or --password-file)");
  command->add_option("--password-file", *passwordFile, "read the password from the first line of this file");
  CLI::Option* ddns =
      command->add_option("--ddns", options->ddns, "find the DVR through the dynamic-address service HOST:PORT");
  CLI::Option* name = command->add_option("--name", options->dvrName, "the DVR's name at the DDNS service");
  ddns->needs(name);
  name->needs(ddns);
  host->excludes(ddns);
  command->add_option("--seconds", options->seconds, "how long to stay connected, in seconds (default 10)");
  command->add_option("--timeout", options->timeoutSeconds, "seconds without data before reconnecting (default 7)");
  command->add_flag("--no-reconnect", options->noReconnect,
                    "end the session when the connection is lost instead of logging in again");
  command->add_option("--record", options->recordPath, "record the live stream into this .QKV file");
  command
      ->add_option("--key", options->keys,
                   "a remote key value to send, one per second after the login (its low 8 bits go out)")
      ->check(CLI::Range(0, 65535));
  command->add_option("--mouse", *mouseTexts, "a mouse event STATE,X,Y recorded after the login (repeatable)");
  command->add_option("--mouse-mode", options->mouseMode, "0 off, 1 DVR cursor hidden, 2 DVR cursor shown")
      ->check(CLI::Range(0, 2));
  command->add_option("--split", options->split, "cells on screen (the live picture is one)")
      ->check(CLI::IsMember({1, 4, 9, 16}));
  command->add_option("--size", options->size, "view WIDTHxHEIGHT (default 640x448)")
      ->check([](const std::string& text) {
        return parseSize(text) ? std::string() : std::string("expected WIDTHxHEIGHT, e.g. 640x448");
      });
  command->add_option("--snapshot-every", options->snapshotEvery, "save what is shown after every N pictures")
      ->check(CLI::Range(1, std::numeric_limits<int>::max()));
  command->add_option("--out", options->outDir, "folder for the snapshots");
  command->add_flag("--no-audio", options->noAudio, "play no sound");
  command->add_flag("--events", options->events, "print JSON lines: connection, notice, picture, audio, summary");
  CLI::Option* avi = addAviCaptureArgs(*command, options->avi);
  command
      ->add_flag("--low-speed", options->lowSpeed,
                 "for a slow link: the capture takes the last picture every 40 ms and writes it with the sound")
      ->needs(avi);
  command->callback([options, password, passwordFile, mouseTexts, passwordOption] {
    if (options->host.empty() && options->ddns.empty()) {
      throw CommandError("give the DVR's --host, or --ddns and --name", kUsageExit);
    }
    if (!(options->seconds > 0.0 && options->seconds <= kLongestSeconds)) {
      throw CommandError("--seconds must be above 0 and at most 604800 (a week)", kUsageExit);
    }
    if (!(options->timeoutSeconds >= 0.1 && options->timeoutSeconds <= 3600.0)) {
      throw CommandError("--timeout must be from 0.1 to 3600 seconds", kUsageExit);
    }
    if (options->snapshotEvery && options->outDir.empty()) {
      throw CommandError("--snapshot-every needs --out", kUsageExit);
    }
    if (!options->avi.path.empty()) options->avi.path = videoOutputName(options->avi.path);
    const Size view = *parseSize(options->size);
    for (const std::string& text : *mouseTexts) {
      std::optional<MouseFields> event = parseMouseEvent(text);
      if (!event) {
        throw CommandError("--mouse must be STATE,X,Y with STATE 0 to 4: " + text, kUsageExit);
      }
      if (event->x < 0 || event->y < 0 || event->x >= view.width || event->y >= view.height) {
        throw CommandError("--mouse " + text + " is outside the " + options->size + " view", kUsageExit);
      }
      event->viewWidth = view.width;
      event->viewHeight = view.height;
      options->mouse.push_back(*event);
    }
    options->password = passwordFrom(*password, passwordOption->count() != 0, *passwordFile);
    runLiveSession(*options);
  });
}

}  // namespace marlin::cli
