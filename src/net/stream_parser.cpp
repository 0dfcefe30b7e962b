#include "net/stream_parser.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "net/control_message.h"

// The cutting rules, byte by byte (fuzz/stream_parser_model.h states them
// again as the fuzz target's reference):
//
// - Every byte goes through a 32-bit shift register. A start code has ended
//   when the register reads 00 00 01 Fx; x = its last byte c.
// - Before that check the byte goes where the mode says: nowhere (skip), to
//   the video frame, to the audio packet (after its two lead-in bytes), or
//   to the control message.
// - F8/F9: the pending video frame is delivered (if it has any byte past its
//   start code); a new frame 00 00 01 c begins; video mode.
// - FA: the pending video frame is delivered likewise (nothing can continue
//   it); audio mode, a new packet with its lead-in.
// - FE: a control message begins. Outside message mode the mode to return to
//   after it is noted: video stays video, audio becomes skip (the packet was
//   delivered at this start code; a new one would be made of the next start
//   code's bytes), skip stays skip. Inside message
//   mode the unfinished message is dropped and the noted mode kept.
// - Any other start code leaves the mode, except that it ends a message
//   (skip mode follows).
// - Any start code ends an audio packet: it is delivered unless empty, and in
//   audio mode a new packet with its lead-in begins.
// - The bytes of an F8, F9, FA or FE start code that went into the video
//   frame are taken back out, so a frame is delivered exactly as sent, even
//   with a control message inside it; those of any start code that
//   went into an audio packet likewise. Other start codes stay in a frame.
// - A message's length field (bytes 4-7) is read when its 8th byte arrives.
//   Not hex or below 12: the message is skipped up to the next start code
//   (its fields could only be guessed). Otherwise it ends with the byte that
//   makes its length; no start code is looked for in that byte. A message of at most 1024 bytes
//   is delivered, a longer one is not; then the noted mode returns.
// - A video frame is cut at 131072 bytes and an audio packet at 4096: bytes
//   beyond are dropped.

namespace marlin::net {

namespace {

constexpr std::uint8_t kVideoInter = 0xF8;
constexpr std::uint8_t kVideoKey = 0xF9;
constexpr std::uint8_t kAudio = 0xFA;
constexpr std::uint8_t kMessage = 0xFE;

bool isStartCodeEnd(std::uint32_t shift) { return (shift & 0xFFFFFFF0u) == 0x000001F0u; }

// The first j in [from, n) at which a start code ends, with data[j-3..j]
// inside data (from >= 3); n when there is none.
std::size_t findStartCodeEnd(const std::uint8_t* data, std::size_t from, std::size_t n) {
  // The 01 of a start code sits at j - 1.
  std::size_t k = from - 1;
  while (k + 1 < n) {
    const void* found = std::memchr(data + k, 0x01, n - 1 - k);
    if (found == nullptr) {
      return n;
    }
    k = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
    if (data[k + 1] >= 0xF0 && data[k - 1] == 0 && data[k - 2] == 0) {
      return k + 1;
    }
    ++k;
  }
  return n;
}

}  // namespace

StreamParser::StreamParser(StreamSink& sink)
    : sink_(sink), video_(kLiveVideoCapacity), audio_(kLiveAudioCapacity), message_(kControlMessageCapacity) {
  std::memcpy(video_.data(), kControlStartCode, 3);
  video_[3] = kVideoInter;
  std::memcpy(message_.data(), kControlStartCode, sizeof kControlStartCode);
}

void StreamParser::feed(const std::uint8_t* data, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    // Once the register's last three bytes are inside data, the rest of a
    // video, skip or audio run is searched and copied in bulk; the start
    // code that ends it goes through the byte steps.
    const bool bulk = mode_ == Mode::Video || mode_ == Mode::Skip || (mode_ == Mode::Audio && audioLeadIn_ == 2);
    if (!bulk || i < 3) {
      storeByte(data[i]);
      ++i;
      continue;
    }
    const std::size_t end = findStartCodeEnd(data, i, n);
    const std::size_t runEnd = end == n ? n : std::max(i, end - 3);
    if (runEnd > i) {
      storeRun(data + i, runEnd - i);
      i = runEnd;
      shift_ = static_cast<std::uint32_t>(data[i - 4]) << 24 | static_cast<std::uint32_t>(data[i - 3]) << 16 |
               static_cast<std::uint32_t>(data[i - 2]) << 8 | data[i - 1];
    }
    for (; i < n && i <= end; ++i) {
      storeByte(data[i]);
    }
  }
}

