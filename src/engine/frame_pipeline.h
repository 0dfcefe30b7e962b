#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/calendar.h"
#include "codec/video_decoder.h"
#include "codec/yuv_picture.h"
#include "engine/audio/audio_decoder.h"
#include "engine/audio/audio_output.h"
#include "engine/picture_tag.h"
#include "engine/playback_observer.h"
#include "engine/playback_status.h"
#include "render/split_layout.h"
#include "render/video_renderer.h"

namespace marlin {

enum class SoundEncoding { Pcm, ALaw };

enum class SoundWrite { Written, Dropped, Pending };

// How a sound block waits for room in the ring: whether it is still wanted,
// and a wait of up to ms that returns true when something came that the
// worker must see to first. A worker that never waits says it no longer
// wants the block.
struct RoomWait {
  std::function<bool()> stillWanted;
  std::function<bool(std::uint32_t ms)> interrupted;
};

// Where a worker's frames go once read: pictures through the decoder into
// each channel's reference picture and on to the renderer (both halves of a
// dual picture on their own), sound through the audio decoder into the
// output ring. The engine owns the parts and builds one pipeline per worker
// run over them; the buffers here live as long as that run, so every run
// starts without reference pictures and without a sound block.
class FramePipeline {
 public:
  FramePipeline(VideoDecoder& decoder, VideoRenderer& renderer, AudioDecoder& audioDecoder, AudioOutput& audioOut,
                PlaybackStatus& status, PlaybackObserver* observer);

  // Pictures.
  bool parsePicture(const std::uint8_t* frame, std::uint32_t length);
  const codec::PictureHeader& pictureHeader() const { return decoder_.header(); }
  VideoDecoder& decoder() { return decoder_; }
  // The whole picture decoded last (both halves of a dual one); nullptr
  // before the first.
  const YuvPicture* lastPicture() const { return lastPicture_; }
  // Decodes the picture just parsed from frame into its channel's reference
  // and shows it at time; the observer learns position with each picture the
  // renderer took. False when the picture did not decode (a conditional
  // picture over an invalid reference included).
  bool showParsedPicture(const std::uint8_t* frame, std::uint32_t length, const CalendarTime& time,
                         std::uint64_t position);
  // The same without showing it: the reference and its tag are kept for
  // showLatest.
  bool decodeParsedPicture(const std::uint8_t* frame, std::uint32_t length, const CalendarTime& time,
                           std::uint64_t position);
  // Shows a picture decoded elsewhere (whole, as decoded) as tagged.
  void showPicture(const YuvPicture& picture, const PictureTag& tag);
  // Shows the latest valid picture of each of channels; the others' cells go
  // dark until their next picture. Returns the channels shown.
  ChannelSet showLatest(ChannelSet channels);
  // Every channel's reference picture: what conditional pictures read forward
  // are decoded over.
  PictureStore& references() { return pictures_; }
  ChannelSet validChannels() const;
  ChannelSet visibleChannels() const { return renderer_.VisibleChannels(); }

  // Sound.
  void startSound() { audioOut_.startLoop(); }
  void serviceSound() { audioOut_.service(); }
  bool soundOpen() const { return audioOut_.isOpen(); }
  // The device is open and playing (not paused for want of sound).
  bool soundPlaying() const { return audioOut_.isOpen() && !audioOut_.isPaused(); }
  // The camera heard where a recording carries one sound channel per camera:
  // the channel shown alone, or channel 0 while several are shown.
  std::uint32_t cameraHeard() const;
  // Converts an audio frame into the block that waits to be written. False,
  // and no block, for a frame too long for the buffer (a damaged recording).
  bool takeSound(const std::uint8_t* frame, std::uint32_t length, SoundEncoding encoding);
  bool hasPendingSound() const { return soundPending_; }
  void dropPendingSound() { soundPending_ = false; }
  // Writes the pending block, waiting while the ring is full (the sound then
  // holds the worker back). The block is dropped when it can never fit, the
  // device fails or the wait says it is no longer wanted; it stays pending
  // when the wait was interrupted.
  SoundWrite writePendingSound(const RoomWait& wait);

 private:
  void showChannel(int channel, const YuvPicture& picture, const PictureTag& tag);
  // What pacing and an AVI capture take from the pictures.
  void noteSize(const YuvPicture& picture);
  bool writeSoundOnce();

  VideoDecoder& decoder_;
  VideoRenderer& renderer_;
  AudioDecoder& audioDecoder_;
  AudioOutput& audioOut_;
  PlaybackStatus& status_;
  PlaybackObserver* observer_;
  PictureStore pictures_;
  std::array<PictureTag, PictureStore::kSlots> tags_{};
  YuvPicture firstHalf_;
  YuvPicture secondHalf_;
  const YuvPicture* lastPicture_ = nullptr;
  std::vector<std::uint8_t> pcm_;
  std::uint32_t pcmLength_ = 0;
  SoundEncoding pcmEncoding_ = SoundEncoding::Pcm;
  bool soundPending_ = false;
};

}  // namespace marlin
