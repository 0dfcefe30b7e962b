// The reference for stream_parser_fuzz. The rules, as the byte at stream
// position p (counting from 0) arrives:
//
// 1. It goes where the mode says: skip mode drops it; video mode appends it
//    to the frame; audio mode counts it as lead-in while fewer than two
//    lead-in bytes were seen, else appends it to the packet; message mode
//    appends it to the message. When the message reaches 8 bytes its length
//    field (bytes 4-7, four hex digits of either case) is read; if a
//    character is no hex digit or the value is below 12 the message is
//    broken and never ends by length. A message that is not broken ends at
//    the byte that makes its length: it is delivered if it is at most 1024
//    bytes long, the mode becomes the one noted when it began, and nothing
//    more happens for this byte (it ends no start code).
// 2. A start code ends at p when the stream's bytes p-3..p are 00 00 01 Fx.
//    Its bytes p-3..p leave the audio packet, and, for x = 8, 9, A or E,
//    the video frame (those of other start codes stay in a frame).
//    - If the mode is audio, the packet is delivered unless empty; a new
//      one starts with its lead-in (the mode stays audio unless the code
//      below changes it).
//    - F8, F9: the frame is delivered if it holds more than its 4-byte start
//      code; the new frame is 00 00 01 Fx; video mode.
//    - FA: the frame is delivered likewise and emptied; audio mode.
//    - FE: unless already in message mode, note the mode to return to: audio
//      becomes skip, the others stay. A new message 00 00 01 FE begins; the
//      one in progress, if any, is dropped.
//    - Others: a message in progress is dropped and skip mode follows;
//      otherwise the mode stays.
// Video frames are delivered cut to 131072 bytes, audio packets to 4096.

#include "stream_parser_model.h"

namespace marlin::fuzzmodel {

namespace {

constexpr std::size_t kVideoLimit = 131072;
constexpr std::size_t kAudioLimit = 4096;
constexpr std::size_t kMessageLimit = 1024;

int hexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void StreamParserModel::deliver(char kind, const std::vector<Tagged>& bytes, std::size_t limit) {
  Piece piece{kind, {}};
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    piece.bytes.push_back(bytes[i].byte);
  }
  delivered.push_back(std::move(piece));
}

void StreamParserModel::dropFrom(std::vector<Tagged>& bytes, std::uint64_t position) {
  while (!bytes.empty() && bytes.back().position >= position) {
    bytes.pop_back();
  }
}

void StreamParserModel::reset() {
  delivered.clear();
  position_ = 0;
  window_[0] = window_[1] = window_[2] = window_[3] = 0;
  mode_ = Mode::Skip;
  afterMessage_ = Mode::Skip;
  video_.clear();
  audio_.clear();
  leadIn_ = 0;
  message_.clear();
  messageLengthKnown_ = false;
  messageBroken_ = false;
  messageLength_ = 0;
}

void StreamParserModel::feed(std::uint8_t b) {
  const std::uint64_t p = position_++;
  window_[0] = window_[1];
  window_[1] = window_[2];
  window_[2] = window_[3];
  window_[3] = b;

  if (mode_ == Mode::Video) {
    video_.push_back({p, b});
  } else if (mode_ == Mode::Audio) {
    if (leadIn_ < 2) {
      ++leadIn_;
    } else {
      audio_.push_back({p, b});
    }
  } else if (mode_ == Mode::Message) {
    message_.push_back(b);
    if (message_.size() == 8) {
      messageLengthKnown_ = true;
      int value = 0;
      for (int i = 4; i < 8; ++i) {
        const int digit = hexValue(message_[static_cast<std::size_t>(i)]);
        if (digit < 0) {
          messageBroken_ = true;
        }
        value = value * 16 + digit;
      }
      if (!messageBroken_ && value < 12) {
        messageBroken_ = true;
      }
      messageLength_ = static_cast<std::size_t>(value);
    }
    if (messageLengthKnown_ && !messageBroken_ && message_.size() == messageLength_) {
      if (messageLength_ <= kMessageLimit) {
        delivered.push_back({'m', message_});
      }
      mode_ = afterMessage_;
      return;
    }
  }

  if (p >= 3 && window_[0] == 0x00 && window_[1] == 0x00 && window_[2] == 0x01 && window_[3] >= 0xF0) {
    const std::uint64_t first = p - 3;
    dropFrom(audio_, first);
    if (b == 0xF8 || b == 0xF9 || b == 0xFA || b == 0xFE) {
      dropFrom(video_, first);
    }
    startCode(b);
  }
}

void StreamParserModel::startCode(std::uint8_t code) {
  const std::uint64_t first = position_ - 4;
  if (mode_ == Mode::Audio) {
    if (!audio_.empty()) {
      deliver('a', audio_, kAudioLimit);
    }
    audio_.clear();
    leadIn_ = 0;
  }
  if (code == 0xF8 || code == 0xF9 || code == 0xFA) {
    if (video_.size() > 4) {
      deliver('v', video_, kVideoLimit);
    }
    video_.clear();
    if (code == 0xFA) {
      mode_ = Mode::Audio;
    } else {
      video_ = {{first, 0x00}, {first + 1, 0x00}, {first + 2, 0x01}, {first + 3, code}};
      mode_ = Mode::Video;
    }
  } else if (code == 0xFE) {
    if (mode_ != Mode::Message) {
      afterMessage_ = mode_ == Mode::Audio ? Mode::Skip : mode_;
    }
    mode_ = Mode::Message;
    message_ = {0x00, 0x00, 0x01, 0xFE};
    messageLengthKnown_ = false;
    messageBroken_ = false;
    messageLength_ = 0;
  } else if (mode_ == Mode::Message) {
    mode_ = Mode::Skip;
  }
}

}  // namespace marlin::fuzzmodel
