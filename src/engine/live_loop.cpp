#include "engine/live_loop.h"

#include <chrono>

#include "base/calendar.h"
#include "codec/colour_convert.h"
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

// A live picture is one field, doubled into the frame as an export doubles
// it. False when the picture is not the frame's width by half its height.
bool lineDoubleIntoFrame(std::uint8_t* frame, int width, int height, const YuvPicture& picture) {
  if (picture.width != width || 2 * picture.height != height) {
    return false;
  }
  ToDib24FullHeight(frame, picture.data.data(), width, picture.height, static_cast<std::size_t>(width) * 3);
  return true;
}

}  // namespace

LiveLoop::LiveLoop(const WorkerContext& context, const LiveLinks& links)
    : context_(context),
      links_(links),
      videoData_(kVideoRecordBytes),
      audioData_(kAudioRecordBytes),
      lostPictures_(links.client.videoDropped() + links.client.reconnects()) {
  const std::uint32_t now = context_.clock.now();
  video_ = FrameRecord{.data = videoData_.data(), .kind = kVideoKind, .capacity = kVideoRecordBytes, .tick = now};
  audio_ = FrameRecord{.data = audioData_.data(), .kind = kAudioKind, .capacity = kAudioRecordBytes, .tick = now};
}

int LiveLoop::run() {
  FramePipeline& pipeline = context_.pipeline;
  pipeline.startSound();
  while (context_.running) {
    // Without sound playing nothing needs the loop until a frame, the
    // capture's refresh or the stop comes; with sound playing, its device
    // is looked after between frames.
    const auto limit = pipeline.soundPlaying() ? kSoundServiceInterval : std::chrono::milliseconds(-1);
    const int signalled = waitAny(
        {&context_.stopEvent, &links_.video.dataEvent(), &links_.audio.dataEvent(), &context_.avi.refresh}, limit);
    if (signalled == 0) {
      break;
    }
    if (signalled == 1) {
      handleVideo();
    } else if (signalled == 2) {
      handleAudio();
    } else if (signalled == 3) {
      refreshCapture();
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
  // A conditional picture after a lost one would show the changes of two
  // moments over a third: the pictures wait for the next refresh picture.
  const std::uint64_t lost = links_.client.videoDropped() + links_.client.reconnects();
  if (lost != lostPictures_) {
    lostPictures_ = lost;
    pipeline.references().invalidateAll();
  }
  if (!pipeline.parsePicture(video_.data, video_.length) ||
      !pipeline.showParsedPicture(video_.data, video_.length, readCalendarRecord(video_.header.data()), 0)) {
    return;
  }
  if (links_.recorder.isOpen()) {
    links_.recorder.writeVideo(video_.data, video_.length);
  }
  if (capturing(kCaptureEveryPicture)) {
    captureLastPicture(true);
  }
}

void LiveLoop::handleAudio() {
  if (links_.audio.pop(audio_) == 0) {
    return;
  }
  // The capture keeps the packet as it came, played or not, and a frame
  // with it, so the pictures keep pace with the sound.
  if (context_.avi.recording != 0) {
    context_.avi.recorder.writeAudio(audio_.data, audio_.length);
    writeCaptureFrame();
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

bool LiveLoop::capturing(int mode) const { return context_.avi.recording != 0 && context_.avi.mode == mode; }

// Reset before the frame is refreshed, so a request made meanwhile is not lost.
void LiveLoop::refreshCapture() {
  context_.avi.refresh.reset();
  if (capturing(kCaptureOnRefresh)) {
    captureLastPicture(false);
  }
}

void LiveLoop::captureLastPicture(bool write) {
  const YuvPicture* picture = context_.pipeline.lastPicture();
  if (picture == nullptr) {
    return;
  }
  links_.renderer.UseAviFrame([&](std::uint8_t* frame, AviFrameSink& sink) {
    if (lineDoubleIntoFrame(frame, sink.frameWidth(), sink.frameHeight(), *picture) && write) {
      sink.writeFrame(frame);
    }
  });
}

void LiveLoop::writeCaptureFrame() {
  links_.renderer.UseAviFrame([](std::uint8_t* frame, AviFrameSink& sink) { sink.writeFrame(frame); });
}

}  // namespace marlin
