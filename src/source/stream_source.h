#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "base/codec_ids.h"
#include "base/status.h"
#include "platform/block_file.h"
#include "source/block_span.h"
#include "source/container.h"
#include "source/frame_header.h"

namespace marlin {

// Whether copyRange may write onto a block device (a disk, a memory card) as
// well as into a file; a device is overwritten, so it must be asked for.
enum class CopyTarget { FileOnly, DeviceToo };

// Reads a recording (a ".QKV" file, a DVR disk or a disk image) one frame at
// a time, forward or backward, from a byte position that callers can move.
//
// One thread reads; the position, size and block time may be polled from
// another thread, and copyRange may run there too (it uses positional reads
// of its own and touches no reading state).
class StreamSource {
 public:
  // readAheadBytes: how much of the recording one read brings in (whole
  // blocks, one at least).
  explicit StreamSource(std::size_t readAheadBytes = BlockSpan::kDefaultBytes);
  virtual ~StreamSource();
  StreamSource(const StreamSource&) = delete;
  StreamSource& operator=(const StreamSource&) = delete;

  bool setCodecVariant(CodecVariant variant);

  // isDisk: every 16-bit word of the recording is stored byte-swapped. The
  // failure's message is describeOpenFailure's; its code is Unsupported when
  // the path opened but is neither a regular file nor a block device whose
  // size can be read (the failure front ends show "Open Error" for).
  Status open(const std::string& path, bool isDisk);
  bool close();
  bool isOpen() const { return file_.isOpen(); }

  std::string getName() const { return name_; }
  std::uint64_t getSize() const { return size_.load(std::memory_order_relaxed); }
  std::uint64_t getPosition() const { return position_.load(std::memory_order_relaxed); }
  bool isDisk() const { return isDisk_; }
  // The cameras the recording holds, sampled from its blocks when it was
  // opened (sampleChannelMask); 0 while closed.
  std::uint16_t recordedChannelMask() const { return recordedChannelMask_.load(std::memory_order_relaxed); }

  // Ignored (but still successful) unless pos < size.
  bool setPosition(std::uint64_t pos);
  // Moves the read point as setPosition does and forgets what was read
  // before, so that reading on delivers what a recording opened afresh
  // delivers from pos: a reader that takes range after range of one
  // recording gets the same frames whatever it read before.
  void startReadingAt(std::uint64_t pos);
  // Puts the read point at the end, where forward reading stops and from
  // where reading backward delivers every frame but the last.
  void setPositionToEnd();
  bool setMark(std::uint64_t pos);

  // Each returns the bytes delivered into buffer (which must hold
  // kFrameBufferSize bytes), 0 when no frame was delivered; the buffer's
  // bytes past the delivered ones are scratch. A null buffer steps over the
  // frame: the length, position and header() come out the same, but its
  // bytes are not copied, for a caller that looks at the headers only.
  std::uint32_t readNext(std::uint8_t* buffer);
  std::uint32_t readPrevious(std::uint8_t* buffer);
  std::uint32_t readFromMark(std::uint8_t* buffer);

  const FrameHeader& header() const { return header_; }
  bool getBlockTime(CalendarTime& out) const;
  // The local time of the valid block holding pos, read with a positional
  // read of its own, so that another thread may ask while one reads.
  bool blockTimeAt(std::uint64_t pos, CalendarTime& out) const;

  // Copies whole blocks, from the one holding start up to end rounded up to a
  // block boundary, into a new ".QKV" file in file byte order. Refuses a range
  // that is empty, outside the recording, larger than 1 GiB or only in the
  // piece after the last whole block, and an output that openOutputFile
  // refuses: anything but a file or (when allowed) a block device, and any
  // file being read, this recording under another name included.
  // Fails when a block cannot be read or written, also when the recording
  // shrinks during the copy; the whole blocks written by then are kept.
  Status copyRange(std::uint64_t start, std::uint64_t end, const std::string& outputPath,
                   CopyTarget target = CopyTarget::FileOnly);

 private:
  enum class BlockStatus { Good, Bad, ShortAtEnd, ReadError };

  BlockStatus loadBlock(std::uint64_t blockStart, ReadAhead direction);
  void clearScanner();
  void chooseCopyLimit(const std::uint8_t* buffer);
  std::uint32_t readForward(std::uint8_t* buffer);
  bool scanBlockForward(std::size_t from, std::uint8_t* frame, std::size_t& startCodeEnd);
  static std::uint64_t startCodeBeginOf(std::uint64_t idPosition);
  // idOffset: where the start code's id byte lies in the current block.
  void beginForwardFrame(std::uint8_t* frame, std::size_t idOffset);
  bool stepForward(std::size_t offset, std::uint8_t* frame);
  void appendForward(const std::uint8_t* bytes, std::size_t n, std::uint8_t* frame);
  std::uint32_t completeForward(std::uint64_t startCodeEnd, std::uint8_t* frame);
  bool scanBlockBackward(std::size_t from, std::size_t& startCodeBegin);
  bool stepBackward(std::uint8_t byte);
  void prependBackward(const std::uint8_t* bytes, std::size_t n);
  std::uint32_t completeBackward(std::uint64_t startCodeBegin, std::uint8_t* buffer);

  BlockFile file_;
  std::string name_;
  bool isDisk_ = false;
  CodecVariant codecVariant_ = 0;
  bool bigEndian_ = false;
  std::int32_t timeZoneBias_ = 0;

  std::atomic<std::uint64_t> size_{0};
  std::atomic<std::uint64_t> position_{0};
  std::atomic<std::uint16_t> recordedChannelMask_{0};
  std::uint64_t mark_ = 0;

  // Blocks read ahead in the direction of reading. Whole blocks of a
  // recording never change once written (a live recording only grows), so
  // the span stays valid across jumps; open and close drop it.
  BlockSpan span_;
  // The last whole, valid block read, inside span_; reused while reading
  // stays inside it.
  const std::uint8_t* block_ = nullptr;
  std::uint64_t cachedBlockStart_ = 0;
  bool blockCached_ = false;

  std::uint32_t window_ = 0xFFFFFFFF;
  // Backward reads collect a frame from its end, here; forward reads collect
  // straight into the caller's buffer.
  alignas(64) std::array<std::uint8_t, container::kFrameBufferSize> frameBuf_{};
  // A frame stepped over keeps only its start code and the byte after it
  // (a video frame's channel); the rest of it is counted, not copied.
  static constexpr std::uint32_t kFrameHeadSize = 5;
  std::array<std::uint8_t, kFrameHeadSize> frameHead_{};
  // How many of a frame's first bytes are copied: all of them, or its head.
  std::uint32_t copyLimit_ = container::kFrameBufferSize;
  std::uint32_t count_ = 0;
  // Where the start code of the frame being collected forward begins.
  std::uint64_t frameStart_ = 0;
  bool collecting_ = false;
  bool backward_ = false;

  FrameHeader header_;
  // Raw time of the last valid block with bit 32 set, 0 before the first one;
  // atomic because the display thread polls it during playback.
  std::atomic<std::uint64_t> lastBlockTime_{0};
};

// Reads on in one direction past reads that deliver nothing but move the
// position (damaged blocks, frames too short to deliver) until a frame is
// delivered. Returns 0 only where reading can go no further.
std::uint32_t readOnward(StreamSource& source, std::uint8_t* buffer, bool backward);

// A one-line explanation of why path could not be opened (errno error),
// with the remedy for a device that needs more permissions.
std::string describeOpenFailure(const std::string& path, int error);
// A failure to open path as that explanation, of the given code.
Status openFailure(const std::string& path, StatusCode code, int error);

}  // namespace marlin
