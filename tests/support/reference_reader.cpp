#include "support/reference_reader.h"

#include <algorithm>

#include "source/checksum8.h"

namespace marlin::testing {

namespace {

constexpr std::uint64_t kBlock = 4096;
constexpr std::uint32_t kLimit = 131072;

}  // namespace

ReferenceReader::ReferenceReader(std::vector<std::uint8_t> recording, bool isDisk, bool bigEndian)
    : recording_(std::move(recording)), isDisk_(isDisk), bigEndian_(bigEndian), block_(kBlock), frameBuf_(kLimit) {
  frameBuf_[0] = 0;
  frameBuf_[1] = 0;
  frameBuf_[2] = 1;
}

// Steps back from a start code's id byte to its first byte, over a header if
// the start code is divided by one (never before the recording's start).
std::uint64_t ReferenceReader::startCodeBegin(std::uint64_t idPosition) {
  std::uint64_t pos = idPosition;
  for (int step = 0; step < 3 && pos > 0; ++step) {
    --pos;
    if (pos % kBlock < 8) {
      pos = pos < kBlock ? 0 : pos - pos % kBlock - 1;
    }
  }
  return pos;
}

void ReferenceReader::setPosition(std::uint64_t pos) {
  if (pos < recording_.size()) {
    state_.position = pos;
  }
}

bool ReferenceReader::setMark(std::uint64_t pos) {
  if (recording_.empty() || pos >= recording_.size()) {
    return false;
  }
  mark_ = pos;
  return true;
}

void ReferenceReader::clear() {
  collecting_ = false;
  count_ = 0;
}

ReferenceReader::Status ReferenceReader::readBlock(std::uint64_t blockStart) {
  if (blockStart + kBlock > recording_.size()) {
    return Status::Short;
  }
  std::copy_n(recording_.begin() + static_cast<std::ptrdiff_t>(blockStart), kBlock, block_.begin());
  if (isDisk_) {
    for (std::size_t i = 0; i < kBlock; i += 2) {
      std::swap(block_[i], block_[i + 1]);
    }
  }
  const auto* b = block_.data();
  std::uint32_t time;
  if (bigEndian_) {
    time = std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
    state_.channelMask = static_cast<std::uint16_t>(b[4] << 8 | b[5]);
  } else {
    time = std::uint32_t{b[3]} << 24 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[1]} << 8 | b[0];
    state_.channelMask = static_cast<std::uint16_t>(b[5] << 8 | b[4]);
  }
  state_.frameInterval = b[6] & 0x7F;
  if (checksum8(b, 7) != b[7]) {
    return Status::Bad;
  }
  state_.blockTime = time;
  return Status::Good;
}

std::optional<ReferenceFrame> ReferenceReader::readNext() {
  auto frame = forward();
  state_.isAudio = frame && !frame->bytes.empty() && frame->isAudio;
  if (state_.isAudio) {
    state_.hasAudio = true;
  }
  if (frame && frame->bytes.empty()) {
    return std::nullopt;
  }
  return frame;
}

std::optional<ReferenceFrame> ReferenceReader::forward() {
  if (backward_) {
    backward_ = false;
    clear();
  }
  std::uint64_t& pos = state_.position;
  std::uint64_t blockStart = pos - pos % kBlock;
  Status status = readBlock(blockStart);
  if (status == Status::Short) {
    clear();
    return std::nullopt;
  }
  if (status == Status::Bad) {
    pos = blockStart + kBlock;
    clear();
    return std::nullopt;
  }
  for (;;) {
    if (pos % kBlock >= 8) {
      const std::uint8_t b = block_[pos % kBlock];
      window_ = window_ << 8 | b;
      if (collecting_ && count_ < kLimit) {
        frameBuf_[count_++] = b;
      }
      if (window_ >= 0x1F8 && window_ <= 0x1FD) {
        if (!collecting_) {
          collecting_ = true;
          frameStart_ = startCodeBegin(pos);
          count_ = 4;
          frameBuf_[0] = 0;
          frameBuf_[1] = 0;
          frameBuf_[2] = 1;
          frameBuf_[3] = b;
        } else {
          break;
        }
      }
    }
    ++pos;
    if (pos % kBlock == 0) {
      status = readBlock(pos);
      if (status == Status::Short) {
        clear();
        return std::nullopt;
      }
      if (status == Status::Bad) {
        pos += kBlock;
        clear();
        return std::nullopt;
      }
      pos += 8;
    }
  }
  ReferenceFrame frame;
  const std::uint8_t id = frameBuf_[3];
  if (id >= 0xFA) {
    frame.isAudio = true;
    frame.channel = id - 0xFAu;
    state_.audioChannelMask |= 1u << frame.channel;
    if (count_ >= 10) {
      frame.bytes.assign(frameBuf_.begin() + 6, frameBuf_.begin() + count_ - 4);
    }
  } else {
    frame.channel = frameBuf_[4] & 0x0Fu;
    frame.bytes.assign(frameBuf_.begin(), frameBuf_.begin() + count_ - 4);
  }
  frame.start = frameStart_;
  collecting_ = false;
  pos = startCodeBegin(pos);
  return frame;
}

