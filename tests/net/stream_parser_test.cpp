#include "net/stream_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "net_test_support.h"

// Counts allocations on the thread that asks, to show the parser makes none
// while it parses.
namespace {
thread_local bool countingAllocations = false;
thread_local std::size_t allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (countingAllocations) {
    ++allocations;
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}
#if defined(__GNUC__) && !defined(__clang__)
// GCC takes these for the library's own operators when it inlines them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace marlin::net {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Piece {
  char kind;  // 'v'ideo, 'a'udio, 'm'essage
  Bytes bytes;
  bool operator==(const Piece&) const = default;
};

void PrintTo(const Piece& piece, std::ostream* out) {
  *out << piece.kind << '[' << piece.bytes.size() << ']';
  for (std::size_t i = 0; i < piece.bytes.size() && i < 24; ++i) {
    *out << ' ' << std::hex << int{piece.bytes[i]};
  }
}

class Recorder : public StreamSink {
 public:
  void videoFrame(const std::uint8_t* data, std::size_t n) override { pieces.push_back({'v', Bytes(data, data + n)}); }
  void audioPacket(const std::uint8_t* data, std::size_t n) override { pieces.push_back({'a', Bytes(data, data + n)}); }
  void controlMessage(const std::uint8_t* data, std::size_t n) override {
    pieces.push_back({'m', Bytes(data, data + n)});
  }
  std::vector<Piece> pieces;
};

const auto startCode = [](std::uint8_t c) { return testing::startCoded(c); };
using testing::text;
const auto cat = testing::joined;
const auto message = testing::controlBytes;

const Bytes kPayload = {0x10, 0x20, 0x30, 0x40, 0x50};
const Bytes kStatus = message("001000070003");

class Parser : public ::testing::Test {
 protected:
  void feed(const Bytes& bytes) { parser.feed(bytes.data(), bytes.size()); }
  // Feeds one byte at a time; the number of pieces after each byte.
  std::vector<std::size_t> feedBytewise(const Bytes& bytes) {
    std::vector<std::size_t> counts;
    for (std::uint8_t b : bytes) {
      parser.feed(&b, 1);
      counts.push_back(sink.pieces.size());
    }
    return counts;
  }

  Recorder sink;
  StreamParser parser{sink};
};

TEST_F(Parser, DeliversANineByteVideoFrameWhenTheNextStartCodeEnds) {
  const auto counts = feedBytewise(cat({text("junk"), startCode(0xF8), kPayload, startCode(0xF9)}));
  EXPECT_EQ(counts[counts.size() - 2], 0u);
  ASSERT_EQ(sink.pieces, (std::vector<Piece>{{'v', cat({startCode(0xF8), kPayload})}}));
}

TEST_F(Parser, DeliversAudioWithoutItsStartCodeAndLeadInAndEndsTheFrameBeforeIt) {
  feed(cat({startCode(0xF9), kPayload, startCode(0xFA), {0xEE, 0xEF, 0xA1, 0xA2, 0xA3}, startCode(0xF8)}));
  EXPECT_EQ(sink.pieces, (std::vector<Piece>{{'v', cat({startCode(0xF9), kPayload})}, {'a', {0xA1, 0xA2, 0xA3}}}));
}

TEST_F(Parser, TakesAMessageOutOfAVideoFrameAndDeliversItAtItsSixteenthByte) {
  const Bytes before = {0x11, 0x22};
  const Bytes after = {0x33, 0x00, 0x00, 0x01, 0x44};
  feed(cat({startCode(0xF8), before}));
  const auto counts = feedBytewise(kStatus);
  EXPECT_EQ(counts[14], 0u);
  EXPECT_EQ(counts[15], 1u);
  feed(cat({after, startCode(0xF8)}));
  EXPECT_EQ(sink.pieces, (std::vector<Piece>{{'m', kStatus}, {'v', cat({startCode(0xF8), before, after})}}));
}

TEST_F(Parser, ReturnsToSkipAfterAMessageThatEndedAnAudioPacket) {
  const Bytes closing = message("000C000B");
  feed(cat({startCode(0xFA), {0xEE, 0xEF, 0xA1}, closing, startCode(0xF8), kPayload, startCode(0xF8)}));
  EXPECT_EQ(sink.pieces, (std::vector<Piece>{{'a', {0xA1}}, {'m', closing}, {'v', cat({startCode(0xF8), kPayload})}}));
}

TEST_F(Parser, RecognisesAStartCodeSplitAcrossFeeds) {
  feed(cat({startCode(0xF8), kPayload, {0x00, 0x00}}));
  feed({0x01});
  feed({0xF9, 0x99, 0x00});
  feed({0x00, 0x01, 0xF8});
  EXPECT_EQ(sink.pieces, (std::vector<Piece>{{'v', cat({startCode(0xF8), kPayload})}, {'v', {0, 0, 1, 0xF9, 0x99}}}));
}

