// RecordingWriter: live frames laid into container blocks, checked byte by
// byte against the layout rules and read back with the stream source.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <sched.h>
#include <vector>

#include "platform/time_zone.h"
#include "source/checksum8.h"
#include "source/container.h"
#include "source/recording_writer.h"
#include "source/stream_source.h"
#include "support/temp_dir.h"
#include "synth/synthetic_recording.h"

namespace marlin {
namespace {

using synth::Bytes;
using testing::readFile;
using testing::TempDir;

constexpr std::uint32_t kTime = 1000000000;  // 00 CA 9A 3B little-endian
constexpr std::size_t kBlock = container::kBlockSize;

std::atomic<std::uint32_t> fixedNow{kTime};
std::uint32_t fixedClock() { return fixedNow.load(); }

std::atomic<std::uint32_t> ticks{5000};
std::uint32_t tickingClock() { return ticks.fetch_add(1); }

// A picture in the live layout: 00 00 01 F8, refresh flag in bit 7 of byte 4
// with the other header fields below it, the sequence number big-endian in
// bytes 5-6, then picture bytes free of frame start codes (also once byte 4
// has been shifted for the file layout).
Bytes liveFrame(std::size_t length, bool refresh, std::uint16_t sequence, std::mt19937& random,
                std::uint8_t fields = 0x15) {
  Bytes frame(std::max<std::size_t>(length, 8));
  std::uniform_int_distribution<int> byte(0, 255);
  for (auto& b : frame) {
    b = static_cast<std::uint8_t>(byte(random));
  }
  frame[0] = 0x00;
  frame[1] = 0x00;
  frame[2] = 0x01;
  frame[3] = container::kVideoId;
  frame[4] = static_cast<std::uint8_t>((refresh ? 0x80 : 0x00) | (fields & 0x7F));
  frame[5] = static_cast<std::uint8_t>(sequence >> 8);
  frame[6] = static_cast<std::uint8_t>(sequence);
  frame[7] = 0x11;  // no start code can span bytes 4-10 with this byte
  synth::removeStartCodes(frame.data() + 7, frame.size() - 7);
  frame.resize(length);
  return frame;
}

// Sample bytes without zeros, so that they never hold a start code.
Bytes samples(std::size_t n, std::uint8_t first = 0x40) {
  Bytes s(n);
  for (std::size_t i = 0; i < n; ++i) {
    s[i] = static_cast<std::uint8_t>(0x20 + (first + i * 7) % 0xC0);
  }
  return s;
}

// The header this writer puts before a block: little-endian time, channel
// mask 1, the frame interval and the check byte.
Bytes expectedHeader(std::uint32_t time, std::uint8_t interval, bool bigEndian = false) {
  Bytes h = bigEndian ? Bytes{static_cast<std::uint8_t>(time >> 24), static_cast<std::uint8_t>(time >> 16),
                              static_cast<std::uint8_t>(time >> 8), static_cast<std::uint8_t>(time), 0x00, 0x01,
                              interval}
                      : Bytes{static_cast<std::uint8_t>(time), static_cast<std::uint8_t>(time >> 8),
                              static_cast<std::uint8_t>(time >> 16), static_cast<std::uint8_t>(time >> 24), 0x01,
                              0x00, interval};
  h.push_back(checksum8(h.data(), 7));
  return h;
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t n) {
  if (from + n > bytes.size()) {
    ADD_FAILURE() << "slice [" << from << ", " << from + n << ") beyond " << bytes.size() << " bytes";
    return {};
  }
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + n));
}

struct ReadFrame {
  Bytes bytes;
  bool isAudio = false;
  std::uint32_t channel = 0;
  friend bool operator==(const ReadFrame&, const ReadFrame&) = default;
};

std::ostream& operator<<(std::ostream& out, const ReadFrame& f) {
  return out << (f.isAudio ? "audio" : "video") << " ch" << f.channel << " " << f.bytes.size() << " bytes";
}

