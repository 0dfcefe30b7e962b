#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "activity/activity_index.h"
#include "base/status.h"
#include "codec/picture_scan.h"
#include "codec/video_decoder.h"
#include "recognition/recognition.h"
#include "source/stream_source.h"

namespace marlin::activity {

// A camera's first refresh picture in a range: its changes are measured
// against the previous refresh picture, which an earlier range read.
struct PendingRefresh {
  std::size_t second = 0;  // index into the part's seconds
  LumaMeans means;
};

// One camera's activity in one byte range of the recording.
struct ChannelPart {
  int columns = 0;
  int rows = 0;
  bool sawConditional = false;
  std::vector<SecondActivity> seconds;
  // Activity measured from refresh pictures' means, by the same index as
  // seconds until the camera shows a conditional picture; used only for
  // cameras without any.
  std::vector<PictureActivity> fromMeans;
  std::vector<std::uint64_t> refreshPositions;
  std::optional<PendingRefresh> firstRefresh;
  LumaMeans lastRefreshMeans;
};

struct RangePart {
  std::array<ChannelPart, kChannels> channels;
  std::uint64_t pictures = 0;
  std::uint64_t lastPictureStart = 0;
  Status failure;
};

// Reads byte ranges of one recording and notes what changed in their
// pictures. A worker keeps one and reads range after range with it: the
// recording stays open and the buffers are made once, which matters where
// fresh memory is dear.
class RangeScanner {
 public:
  RangeScanner(const std::string& path, const RecordingReading& reading);
  ~RangeScanner();
  RangeScanner(const RangeScanner&) = delete;
  RangeScanner& operator=(const RangeScanner&) = delete;

  // Reads the pictures whose start codes begin in [start, end) of the
  // recording. bytesDone grows as the range is read; stop ends the reading
  // early (the part is then incomplete). What is read does not depend on
  // the ranges read before.
  RangePart scan(std::uint64_t start, std::uint64_t end, std::atomic<std::uint64_t>& bytesDone,
                 const std::atomic<bool>& stop);

 private:
  StreamSource source_;
  Status opened_;
  CodecVariant variant_;
  std::unique_ptr<std::uint8_t[]> frame_;
  VideoDecoder parser_;
  std::unique_ptr<codec::PictureScan> pictureScan_;
};

}  // namespace marlin::activity
