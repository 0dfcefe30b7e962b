#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "app/cli/range_bound.h"
#include "app/cli/recording_args.h"
#include "engine/still_picture.h"
#include "export/avi_formats.h"
#include "export/full_height_picture.h"
#include "export/png_file.h"
#include "render/bitmap_file.h"
#include "render/text_painter_choice.h"
#include "render/time_stamp.h"

namespace marlin::cli {

namespace {

struct Options {
  RecordingArgs recording;
  std::string at;
  int channel = 1;
  std::string output;
  bool stamp = false;
};

enum class ImageKind { Png, Bmp };

ImageKind imageKindOf(const std::string& path) {
  std::string extension = path.substr(std::min(path.size(), path.find_last_of('.')));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".png") {
    return ImageKind::Png;
  }
  if (extension == ".bmp") {
    return ImageKind::Bmp;
  }
  throw CommandError(path + ": name the picture .png or .bmp", kUsageExit);
}

// The camera's first picture at or after position, decoded cleanly.
StillField decodeClean(StreamSource& source, const Options& options, std::uint64_t position) {
  StillField field;
  if (const Status decoded =
          decodeStill(source, options.recording.variant, position, options.channel - 1, StillDepth::Exact, field);
      !decoded) {
    throw CommandError(decoded.message() + " (--at " + options.at + ")");
  }
  return field;
}

void runStill(const Options& options) {
  const ImageKind kind = imageKindOf(options.output);
  const std::uint64_t position = resolveRangeBound("--at", options.at, options.recording);
  // Open until the picture is written: a name that leads to the recording
  // itself is then refused instead of overwriting it.
  StreamSource source;
  openRecording(source, options.recording);
  const StillField field = decodeClean(source, options, position);
  // Each field doubled to the full picture, as exports show it.
  const int height = 2 * field.height;
  const std::size_t rowBytes = dibRowBytes(field.width, 24);
  std::vector<std::uint8_t> bottomUp(rowBytes * height);
  fieldToFullHeight(field.yuv.data(), field.width, field.height, bottomUp.data());
  if (options.stamp) {
    const std::unique_ptr<TextPainter> painter = makeTextPainter();
    TimeStampText text{};
    Canvas band;
    stampBottomUpBgr24(bottomUp.data(), field.width, height, rowBytes, timeStampText(field.time, text), *painter, band);
  }
  Status written;
  if (kind == ImageKind::Bmp) {
    written = writeBitmap24(options.output, bottomUp.data(), field.width, height);
  } else {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(field.width) * 3 * height);
    for (int row = 0; row < height; ++row) {
      const std::uint8_t* from = bottomUp.data() + (height - 1 - row) * rowBytes;
      std::uint8_t* to = rgb.data() + static_cast<std::size_t>(row) * field.width * 3;
      for (int x = 0; x < field.width; ++x) {
        to[3 * x] = from[3 * x + 2];
        to[3 * x + 1] = from[3 * x + 1];
        to[3 * x + 2] = from[3 * x];
      }
    }
    written = writePngRgb24(options.output, rgb.data(), field.width, height);
  }
  if (!written) {
    throw CommandError(written.message());
  }
  std::printf("camera %d, %s, %dx%d, picture at %llu: %s\n", options.channel, formatCalendarTime(field.time).c_str(),
              field.width, height, static_cast<unsigned long long>(field.position), options.output.c_str());
}

}  // namespace

void addStillCommand(CLI::App& app) {
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "still",
      "Save one camera's picture at a time or position as PNG or BMP, decoded cleanly from its refresh picture");
  addRecordingArgs(*command, options->recording);
  command->add_option("output", options->output, "the picture to write: OUT.png or OUT.bmp")->required();
  command->add_option("--at", options->at, "a byte position or a local time \"2010-01-01 12:00:05\"")->required();
  command->add_option("--channel", options->channel, "the camera, 1-16 (default 1)")->check(CLI::Range(1, 16));
  command->add_flag("--stamp", options->stamp, "stamp the picture's time into it, as exports do");
  command->callback([options] { runStill(*options); });
}

}  // namespace marlin::cli