ReadFrame video(const Bytes& bytes) { return {bytes, false, static_cast<std::uint32_t>(bytes[4] & 0x0F)}; }
ReadFrame audio(const Bytes& sampleBytes) {
  // Readers skip the two bytes after the start code: here the first two samples.
  return {Bytes(sampleBytes.begin() + 2, sampleBytes.end()), true, 0};
}

struct ReadBack {
  std::vector<ReadFrame> frames;
  int failedReads = 0;  // reads that delivered nothing and stopped short of the end (bad blocks)
  bool opened = false;
};

ReadBack readForward(const std::string& path, CodecVariant variant = 4) {
  ReadBack result;
  StreamSource source;
  source.setCodecVariant(variant);
  result.opened = source.open(path, false);
  if (!result.opened) {
    return result;
  }
  std::vector<std::uint8_t> buffer(container::kFrameBufferSize);
  for (int guard = 0; guard < 100000; ++guard) {
    const std::uint64_t before = source.getPosition();
    const std::uint32_t n = source.readNext(buffer.data());
    if (n == 0) {
      if (source.getPosition() == before) {
        break;
      }
      // Running into the end of the file moves the position there; anything
      // short of the end was a block that failed.
      if (source.getPosition() < source.getSize()) {
        ++result.failedReads;
      }
      continue;
    }
    result.frames.push_back(
        {Bytes(buffer.begin(), buffer.begin() + n), source.header().isAudio, source.header().channel});
  }
  return result;
}

class RecordingWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { fixedNow = kTime; }

  std::string path(const std::string& name = "rec.QKV") const { return dir.file(name); }

  TempDir dir;
  std::mt19937 random{42};
};

// ---------------------------------------------------------------------------
// Block layout

TEST_F(RecordingWriterTest, TenThousandByteRefreshPictureFillsThreeBlocks) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path());
  ASSERT_TRUE(writer.isOpen());
  // Sequence 3 after the initial 0: frame interval 3.
  Bytes frame = liveFrame(10000, true, 3, random);
  ASSERT_TRUE(writer.writeVideo(frame.data(), frame.size()));
  EXPECT_EQ(writer.bytesWritten(), 3 * 8 + 10000u);
  EXPECT_EQ(std::filesystem::file_size(path()), 3 * 8 + 10000u) << "nothing may be held back in the writer";
  writer.close();
  EXPECT_FALSE(writer.isOpen());

  const Bytes file = readFile(path());
  ASSERT_EQ(file.size(), 12288u);
  const Bytes header = expectedHeader(kTime, 3);
  EXPECT_EQ(slice(file, 0, 8), header);
  EXPECT_EQ(slice(file, 8, 4088), slice(frame, 0, 4088));
  EXPECT_EQ(slice(file, 4096, 8), header);
  EXPECT_EQ(slice(file, 4104, 4088), slice(frame, 4088, 4088));
  EXPECT_EQ(slice(file, 8192, 8), header);
  EXPECT_EQ(slice(file, 8200, 1824), slice(frame, 8176, 1824));
  EXPECT_EQ(slice(file, 10024, 2264), Bytes(2264, 0x00));
}

TEST_F(RecordingWriterTest, NothingIsWrittenBeforeTheFirstRefreshPicture) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path());
  for (std::uint16_t sequence = 1; sequence <= 3; ++sequence) {
    Bytes frame = liveFrame(3000, false, sequence, random);
    EXPECT_FALSE(writer.writeVideo(frame.data(), frame.size()));
    const Bytes s = samples(500);
    EXPECT_FALSE(writer.writeAudio(s.data(), s.size()));
  }
  EXPECT_EQ(std::filesystem::file_size(path()), 0u);
  EXPECT_EQ(writer.bytesWritten(), 0u);

  Bytes refresh = liveFrame(100, true, 4, random);
  ASSERT_TRUE(writer.writeVideo(refresh.data(), refresh.size()));
  const Bytes s = samples(50);
  EXPECT_TRUE(writer.writeAudio(s.data(), s.size()));
  writer.close();

  const Bytes file = readFile(path());
  ASSERT_EQ(file.size(), kBlock);
  EXPECT_EQ(slice(file, 0, 8), expectedHeader(kTime, 1));  // 3 -> 4
  EXPECT_EQ(slice(file, 8, 100), refresh);
  EXPECT_EQ(slice(file, 108, 4), (Bytes{0x00, 0x00, 0x01, 0xFA}));
  EXPECT_EQ(slice(file, 112, 50), s);
}

