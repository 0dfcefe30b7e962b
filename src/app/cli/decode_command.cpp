#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/progress_line.h"
#include "app/cli/recording_args.h"
#include "codec/colour_convert.h"
#include "codec/yuv_picture.h"
#include "platform/cpu_features.h"
#include "platform/file_io.h"
#include "render/bitmap_file.h"

namespace marlin::cli {

namespace {

struct DecodeOptions {
  RecordingArgs recording;
  std::optional<int> channel;
  std::optional<std::uint64_t> limit;
  std::string outDir;
  std::string format = "yuv";
};

struct ChannelCounts {
  std::uint64_t decoded = 0;
  std::uint64_t failed = 0;
};

void writePicture(const DecodeOptions& options, std::uint64_t index, int channel, const YuvPicture& picture) {
  char name[48];
  std::snprintf(name, sizeof name, "%06llu-ch%d.%s", static_cast<unsigned long long>(index), channel,
                options.format.c_str());
  const std::string path = (std::filesystem::path(options.outDir) / name).string();
  Status written;
  if (options.format == "bmp") {
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(picture.width) * picture.height * 3);
    ToDib24(rows.data(), picture.data.data(), picture.width, picture.height);
    written = writeBitmap24(path, rows.data(), picture.width, picture.height);
  } else {
    written = writeWholeFile(path, {picture.data});
  }
  if (!written) {
    throw CommandError(written.message());
  }
}

void decodeRecording(const DecodeOptions& options) {
  StreamSource source;
  openRecording(source, options.recording);
  std::error_code error;
  std::filesystem::create_directories(options.outDir, error);
  if (error) {
    throw CommandError("cannot create " + options.outDir + ": " + error.message());
  }

  VideoDecoder decoder;
  decoder.Init(options.recording.variant);
  PictureStore store;
  std::vector<std::uint8_t> frame(container::kFrameBufferSize);
  std::array<ChannelCounts, 16> counts{};
  ProgressLine progress("decoding");
  std::uint64_t videoIndex = 0;
  std::uint64_t considered = 0;
  while (!options.limit || considered < *options.limit) {
    const std::uint32_t length = readOnward(source, frame.data(), false);
    if (length == 0) {
      break;
    }
    if (source.header().isAudio) {
      continue;
    }
    const std::uint64_t index = videoIndex++;
    const bool parsed = decoder.ParseHeader(frame.data(), length) != 0;
    const int channel = parsed ? decoder.GetChannel() : static_cast<int>(source.header().channel);
    if (options.channel && channel != *options.channel) {
      continue;
    }
    ++considered;
    const YuvPicture* picture = parsed ? store.decode(decoder, frame.data(), length) : nullptr;
    if (picture == nullptr) {
      ++counts[static_cast<std::size_t>(channel)].failed;
    } else {
      ++counts[static_cast<std::size_t>(channel)].decoded;
      writePicture(options, index, channel, *picture);
    }
    progress.update(source.getPosition(), source.getSize());
  }
  progress.finish();
  std::cout << "transform: " << decoder.transformName() << "\n";
  for (std::size_t channel = 0; channel < counts.size(); ++channel) {
    if (counts[channel].decoded + counts[channel].failed != 0) {
      std::cout << "ch" << channel << ": " << counts[channel].decoded << " decoded, " << counts[channel].failed
                << " failed\n";
    }
  }
}

}  // namespace

void addDecodeCommand(CLI::App& app) {
  auto options = std::make_shared<DecodeOptions>();
  CLI::App* command = app.add_subcommand("decode", "Decode every video frame into picture files");
  addRecordingArgs(*command, options->recording);
  command->add_option("--channel", options->channel, "only this channel")->check(CLI::Range(0, 15));
  command->add_option("--limit", options->limit, "stop after this many pictures")->check(notNegative());
  // Taken as it is read: recognising the recording decodes pictures, and the
  // mask must be set before the first picture picks its kernels.
  command->add_option("--simd", "auto: fastest instructions; off: portable code only")
      ->check(CLI::IsMember({"auto", "off"}))
      ->each([](const std::string& simd) {
        if (simd == "off") {
          setCpuFlagsMask(0);
        }
      });
  command->add_option("--out", options->outDir, "folder for NNNNNN-chC.yuv or .bmp files")->required();
  command->add_option("--format", options->format, "yuv: planar 4:2:0 as decoded; bmp: 24-bit bitmap")
      ->check(CLI::IsMember({"yuv", "bmp"}));
  command->callback([options] { decodeRecording(*options); });
}

}  // namespace marlin::cli
