#pragma once

#include <atomic>

#include "export/avi_recorder.h"
#include "platform/manual_reset_event.h"
#include "platform/message_sink.h"

namespace marlin {

// How a capture in Client mode takes the live pictures: every picture
// written as it comes, or (for slow links) the frame refreshed from the last
// picture whenever the UI asks, and written with each sound packet.
inline constexpr int kCaptureEveryPicture = 7;
inline constexpr int kCaptureOnRefresh = 6;

// The AVI capture the engine runs and its worker loops feed. The UI thread
// opens and closes the recorder and sets the mode and the refresh; the
// worker writes while recording is set.
struct AviCapture {
  explicit AviCapture(MessageSink& messages)
      : recorder(fixedCompression(Compression::uncompressedDefault()), &messages) {}

  AviRecorder recorder;
  std::atomic<int> recording{0};
  std::atomic<int> mode{kCaptureEveryPicture};
  ManualResetEvent refresh;
};

}  // namespace marlin
