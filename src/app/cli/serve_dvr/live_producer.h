#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "app/cli/recording_args.h"
#include "app/cli/serve_dvr/split_composer.h"
#include "codec/encoder/video_encoder.h"
#include "codec/video_decoder.h"
#include "codec/yuv_picture.h"
#include "source/stream_source.h"

namespace marlin::cli::serve_dvr {

// One piece of a DVR's live stream, as it goes on the wire.
struct LiveItem {
  enum class Kind { Picture, Sound };
  Kind kind = Kind::Picture;
  std::vector<std::uint8_t> bytes;  // from its start code
  bool refresh = false;             // a picture that codes every macroblock
  // When it is due, counted from the start of the stream.
  std::chrono::microseconds due{0};
};

struct ProducerOptions {
  RecordingArgs recording;
  std::optional<int> camera;                // that camera alone instead of the split screen
  std::optional<double> picturesPerSecond;  // instead of the recording's own pace
  bool loop = false;
};

// Turns a recording into the live stream a DVR with those cameras would
// send: its pictures decoded and composed as the DVR's screen shows them,
// re-encoded as live pictures (one picture per recorded picture shown, a
// refresh picture every second, conditional pictures between, sequence
// numbers counting frame periods), and the sound of audio channel 0 as live
// sound packets, each stamped with its time in the recording.
class LiveProducer {
 public:
  // Opens the recording and reads up to its first picture shown; throws
  // CommandError when it does not open or has no such picture.
  explicit LiveProducer(const ProducerOptions& options);

  // The next piece in time order; nothing once the recording has been sent
  // (with loop, it starts over instead, times going on).
  std::optional<LiveItem> next();
  // The next picture codes every macroblock: a client that just logged in
  // has no picture to apply a conditional one to.
  void refreshNext();
  bool finished() const { return finished_; }
  // The cameras of the recording, one bit each.
  std::uint16_t cameraMask() const { return cameraMask_; }
  std::uint16_t lastSequence() const { return static_cast<std::uint16_t>(sequence_); }

 private:
  // Reads one frame and queues what it gives; false at the end.
  bool produceFromNextFrame();
  void takePicture(std::uint32_t length, std::chrono::microseconds recorded);
  bool placeDecoded(const YuvPicture& picture);
  void queuePicture(std::chrono::microseconds recorded);
  void queueSound(const std::uint8_t* samples, std::uint32_t length);
  // The time of a picture at the pace asked for instead of the recording's.
  std::chrono::microseconds paced(std::uint64_t pictureIndex) const;

  ProducerOptions options_;
  StreamSource source_;
  VideoDecoder decoder_;
  PictureStore store_;
  YuvPicture firstHalf_;
  YuvPicture secondHalf_;
  std::optional<SplitComposer> composer_;
  encoder::VideoEncoder encoder_;
  std::vector<std::uint8_t> frame_;
  std::deque<LiveItem> pending_;

  std::uint16_t cameraMask_ = 0;
  int recordedHeight_ = 224;
  std::chrono::microseconds recordedClock_{0};
  std::uint64_t picturesQueued_ = 0;
  std::chrono::microseconds lastRefresh_{0};
  bool refreshWanted_ = true;
  std::int64_t sequence_ = -1;
  bool finished_ = false;
};

}  // namespace marlin::cli::serve_dvr
