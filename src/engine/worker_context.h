#pragma once

#include <atomic>

#include "engine/avi_capture.h"
#include "engine/command_mailbox.h"
#include "engine/engine_types.h"
#include "engine/frame_pipeline.h"
#include "engine/playback_clock.h"
#include "engine/playback_observer.h"
#include "engine/playback_status.h"
#include "platform/manual_reset_event.h"
#include "source/stream_source.h"

namespace marlin {

// All that a worker body gets from the engine it runs in, for one run. The
// loop ends once running is cleared or stopEvent is signalled; everything
// referred to outlives the run.
struct WorkerContext {
  const std::atomic<int>& running;
  const ManualResetEvent& stopEvent;
  PlaybackClock& clock;
  CommandMailbox& mailbox;
  PlaybackStatus& status;
  FramePipeline& pipeline;
  PlaybackObserver* observer;
  StreamSource& source;
  const DvrConfig& config;
  AviCapture& avi;
};

}  // namespace marlin
