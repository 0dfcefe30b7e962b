#include "source/stream_source.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

#include "base/log.h"
#include "platform/time_zone.h"
#include "source/block_header.h"
#include "source/block_reading.h"
#include "source/recorded_channels.h"
#include "startcode/start_code_search.h"

namespace marlin {

using container::kBlockSize;
using container::kFrameBufferSize;
using container::kHeaderSize;

namespace {

constexpr std::uint64_t kTimeValidFlag = std::uint64_t{1} << 32;

constexpr std::uint32_t kForwardFirstCode = 0x000001F8;

bool isForwardStartCode(std::uint32_t window) { return window - kForwardFirstCode <= 5; }

bool isBackwardStartCode(std::uint32_t window) {
  return (window & 0x00FFFFFF) == 0x00010000 && (window >> 24) >= 0xF8 && (window >> 24) <= 0xFD;
}

std::uint32_t loadForwardWindow(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

std::uint32_t loadBackwardWindow(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[2]) << 16 |
         static_cast<std::uint32_t>(p[1]) << 8 | p[0];
}

}  // namespace

StreamSource::StreamSource(std::size_t readAheadBytes) : timeZoneBias_(timeZoneBiasSeconds()), span_(readAheadBytes) {
  header_.blockTime = CalendarTime{2000, 1, 0, 0, 0, 0, 0, 0};
}

StreamSource::~StreamSource() { close(); }

bool StreamSource::setCodecVariant(CodecVariant variant) {
  codecVariant_ = variant;
  bigEndian_ = isBigEndianVariant(variant);
  return true;
}

Status StreamSource::open(const std::string& path, bool isDisk) {
  if (isOpen()) {
    close();
  }
  if (const Status opened = file_.open(path); !opened) {
    return openFailure(path, opened.code(), opened.systemError());
  }
  header_.channelMask = 0;
  header_.audioChannelMask = 0;
  isDisk_ = isDisk;
  std::uint64_t size = 0;
  if (const Status sized = file_.querySize(size); !sized) {
    file_.close();
    return openFailure(path, StatusCode::Unsupported, sized.systemError());
  }
  size_.store(size, std::memory_order_relaxed);
  recordedChannelMask_.store(sampleChannelMask(file_, size, BlockLayout{isDisk, bigEndian_}),
                             std::memory_order_relaxed);
  name_ = path;
  position_.store(0, std::memory_order_relaxed);
  clearScanner();
  span_.clear();
  blockCached_ = false;
  return Status::ok();
}

bool StreamSource::close() {
  file_.close();
  size_.store(0, std::memory_order_relaxed);
  recordedChannelMask_.store(0, std::memory_order_relaxed);
  position_.store(0, std::memory_order_relaxed);
  mark_ = 0;
  name_.clear();
  header_.hasAudio = false;
  header_.channelMask = 0;
  clearScanner();
  span_.clear();
  blockCached_ = false;
  return true;
}

bool StreamSource::setPosition(std::uint64_t pos) {
  if (pos < getSize()) {
    position_.store(pos, std::memory_order_relaxed);
  }
  return true;
}

void StreamSource::startReadingAt(std::uint64_t pos) {
  setPosition(pos);
  clearScanner();
  window_ = 0xFFFFFFFF;
  backward_ = false;
}

void StreamSource::setPositionToEnd() { position_.store(getSize(), std::memory_order_relaxed); }

bool StreamSource::setMark(std::uint64_t pos) {
  const std::uint64_t size = getSize();
  if (size == 0 || pos >= size) {
    return false;
  }
  mark_ = pos;
  return true;
}

bool StreamSource::getBlockTime(CalendarTime& out) const {
  const std::uint64_t stamp = lastBlockTime_.load(std::memory_order_relaxed);
  if (!isOpen() || (stamp & kTimeValidFlag) == 0) {
    return false;
  }
  const CalendarTime time = calendarFromTimestamp(static_cast<std::uint32_t>(stamp), timeZoneBias_);
  if (!isPlausible(time)) {
    return false;
  }
  out = time;
  return true;
}

bool StreamSource::blockTimeAt(std::uint64_t pos, CalendarTime& out) const {
  if (!isOpen() || pos >= getSize()) {
    return false;
  }
  std::array<std::uint8_t, container::kBlockSize> block{};
  BlockHeader header;
  const std::uint64_t start = pos - pos % container::kBlockSize;
  if (readBlock(file_, start, BlockLayout{isDisk_, bigEndian_}, block.data(), header) != BlockRead::Valid) {
    return false;
  }
  const CalendarTime time = calendarFromTimestamp(header.time, timeZoneBias_);
  if (!isPlausible(time)) {
    return false;
  }
  out = time;
  return true;
}

void StreamSource::clearScanner() {
  collecting_ = false;
  count_ = 0;
}

StreamSource::BlockStatus StreamSource::loadBlock(std::uint64_t blockStart, ReadAhead direction) {
  if (blockCached_ && cachedBlockStart_ == blockStart) {
    return BlockStatus::Good;
  }
  blockCached_ = false;
  block_ = span_.find(blockStart);
  if (block_ == nullptr) {
    // A disk has a fixed size: reading ahead past it would only ask for
    // sectors that are not there. A file may be growing, so it is read as
    // far as it goes.
    const std::uint64_t dataEnd = isDisk_ ? getSize() : std::numeric_limits<std::uint64_t>::max();
    if (const Status read = span_.fill(file_, blockStart, direction, dataEnd, isDisk_); !read) {
      logDebug(read.message());
      return BlockStatus::ReadError;
    }
    block_ = span_.find(blockStart);
    if (block_ == nullptr) {
      return BlockStatus::ShortAtEnd;
    }
  }
  const BlockHeader parsed = parseBlockHeader(block_, bigEndian_);
  header_.channelMask = parsed.channelMask;
  header_.frameInterval = parsed.frameInterval;
  if (!parsed.checkValid) {
    return BlockStatus::Bad;
  }
  header_.blockTime = calendarFromTimestamp(parsed.time, timeZoneBias_);
  lastBlockTime_.store(kTimeValidFlag | parsed.time, std::memory_order_relaxed);
  cachedBlockStart_ = blockStart;
  blockCached_ = true;
  return BlockStatus::Good;
}

// ---- Forward reading -------------------------------------------------------

std::uint32_t StreamSource::readNext(std::uint8_t* buffer) {
  const std::uint32_t length = readForward(buffer);
  if (length == 0) {
    header_.isAudio = false;
  } else if (header_.isAudio) {
    header_.hasAudio = true;
  }
  return length;
}

void StreamSource::chooseCopyLimit(const std::uint8_t* buffer) {
  copyLimit_ = buffer != nullptr ? static_cast<std::uint32_t>(kFrameBufferSize) : kFrameHeadSize;
}

std::uint32_t StreamSource::readForward(std::uint8_t* buffer) {
  if (!isOpen()) {
    return 0;
  }
  if (backward_) {
    backward_ = false;
    clearScanner();
  }
  chooseCopyLimit(buffer);
  std::uint8_t* const frame = buffer != nullptr ? buffer : frameHead_.data();
  const std::uint64_t position = getPosition();
  std::uint64_t blockStart = container::blockStartOf(position);
  BlockStatus status = loadBlock(blockStart, ReadAhead::Forward);
  std::size_t from = std::max<std::size_t>(position - blockStart, kHeaderSize);
  for (;;) {
    if (status != BlockStatus::Good) {
      // A block that cannot be read in full stops here for good; a bad one is
      // stepped over, one block per read.
      const bool bad = status == BlockStatus::Bad;
      position_.store(bad ? blockStart + kBlockSize : std::max(blockStart, position), std::memory_order_relaxed);
      clearScanner();
      return 0;
    }
    std::size_t startCodeEnd = 0;
    if (scanBlockForward(from, frame, startCodeEnd)) {
      return completeForward(blockStart + startCodeEnd, frame);
    }
    blockStart += kBlockSize;
    status = loadBlock(blockStart, ReadAhead::Forward);
    from = kHeaderSize;
  }
}

// The first byte of the start code whose id byte is at idPosition: three
// bytes before it, or eleven when the start code runs across a block header.
std::uint64_t StreamSource::startCodeBeginOf(std::uint64_t idPosition) {
  const std::uint64_t offset = idPosition % kBlockSize;
  const std::uint64_t back = offset < kHeaderSize + 3 ? 3 + kHeaderSize : 3;
  return idPosition >= back ? idPosition - back : 0;
}

// A forward read begins and ends its frame within one call, so the frame is
// collected straight into the caller's buffer: a second copy through frameBuf_
// would cost about as much as the scan.
void StreamSource::beginForwardFrame(std::uint8_t* frame, std::size_t idOffset) {
  const std::uint8_t id = block_[idOffset];
  frameStart_ = startCodeBeginOf(cachedBlockStart_ + idOffset);
  collecting_ = true;
  count_ = 4;
  frame[0] = 0x00;
  frame[1] = 0x00;
  frame[2] = 0x01;
  frame[3] = id;
}

bool StreamSource::stepForward(std::size_t offset, std::uint8_t* frame) {
  const std::uint8_t byte = block_[offset];
  window_ = window_ << 8 | byte;
  if (collecting_ && count_ < kFrameBufferSize) {
    if (count_ < copyLimit_) {
      frame[count_] = byte;
    }
    ++count_;
  }
  if (!isForwardStartCode(window_)) {
    return false;
  }
  if (collecting_) {
    return true;
  }
  beginForwardFrame(frame, offset);
  return false;
}

void StreamSource::appendForward(const std::uint8_t* bytes, std::size_t n, std::uint8_t* frame) {
  if (!collecting_) {
    return;
  }
  const std::size_t kept = std::min(n, kFrameBufferSize - count_);
  if (count_ < copyLimit_) {
    std::memcpy(frame + count_, bytes, std::min<std::size_t>(kept, copyLimit_ - count_));
  }
  count_ += static_cast<std::uint32_t>(kept);
}

// Consumes block_[from..4096). Returns true when a frame is complete, with
// startCodeEnd the offset of the id byte of the start code that ended it.
bool StreamSource::scanBlockForward(std::size_t from, std::uint8_t* frame, std::size_t& startCodeEnd) {
  const std::uint8_t* bytes = block_;
  std::size_t i = from;
  // The window may still hold bytes from before this run (another block, a
  // jump, the other direction): the first three bytes go through it singly.
  for (const std::size_t singleEnd = std::min(from + 3, kBlockSize); i < singleEnd; ++i) {
    if (stepForward(i, frame)) {
      startCodeEnd = i;
      return true;
    }
  }
  const auto findFirst = startcode::activeKernels().findFirst;
  while (i < kBlockSize) {
    const std::size_t found = findFirst(bytes, i - 3, kBlockSize);
    const std::size_t stop = found == startcode::kNotFound ? kBlockSize : found + 4;
    appendForward(bytes + i, stop - i, frame);
    window_ = loadForwardWindow(bytes + stop - 4);
    i = stop;
    if (found == startcode::kNotFound) {
      break;
    }
    if (collecting_) {
      startCodeEnd = stop - 1;
      return true;
    }
    beginForwardFrame(frame, stop - 1);
  }
  return false;
}

std::uint32_t StreamSource::completeForward(std::uint64_t startCodeEnd, std::uint8_t* frame) {
  const std::uint8_t id = frame[3];
  std::size_t first = 0;
  std::uint32_t length = 0;
  if (container::isAudioId(id)) {
    const unsigned audioChannel = id - container::kFirstAudioId;
    header_.isAudio = true;
    header_.channel = audioChannel;
    header_.audioChannelMask |= 1u << audioChannel;
    first = container::kAudioHeadSize;
    // A frame shorter than its head delivers nothing.
    length = count_ >= container::kAudioHeadSize + 4
                 ? count_ - static_cast<std::uint32_t>(container::kAudioHeadSize + 4)
                 : 0;
  } else {
    header_.isAudio = false;
    header_.channel = frame[4] & 0x0F;
    length = count_ - 4;
  }
  if (first != 0 && copyLimit_ == kFrameBufferSize) {
    std::memmove(frame, frame + first, length);
  }
  header_.length = length;
  header_.start = frameStart_;
  collecting_ = false;

  // Leave the position on the first byte of the start code that ended the
  // frame, so that the next forward read finds it again.
  position_.store(startCodeBeginOf(startCodeEnd), std::memory_order_relaxed);
  return length;
}

// ---- Backward reading ------------------------------------------------------

std::uint32_t StreamSource::readPrevious(std::uint8_t* buffer) {
  if (!isOpen()) {
    return 0;
  }
  if (!backward_) {
    backward_ = true;
    clearScanner();
  }
  chooseCopyLimit(buffer);
  std::uint64_t position = getPosition();
  if (position == 0) {
    return 0;
  }
  position -= 1;
  std::uint64_t blockStart = container::blockStartOf(position);
  BlockStatus status = loadBlock(blockStart, ReadAhead::Backward);
  if (status == BlockStatus::ShortAtEnd) {
    // The piece after the last whole block is never read: start at the end
    // of that block instead.
    if (blockStart == 0) {
      position_.store(0, std::memory_order_relaxed);
      clearScanner();
      return 0;
    }
    blockStart -= kBlockSize;
    position = blockStart + kBlockSize - 1;
    status = loadBlock(blockStart, ReadAhead::Backward);
  }
  for (;;) {
    if (status != BlockStatus::Good) {
      const bool bad = status == BlockStatus::Bad;
      position_.store(bad ? blockStart : position, std::memory_order_relaxed);
      clearScanner();
      return 0;
    }
    const std::size_t offset = position - blockStart;
    std::size_t startCodeBegin = 0;
    if (offset >= kHeaderSize && scanBlockBackward(offset, startCodeBegin)) {
      return completeBackward(blockStart + startCodeBegin, buffer);
    }
    if (blockStart == 0) {
      position_.store(0, std::memory_order_relaxed);
      clearScanner();
      return 0;
    }
    blockStart -= kBlockSize;
    position = blockStart + kBlockSize - 1;
    status = loadBlock(blockStart, ReadAhead::Backward);
  }
}

bool StreamSource::stepBackward(std::uint8_t byte) {
  window_ = window_ << 8 | byte;
  if (collecting_ && count_ < kFrameBufferSize) {
    frameBuf_[kFrameBufferSize - 1 - count_] = byte;
    ++count_;
  }
  if (!isBackwardStartCode(window_)) {
    return false;
  }
  if (collecting_) {
    return true;
  }
  collecting_ = true;
  count_ = 0;
  return false;
}

void StreamSource::prependBackward(const std::uint8_t* bytes, std::size_t n) {
  if (!collecting_) {
    return;
  }
  // Bytes are taken from the top down, so under the limit the highest ones stay.
  const std::size_t kept = std::min<std::size_t>(n, kFrameBufferSize - count_);
  // A frame's lowest bytes are the lowest of whichever runs brought them in,
  // so a head is whole when each run copies its own lowest bytes.
  std::memcpy(frameBuf_.data() + kFrameBufferSize - count_ - kept, bytes + n - kept,
              std::min<std::size_t>(kept, copyLimit_));
  count_ += static_cast<std::uint32_t>(kept);
}

// Consumes block_[from] down to block_[8]. Returns true when a frame is
// complete, with startCodeBegin the offset of the first byte of its own start code.
bool StreamSource::scanBlockBackward(std::size_t from, std::size_t& startCodeBegin) {
  const std::uint8_t* bytes = block_;
  std::size_t next = from + 1;  // bytes below next remain to be taken
  for (const std::size_t singleEnd = std::max(from >= 2 ? from - 2 : 0, kHeaderSize); next > singleEnd;) {
    --next;
    if (stepBackward(bytes[next])) {
      startCodeBegin = next;
      return true;
    }
  }
  const auto findLast = startcode::activeKernels().findLast;
  while (next > kHeaderSize) {
    const std::size_t found = findLast(bytes, kHeaderSize, next + 3);
    const std::size_t stop = found == startcode::kNotFound ? kHeaderSize : found;
    prependBackward(bytes + stop, next - stop);
    window_ = loadBackwardWindow(bytes + stop);
    next = stop;
    if (found == startcode::kNotFound) {
      break;
    }
    if (collecting_) {
      startCodeBegin = stop;
      return true;
    }
    collecting_ = true;
    count_ = 0;
  }
  return false;
}

std::uint32_t StreamSource::completeBackward(std::uint64_t startCodeBegin, std::uint8_t* buffer) {
  const std::uint8_t id = static_cast<std::uint8_t>(window_ >> 24);
  const std::uint8_t* collected = frameBuf_.data() + kFrameBufferSize - count_;
  std::uint32_t length = count_;
  if (container::isAudioId(id)) {
    header_.isAudio = true;
    header_.channel = id - container::kFirstAudioId;
    length = count_ >= container::kAudioHeadSize ? count_ - static_cast<std::uint32_t>(container::kAudioHeadSize) : 0;
    collected += count_ - length;
  } else {
    header_.isAudio = false;
    // A frame of just its start code is followed by the 00 of the next one.
    header_.channel = count_ > 4 ? collected[4] & 0x0F : 0;
  }
  if (buffer != nullptr) {
    std::memcpy(buffer, collected, length);
  }
  header_.length = length;
  header_.start = startCodeBegin;
  collecting_ = false;

  // Leave the position just past this frame's start code, so that the next
  // backward read meets it first as the end of the frame before.
  const bool divided = startCodeBegin % kBlockSize + 4 > kBlockSize;
  position_.store(startCodeBegin + 4 + (divided ? kHeaderSize : 0), std::memory_order_relaxed);
  return length;
}

// ---- Reading from the mark ---------------------------------------------------

std::uint32_t StreamSource::readFromMark(std::uint8_t* buffer) {
  backward_ = false;
  clearScanner();
  const std::uint64_t size = getSize();
  if (size == 0 || mark_ >= size - 1) {
    return 0;
  }
  position_.store(container::blockStartOf(mark_), std::memory_order_relaxed);
  for (;;) {
    const std::uint32_t length = readNext(buffer);
    if (length == 0 || !header_.isAudio) {
      return length;
    }
  }
}

std::uint32_t readOnward(StreamSource& source, std::uint8_t* buffer, bool backward) {
  for (;;) {
    const std::uint64_t before = source.getPosition();
    const std::uint32_t length = backward ? source.readPrevious(buffer) : source.readNext(buffer);
    if (length != 0 || source.getPosition() == before) {
      return length;
    }
  }
}

std::string describeOpenFailure(const std::string& path, int error) {
  if (error == ENOTSUP) {
    return path + " is neither a recording file nor a disk";
  }
  std::string text = "cannot open " + path + ": " + std::strerror(error);
  if ((error == EACCES || error == EPERM) && path.starts_with("/dev/")) {
    text +=
        " (reading a disk needs membership of the 'disk' group, e.g. 'sudo usermod -aG disk $USER' "
        "and a new login, or root)";
  }
  return text;
}

Status openFailure(const std::string& path, StatusCode code, int error) {
  return Status::failure(code, describeOpenFailure(path, error), error);
}

}  // namespace marlin
