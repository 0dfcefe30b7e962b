#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/video_decoder.h"

namespace marlin {

// A decoded picture: planar 4:2:0 in one buffer, Y then Cb then Cr, each
// plane's stride its width.
struct YuvPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> data;

  void resize(int w, int h) {
    width = w;
    height = h;
    data.resize(static_cast<std::size_t>(w) * h * 3 / 2);
  }
  std::uint8_t* y() { return data.data(); }
  std::uint8_t* cb() { return data.data() + static_cast<std::size_t>(width) * height; }
  std::uint8_t* cr() { return cb() + static_cast<std::size_t>(width) * height / 4; }
  const std::uint8_t* y() const { return data.data(); }
  const std::uint8_t* cb() const { return data.data() + static_cast<std::size_t>(width) * height; }
  const std::uint8_t* cr() const { return cb() + static_cast<std::size_t>(width) * height / 4; }
};

// Splits a picture carrying two channels side by side into its left and
// right halves, row by row in every plane.
void splitDualPicture(const std::uint8_t* picture, int width, int height, YuvPicture& left, YuvPicture& right);

// One reference picture per channel: a conditional picture of channel N is
// decoded over channel N's previous picture and never over another channel's.
// Dual pictures (two channels side by side) have references of their own.
//
// A conditional picture codes only what changed, so it is decoded only over
// a valid reference: one that a refresh picture began and every later
// picture of its channel kept up to date. A reference is invalid until its
// first refresh picture, after a picture failed to decode over it, and when
// its owner says so (a jump, reading backward): what the picture of another
// moment plus the changes of this one would show never existed.
class PictureStore {
 public:
  static constexpr std::size_t kSlots = 32;  // 16 channels, 16 dual pictures

  // The reference a parsed picture is decoded over.
  static std::size_t slotOf(const codec::PictureHeader& header);

  // Parses and decodes payload with decoder into the reference of the
  // picture's channel. Returns that picture, or nullptr when the payload does
  // not decode or is a conditional picture over an invalid reference (which
  // it leaves as it was).
  const YuvPicture* decode(VideoDecoder& decoder, const std::uint8_t* payload, std::size_t length);
  // The same for a payload whose header decoder has just parsed.
  const YuvPicture* decodeParsed(VideoDecoder& decoder, const std::uint8_t* payload, std::size_t length);

  bool isValid(std::size_t slot) const { return valid_[slot]; }
  const YuvPicture& picture(std::size_t slot) const { return pictures_[slot]; }
  void invalidate(std::size_t slot) { valid_[slot] = false; }
  void invalidateAll() { valid_.fill(false); }
  // Invalidates the references and gives their memory back.
  void clear();

 private:
  std::array<YuvPicture, kSlots> pictures_;
  std::array<bool, kSlots> valid_{};
};

}  // namespace marlin