TEST_F(RecordingWriterTest, RecordingStoppedBeforeAnyRefreshPictureIsEmpty) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path());
  Bytes frame = liveFrame(5000, false, 9, random);
  EXPECT_FALSE(writer.writeVideo(frame.data(), frame.size()));
  writer.close();
  EXPECT_TRUE(std::filesystem::exists(path()));
  EXPECT_EQ(std::filesystem::file_size(path()), 0u);
}

struct IntervalCase {
  std::uint16_t previous;
  std::uint16_t current;
  std::uint8_t stored;
};

std::ostream& operator<<(std::ostream& out, const IntervalCase& c) {
  return out << c.previous << " -> " << c.current << " stores " << int{c.stored};
}

class FrameIntervalFromSequence : public RecordingWriterTest, public ::testing::WithParamInterface<IntervalCase> {};

// The first picture exactly fills block 0, so the second picture's call
// writes the header of block 1 with the interval the second picture gave.
TEST_P(FrameIntervalFromSequence, StoredInTheNextHeader) {
  const IntervalCase c = GetParam();
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path());
  Bytes first = liveFrame(container::kPayloadSize, true, c.previous, random);
  ASSERT_TRUE(writer.writeVideo(first.data(), first.size()));
  Bytes second = liveFrame(100, false, c.current, random);
  ASSERT_TRUE(writer.writeVideo(second.data(), second.size()));
  writer.close();

  const Bytes file = readFile(path());
  ASSERT_EQ(file.size(), 2 * kBlock);
  EXPECT_EQ(slice(file, kBlock, 8), expectedHeader(kTime, c.stored))
      << c.previous << " -> " << c.current << ": stored " << int{file[kBlock + 6]};
}

INSTANTIATE_TEST_SUITE_P(Documented, FrameIntervalFromSequence,
                         ::testing::Values(IntervalCase{65535, 0, 1},  // wraps to a step of 1
                                           IntervalCase{10, 10, 1},    // no step counts as 1
                                           IntervalCase{10, 11, 1}, IntervalCase{10, 14, 4},
                                           IntervalCase{10, 300, 290 & 0x7F},
                                           IntervalCase{10, 138, 128 & 0x7F},  // 128 keeps no low bits
                                           IntervalCase{10, 9, 65535 & 0x7F}));  // backwards: 65535 steps

TEST_F(RecordingWriterTest, FirstPictureIsMeasuredAgainstTheLastOneOfThePreviousRecording) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path("one.QKV"));
  Bytes a = liveFrame(200, true, 100, random);
  ASSERT_TRUE(writer.writeVideo(a.data(), a.size()));
  writer.close();

  // Pictures offered while no file is open are not looked at.
  Bytes ignored = liveFrame(200, true, 500, random);
  const Bytes ignoredBefore = ignored;
  EXPECT_FALSE(writer.writeVideo(ignored.data(), ignored.size()));
  EXPECT_EQ(ignored, ignoredBefore) << "a closed writer converted a frame";

  writer.open(path("two.QKV"));
  Bytes b = liveFrame(200, true, 103, random);
  ASSERT_TRUE(writer.writeVideo(b.data(), b.size()));
  writer.close();
  EXPECT_EQ(slice(readFile(path("two.QKV")), 0, 8), expectedHeader(kTime, 3));
}

TEST_F(RecordingWriterTest, EachRecordingWaitsForItsOwnRefreshPicture) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path("one.QKV"));
  Bytes a = liveFrame(200, true, 1, random);
  ASSERT_TRUE(writer.writeVideo(a.data(), a.size()));
  writer.close();

  writer.open(path("two.QKV"));
  Bytes b = liveFrame(200, false, 2, random);
  EXPECT_FALSE(writer.writeVideo(b.data(), b.size()));
  const Bytes s = samples(30);
  EXPECT_FALSE(writer.writeAudio(s.data(), s.size()));
  writer.close();
  EXPECT_EQ(std::filesystem::file_size(path("two.QKV")), 0u);
}

