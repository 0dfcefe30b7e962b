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
#include "codec/video_decoder.h"
#include "engine/picture_tag.h"
#include "engine/refresh_window.h"
#include "export/avi_formats.h"
#include "export/full_height_picture.h"
#include "export/png_file.h"
#include "render/bitmap_file.h"
#include "render/text_painter_choice.h"
#include "render/time_stamp.h"

namespace marlin::cli {

namespace {

constexpr std::uint64_t kNoTarget = ~0ull;

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

// The camera's decoded field: the whole picture, or its half of a dual one.
struct Field {
  std::vector<std::uint8_t> yuv;
  int width = 0;
  int height = 0;
  CalendarTime time;
  std::uint64_t position = 0;
};

Field cameraHalf(const std::uint8_t* picture, const codec::PictureHeader& header, int camera) {
  Field field;
  const bool dual = header.dual;
  field.width = dual ? header.width / 2 : header.width;
  field.height = header.height;
  const int offset = dual && camera == header.secondChannel ? field.width : 0;
  field.yuv.resize(static_cast<std::size_t>(field.width) * field.height * 3 / 2);
  const std::uint8_t* planes[3] = {picture, picture + header.width * header.height,
                                   picture + header.width * header.height * 5 / 4};
  std::uint8_t* out = field.yuv.data();
  for (int plane = 0; plane < 3; ++plane) {
    const int scale = plane == 0 ? 1 : 2;
    for (int row = 0; row < field.height / scale; ++row) {
      std::copy_n(planes[plane] + row * (header.width / scale) + offset / scale, field.width / scale, out);
      out += field.width / scale;
    }
  }
  return field;
}

// Decodes the camera's first picture beginning at or after position, from
// its last refresh picture on, so that nothing of another moment shows.
Field decodeClean(const Options& options, std::uint64_t position) {
  StreamSource source;
  openRecording(source, options.recording);
  VideoDecoder decoder;
  decoder.Init(options.recording.variant);
  const auto frame = std::make_unique<std::array<std::uint8_t, container::kFrameBufferSize>>();
  const int camera = options.channel - 1;
  ChannelSet wanted;
  wanted.set(static_cast<std::size_t>(camera));
  std::uint64_t target = kNoTarget;
  returnTo(source, nextFrameStart(source, position));
  while (const std::uint32_t length = readOnward(source, frame->data(), false)) {
    if (!source.header().isAudio && decoder.ParseHeader(frame->data(), length) != 0 &&
        (PictureTag::of(decoder.header(), {}, 0).channels() & wanted).any()) {
      target = source.header().start;
      break;
    }
  }
  if (target == kNoTarget) {
    throw CommandError("camera " + std::to_string(options.channel) + " has no picture at or after --at " + options.at);
  }
  const RefreshStart start = findRefreshStart(source, decoder, frame->data(), wanted, target);
  if (!start.found.test(static_cast<std::size_t>(camera))) {
    throw CommandError("camera " + std::to_string(options.channel) +
                       " has no refresh picture within 5 s or 4 MiB before that picture: it cannot be shown without "
                       "parts of another moment");
  }
  std::vector<std::uint8_t> picture(VideoDecoder::kMaxPictureBytes);
  bool started = false;
  bool clean = true;
  Field field;
  visitPicturesForward(source, decoder, frame->data(), wanted, start.position, target + 1,
                       [&](const std::uint8_t* bytes, std::uint32_t length) {
                         started = started || decoder.header().allCoded;
                         if (!started) {
                           return;
                         }
                         clean = decoder.Decode(bytes, length, picture.data()) == 1 && clean;
                         if (source.header().start == target) {
                           field = cameraHalf(picture.data(), decoder.header(), camera);
                           field.time = source.header().blockTime;
                           field.position = target;
                         }
                       });
  if (!clean || field.yuv.empty()) {
    throw CommandError("camera " + std::to_string(options.channel) + "'s picture at " + std::to_string(target) +
                       " or one it builds on is damaged");
  }
  return field;
}

void runStill(const Options& options) {
  const ImageKind kind = imageKindOf(options.output);
  const std::uint64_t position = resolveRangeBound("--at", options.at, options.recording);
  const Field field = decodeClean(options, position);
  // Each field doubled to the full picture, as exports show it.
  const int height = 2 * field.height;
  const std::size_t rowBytes = dibRowBytes(field.width, 24);
  std::vector<std::uint8_t> bottomUp(rowBytes * height);
  fieldToFullHeight(field.yuv.data(), field.width, field.height, bottomUp.data());
  if (options.stamp) {
    const std::unique_ptr<TextPainter> painter = makeTextPainter();
    std::array<char, 48> text{};
    const CalendarTime& t = field.time;
    const int length = std::snprintf(text.data(), text.size(), "%02d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day,
                                     t.hour, t.minute, t.second);
    stampBottomUpBgr24(bottomUp.data(), field.width, height, rowBytes,
                       std::string_view(text.data(), static_cast<std::size_t>(length)), *painter);
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
