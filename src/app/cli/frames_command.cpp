#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/frame_lines.h"
#include "app/cli/progress_line.h"
#include "app/cli/recording_args.h"
#include "platform/file_io.h"

namespace marlin::cli {

namespace {

struct FramesOptions {
  RecordingArgs recording;
  bool backward = false;
  std::optional<std::uint64_t> from;
  std::optional<std::uint64_t> mark;
  std::string dumpDir;
};

void dumpFrame(const std::string& dir, std::uint64_t index, const FrameHeader& header, const std::uint8_t* bytes) {
  char name[64];
  std::snprintf(name, sizeof name, "%06llu-%s-ch%u.bin", static_cast<unsigned long long>(index),
                header.isAudio ? "audio" : "video", header.channel);
  const std::string path = (std::filesystem::path(dir) / name).string();
  if (const Status written = writeWholeFile(path, {{bytes, header.length}}); !written) {
    throw CommandError(written.message());
  }
}

std::optional<CalendarTime> blockTimeOf(const StreamSource& source) {
  CalendarTime time;
  return source.getBlockTime(time) ? std::optional<CalendarTime>(time) : std::nullopt;
}

void listFrames(const FramesOptions& options) {
  StreamSource source;
  openRecording(source, options.recording);
  const std::uint64_t size = source.getSize();
  if (options.from) {
    if (*options.from >= size) {
      throw CommandError("--from " + std::to_string(*options.from) + " lies past the end of the recording (" +
                         std::to_string(size) + " bytes)");
    }
    source.setPosition(*options.from);
  } else if (options.backward) {
    source.setPositionToEnd();
  }
  if (options.mark && !source.setMark(*options.mark)) {
    throw CommandError("--mark " + std::to_string(*options.mark) + " lies past the end of the recording (" +
                       std::to_string(size) + " bytes)");
  }
  if (!options.dumpDir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.dumpDir, error);
    if (error) {
      throw CommandError("cannot create " + options.dumpDir + ": " + error.message());
    }
  }

  // Without a dump only the frames' headers are listed, so their bytes are
  // stepped over rather than copied.
  std::vector<std::uint8_t> frame(options.dumpDir.empty() ? 0 : container::kFrameBufferSize);
  std::uint8_t* const destination = options.dumpDir.empty() ? nullptr : frame.data();
  ProgressLine progress("reading");
  FrameLines lines(stdout);
  std::uint64_t index = 0;
  const auto deliver = [&](std::uint32_t length) {
    if (length == 0) {
      return false;
    }
    lines.add(index, source.header(), source.getPosition(), blockTimeOf(source));
    if (!options.dumpDir.empty()) {
      dumpFrame(options.dumpDir, index, source.header(), destination);
    }
    ++index;
    const std::uint64_t position = source.getPosition();
    progress.update(options.backward ? size - std::min(position, size) : position, size);
    return true;
  };
  const bool markReadBegan = [&] {
    if (!options.mark) {
      return true;
    }
    // A mark read that cannot begin (a mark on the last byte) leaves the
    // position untouched, and reading on from there would start before the mark.
    const std::uint64_t before = source.getPosition();
    return deliver(source.readFromMark(destination)) || source.getPosition() != before;
  }();
  while (markReadBegan && deliver(readOnward(source, destination, options.backward))) {
  }
  progress.finish();
  lines.flush();
  std::fflush(stdout);
}

}  // namespace

void addFramesCommand(CLI::App& app) {
  auto options = std::make_shared<FramesOptions>();
  CLI::App* command = app.add_subcommand("frames", "List (and dump) the frames a recording delivers");
  addRecordingArgs(*command, options->recording);
  command->add_flag("--backward", options->backward, "read backward, from the end unless --from is given");
  CLI::Option* from =
      command->add_option("--from", options->from, "byte position to start reading from")->check(notNegative());
  command->add_option("--mark", options->mark, "set the mark here and start with a read from the mark")
      ->excludes(from)
      ->check(notNegative());
  command->add_option("--dump", options->dumpDir, "write each frame's bytes to DIR/NNNNNN-KIND-chC.bin");
  command->callback([options] { listFrames(*options); });
}

}  // namespace marlin::cli