TEST_F(RecordingWriterTest, AllHeadersOfOneCallCarryTheTimeTakenAtItsStart) {
  RecordingWriter writer(tickingClock);
  writer.setFormat(2, 4, 4);
  writer.open(path());
  Bytes first = liveFrame(10000, true, 1, random);
  ASSERT_TRUE(writer.writeVideo(first.data(), first.size()));
  Bytes second = liveFrame(5000, false, 2, random);  // runs into block 3
  ASSERT_TRUE(writer.writeVideo(second.data(), second.size()));
  writer.close();

  const Bytes file = readFile(path());
  ASSERT_EQ(file.size(), 4 * kBlock);
  auto timeOf = [&](std::size_t block) {
    const std::uint8_t* h = file.data() + block * kBlock;
    return static_cast<std::uint32_t>(h[0] | h[1] << 8 | h[2] << 16 | h[3] << 24);
  };
  EXPECT_EQ(timeOf(0), timeOf(1));
  EXPECT_EQ(timeOf(0), timeOf(2));
  EXPECT_GT(timeOf(3), timeOf(2)) << "the second call must take the time again";
  for (std::size_t block = 0; block < 4; ++block) {
    const std::uint8_t* h = file.data() + block * kBlock;
    EXPECT_EQ(h[7], checksum8(h, 7)) << "block " << block;
  }
}

TEST_F(RecordingWriterTest, BigEndianHeadersForVariantSix) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 6, 4);
  writer.open(path());
  Bytes first = liveFrame(5000, true, 2, random);
  ASSERT_TRUE(writer.writeVideo(first.data(), first.size()));
  Bytes second = liveFrame(300, false, 3, random);
  ASSERT_TRUE(writer.writeVideo(second.data(), second.size()));
  writer.close();

  const Bytes file = readFile(path());
  ASSERT_EQ(file.size(), 2 * kBlock);
  // 1000000000 = 0x3B9ACA00
  EXPECT_EQ(slice(file, 0, 8), expectedHeader(kTime, 2, true));
  EXPECT_EQ(slice(file, 0, 6), (Bytes{0x3B, 0x9A, 0xCA, 0x00, 0x00, 0x01}));
  EXPECT_EQ(slice(file, kBlock, 8), expectedHeader(kTime, 2, true));

  StreamSource source;
  source.setCodecVariant(6);
  ASSERT_TRUE(source.open(path(), false));
  std::vector<std::uint8_t> buffer(container::kFrameBufferSize);
  ASSERT_EQ(source.readNext(buffer.data()), first.size());
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + first.size()), first);
  EXPECT_EQ(source.header().channelMask, 1);
  CalendarTime time;
  ASSERT_TRUE(source.getBlockTime(time));
  EXPECT_EQ(time, calendarFromTimestamp(kTime, timeZoneBiasSeconds()));
}

// ---------------------------------------------------------------------------
// Audio

TEST_F(RecordingWriterTest, AudioStartCodeDividedByABlockHeader) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path());
  Bytes first = liveFrame(4086, true, 1, random);  // 8 + 4086: 4094 bytes used
  ASSERT_TRUE(writer.writeVideo(first.data(), first.size()));
  ASSERT_EQ(writer.bytesWritten() % kBlock, 4094u);
  fixedNow = kTime + 7;
  const Bytes s = samples(10);
  ASSERT_TRUE(writer.writeAudio(s.data(), s.size()));
  fixedNow = kTime + 8;
  Bytes last = liveFrame(300, false, 2, random);
  ASSERT_TRUE(writer.writeVideo(last.data(), last.size()));
  writer.close();

  const Bytes file = readFile(path());
  ASSERT_EQ(file.size(), 2 * kBlock);
  EXPECT_EQ(slice(file, 4094, 2), (Bytes{0x00, 0x00}));
  EXPECT_EQ(slice(file, 4096, 8), expectedHeader(kTime + 7, 1));
  EXPECT_EQ(slice(file, 4104, 2), (Bytes{0x01, 0xFA}));
  EXPECT_EQ(slice(file, 4106, 10), s);
  EXPECT_EQ(slice(file, 4116, 300), last);

  const ReadBack back = readForward(path());
  EXPECT_EQ(back.failedReads, 0);
  EXPECT_EQ(back.frames, (std::vector<ReadFrame>{video(first), audio(s)}));
}