TEST_F(Parser, SkipsMessagesWithAnInvalidOrShortLengthUpToTheNextStartCode) {
  for (const char* fields : {"00g10007000100020003", "000800070001", "000B00070001"}) {
    sink.pieces.clear();
    feed(cat({startCode(0xF8), kPayload, message(fields), kPayload, startCode(0xF8), kPayload, startCode(0xF8)}));
    // The frame ends where the bad message began; the next one arrives whole.
    EXPECT_EQ(sink.pieces,
              (std::vector<Piece>{{'v', cat({startCode(0xF8), kPayload})}, {'v', cat({startCode(0xF8), kPayload})}}))
        << fields;
  }
}

TEST_F(Parser, SkipsAMessageLongerThanItsBufferAndGoesOn) {
  // 2048 bytes by its length field: skipped to its end, then the frame goes on.
  const Bytes oversize = cat({message("08000008"), Bytes(2048 - 12, '7')});
  feed(cat({startCode(0xF8), kPayload, oversize, kPayload, startCode(0xF8)}));
  // 4000 by its length field, but a start code comes first.
  feed(cat({message("0FA00008"), Bytes(1500, '7'), startCode(0xF9), kPayload, kStatus, startCode(0xF8)}));
  // The largest message that fits is delivered.
  const Bytes largest = cat({message("04000008"), Bytes(1024 - 12, '7')});
  feed(cat({largest, startCode(0xF8)}));
  EXPECT_EQ(sink.pieces, (std::vector<Piece>{{'v', cat({startCode(0xF8), kPayload, kPayload})},
                                             {'m', kStatus},
                                             {'v', cat({startCode(0xF9), kPayload})},
                                             {'m', largest}}));
}

TEST_F(Parser, CutsOversizeFramesAndPacketsAtTheirBuffers) {
  Bytes frame = startCode(0xF9);
  for (std::size_t i = 4; i < kLiveVideoCapacity + 100; ++i) {
    frame.push_back(static_cast<std::uint8_t>(0x40 + i % 64));
  }
  Bytes packet(kLiveAudioCapacity + 50, 0x42);
  feed(cat({frame, startCode(0xFA), {0xEE, 0xEF}, packet, startCode(0xF8)}));
  ASSERT_EQ(sink.pieces.size(), 2u);
  EXPECT_EQ(sink.pieces[0].bytes, Bytes(frame.begin(), frame.begin() + kLiveVideoCapacity));
  EXPECT_EQ(sink.pieces[1].bytes, Bytes(kLiveAudioCapacity, 0x42));
}

// A stream as a DVR sends it: key and inter frames holding slice codes,
// sound packets, status messages between and inside frames.
Bytes mixedStream() {
  Bytes stream = text("leftover bytes of an earlier connection");
  for (int frame = 0; frame < 12; ++frame) {
    stream = cat({stream, startCode(frame % 4 == 0 ? 0xF9 : 0xF8)});
    for (int slice = 0; slice < 3; ++slice) {
      stream = cat({stream, {0x00, 0x00, 0x01, static_cast<std::uint8_t>(slice + 1)}, Bytes(40 + frame, 0x5A)});
      if (frame % 3 == 1 && slice == 1) {
        stream = cat({stream, message("00200008000100020003000400050006")});
      }
    }
    stream = cat({stream, startCode(0xFA), {0xEE, 0xEF}, Bytes(30, static_cast<std::uint8_t>(frame))});
    if (frame % 5 == 2) {
      stream = cat({stream, kStatus});
    }
  }
  return cat({stream, startCode(0xF8)});
}

TEST_F(Parser, DeliversTheSamePiecesForEveryChunkingAndAllocatesNothing) {
  const Bytes stream = mixedStream();
  feed(stream);
  const std::vector<Piece> whole = sink.pieces;
  EXPECT_EQ(std::count_if(whole.begin(), whole.end(), [](const Piece& p) { return p.kind == 'v'; }), 12);
  EXPECT_EQ(std::count_if(whole.begin(), whole.end(), [](const Piece& p) { return p.kind == 'a'; }), 12);
  EXPECT_EQ(std::count_if(whole.begin(), whole.end(), [](const Piece& p) { return p.kind == 'm'; }), 6);
  for (std::size_t chunk = 1; chunk <= 7; ++chunk) {
    Recorder chunked;
    StreamParser fresh(chunked);
    chunked.pieces.reserve(whole.size() + 1);
    countingAllocations = true;
    allocations = 0;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
      fresh.feed(stream.data() + at, std::min(chunk, stream.size() - at));
    }
    countingAllocations = false;
    // The recorder's copies of the pieces are all the allocations there are.
    EXPECT_EQ(allocations, whole.size()) << chunk;
    EXPECT_EQ(chunked.pieces, whole) << chunk;
  }
}

}  // namespace
}  // namespace marlin::net
