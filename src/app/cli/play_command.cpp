#include <cmath>
#include <limits>
#include <memory>

#include "app/cli/commands.h"
#include "app/cli/play_session.h"

namespace marlin::cli {

namespace {

// The engine's slowest speed; the fastest skips 1.3 GB at a time, past any
// disk in a few steps and far from overflowing a position.
constexpr double kSlowestSpeed = 0.1;
constexpr double kFastestSpeed = 65536.0;
// A week: longer than anyone watches, short enough for the sleep's clock.
constexpr double kLongestSeconds = 7 * 86400.0;

void checkSpeed(double speed) {
  if (!std::isfinite(speed) || speed < kSlowestSpeed || speed > kFastestSpeed) {
    throw CommandError("--speed must be from 0.1 to 65536", kUsageExit);
  }
  if (speed <= 8.0) {
    return;
  }
  const double doublings = std::log2(speed / 8.0);
  if (doublings != std::floor(doublings)) {
    throw CommandError("--speed above 8 must be 16, 32, 64, ... (fast play doubles the speed)", kUsageExit);
  }
}

void checkSeconds(double seconds) {
  if (!(seconds > 0.0 && seconds <= kLongestSeconds)) {
    throw CommandError("--seconds must be above 0 and at most 604800 (a week)", kUsageExit);
  }
}

}  // namespace

void addPlayCommand(CLI::App& app) {
  auto options = std::make_shared<PlayOptions>();
  CLI::App* command = app.add_subcommand("play", "Play a recording headless through the player engine");
  addRecordingArgs(*command, options->recording);
  command->add_option("--speed", options->speed, "speed: up to 8, or 16, 32, ... reached by fast play presses");
  command->add_flag("--reverse", options->reverse, "play backward (from the end of the recording unless --start says)");
  command->add_option("--start", options->start,
                      "start at a byte position or a local time \"2010-01-01 12:00:42\", as a jump there would");
  command->add_option("--split", options->split, "cells on screen")->check(CLI::IsMember({1, 4, 9, 16}));
  command->add_option("--page", options->page, "page of the split layout")->check(CLI::Range(0, 15));
  command->add_option("--seconds", options->seconds, "how long to play, in seconds");
  command->add_option("--snapshot-every", options->snapshotEvery, "save what is shown after every N pictures")
      ->check(CLI::Range(1, std::numeric_limits<int>::max()));
  command->add_option("--out", options->outDir, "folder for the snapshots");
  command->add_option("--size", options->size, "drawing area WIDTHxHEIGHT")->check([](const std::string& text) {
    return parseSize(text) ? std::string() : std::string("expected WIDTHxHEIGHT, e.g. 1280x896");
  });
  command->add_flag("--no-audio", options->noAudio, "keep the sound path's timing but play nothing");
  command->add_flag("--events", options->events, "print one JSON line per shown picture and state change");
  addAviCaptureArgs(*command, options->avi);
  command->callback([options] {
    checkSpeed(options->speed);
    checkSeconds(options->seconds);
    if (options->snapshotEvery && options->outDir.empty()) {
      throw CommandError("--snapshot-every needs --out", kUsageExit);
    }
    if (!options->avi.path.empty() && (options->reverse || options->speed != 1.0)) {
      throw CommandError("--avi captures forward at normal speed: it takes no --reverse or --speed", kUsageExit);
    }
    if (!options->avi.path.empty()) options->avi.path = videoOutputName(options->avi.path);
    runPlaySession(*options);
  });
}

}  // namespace marlin::cli
