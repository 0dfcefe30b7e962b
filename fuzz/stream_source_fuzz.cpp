// Differential fuzz target: runs one sequence of reads and jumps on a
// StreamSource and on the byte-at-a-time ReferenceReader over the same
// recording, and stops at the first observable difference.
//
// Input layout (see fuzz_input.h):
//   [0] flags   bit 0: disk byte order; bit 1: codec variant 6 (big-endian
//               headers); bit 2: rewrite every block's check byte so that
//               mutated headers stay valid; bit 3: insert 33-40 filler blocks
//               (frames longer than the frame buffer); bit 4: zero filler;
//               bits 5-6: blocks per read of the source (default, 1, 2, 5)
//   [1] index into startcode::supportedKernels()
//   [2] with bit 2 of flags: block i gets a spoiled check byte when bit i % 8 is set
//   [3] with bit 3 of flags: where the filler goes and how much of it
//   [4] operation count (at most kMaxOps)
//   then 4 bytes per operation, then the recording. A read that takes no
//   position steps over its frames (null buffer) when bit 7 of its third
//   byte is set: everything but the delivered bytes is compared.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/calendar.h"
#include "base/codec_ids.h"
#include "fuzz_input.h"
#include "platform/time_zone.h"
#include "source/checksum8.h"
#include "source/container.h"
#include "source/stream_source.h"
#include "startcode/start_code_search.h"
#include "support/reference_reader.h"

