#include "engine/live_loop.h"

#include <chrono>

#include "base/calendar.h"
#include "platform/manual_reset_event.h"

namespace marlin {

namespace {

constexpr std::uint32_t kVideoRecordBytes = 0x20000;
constexpr std::uint32_t kAudioRecordBytes = 8192;
constexpr int kVideoKind = 1;
constexpr int kAudioKind = 4;

// How often sound that is still playing is looked after while no frame
// comes: often enough to pause the device before it reaches the end of what
// was written and plays the ring's old contents again.
constexpr std::chrono::milliseconds kSoundServiceInterval{20};

}  // namespace

LiveLoop::LiveLoop(const WorkerContext& context, const LiveLinks& links)
    : context_(context), links_(links), videoData_(kVideoRecordBytes), audioData_(kAudioRecordBytes) {
  const std::uint32_t now = context_.clock.now();
  video_ = FrameRecord{.data = videoData_.data(), .kind = kVideoKind, .capacity = kVideoRecordBytes, .tick = now};
  audio_ = FrameRecord{.data = audioData_.data(), .kind = kAudioKind, .capacity = kAudioRecordBytes, .tick = now};
}

int LiveLoop::run() {
  FramePipeline& pipeline = context_.pipeline;
  pipeline.startSound();
  while (context_.running) {
    // Without sound playing nothing needs the loop until a frame or the
    // stop comes; with sound playing, its device is looked after between
    // frames. The AVI capture's 40 ms event will be the fourth thing waited
    // for, once captures exist.
    const auto limit = pipeline.soundPlaying() ? kSoundServiceInterval : std::chrono::milliseconds(-1);
    const int signalled =
        waitAny({&context_.stopEvent, &links_.video.dataEvent(), &links_.audio.dataEvent()}, limit);
    if (signalled == 0) {
      break;
    }
    if (signalled == 1) {
      handleVideo();
    } else if (signalled == 2) {
      handleAudio();
    } else {
      pipeline.serviceSound();
    }
  }
  if (links_.recorder.isOpen()) {
    links_.recorder.close();
  }
  return 1;
}

void LiveLoop::handleVideo() {
  if (links_.video.pop(video_) == 0) {
    return;
  }
  FramePipeline& pipeline = context_.pipeline;
  if (!pipeline.parsePicture(video_.data, video_.length) ||
      !pipeline.showParsedPicture(video_.data, video_.length, readCalendarRecord(video_.header.data()), 0)) {
    return;
  }
  if (links_.recorder.isOpen()) {
    links_.recorder.writeVideo(video_.data, video_.length);
  }
}

void LiveLoop::handleAudio() {
  if (links_.audio.pop(audio_) == 0) {
    return;
  }
  FramePipeline& pipeline = context_.pipeline;
  if (!pipeline.takeSound(audio_.data, audio_.length, SoundEncoding::Pcm)) {
    return;
  }
  // A live packet that finds no room is not waited for: the next one is
  // already on its way.
  const RoomWait noWait{[] { return false; }, [](std::uint32_t) { return true; }};
  const bool played = pipeline.writePendingSound(noWait) == SoundWrite::Written;
  pipeline.serviceSound();
  if (!played) {
    return;
  }
  if (links_.observer != nullptr) {
    links_.observer->audioPlayed(audio_.length);
  }
  if (links_.recorder.isOpen()) {
    links_.recorder.writeAudio(audio_.data, audio_.length);
  }
}

}  // namespace marlin