TEST_F(RecordingWriterTest, AudioAtABlockBoundaryFollowsTheHeader) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path());
  Bytes first = liveFrame(container::kPayloadSize, true, 1, random);
  ASSERT_TRUE(writer.writeVideo(first.data(), first.size()));
  ASSERT_EQ(writer.bytesWritten(), kBlock);
  const Bytes s = samples(20);
  ASSERT_TRUE(writer.writeAudio(s.data(), s.size()));
  writer.close();

  const Bytes file = readFile(path());
  ASSERT_EQ(file.size(), 2 * kBlock);
  EXPECT_EQ(slice(file, 4096, 8), expectedHeader(kTime, 1));
  EXPECT_EQ(slice(file, 4104, 4), (Bytes{0x00, 0x00, 0x01, 0xFA}));
  EXPECT_EQ(slice(file, 4108, 20), s);
  EXPECT_EQ(slice(file, 4128, kBlock - 32), Bytes(kBlock - 32, 0x00));
}

// ---------------------------------------------------------------------------
// Picture header conversion

struct ConversionCase {
  const char* what;
  CodecVariant variant;
  int paneCount;
  std::array<std::uint8_t, 4> live;  // bytes 3-6
  std::array<std::uint8_t, 4> file;
};

std::ostream& operator<<(std::ostream& out, const ConversionCase& c) { return out << c.what; }

class PictureHeaderConversion : public RecordingWriterTest, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(PictureHeaderConversion, ConvertsInPlace) {
  const ConversionCase& c = GetParam();
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, c.variant, c.paneCount);
  writer.open(path());
  Bytes frame = liveFrame(64, false, 0, random);
  std::copy(c.live.begin(), c.live.end(), frame.begin() + 3);
  const Bytes rest(frame.begin() + 7, frame.end());
  const bool refresh = (c.live[1] & 0x80) != 0;
  EXPECT_EQ(writer.writeVideo(frame.data(), frame.size()), refresh);
  EXPECT_EQ((std::array<std::uint8_t, 4>{frame[3], frame[4], frame[5], frame[6]}), c.file) << c.what;
  EXPECT_EQ((Bytes{frame[0], frame[1], frame[2]}), (Bytes{0x00, 0x00, 0x01}));
  EXPECT_EQ(Bytes(frame.begin() + 7, frame.end()), rest) << "only the picture header may change";
  writer.close();
  if (refresh) {
    EXPECT_EQ(slice(readFile(path()), 8, frame.size()), frame) << "the converted bytes are the ones written";
  }
}

// Live byte 4 = 0x95: refresh flag and fields 0x15; sequence 0xABCD.
INSTANTIATE_TEST_SUITE_P(
    Variants, PictureHeaderConversion,
    ::testing::Values(
        ConversionCase{"variant 4 shifts", 4, 4, {0xF8, 0x95, 0xAB, 0xCD}, {0xF9, 0x2A, 0xAB, 0xCD}},
        ConversionCase{"variant 1 shifts", 1, 4, {0xF8, 0x95, 0xAB, 0xCD}, {0xF9, 0x2A, 0xAB, 0xCD}},
        ConversionCase{"variant 3 shifts", 3, 4, {0xF8, 0x95, 0xAB, 0xCD}, {0xF9, 0x2A, 0xAB, 0xCD}},
        ConversionCase{"variant 5 shifts", 5, 4, {0xF8, 0x95, 0xAB, 0xCD}, {0xF9, 0x2A, 0xAB, 0xCD}},
        ConversionCase{"variant 6 shifts", 6, 9, {0xF8, 0x95, 0xAB, 0xCD}, {0xF9, 0x2A, 0xAB, 0xCD}},
        ConversionCase{"variant 0 keeps", 0, 4, {0xF8, 0x95, 0xAB, 0xCD}, {0xF8, 0x95, 0xAB, 0xCD}},
        ConversionCase{"variant 2 keeps", 2, 4, {0xF8, 0x95, 0xAB, 0xCD}, {0xF8, 0x95, 0xAB, 0xCD}},
        ConversionCase{"16 panes after the shift", 4, 16, {0xF8, 0x95, 0xAB, 0xCD}, {0xF9, 0x20, 0x03, 0xCD}},
        ConversionCase{"16 panes without a shift", 0, 16, {0xF8, 0x95, 0xAB, 0xCD}, {0xF8, 0x90, 0x03, 0xCD}},
        ConversionCase{"16 panes, variant 2", 2, 16, {0xF8, 0x9F, 0xFF, 0x42}, {0xF8, 0x90, 0x07, 0x42}},
        ConversionCase{"conditional picture keeps its id", 4, 4, {0xF8, 0x15, 0x00, 0x02}, {0xF8, 0x2A, 0x00, 0x02}},
        ConversionCase{"top field bit leaves byte 4", 5, 4, {0xF8, 0xC1, 0x00, 0x07}, {0xF9, 0x82, 0x00, 0x07}}));

