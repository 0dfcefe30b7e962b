#include "engine/refresh_window.h"

#include "base/calendar.h"
#include "engine/picture_tag.h"
#include "source/container.h"

namespace marlin {

namespace {

// Seconds since an arbitrary origin, for the distance between two block times.
std::int64_t secondsOf(const CalendarTime& time) {
  const std::optional<std::uint32_t> stamp = timestampFromCalendar(time, 0);
  return stamp ? static_cast<std::int64_t>(*stamp) : 0;
}

// The channels a frame just read puts on screen, or none for sound and for
// pictures that do not parse.
ChannelSet channelsOfFrame(const StreamSource& source, VideoDecoder& decoder, const std::uint8_t* frame,
                           std::uint32_t length) {
  if (source.header().isAudio || decoder.ParseHeader(frame, length) == 0) {
    return {};
  }
  return PictureTag::of(decoder.header(), {}, 0).channels();
}

}  // namespace

std::uint64_t nextFrameStart(StreamSource& source, std::uint64_t position) {
  returnTo(source, position);
  return readOnward(source, nullptr, false) != 0 ? source.header().start : source.getSize();
}

RefreshStart findRefreshStart(StreamSource& source, VideoDecoder& decoder, std::uint8_t* frame, ChannelSet channels,
                              std::uint64_t boundary, const RefreshSearchLimits& limits) {
  RefreshStart result{boundary, {}};
  // Reading backward takes the start code at boundary as the end of the
  // frame before it, which it then delivers first.
  const bool divided = boundary % container::kBlockSize + 4 > container::kBlockSize;
  returnTo(source, boundary + 4 + (divided ? container::kHeaderSize : 0));
  std::int64_t latestSeconds = -1;
  while (channels.any() && (result.found & channels) != channels) {
    const std::uint32_t length = readOnward(source, frame, true);
    if (length == 0) {
      break;
    }
    const FrameHeader& header = source.header();
    const std::int64_t seconds = secondsOf(header.blockTime);
    if (latestSeconds < 0) {
      latestSeconds = seconds;
    }
    if (boundary - header.start > limits.bytes || latestSeconds - seconds > limits.seconds) {
      break;
    }
    const ChannelSet shown = channelsOfFrame(source, decoder, frame, length) & channels & ~result.found;
    if (shown.any() && decoder.header().allCoded) {
      result.found |= shown;
      result.position = header.start;
    }
  }
  return result;
}

void visitPicturesForward(StreamSource& source, VideoDecoder& decoder, std::uint8_t* frame, ChannelSet channels,
                          std::uint64_t start, std::uint64_t end, const ParsedPictureVisitor& visit) {
  returnTo(source, start);
  while (source.getPosition() < end) {
    const std::uint32_t length = readOnward(source, frame, false);
    if (length == 0 || source.header().start >= end) {
      return;
    }
    if ((channelsOfFrame(source, decoder, frame, length) & channels).any()) {
      visit(frame, length);
    }
  }
}

void returnTo(StreamSource& source, std::uint64_t position) {
  if (position >= source.getSize()) {
    source.setPositionToEnd();
  } else {
    source.setPosition(position);
  }
}

}  // namespace marlin