void StreamParser::storeRun(const std::uint8_t* data, std::size_t n) {
  std::size_t stored = 0;
  if (mode_ == Mode::Video) {
    stored = std::min(n, kLiveVideoCapacity - videoLength_);
    std::memcpy(video_.data() + videoLength_, data, stored);
    videoLength_ += stored;
  } else if (mode_ == Mode::Audio) {
    stored = std::min(n, kLiveAudioCapacity - audioLength_);
    std::memcpy(audio_.data() + audioLength_, data, stored);
    audioLength_ += stored;
  }
  // The run's bytes are stored from its start, so of its last four those
  // before index `stored` were.
  for (std::size_t k = n > 4 ? n - 4 : 0; k < n; ++k) {
    recentStored_ = (recentStored_ << 1 | (k < stored ? 1u : 0u)) & 0xFu;
  }
}

void StreamParser::storeByte(std::uint8_t b) {
  shift_ = shift_ << 8 | b;
  unsigned stored = 0;
  switch (mode_) {
    case Mode::Skip:
      break;
    case Mode::Video:
      if (videoLength_ < kLiveVideoCapacity) {
        video_[videoLength_++] = b;
        stored = 1;
      }
      break;
    case Mode::Audio:
      if (audioLeadIn_ < 2) {
        ++audioLeadIn_;
      } else if (audioLength_ < kLiveAudioCapacity) {
        audio_[audioLength_++] = b;
        stored = 1;
      }
      break;
    case Mode::Message:
      if (messageByte(b)) {
        recentStored_ = (recentStored_ << 1) & 0xFu;
        return;
      }
      break;
  }
  recentStored_ = (recentStored_ << 1 | stored) & 0xFu;
  if (isStartCodeEnd(shift_)) {
    startCodeEnded(b);
  }
}

bool StreamParser::messageByte(std::uint8_t b) {
  if (messageSeen_ < kControlMessageCapacity) {
    message_[messageSeen_] = b;
  }
  ++messageSeen_;
  if (messageSeen_ == 8) {
    messageTotal_ = readHexFieldOrZero(message_.data() + 4);
    if (messageTotal_ < kControlHeaderBytes) {
      messageTotal_ = 0;  // skipped up to the next start code
    }
  }
  if (messageTotal_ == 0 || messageSeen_ != messageTotal_) {
    return false;
  }
  if (messageTotal_ <= kControlMessageCapacity) {
    sink_.controlMessage(message_.data(), messageTotal_);
  }
  mode_ = returnMode_;
  return true;
}

void StreamParser::deliverVideo() {
  if (videoLength_ > 4) {
    sink_.videoFrame(video_.data(), videoLength_);
  }
  videoLength_ = 4;
}

void StreamParser::startCodeEnded(std::uint8_t code) {
  const auto startCodeStored = static_cast<std::size_t>(std::popcount(recentStored_));
  recentStored_ = 0;
  const bool acting = code == kVideoInter || code == kVideoKey || code == kAudio || code == kMessage;
  if (mode_ == Mode::Audio) {
    audioLength_ -= startCodeStored;
    if (audioLength_ > 0) {
      sink_.audioPacket(audio_.data(), audioLength_);
    }
    audioLength_ = 0;
    audioLeadIn_ = 0;
  } else if (mode_ == Mode::Video && acting) {
    videoLength_ -= startCodeStored;
  }
  switch (code) {
    case kVideoInter:
    case kVideoKey:
      deliverVideo();
      video_[3] = code;
      mode_ = Mode::Video;
      break;
    case kAudio:
      deliverVideo();
      mode_ = Mode::Audio;
      break;
    case kMessage:
      if (mode_ != Mode::Message) {
        returnMode_ = mode_ == Mode::Audio ? Mode::Skip : mode_;
      }
      mode_ = Mode::Message;
      messageSeen_ = 4;
      messageTotal_ = 0;
      break;
    default:
      if (mode_ == Mode::Message) {
        mode_ = Mode::Skip;
      }
      break;
  }
}

}  // namespace marlin::net