TEST_F(RecordingWriterTest, DefaultFormatShiftsLikeVariantOne) {
  RecordingWriter writer(fixedClock);
  writer.open(path());
  Bytes frame = liveFrame(64, true, 0xABCD, random, 0x15);
  ASSERT_TRUE(writer.writeVideo(frame.data(), frame.size()));
  EXPECT_EQ((std::array<std::uint8_t, 4>{frame[3], frame[4], frame[5], frame[6]}),
            (std::array<std::uint8_t, 4>{0xF9, 0x2A, 0xAB, 0xCD}));
}

// ---------------------------------------------------------------------------
// Read back

TEST_F(RecordingWriterTest, StreamSourceReadsBackEveryFrameButTheLast) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path());
  std::vector<ReadFrame> written;
  std::uniform_int_distribution<std::size_t> videoLength(7, 12000);
  // At least three samples: with two, the frame delivers no bytes, which a
  // reader cannot tell from no frame.
  std::uniform_int_distribution<std::size_t> audioLength(3, 1500);
  std::uint16_t sequence = 65530;  // wraps during the recording
  for (int i = 0; i < 60; ++i) {
    fixedNow = kTime + static_cast<std::uint32_t>(i / 8);
    sequence = static_cast<std::uint16_t>(sequence + 1 + i % 3);
    Bytes frame = liveFrame(videoLength(random), i % 5 == 0, sequence, random,
                            static_cast<std::uint8_t>(i % 4 | (i % 7) << 2));
    ASSERT_TRUE(writer.writeVideo(frame.data(), frame.size()));
    written.push_back(video(frame));
    if (i % 3 == 1) {
      const Bytes s = samples(audioLength(random), static_cast<std::uint8_t>(i));
      ASSERT_TRUE(writer.writeAudio(s.data(), s.size()));
      written.push_back(audio(s));
    }
  }
  writer.close();
  ASSERT_EQ(std::filesystem::file_size(path()) % kBlock, 0u);

  const ReadBack back = readForward(path());
  ASSERT_TRUE(back.opened);
  EXPECT_EQ(back.failedReads, 0);
  written.pop_back();
  ASSERT_EQ(back.frames.size(), written.size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    ASSERT_EQ(back.frames[i], written[i]) << "frame " << i;
  }
}

// ---------------------------------------------------------------------------
// Opening, refusing and failing

TEST_F(RecordingWriterTest, OpenWhileOpenIsIgnored) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path("first.QKV"));
  Bytes a = liveFrame(300, true, 1, random);
  ASSERT_TRUE(writer.writeVideo(a.data(), a.size()));
  writer.open(path("second.QKV"));
  EXPECT_TRUE(writer.isOpen());
  EXPECT_FALSE(std::filesystem::exists(path("second.QKV")));
  Bytes b = liveFrame(300, false, 2, random);
  ASSERT_TRUE(writer.writeVideo(b.data(), b.size())) << "the recording must still be started";
  writer.close();

  const Bytes file = readFile(path("first.QKV"));
  ASSERT_EQ(file.size(), kBlock);
  EXPECT_EQ(slice(file, 8, 300), a);
  EXPECT_EQ(slice(file, 308, 300), b);
}