std::optional<ReferenceFrame> ReferenceReader::readPrevious() {
  auto frame = backward();
  if (frame && frame->bytes.empty()) {
    return std::nullopt;
  }
  return frame;
}

std::optional<ReferenceFrame> ReferenceReader::backward() {
  if (!backward_) {
    backward_ = true;
    clear();
  }
  std::uint64_t& pos = state_.position;
  if (pos == 0) {
    return std::nullopt;
  }
  --pos;
  Status status = readBlock(pos - pos % kBlock);
  if (status == Status::Short) {
    // The piece after the last whole block is never read.
    const std::uint64_t blockStart = pos - pos % kBlock;
    if (blockStart == 0) {
      pos = 0;
      clear();
      return std::nullopt;
    }
    pos = blockStart - 1;
    status = readBlock(pos - pos % kBlock);
  }
  if (status == Status::Short) {
    clear();
    return std::nullopt;
  }
  if (status == Status::Bad) {
    pos -= pos % kBlock;
    clear();
    return std::nullopt;
  }
  for (;;) {
    if (pos % kBlock >= 8) {
      const std::uint8_t b = block_[pos % kBlock];
      window_ = window_ << 8 | b;
      if (collecting_ && count_ < kLimit) {
        frameBuf_[kLimit - 1 - count_] = b;
        ++count_;
      }
      const std::uint32_t id = window_ >> 24;
      if ((window_ & 0xFFFFFF) == 0x010000 && id >= 0xF8 && id <= 0xFD) {
        if (!collecting_) {
          collecting_ = true;
          count_ = 0;
        } else {
          break;
        }
      }
    }
    if (pos == 0) {
      clear();
      return std::nullopt;
    }
    --pos;
    if (pos % kBlock == kBlock - 1) {
      status = readBlock(pos - pos % kBlock);
      if (status == Status::Short) {
        clear();
        return std::nullopt;
      }
      if (status == Status::Bad) {
        pos -= pos % kBlock;
        clear();
        return std::nullopt;
      }
    }
  }
  ReferenceFrame frame;
  const std::uint8_t id = static_cast<std::uint8_t>(window_ >> 24);
  const auto collected = frameBuf_.begin() + (kLimit - count_);
  if (id >= 0xFA) {
    frame.isAudio = true;
    frame.channel = id - 0xFAu;
    if (count_ >= 6) {
      frame.bytes.assign(collected + 6, frameBuf_.end());
    }
  } else {
    frame.channel = count_ > 4 ? (collected[4] & 0x0Fu) : 0;
    frame.bytes.assign(collected, frameBuf_.end());
  }
  frame.start = pos;
  collecting_ = false;
  // Just past the start code's last byte, over a header if it is divided by one.
  for (int step = 0; step < 4; ++step) {
    ++pos;
    if (pos % kBlock == 0 && step < 3) {
      pos += 8;
    }
  }
  return frame;
}

std::optional<ReferenceFrame> ReferenceReader::readFromMark() {
  backward_ = false;
  clear();
  if (recording_.empty() || mark_ >= recording_.size() - 1) {
    return std::nullopt;
  }
  state_.position = mark_ - mark_ % kBlock;
  for (;;) {
    auto frame = forward();
    state_.isAudio = frame && !frame->bytes.empty() && frame->isAudio;
    if (state_.isAudio) {
      state_.hasAudio = true;
    }
    if (!frame || frame->bytes.empty()) {
      return std::nullopt;
    }
    if (!frame->isAudio) {
      return frame;
    }
  }
}

}  // namespace marlin::testing
