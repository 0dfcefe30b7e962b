#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "codec/video_decoder.h"
#include "codec/yuv_picture.h"
#include "engine/picture_tag.h"
#include "source/stream_source.h"

namespace marlin {

// What backward play may hold in pictures for 16 channels: the pictures
// waiting to be shown and the references they are decoded over.
inline constexpr std::size_t kReverseCacheBytes = 64u << 20;

// The pictures of backward play. A conditional picture read backward cannot
// be decoded where it is read: it needs its channel's picture before it. So
// on a picture it lacks, the cache decodes forward from that channel's last
// refresh picture up to it, keeps every picture of the wanted channels that
// decodes cleanly on the way, and backward play then takes them one by one
// in reverse order. Pictures are keyed by where their frames begin, which
// does not change while a recording is read.
class ReversePictureCache {
 public:
  struct Entry {
    PictureTag tag;
    YuvPicture picture;
  };

  explicit ReversePictureCache(std::size_t budgetBytes = kReverseCacheBytes);

  // The picture of the frame that begins at start, nullptr when it is not
  // held. Pictures after it are let go: backward play has shown them. The
  // entry stays valid until the next call.
  const Entry* take(std::uint64_t start);
  // Decodes forward from the earliest of the last refresh pictures of the
  // wanted channels before the frame at start, up to and including that
  // frame, keeping the pictures of wanted that decode over a valid reference:
  // one pass brings every channel's pictures up to start, wherever in the
  // recorder's round its refresh picture came. The read position is put back
  // where it was.
  void fill(StreamSource& source, VideoDecoder& decoder, std::uint8_t* frame, std::uint64_t start, ChannelSet wanted);
  // A refresh picture needs nothing before it: decoded where it is read.
  const YuvPicture* decodeRefresh(VideoDecoder& decoder, const std::uint8_t* frame, std::uint32_t length);
  // Lets every picture go and gives the memory back.
  void clear();

  // The bytes of pictures held, the references included.
  std::size_t bytesHeld() const;

 private:
  void keep(std::uint64_t start, const PictureTag& tag, const YuvPicture& picture);

  std::size_t budget_;
  PictureStore references_;
  std::map<std::uint64_t, Entry> entries_;
  // Pictures let go, kept for the next ones instead of allocating again.
  std::vector<YuvPicture> spare_;
  // Something was decoded since the last clear; forward play clears often.
  bool used_ = false;
};

}  // namespace marlin