TEST_F(RecordingWriterTest, FileThatCannotBeCreated) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  const std::string unreachable = dir.file("no-such-folder/rec.QKV");
  writer.open(unreachable);
  EXPECT_FALSE(writer.isOpen());
  EXPECT_NE(writer.lastError().find(unreachable), std::string::npos) << writer.lastError();
  Bytes frame = liveFrame(100, true, 1, random);
  EXPECT_FALSE(writer.writeVideo(frame.data(), frame.size()));
  const Bytes s = samples(10);
  EXPECT_FALSE(writer.writeAudio(s.data(), s.size()));
  writer.close();
  EXPECT_FALSE(std::filesystem::exists(unreachable));

  // The next start works and forgets the failure.
  writer.open(path());
  EXPECT_TRUE(writer.isOpen());
  EXPECT_EQ(writer.lastError(), "");
}

TEST_F(RecordingWriterTest, FramesShorterThanAPictureHeadAreRefusedUntouched) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path());
  // A refresh flag and sequence 0x0032 that must not be taken.
  const Bytes head = {0x00, 0x00, 0x01, 0xF8, 0x95, 0x00, 0x32};
  for (std::size_t n = 0; n < 7; ++n) {
    Bytes copy = head;
    EXPECT_FALSE(writer.writeVideo(n == 0 ? nullptr : copy.data(), n)) << n;
    EXPECT_EQ(copy, head) << n;
  }
  const Bytes s = samples(10);
  EXPECT_FALSE(writer.writeAudio(s.data(), s.size())) << "a short frame must not start the recording";
  EXPECT_EQ(writer.bytesWritten(), 0u);

  Bytes frame = liveFrame(100, true, 12, random);
  ASSERT_TRUE(writer.writeVideo(frame.data(), frame.size()));
  writer.close();
  EXPECT_EQ(slice(readFile(path()), 0, 8), expectedHeader(kTime, 12)) << "measured from 0, not from 0x32";
}

// ---------------------------------------------------------------------------
// Concurrency: one thread writes while another stops and starts recordings.

TEST_F(RecordingWriterTest, WritesWhileAnotherThreadClosesAndReopens) {
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(path("rec-000.QKV"));
  std::vector<std::string> files = {path("rec-000.QKV")};

  std::atomic<bool> switching{true};
  std::set<Bytes> videoWritten;
  std::set<Bytes> audioWritten;
  std::thread producer([&] {
    std::mt19937 local(9);
    std::uniform_int_distribution<std::size_t> length(7, 6000);
    for (std::uint32_t i = 0; i < 20000 && (switching || i < 50); ++i) {
      Bytes frame = liveFrame(length(local), i % 4 == 0, static_cast<std::uint16_t>(i), local);
      writer.writeVideo(frame.data(), frame.size());
      videoWritten.insert(frame);
      if (i % 3 == 0) {
        const Bytes s = samples(3 + i % 700, static_cast<std::uint8_t>(i));
        writer.writeAudio(s.data(), s.size());
        audioWritten.insert(Bytes(s.begin() + 2, s.end()));
      }
    }
  });
  for (int k = 1; k <= 40; ++k) {
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    writer.close();
    char name[32];
    std::snprintf(name, sizeof name, "rec-%03d.QKV", k);
    files.push_back(path(name));
    writer.open(files.back());
    EXPECT_TRUE(writer.isOpen());
  }
  switching = false;
  producer.join();
  writer.close();

  std::size_t delivered = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    ASSERT_EQ(std::filesystem::file_size(file) % kBlock, 0u);
    const ReadBack back = readForward(file);
    ASSERT_TRUE(back.opened);
    EXPECT_EQ(back.failedReads, 0);
    int lastSequence = -1;
    for (const ReadFrame& frame : back.frames) {
      if (frame.isAudio) {
        EXPECT_EQ(audioWritten.count(frame.bytes), 1u) << "audio frame of " << frame.bytes.size() << " bytes";
        continue;
      }
      ASSERT_EQ(videoWritten.count(frame.bytes), 1u) << "video frame of " << frame.bytes.size() << " bytes";
      const int sequence = frame.bytes[5] << 8 | frame.bytes[6];
      EXPECT_GT(sequence, lastSequence);
      lastSequence = sequence;
    }
    delivered += back.frames.size();
  }
  EXPECT_GT(delivered, 0u);
}

