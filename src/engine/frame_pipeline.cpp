#include "engine/frame_pipeline.h"

#include <algorithm>
#include <cstdint>

#include "base/frame_period.h"

namespace marlin {

namespace {

// The largest block either worker converts: a frame of 8192 bytes at two
// bytes a sample.
constexpr std::size_t kPcmBufferBytes = 16384;

}  // namespace

FramePipeline::FramePipeline(VideoDecoder& decoder, VideoRenderer& renderer, AudioDecoder& audioDecoder,
                             AudioOutput& audioOut, PlaybackStatus& status, PlaybackObserver* observer)
    : decoder_(decoder),
      renderer_(renderer),
      audioDecoder_(audioDecoder),
      audioOut_(audioOut),
      status_(status),
      observer_(observer),
      pcm_(kPcmBufferBytes) {}

bool FramePipeline::parsePicture(const std::uint8_t* frame, std::uint32_t length) {
  return decoder_.ParseHeader(frame, length) != 0;
}

bool FramePipeline::decodeParsedPicture(const std::uint8_t* frame, std::uint32_t length, const CalendarTime& time,
                                        std::uint64_t position) {
  const YuvPicture* picture = pictures_.decodeParsed(decoder_, frame, length);
  if (picture == nullptr) {
    return false;
  }
  lastPicture_ = picture;
  tags_[PictureStore::slotOf(decoder_.header())] = PictureTag::of(decoder_.header(), time, position);
  noteSize(*picture);
  return true;
}

void FramePipeline::noteSize(const YuvPicture& picture) {
  status_.setFramePeriodUs(framePeriodMicroseconds(picture.height, decoder_.variant()));
  status_.setPictureSize(picture.width, picture.height);
}

bool FramePipeline::showParsedPicture(const std::uint8_t* frame, std::uint32_t length, const CalendarTime& time,
                                      std::uint64_t position) {
  if (!decodeParsedPicture(frame, length, time, position)) {
    return false;
  }
  showPicture(*lastPicture_, tags_[PictureStore::slotOf(decoder_.header())]);
  return true;
}

void FramePipeline::showPicture(const YuvPicture& picture, const PictureTag& tag) {
  noteSize(picture);
  if (!tag.dual) {
    showChannel(tag.channel, picture, tag);
    return;
  }
  splitDualPicture(picture.data.data(), picture.width, picture.height, firstHalf_, secondHalf_);
  if (!tag.firstHidden) {
    showChannel(tag.firstChannel, firstHalf_, tag);
  }
  if (!tag.secondHidden) {
    showChannel(tag.secondChannel, secondHalf_, tag);
  }
}

ChannelSet FramePipeline::showLatest(ChannelSet channels) {
  ChannelSet shown;
  for (std::size_t slot = 0; slot < PictureStore::kSlots; ++slot) {
    if (pictures_.isValid(slot) && (tags_[slot].channels() & channels).any()) {
      showPicture(pictures_.picture(slot), tags_[slot]);
      shown |= tags_[slot].channels();
    }
  }
  if (const ChannelSet dark = channels & ~shown; dark.any()) {
    renderer_.ClearChannels(dark);
  }
  return shown & channels;
}

ChannelSet FramePipeline::validChannels() const {
  ChannelSet valid;
  for (std::size_t slot = 0; slot < PictureStore::kSlots; ++slot) {
    if (pictures_.isValid(slot)) {
      valid |= tags_[slot].channels();
    }
  }
  return valid;
}

void FramePipeline::showChannel(int channel, const YuvPicture& picture, const PictureTag& tag) {
  if (renderer_.PutPicture(channel, tag.time, picture.data.data(), picture.width, picture.height) &&
      observer_ != nullptr) {
    observer_->pictureShown(channel, tag.time, picture.width, picture.height, tag.position);
  }
}

std::uint32_t FramePipeline::cameraHeard() const {
  int split = 0;
  int page = 0;
  renderer_.GetSplit(split, page);
  return split == 1 && page < 4 ? static_cast<std::uint32_t>(page) : 0;
}

bool FramePipeline::takeSound(const std::uint8_t* frame, std::uint32_t length, SoundEncoding encoding) {
  soundPending_ = false;
  const std::uint32_t bytesPerSample = audioDecoder_.codec() >= 5 ? 2 : 1;
  if (static_cast<std::uint64_t>(length) * bytesPerSample > pcm_.size()) {
    return false;
  }
  audioDecoder_.convert(frame, length, pcm_.data(), pcmLength_);
  pcmEncoding_ = encoding;
  soundPending_ = true;
  return true;
}

bool FramePipeline::writeSoundOnce() {
  const int written = pcmEncoding_ == SoundEncoding::ALaw ? audioOut_.writeALaw(pcm_.data(), pcmLength_)
                                                          : audioOut_.writePcm(pcm_.data(), pcmLength_);
  if (written != 1) {
    return false;
  }
  status_.noteSoundPlayed();
  return true;
}

SoundWrite FramePipeline::writePendingSound(const RoomWait& wait) {
  // An A-law byte becomes a 16-bit sample in the ring.
  const std::uint32_t ringBytes = pcmEncoding_ == SoundEncoding::ALaw ? 2 * pcmLength_ : pcmLength_;
  if (ringBytes + AudioOutput::kMargin > AudioOutput::kRingSize) {
    soundPending_ = false;
    return SoundWrite::Dropped;
  }
  for (;;) {
    if (writeSoundOnce()) {
      soundPending_ = false;
      return SoundWrite::Written;
    }
    if (audioOut_.positionFailed() || audioOut_.ring().empty() || !wait.stillWanted()) {
      soundPending_ = false;
      return SoundWrite::Dropped;
    }
    // About as long as the device needs to free the missing room.
    const std::uint32_t missing = audioOut_.queued() + ringBytes + AudioOutput::kMargin - AudioOutput::kRingSize;
    const std::uint32_t rate = std::max<std::uint32_t>(audioOut_.sampleRate() * audioOut_.bitsPerSample() / 8, 1);
    const auto waitMs = static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(static_cast<std::uint64_t>(missing) * 1000 / rate, 1, UINT32_MAX));
    if (wait.interrupted(waitMs)) {
      return SoundWrite::Pending;
    }
    audioOut_.service();
  }
}

}  // namespace marlin
