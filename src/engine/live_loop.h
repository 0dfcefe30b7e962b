#pragma once

#include <cstdint>
#include <vector>

#include "engine/live_observer.h"
#include "engine/worker_context.h"
#include "net/dvr_client.h"
#include "platform/frame_queue.h"
#include "render/video_renderer.h"
#include "source/recording_writer.h"

namespace marlin {

// What the live loop takes frames from and hands them on to, beside the
// worker context.
struct LiveLinks {
  FrameQueue& video;
  FrameQueue& audio;
  RecordingWriter& recorder;
  LiveObserver* observer;
  // Holds the AVI capture's frame.
  VideoRenderer& renderer;
  // Tells of pictures that never reached the queue: dropped while it was
  // full, or lost with a connection.
  const net::DvrClient& client;
};

// The worker body in Client mode: takes the network client's video and audio
// frames as they arrive and shows and plays them at once, without pacing,
// writing each one that was shown or played to the local recording while one
// is open. The pictures carry the time their frame's header gives. While an
// AVI capture runs, each sound packet goes into it followed by the frame,
// which takes every picture as it comes or the last one when the UI asks.
class LiveLoop {
 public:
  LiveLoop(const WorkerContext& context, const LiveLinks& links);
  int run();

 private:
  void handleVideo();
  void handleAudio();
  void refreshCapture();
  bool capturing(int mode) const;
  // Line-doubles the last picture into the capture's frame, and writes the
  // frame when write is set.
  void captureLastPicture(bool write);
  void writeCaptureFrame();

  const WorkerContext& context_;
  LiveLinks links_;
  std::vector<std::uint8_t> videoData_;
  std::vector<std::uint8_t> audioData_;
  FrameRecord video_;
  FrameRecord audio_;
  // The client's count of lost pictures when the last picture was taken.
  std::uint64_t lostPictures_ = 0;
};

}  // namespace marlin
