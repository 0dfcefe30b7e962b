#include "app/cli/serve_dvr/live_producer.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "base/frame_period.h"
#include "net/stream_parser.h"
#include "source/container.h"

namespace marlin::cli::serve_dvr {

namespace {

using std::chrono::microseconds;

// Fine enough to read the cameras' numbers in a 4x4 split.
constexpr int kLiveQuality = 3;
constexpr microseconds kRefreshEvery = std::chrono::seconds(1);
// A client's packet buffer holds the samples and the start code that ends them.
constexpr std::size_t kMaxSoundSamples = net::kLiveAudioCapacity - 4;
// Readers skip the two bytes after a sound start code; these can never
// complete a start code with the samples that follow.
constexpr std::uint8_t kSoundLeadIn = 0x80;

}  // namespace

LiveProducer::LiveProducer(const ProducerOptions& options) : options_(options), frame_(container::kFrameBufferSize) {
  openRecording(source_, options_.recording);
  decoder_.Init(options_.recording.variant);
  while (picturesQueued_ == 0 && produceFromNextFrame()) {
  }
  if (picturesQueued_ == 0) {
    throw CommandError(options_.camera ? "no picture of camera " + std::to_string(*options_.camera) + " in " +
                                             options_.recording.path + " decodes"
                                       : "no picture in " + options_.recording.path + " decodes");
  }
}

std::optional<LiveItem> LiveProducer::next() {
  while (pending_.empty()) {
    if (produceFromNextFrame()) {
      continue;
    }
    if (!options_.loop) {
      finished_ = true;
      return std::nullopt;
    }
    // Opening found a picture, so every pass over the recording yields one.
    source_.setPosition(0);
  }
  LiveItem item = std::move(pending_.front());
  pending_.pop_front();
  return item;
}

void LiveProducer::refreshNext() {
  // A queued conditional picture codes changes against what the last client saw.
  std::erase_if(pending_, [](const LiveItem& item) { return item.kind == LiveItem::Kind::Picture && !item.refresh; });
  refreshWanted_ = true;
}

bool LiveProducer::produceFromNextFrame() {
  const std::uint32_t length = readOnward(source_, frame_.data(), false);
  if (length == 0) {
    return false;
  }
  const FrameHeader& header = source_.header();
  if (header.isAudio) {
    if (header.channel == 0) {
      queueSound(frame_.data(), length);
    }
    return true;
  }
  const bool parsed = decoder_.ParseHeader(frame_.data(), length) != 0;
  if (parsed) {
    recordedHeight_ = decoder_.GetHeight();
  }
  const microseconds recorded = recordedClock_;
  // Each picture stands for frameInterval + 1 of the recorder's frame
  // periods, as playback paces it.
  recordedClock_ +=
      microseconds((header.frameInterval + 1) * framePeriodMicroseconds(recordedHeight_, options_.recording.variant));
  if (parsed) {
    takePicture(length, recorded);
  }
  return true;
}

void LiveProducer::takePicture(std::uint32_t length, microseconds recorded) {
  const YuvPicture* picture = store_.decodeParsed(decoder_, frame_.data(), length);
  if (picture == nullptr) {
    return;
  }
  if (!composer_) {
    cameraMask_ = source_.header().channelMask;
    const int split = options_.camera ? 1 : splitForCameras(std::bit_width(cameraMask_));
    composer_.emplace(Size{picture->width, picture->height}, split, options_.camera.value_or(0));
  }
  if (placeDecoded(*picture)) {
    queuePicture(recorded);
  }
}

bool LiveProducer::placeDecoded(const YuvPicture& picture) {
  const codec::PictureHeader& header = decoder_.header();
  if (!header.dual) {
    return composer_->place(header.channel, picture);
  }
  splitDualPicture(picture.data.data(), picture.width, picture.height, firstHalf_, secondHalf_);
  const bool first = !header.firstHidden && composer_->place(header.firstChannel, firstHalf_);
  const bool second = !header.secondHidden && composer_->place(header.secondChannel, secondHalf_);
  return first || second;
}

void LiveProducer::queuePicture(microseconds recorded) {
  const microseconds due = options_.picturesPerSecond ? paced(picturesQueued_) : recorded;
  ++picturesQueued_;
  const YuvPicture& picture = composer_->picture();
  // A DVR numbers its pictures by its camera clock's frame periods, so a
  // client can tell from the steps how long each picture stands for.
  sequence_ =
      std::max<std::int64_t>(sequence_ + 1, due.count() / framePeriodMicroseconds(picture.height, kLiveStreamVariant));
  encoder::EncodeParams params;
  params.variant = kLiveStreamVariant;
  params.quality = kLiveQuality;
  params.refresh = refreshWanted_ || due - lastRefresh_ >= kRefreshEvery;
  params.sequence = static_cast<std::uint16_t>(sequence_);
  if (params.refresh) {
    lastRefresh_ = due;
    refreshWanted_ = false;
  }
  pending_.push_back({LiveItem::Kind::Picture, encoder_.encode(picture, params), params.refresh, due});
}

void LiveProducer::queueSound(const std::uint8_t* samples, std::uint32_t length) {
  // Sound goes out with the picture it was recorded after.
  const microseconds due = options_.picturesPerSecond ? paced(picturesQueued_) : recordedClock_;
  for (std::size_t at = 0; at < length; at += kMaxSoundSamples) {
    const std::size_t n = std::min<std::size_t>(kMaxSoundSamples, length - at);
    LiveItem item{
        LiveItem::Kind::Sound, {0x00, 0x00, 0x01, container::kFirstAudioId, kSoundLeadIn, kSoundLeadIn}, false, due};
    item.bytes.insert(item.bytes.end(), samples + at, samples + at + n);
    pending_.push_back(std::move(item));
  }
}

microseconds LiveProducer::paced(std::uint64_t pictureIndex) const {
  return microseconds(std::llround(static_cast<double>(pictureIndex) * 1e6 / *options_.picturesPerSecond));
}

}  // namespace marlin::cli::serve_dvr
