#include "activity/range_scanner.h"

#include <algorithm>
#include <memory>

#include "codec/picture_header.h"
#include "source/frame_range_reader.h"

namespace marlin::activity {

namespace {

// The part of a picture one camera owns: all of it, or one half of a dual
// picture.
struct CameraWindow {
  int channel = 0;
  int firstColumn = 0;
  int columns = 0;
};

// The cameras a picture shows, with their part of its macroblock columns
// (columns of the whole picture; 0 when its slices were not read).
int cameraWindows(const codec::PictureHeader& header, int columns, std::array<CameraWindow, 2>& windows) {
  if (!header.dual) {
    windows[0] = {header.channel, 0, columns};
    return 1;
  }
  int count = 0;
  if (!header.firstHidden) {
    windows[count++] = {header.firstChannel, 0, columns / 2};
  }
  if (!header.secondHidden) {
    windows[count++] = {header.secondChannel, columns / 2, columns / 2};
  }
  return count;
}

// The record of the second at `time` for a picture at position: the last
// one when the picture belongs to it, else a new one.
std::size_t secondFor(ChannelPart& part, std::uint32_t time, std::uint64_t position) {
  if (part.seconds.empty() || part.seconds.back().time != time) {
    SecondActivity second;
    second.time = time;
    second.firstPosition = position;
    part.seconds.push_back(second);
    // Changes from refresh means are kept only while the camera has shown
    // no conditional picture; after one, its changes come from those.
    if (!part.sawConditional) {
      part.fromMeans.resize(part.seconds.size());
    }
  }
  SecondActivity& second = part.seconds.back();
  second.pictures = static_cast<std::uint16_t>(std::min<int>(second.pictures + 1, 0xFFFF));
  return part.seconds.size() - 1;
}

constexpr std::uint64_t kProgressStep = 1 << 20;

// The second of a block time, converted once per block time: a block's
// frames share its time, and the conversion checks the calendar.
class BlockSecond {
 public:
  std::uint32_t of(const CalendarTime& time) {
    if (!known_ || time != time_) {
      time_ = time;
      second_ = timestampFromCalendar(time, 0).value_or(0);
      known_ = true;
    }
    return second_;
  }

 private:
  CalendarTime time_;
  std::uint32_t second_ = 0;
  bool known_ = false;
};

class RangeReading {
 public:
  RangeReading(RangePart& part, CodecVariant variant, VideoDecoder& parser, codec::PictureScan& scan)
      : part_(part), layout_(codec::headerLayoutOf(variant)), parser_(parser), scan_(scan) {}

  // A picture counts when its header's fields read; its slices are looked
  // for only when its macroblocks are to be scanned, which a refresh
  // picture of cameras with conditional pictures never is: most of a
  // recording's bytes are passed over once, by reading.
  void picture(const std::uint8_t* frame, std::uint32_t length, std::uint64_t position, std::uint32_t time) {
    codec::PictureHeader fields;
    if (!codec::parsePictureFields(frame, length, layout_, fields)) {
      return;
    }
    ++part_.pictures;
    part_.lastPictureStart = position;
    std::array<CameraWindow, 2> windows;
    int count = cameraWindows(fields, 0, windows);
    bool noted = fields.allCoded;
    for (int w = 0; w < count; ++w) {
      noted = noted && cameraOf(windows[w]).sawConditional;
    }
    const bool parsed = !noted && parser_.ParseHeader(frame, length) != 0;
    if (!parsed) {
      for (int w = 0; w < count; ++w) {
        ChannelPart& camera = cameraOf(windows[w]);
        secondFor(camera, time, position);
        if (fields.allCoded) {
          camera.refreshPositions.push_back(position);
        }
      }
      return;
    }
    const codec::PictureHeader& header = parser_.header();
    count = cameraWindows(header, header.width / 16, windows);
    bool scanned = false;
    const auto scanOnce = [&] {
      if (!scanned) {
        scanned = true;
        scanOk_ = codec::scanPicture(frame, length, header, scan_);
      }
      return scanOk_;
    };
    for (int w = 0; w < count; ++w) {
      const CameraWindow& window = windows[w];
      ChannelPart& camera = cameraOf(window);
      camera.columns = window.columns;
      camera.rows = header.height / 16;
      const std::size_t second = secondFor(camera, time, position);
      if (!header.allCoded) {
        camera.sawConditional = true;
        if (scanOnce()) {
          include(camera.seconds[second], summarise(codedMacroblocks(scan_, window.firstColumn, window.columns)));
        }
        continue;
      }
      camera.refreshPositions.push_back(position);
      // Only a camera made of refresh pictures alone needs their means.
      if (camera.sawConditional || !scanOnce()) {
        continue;
      }
      LumaMeans means = lumaMeans(scan_, window.firstColumn, window.columns);
      if (camera.refreshPositions.size() == 1) {
        camera.firstRefresh = PendingRefresh{second, means};
      } else {
        include(camera.fromMeans[second],
                summarise(movedMeans(means, camera.lastRefreshMeans, camera.columns, camera.rows)));
      }
      camera.lastRefreshMeans = std::move(means);
    }
  }

 private:
  ChannelPart& cameraOf(const CameraWindow& window) {
    return part_.channels[static_cast<std::size_t>(window.channel) % kChannels];
  }

  RangePart& part_;
  codec::HeaderLayout layout_;
  VideoDecoder& parser_;
  codec::PictureScan& scan_;
  bool scanOk_ = false;
};

}  // namespace

RangeScanner::RangeScanner(const std::string& path, const RecordingReading& reading)
    : variant_(reading.variant),
      frame_(std::make_unique_for_overwrite<std::uint8_t[]>(container::kFrameBufferSize)),
      pictureScan_(std::make_unique<codec::PictureScan>()) {
  source_.setCodecVariant(reading.variant);
  opened_ = source_.open(path, reading.isDisk());
  parser_.Init(reading.variant);
}

RangeScanner::~RangeScanner() = default;

RangePart RangeScanner::scan(std::uint64_t start, std::uint64_t end, std::atomic<std::uint64_t>& bytesDone,
                             const std::atomic<bool>& stop) {
  RangePart part;
  if (!opened_) {
    part.failure = opened_;
    return part;
  }
  RangeReading pictures(part, variant_, parser_, *pictureScan_);
  FrameRangeReader reader(source_, start, 0);
  std::uint64_t counted = start;
  BlockSecond seconds;
  while (!stop.load(std::memory_order_relaxed)) {
    const std::uint32_t length = reader.next(frame_.get());
    const FrameHeader& header = source_.header();
    // The frame that begins past the range is the next range's, however far
    // it reaches into this one's reading.
    if (length == 0 || header.start >= end) {
      break;
    }
    const std::uint64_t reached = std::min(source_.getPosition(), end);
    // Told a megabyte at a time: the count is shared by every worker, and
    // a change per frame would pass its cache line from core to core.
    if (reached >= counted + kProgressStep) {
      bytesDone.fetch_add(reached - counted, std::memory_order_relaxed);
      counted = reached;
    }
    if (header.isAudio || header.start < start) {
      continue;
    }
    pictures.picture(frame_.get(), length, header.start, seconds.of(header.blockTime));
  }
  if (end > counted && !stop.load(std::memory_order_relaxed)) {
    bytesDone.fetch_add(end - counted, std::memory_order_relaxed);
  }
  return part;
}

}  // namespace marlin::activity