// ---------------------------------------------------------------------------
// A full disk. The child process gets a mount namespace of its own with a
// small tmpfs; it reports problems through a pipe and its exit status.

constexpr int kChildSkipped = 77;

std::string fullDiskChild(const std::string& mountPoint, bool& skipped) {
  skipped = true;
  if (::unshare(CLONE_NEWNS) != 0) {
    return std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
  }
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    return std::string("making / private: ") + std::strerror(errno);
  }
  if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
    return std::string("mounting a tmpfs: ") + std::strerror(errno);
  }
  skipped = false;

  std::string failures;
  const auto check = [&failures](bool ok, const std::string& what) {
    if (!ok) {
      failures += what + "\n";
    }
  };
  const std::string file = mountPoint + "/rec.QKV";
  RecordingWriter writer(fixedClock);
  writer.setFormat(2, 4, 4);
  writer.open(file);
  check(writer.isOpen(), "cannot open " + file);
  std::mt19937 random(5);
  std::vector<ReadFrame> written;
  bool failed = false;
  for (std::uint16_t i = 0; i < 1000 && writer.isOpen(); ++i) {
    Bytes frame = liveFrame(2500 + i * 211 % 1700, i == 0, i, random);
    if (!writer.writeVideo(frame.data(), frame.size())) {
      failed = true;
      break;
    }
    written.push_back(video(frame));
  }
  check(failed, "64 KiB never filled up");
  check(!writer.isOpen(), "the recording is still open after a failed write");
  const std::string error = writer.lastError();
  check(error.find(file) != std::string::npos, "lastError does not name the file: '" + error + "'");
  Bytes more = liveFrame(100, true, 2000, random);
  check(!writer.writeVideo(more.data(), more.size()), "a write after the failure succeeded");
  writer.close();

  std::error_code ignored;
  const auto size = std::filesystem::file_size(file, ignored);
  check(size % kBlock == 0, "file of " + std::to_string(size) + " bytes is not whole blocks");
  const ReadBack back = readForward(file);
  check(back.opened, "cannot read the recording back");
  // Every whole frame but the last is delivered; the last one may be too if
  // the next start code made it to the disk.
  const std::size_t atLeast = written.empty() ? 0 : written.size() - 1;
  check(back.frames.size() >= atLeast && back.frames.size() <= written.size(),
        "read back " + std::to_string(back.frames.size()) + " frames of " + std::to_string(written.size()) +
            " written");
  for (std::size_t i = 0; i < back.frames.size() && i < written.size(); ++i) {
    check(back.frames[i] == written[i], "frame " + std::to_string(i) + " differs");
  }
  return failures;
}

TEST_F(RecordingWriterTest, FullDiskEndsTheRecordingWithWholeBlocks) {
  const std::string mountPoint = dir.file("small");
  std::filesystem::create_directory(mountPoint);
  int report[2];
  ASSERT_EQ(::pipe(report), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(report[0]);
    bool skipped = false;
    const std::string text = fullDiskChild(mountPoint, skipped);
    [[maybe_unused]] const auto ignored = ::write(report[1], text.data(), text.size());
    ::_exit(skipped ? kChildSkipped : (text.empty() ? 0 : 1));
  }
  ::close(report[1]);
  std::string text;
  char chunk[512];
  for (ssize_t n; (n = ::read(report[0], chunk, sizeof chunk)) > 0;) {
    text.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(report[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  if (WEXITSTATUS(status) == kChildSkipped) {
    GTEST_SKIP() << "no private tmpfs: " << text;
  }
  EXPECT_EQ(WEXITSTATUS(status), 0) << text;
}

}  // namespace
}  // namespace marlin