namespace {

using marlin::StreamSource;
using marlin::container::kBlockSize;
using marlin::container::kFrameBufferSize;
using marlin::testing::ReferenceFrame;
using marlin::testing::ReferenceReader;
namespace fuzzin = marlin::fuzzinput;

// Reads per repeat op at most; such an op also stops as soon as reading is
// stuck (nothing delivered, position unchanged), so an input costs at most
// kMaxOps * kMaxRepeat reads even when its recording is all bad blocks.
constexpr unsigned kMaxRepeat = 256;

// MARLIN_FUZZ_TRACE=1 prints every operation and its outcome, for reading a
// reproducer.
bool tracing() {
  static const bool on = [] {
    const char* value = std::getenv("MARLIN_FUZZ_TRACE");
    return value != nullptr && *value != '\0' && *value != '0';
  }();
  return on;
}

[[noreturn]] void fail(const char* what, const char* op, unsigned opIndex) {
  std::fprintf(stderr, "stream_source_fuzz: mismatch in %s after op #%u (%s)\n", what, opIndex, op);
  std::fflush(stderr);
  std::abort();
}

// The recording lives in one anonymous in-memory file for the whole run:
// StreamSource insists on a path, and a disk file would make every input pay
// for file-system work.
int recordingFd() {
  static const int fd = [] {
    const int created = ::memfd_create("stream_source_fuzz", MFD_CLOEXEC);
    if (created < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    return created;
  }();
  return fd;
}

void storeRecording(const std::vector<std::uint8_t>& bytes) {
  const int fd = recordingFd();
  if (::ftruncate(fd, 0) != 0) {
    std::perror("ftruncate");
    std::abort();
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (put <= 0) {
      std::perror("pwrite");
      std::abort();
    }
    done += static_cast<std::size_t>(put);
  }
}

void stretch(std::vector<std::uint8_t>& recording, const fuzzin::Input& input) {
  const std::size_t blocks = recording.size() / kBlockSize;
  if (blocks == 0) {
    return;
  }
  const std::size_t after = (input.stretchAt & 0x1F) % blocks;
  const std::size_t count = fuzzin::kMinStretchBlocks + (input.stretchAt >> 5);
  std::vector<std::uint8_t> filler(kBlockSize, input.zeroFiller ? 0x00 : 0x5A);
  std::copy_n(recording.begin() + static_cast<std::ptrdiff_t>(after * kBlockSize), 8, filler.begin());
  std::vector<std::uint8_t> fillers;
  fillers.reserve(count * kBlockSize);
  for (std::size_t i = 0; i < count; ++i) {
    fillers.insert(fillers.end(), filler.begin(), filler.end());
  }
  recording.insert(recording.begin() + static_cast<std::ptrdiff_t>((after + 1) * kBlockSize), fillers.begin(),
                   fillers.end());
}

// libFuzzer's mutations almost never produce a matching check byte, so
// without this nearly every block of a mutated input is bad and the scanner
// is barely exercised.
void repairCheckBytes(std::vector<std::uint8_t>& recording, bool isDisk, std::uint8_t spoilMask) {
  for (std::size_t block = 0; (block + 1) * kBlockSize <= recording.size(); ++block) {
    std::uint8_t* b = recording.data() + block * kBlockSize;
    const std::size_t swap = isDisk ? 1 : 0;
    std::uint8_t header[8];
    for (std::size_t i = 0; i < 8; ++i) {
      header[i] = b[i ^ swap];
    }
    std::uint8_t check = marlin::checksum8(header, 7);
    if ((spoilMask >> (block % 8)) & 1u) {
      check ^= 0x5A;
    }
    b[7 ^ swap] = check;
  }
}

struct Expectation {
  // header().isAudio and header().channel are only defined by what the
  // reference shows: a read that delivers nothing may still have completed
  // an audio frame too short to deliver, and the reference does not say so.
  std::optional<bool> isAudio = false;
  std::optional<std::uint32_t> channel = 0;
};

class Harness {
 public:
  Harness(const fuzzin::Input& input, std::vector<std::uint8_t> recording)
      : source_(std::make_unique<StreamSource>(input.readAheadBlocks != 0 ? input.readAheadBlocks * kBlockSize
                                                                          : marlin::BlockSpan::kDefaultBytes)),
        reference_(recording, input.isDisk, input.bigEndian),
        size_(recording.size()),
        bias_(marlin::timeZoneBiasSeconds()) {
    storeRecording(recording);
    source_->setCodecVariant(input.codecVariant);
    const std::string path = "/proc/self/fd/" + std::to_string(recordingFd());
    if (const marlin::Status opened = source_->open(path, input.isDisk); !opened) {
      std::fprintf(stderr, "stream_source_fuzz: %s\n", opened.message().c_str());
      std::abort();
    }
    if (source_->getSize() != size_) {
      fail("size", "open", 0);
    }
  }

  void run(const fuzzin::Op& op, unsigned index) {
    index_ = index;
    destination_ = (op.b & 0x80) != 0 && op.kind != fuzzin::OpKind::MarkAndRead ? nullptr : buffer_.get();
    switch (op.kind) {
      case fuzzin::OpKind::ReadNext:
        name_ = "readNext";
        readNext();
        break;
      case fuzzin::OpKind::ReadPrevious:
        name_ = "readPrevious";
        readPrevious();
        break;
      case fuzzin::OpKind::SetPosition: {
        name_ = "setPosition";
        lastLength_ = 0;
        const std::uint64_t pos = fuzzin::derivePosition(op, size_);
        source_->setPosition(pos);
        reference_.setPosition(pos);
        check();
        break;
      }
      case fuzzin::OpKind::SetPositionToEnd:
        name_ = "setPositionToEnd";
        lastLength_ = 0;
        source_->setPositionToEnd();
        reference_.setPositionToEnd();
        check();
        break;
      case fuzzin::OpKind::MarkAndRead: {
        name_ = "setMark+readFromMark";
        const std::uint64_t pos = fuzzin::derivePosition(op, size_);
        const bool marked = source_->setMark(pos);
        if (marked != reference_.setMark(pos)) {
          fail("setMark result", name_, index_);
        }
        if (marked) {
          mark_ = pos;
        }
        readFromMark();
        break;
      }
      case fuzzin::OpKind::ReadNextRepeated:
        name_ = "readNext (repeated)";
        repeat(op, [this] { return readNext(); });
        break;
      case fuzzin::OpKind::ReadPreviousRepeated:
        name_ = "readPrevious (repeated)";
        repeat(op, [this] { return readPrevious(); });
        break;
      case fuzzin::OpKind::ReadFromMark:
        name_ = "readFromMark";
        readFromMark();
        break;
    }
  }

 private:
  template <class Read>
  void repeat(const fuzzin::Op& op, Read read) {
    const unsigned times = 1 + op.a % kMaxRepeat;
    for (unsigned i = 0; i < times; ++i) {
      const std::uint64_t before = source_->getPosition();
      if (!read() && source_->getPosition() == before) {
        break;
      }
    }
  }

  bool readNext() {
    const std::uint32_t length = source_->readNext(destination_);
    const std::optional<ReferenceFrame> frame = reference_.readNext();
    compareFrame(length, frame);
    expect_.isAudio = reference_.state().isAudio;
    check();
    return length != 0;
  }

  bool readFromMark() {
    const std::uint32_t length = source_->readFromMark(destination_);
    const std::optional<ReferenceFrame> frame = reference_.readFromMark();
    compareFrame(length, frame);
    // A mark on the last byte (or an empty recording) leaves nothing to read
    // and no forward read is made, so the flag keeps whatever the last read set.
    if (size_ != 0 && mark_ < size_ - 1) {
      expect_.isAudio = reference_.state().isAudio;
    }
    check();
    return length != 0;
  }

  bool readPrevious() {
    const std::optional<bool> before = expect_.isAudio;
    const std::uint32_t length = source_->readPrevious(destination_);
    const std::optional<ReferenceFrame> frame = reference_.readPrevious();
    compareFrame(length, frame);
    if (frame) {
      expect_.isAudio = frame->isAudio;
    } else if (before == true) {
      // Nothing delivered: either no frame completed (flag untouched) or an
      // empty audio frame did (flag set); both leave it true.
      expect_.isAudio = true;
    } else {
      expect_.isAudio.reset();
    }
    check();
    return length != 0;
  }

  void compareFrame(std::uint32_t length, const std::optional<ReferenceFrame>& frame) {
    lastLength_ = length;
    if (length > kFrameBufferSize) {
      fail("length above the frame buffer size", name_, index_);
    }
    if (!frame) {
      if (length != 0) {
        fail("length (reference delivered nothing)", name_, index_);
      }
      expect_.channel.reset();
      return;
    }
    if (frame->bytes.size() != length) {
      std::fprintf(stderr, "length %u, reference %zu\n", length, frame->bytes.size());
      fail("length", name_, index_);
    }
    if (destination_ != nullptr && std::memcmp(destination_, frame->bytes.data(), length) != 0) {
      fail("delivered bytes", name_, index_);
    }
    if (source_->header().length != length) {
      fail("header().length", name_, index_);
    }
    if (source_->header().isAudio != frame->isAudio) {
      fail("header().isAudio of a delivered frame", name_, index_);
    }
    expect_.channel = frame->channel;
  }

  void check() {
    const auto& header = source_->header();
    const auto& state = reference_.state();
    if (tracing()) {
      std::fprintf(stderr,
                   "#%u %-24s len %6u pos %8llu/%8llu audio %d/%s ch %u/%s mask %x/%x has %d/%d cm %x/%x fi %u/%u\n",
                   index_, name_, lastLength_, static_cast<unsigned long long>(source_->getPosition()),
                   static_cast<unsigned long long>(state.position), header.isAudio,
                   expect_.isAudio ? (*expect_.isAudio ? "1" : "0") : "?", header.channel,
                   expect_.channel ? std::to_string(*expect_.channel).c_str() : "?", header.audioChannelMask,
                   state.audioChannelMask, header.hasAudio, state.hasAudio, header.channelMask, state.channelMask,
                   header.frameInterval, state.frameInterval);
    }
    if (source_->getPosition() != state.position) {
      std::fprintf(stderr, "position %llu, reference %llu\n", static_cast<unsigned long long>(source_->getPosition()),
                   static_cast<unsigned long long>(state.position));
      fail("getPosition()", name_, index_);
    }
    if (expect_.isAudio && header.isAudio != *expect_.isAudio) {
      fail("header().isAudio", name_, index_);
    }
    if (expect_.channel && header.channel != *expect_.channel) {
      fail("header().channel", name_, index_);
    }
    if (header.audioChannelMask != state.audioChannelMask) {
      fail("header().audioChannelMask", name_, index_);
    }
    if (header.hasAudio != state.hasAudio) {
      fail("header().hasAudio", name_, index_);
    }
    if (header.channelMask != state.channelMask) {
      fail("header().channelMask", name_, index_);
    }
    if (header.frameInterval != state.frameInterval) {
      fail("header().frameInterval", name_, index_);
    }
    // getBlockTime also refuses a stamp that does not convert to a sensible
    // calendar time, so the reference's raw stamp goes through the same conversion.
    marlin::CalendarTime known{};
    const bool sourceKnows = source_->getBlockTime(known);
    std::optional<marlin::CalendarTime> expected;
    if (state.blockTime) {
      expected = marlin::calendarFromTimestamp(*state.blockTime, bias_);
      if (header.blockTime != *expected) {
        fail("header().blockTime", name_, index_);
      }
    }
    const bool referenceKnows = expected && marlin::isPlausible(*expected);
    if (sourceKnows != referenceKnows) {
      fail("whether a block time is known", name_, index_);
    }
    if (sourceKnows && known != *expected) {
      fail("getBlockTime() value", name_, index_);
    }
  }

  std::unique_ptr<StreamSource> source_;
  ReferenceReader reference_;
  std::uint64_t size_;
  std::int32_t bias_;
  std::unique_ptr<std::uint8_t[]> buffer_{new std::uint8_t[kFrameBufferSize]};
  // buffer_, or null for an operation that steps over its frames.
  std::uint8_t* destination_ = nullptr;
  Expectation expect_;
  const char* name_ = "open";
  unsigned index_ = 0;
  std::uint32_t lastLength_ = 0;
  std::uint64_t mark_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<fuzzin::Input> input = fuzzin::parse(data, size);
  if (!input) {
    return -1;  // too short to say anything: keep it out of the corpus
  }
  const auto kernels = marlin::startcode::supportedKernels();
  marlin::startcode::selectKernels(*kernels[input->kernelIndex % kernels.size()]);

  std::vector<std::uint8_t> recording(input->recording, input->recording + input->recordingSize);
  if (input->stretch) {
    stretch(recording, *input);
  }
  if (input->repairChecks) {
    repairCheckBytes(recording, input->isDisk, input->spoilMask);
  }
  Harness harness(*input, std::move(recording));
  for (unsigned i = 0; i < input->ops.size(); ++i) {
    harness.run(input->ops[i], i);
  }
  return 0;
}
