// RecordingWriter: live frames laid into container blocks, checked byte by
// byte against the layout rules and read back with the stream source.
#include "source/recording_writer.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "source/checksum8.h"
#include "source/container.h"
#include "source/stream_source.h"
#include "support/synthetic_recording.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

using synth::Bytes;
using testing::readFile;
using testing::TempDir;

constexpr std::uint32_t kTime = 1000000000;  // 00 CA 9A 3B little-endian
constexpr std::size_t kBlock = container::kBlockSize;

// A fixed clock, or one that moves on at every reading.
std::atomic<std::uint32_t> clockNow{kTime};
std::atomic<bool> clockTicks{false};
std::uint32_t testClock() { return clockTicks ? clockNow.fetch_add(1) : clockNow.load(); }

// A picture in the live layout: 00 00 01 F8, refresh flag in bit 7 of byte 4
// with the other header fields below it, the sequence number big-endian in
// bytes 5-6, then picture bytes free of frame start codes (also once byte 4
// has been shifted for the file layout).
Bytes liveFrame(std::size_t length, bool refresh, std::uint16_t sequence, std::mt19937& random,
                std::uint8_t fields = 0x15) {
  Bytes frame = {0x00,
                 0x00,
                 0x01,
                 container::kVideoId,
                 static_cast<std::uint8_t>((refresh ? 0x80 : 0x00) | (fields & 0x7F)),
                 static_cast<std::uint8_t>(sequence >> 8),
                 static_cast<std::uint8_t>(sequence),
                 0x11};  // no start code can span bytes 4-10 with this byte
  while (frame.size() < length) {
    frame.push_back(static_cast<std::uint8_t>(random()));
  }
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

// The header this writer puts before a block: the time, channel mask 1, the
// frame interval and the check byte.
Bytes expectedHeader(std::uint32_t time, std::uint8_t interval, bool bigEndian = false) {
  Bytes h = bigEndian ? Bytes{static_cast<std::uint8_t>(time >> 24),
                              static_cast<std::uint8_t>(time >> 16),
                              static_cast<std::uint8_t>(time >> 8),
                              static_cast<std::uint8_t>(time),
                              0x00,
                              0x01,
                              interval}
                      : Bytes{static_cast<std::uint8_t>(time),
                              static_cast<std::uint8_t>(time >> 8),
                              static_cast<std::uint8_t>(time >> 16),
                              static_cast<std::uint8_t>(time >> 24),
                              0x01,
                              0x00,
                              interval};
  h.push_back(checksum8(h.data(), 7));
  return h;
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t n) {
  if (from + n > bytes.size()) {
    ADD_FAILURE() << "slice [" << from << ", " << from + n << ") beyond " << bytes.size() << " bytes";
    return {};
  }
  const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(from);
  return Bytes(begin, begin + static_cast<std::ptrdiff_t>(n));
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

ReadFrame readAsVideo(const Bytes& bytes) { return {bytes, false, static_cast<std::uint32_t>(bytes[4] & 0x0F)}; }
// Readers skip the two bytes after the start code: here the first two samples.
ReadFrame readAsAudio(const Bytes& sampleBytes) { return {Bytes(sampleBytes.begin() + 2, sampleBytes.end()), true, 0}; }

struct ReadBack {
  std::vector<ReadFrame> frames;
  int failedReads = 0;  // reads that delivered nothing and stopped short of the end (bad blocks)
};

ReadBack readForward(const std::string& path) {
  ReadBack result;
  StreamSource source;
  source.setCodecVariant(4);
  EXPECT_TRUE(source.open(path, false)) << path;
  std::vector<std::uint8_t> buffer(container::kFrameBufferSize);
  for (int guard = 0; source.isOpen() && guard < 100000; ++guard) {
    const std::uint64_t before = source.getPosition();
    const std::uint32_t n = source.readNext(buffer.data());
    if (n > 0) {
      result.frames.push_back(
          {Bytes(buffer.begin(), buffer.begin() + n), source.header().isAudio, source.header().channel});
    } else if (source.getPosition() == before) {
      break;
    } else if (source.getPosition() < source.getSize()) {
      ++result.failedReads;  // running into the end of the file moves the position there
    }
  }
  return result;
}

class RecordingWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clockNow = kTime;
    clockTicks = false;
  }

  std::string path(const std::string& name = "rec.QKV") const { return dir.file(name); }

  void start(const std::string& name = "rec.QKV", CodecVariant variant = 4, int panes = 4) {
    writer.setFormat(2, variant, panes);
    ASSERT_TRUE(writer.open(path(name)));
    ASSERT_TRUE(writer.isOpen());
  }

  // Offers a new live picture; returns it as the writer left it.
  Bytes video(std::size_t length, bool refresh, std::uint16_t sequence, bool accepted = true) {
    Bytes frame = liveFrame(length, refresh, sequence, random);
    EXPECT_EQ(writer.writeVideo(frame.data(), frame.size()), accepted) << "picture " << sequence;
    return frame;
  }

  bool audio(const Bytes& s) { return writer.writeAudio(s.data(), s.size()); }

  Bytes closeAndRead(const std::string& name = "rec.QKV") {
    writer.close();
    return readFile(path(name));
  }

  TempDir dir;
  std::mt19937 random{42};
  RecordingWriter writer{testClock};
};

std::uint32_t timeOf(const Bytes& file, std::size_t block) {
  const std::uint8_t* h = file.data() + block * kBlock;
  return static_cast<std::uint32_t>(h[0] | h[1] << 8 | h[2] << 16 | h[3] << 24);
}

// Block layout

TEST_F(RecordingWriterTest, PicturesFillBlocksWhoseHeadersCarryTheTimeOfTheirCall) {
  clockTicks = true;
  start();
  const Bytes first = video(10000, true, 3);  // sequence 3 after the initial 0: frame interval 3
  EXPECT_EQ(writer.bytesWritten(), 3 * 8 + 10000u);
  EXPECT_EQ(std::filesystem::file_size(path()), 3 * 8 + 10000u) << "nothing may be held back in the writer";
  const Bytes second = video(5000, false, 4);  // runs into block 3
  const Bytes file = closeAndRead();
  ASSERT_EQ(file.size(), 4 * kBlock);

  // Every header of one call carries the time taken at its start.
  const Bytes header = expectedHeader(timeOf(file, 0), 3);
  EXPECT_EQ(slice(file, 0, 8), header);
  EXPECT_EQ(slice(file, 8, 4088), slice(first, 0, 4088));
  EXPECT_EQ(slice(file, 4096, 8), header);
  EXPECT_EQ(slice(file, 4104, 4088), slice(first, 4088, 4088));
  EXPECT_EQ(slice(file, 8192, 8), header);
  EXPECT_EQ(slice(file, 8200, 1824), slice(first, 8176, 1824));
  EXPECT_EQ(slice(file, 10024, 2264), slice(second, 0, 2264));
  EXPECT_GT(timeOf(file, 3), timeOf(file, 0)) << "the second call must take the time again";
  EXPECT_EQ(slice(file, 12288, 8), expectedHeader(timeOf(file, 3), 1));
  EXPECT_EQ(slice(file, 12296, 2736), slice(second, 2264, 2736));
  EXPECT_EQ(slice(file, 15032, 1352), Bytes(1352, 0x00)) << "the last block is padded with zeros";
}

TEST_F(RecordingWriterTest, EachRecordingStartsAtItsFirstRefreshPictureAndContinuesTheSequence) {
  start("one.QKV");
  for (std::uint16_t sequence = 1; sequence <= 3; ++sequence) {
    video(3000, false, sequence, false);
    EXPECT_FALSE(audio(samples(500)));
  }
  EXPECT_EQ(std::filesystem::file_size(path("one.QKV")), 0u);
  EXPECT_EQ(writer.bytesWritten(), 0u);
  const Bytes refresh = video(100, true, 4);
  const Bytes s = samples(50);
  EXPECT_TRUE(audio(s));
  const Bytes one = closeAndRead("one.QKV");
  ASSERT_EQ(one.size(), kBlock);
  EXPECT_EQ(slice(one, 0, 8), expectedHeader(kTime, 1));  // 3 -> 4: refused pictures count
  EXPECT_EQ(slice(one, 8, 100), refresh);
  EXPECT_EQ(slice(one, 108, 4), (Bytes{0x00, 0x00, 0x01, 0xFA}));
  EXPECT_EQ(slice(one, 112, 50), s);

  // The next recording waits again; stopped before a refresh picture it stays empty.
  start("two.QKV");
  video(5000, false, 5, false);
  EXPECT_FALSE(audio(samples(30)));
  EXPECT_TRUE(closeAndRead("two.QKV").empty());
  EXPECT_TRUE(std::filesystem::exists(path("two.QKV")));

  // Pictures offered while no file is open are not looked at.
  Bytes ignored = liveFrame(200, true, 500, random);
  const Bytes original = ignored;
  EXPECT_FALSE(writer.writeVideo(ignored.data(), ignored.size()));
  EXPECT_EQ(ignored, original) << "a closed writer converted a frame";
  // A recording's first picture is measured against the last one of the previous recording.
  start("three.QKV");
  video(200, true, 8);
  EXPECT_EQ(slice(closeAndRead("three.QKV"), 0, 8), expectedHeader(kTime, 3));
}

struct IntervalCase {
  std::uint16_t previous, current;
  std::uint8_t stored;
};

class FrameIntervalFromSequence : public RecordingWriterTest, public ::testing::WithParamInterface<IntervalCase> {};

// The first picture exactly fills block 0, so the second picture's call
// writes the header of block 1 with the interval the second picture gave.
TEST_P(FrameIntervalFromSequence, StoredInTheNextHeader) {
  const IntervalCase c = GetParam();
  start();
  video(container::kPayloadSize, true, c.previous);
  video(100, false, c.current);
  const Bytes file = closeAndRead();
  ASSERT_EQ(file.size(), 2 * kBlock);
  EXPECT_EQ(slice(file, kBlock, 8), expectedHeader(kTime, c.stored))
      << c.previous << " -> " << c.current << " stored " << int{file[kBlock + 6]};
}

INSTANTIATE_TEST_SUITE_P(Documented, FrameIntervalFromSequence,
                         ::testing::Values(IntervalCase{65535, 0, 1},  // wraps to a step of 1
                                           IntervalCase{10, 10, 1},    // no step counts as 1
                                           IntervalCase{10, 11, 1}, IntervalCase{10, 14, 4},
                                           IntervalCase{10, 300, 290 & 0x7F},
                                           IntervalCase{10, 138, 128 & 0x7F},    // 128 keeps no low bits
                                           IntervalCase{10, 9, 65535 & 0x7F}));  // backwards: 65535 steps

TEST_F(RecordingWriterTest, BigEndianHeadersForVariantSix) {
  start("rec.QKV", 6);
  const Bytes first = video(5000, true, 2);
  video(300, false, 3);
  const Bytes file = closeAndRead();
  ASSERT_EQ(file.size(), 2 * kBlock);
  EXPECT_EQ(slice(file, 0, 6), (Bytes{0x3B, 0x9A, 0xCA, 0x00, 0x00, 0x01}));  // 1000000000 = 0x3B9ACA00
  EXPECT_EQ(slice(file, 0, 8), expectedHeader(kTime, 2, true));
  EXPECT_EQ(slice(file, kBlock, 8), expectedHeader(kTime, 2, true));
  EXPECT_EQ(slice(file, 8, 4088), slice(first, 0, 4088));
}

// Audio

TEST_F(RecordingWriterTest, AudioStartCodeGoesWhereverTheBlockBoundaryFalls) {
  start();
  const Bytes first = video(4086, true, 1);  // 8 + 4086: 4094 bytes used
  ASSERT_EQ(writer.bytesWritten(), 4094u);
  clockNow = kTime + 7;
  const Bytes s = samples(10);
  ASSERT_TRUE(audio(s));
  clockNow = kTime + 8;
  const Bytes middle = video(4076, false, 2);  // fills block 1 exactly
  ASSERT_EQ(writer.bytesWritten(), 2 * kBlock);
  clockNow = kTime + 9;
  const Bytes last = samples(20);
  ASSERT_TRUE(audio(last));
  const Bytes file = closeAndRead();
  ASSERT_EQ(file.size(), 3 * kBlock);
  // A block header divides the start code ...
  EXPECT_EQ(slice(file, 4094, 2), (Bytes{0x00, 0x00}));
  EXPECT_EQ(slice(file, 4096, 8), expectedHeader(kTime + 7, 1));
  EXPECT_EQ(slice(file, 4104, 2), (Bytes{0x01, 0xFA}));
  EXPECT_EQ(slice(file, 4106, 10), s);
  EXPECT_EQ(slice(file, 4116, 4076), middle);
  // ... or goes before all of it.
  EXPECT_EQ(slice(file, 8192, 8), expectedHeader(kTime + 9, 1));
  EXPECT_EQ(slice(file, 8200, 4), (Bytes{0x00, 0x00, 0x01, 0xFA}));
  EXPECT_EQ(slice(file, 8204, 20), last);
  EXPECT_EQ(slice(file, 8224, kBlock - 32), Bytes(kBlock - 32, 0x00));

  const ReadBack back = readForward(path());
  EXPECT_EQ(back.failedReads, 0);
  EXPECT_EQ(back.frames, (std::vector<ReadFrame>{readAsVideo(first), readAsAudio(s), readAsVideo(middle)}));
}

// Picture header conversion

struct ConversionCase {
  const char* what;
  int variant;  // -1: the writer's default format, never set
  int paneCount;
  std::array<std::uint8_t, 4> live;  // bytes 3-6
  std::array<std::uint8_t, 4> file;
};

std::ostream& operator<<(std::ostream& out, const ConversionCase& c) { return out << c.what; }

class PictureHeaderConversion : public RecordingWriterTest, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(PictureHeaderConversion, ConvertsInPlace) {
  const ConversionCase& c = GetParam();
  if (c.variant >= 0) {
    writer.setFormat(2, c.variant, c.paneCount);
  }
  ASSERT_TRUE(writer.open(path()));
  Bytes frame = liveFrame(64, false, 0, random);
  std::copy(c.live.begin(), c.live.end(), frame.begin() + 3);
  const Bytes before = frame;
  const bool refresh = (c.live[1] & 0x80) != 0;
  EXPECT_EQ(writer.writeVideo(frame.data(), frame.size()), refresh);
  Bytes expected = before;
  std::copy(c.file.begin(), c.file.end(), expected.begin() + 3);
  EXPECT_EQ(frame, expected) << "only bytes 3-6 may change";
  if (refresh) {
    EXPECT_EQ(slice(closeAndRead(), 8, frame.size()), frame) << "the converted bytes are the ones written";
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
        ConversionCase{"default format, like variant 1", -1, 0, {0xF8, 0x95, 0xAB, 0xCD}, {0xF9, 0x2A, 0xAB, 0xCD}},
        ConversionCase{"variant 0 keeps", 0, 4, {0xF8, 0x95, 0xAB, 0xCD}, {0xF8, 0x95, 0xAB, 0xCD}},
        ConversionCase{"variant 2 keeps", 2, 4, {0xF8, 0x95, 0xAB, 0xCD}, {0xF8, 0x95, 0xAB, 0xCD}},
        ConversionCase{"16 panes after the shift", 4, 16, {0xF8, 0x95, 0xAB, 0xCD}, {0xF9, 0x20, 0x03, 0xCD}},
        ConversionCase{"16 panes without a shift", 0, 16, {0xF8, 0x95, 0xAB, 0xCD}, {0xF8, 0x90, 0x03, 0xCD}},
        ConversionCase{"16 panes, variant 2", 2, 16, {0xF8, 0x9F, 0xFF, 0x42}, {0xF8, 0x90, 0x07, 0x42}},
        ConversionCase{"conditional picture keeps its id", 4, 4, {0xF8, 0x15, 0x00, 0x02}, {0xF8, 0x2A, 0x00, 0x02}},
        ConversionCase{"top field bit leaves byte 4", 5, 4, {0xF8, 0xC1, 0x00, 0x07}, {0xF9, 0x82, 0x00, 0x07}}));

// Read back

TEST_F(RecordingWriterTest, StreamSourceReadsBackEveryFrameButTheLast) {
  start();
  std::vector<ReadFrame> written;
  std::uniform_int_distribution<std::size_t> videoLength(7, 12000);
  // At least three samples: with two, the frame delivers no bytes, which a
  // reader cannot tell from no frame.
  std::uniform_int_distribution<std::size_t> audioLength(3, 1500);
  std::uint16_t sequence = 65530;  // wraps during the recording
  for (int i = 0; i < 60; ++i) {
    clockNow = kTime + static_cast<std::uint32_t>(i / 8);
    sequence = static_cast<std::uint16_t>(sequence + 1 + i % 3);
    Bytes frame =
        liveFrame(videoLength(random), i % 5 == 0, sequence, random, static_cast<std::uint8_t>(i % 4 | (i % 7) << 2));
    ASSERT_TRUE(writer.writeVideo(frame.data(), frame.size()));
    written.push_back(readAsVideo(frame));
    if (i % 3 == 1) {
      const Bytes s = samples(audioLength(random), static_cast<std::uint8_t>(i));
      ASSERT_TRUE(audio(s));
      written.push_back(readAsAudio(s));
    }
  }
  writer.close();
  ASSERT_EQ(std::filesystem::file_size(path()) % kBlock, 0u);

  const ReadBack back = readForward(path());
  EXPECT_EQ(back.failedReads, 0);
  written.pop_back();
  ASSERT_EQ(back.frames.size(), written.size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    ASSERT_EQ(back.frames[i], written[i]) << "frame " << i;
  }
}

// Opening, refusing and failing

TEST_F(RecordingWriterTest, OpenWhileOpenIsIgnored) {
  start("first.QKV");
  const Bytes a = video(300, true, 1);
  EXPECT_TRUE(writer.open(path("second.QKV")));
  EXPECT_TRUE(writer.isOpen());
  EXPECT_FALSE(std::filesystem::exists(path("second.QKV")));
  const Bytes b = video(300, false, 2);  // the recording is still started
  const Bytes file = closeAndRead("first.QKV");
  ASSERT_EQ(file.size(), kBlock);
  EXPECT_EQ(slice(file, 8, 300), a);
  EXPECT_EQ(slice(file, 308, 300), b);
}

TEST_F(RecordingWriterTest, FileThatCannotBeCreated) {
  const std::string unreachable = dir.file("no-such-folder/rec.QKV");
  const Status opened = writer.open(unreachable);
  EXPECT_EQ(opened.code(), StatusCode::NotFound);
  EXPECT_FALSE(writer.isOpen());
  EXPECT_EQ(writer.lastFailure().message(), opened.message());
  EXPECT_NE(opened.message().find(unreachable), std::string::npos) << opened.message();
  video(100, true, 1, false);
  EXPECT_FALSE(audio(samples(10)));
  writer.close();
  EXPECT_FALSE(std::filesystem::exists(unreachable));
  // The next start works and forgets the failure.
  start();
  EXPECT_TRUE(writer.lastFailure()) << writer.lastFailure().message();
}

TEST_F(RecordingWriterTest, FramesShorterThanAPictureHeadAreRefusedUntouched) {
  start();
  const Bytes head = {0x00, 0x00, 0x01, 0xF8, 0x95, 0x00, 0x32};  // a refresh flag and sequence 0x0032
  for (std::size_t n = 0; n < 7; ++n) {
    Bytes copy = head;
    EXPECT_FALSE(writer.writeVideo(n == 0 ? nullptr : copy.data(), n)) << n;
    EXPECT_EQ(copy, head) << n;
  }
  EXPECT_FALSE(audio(samples(10))) << "a short frame must not start the recording";
  EXPECT_EQ(writer.bytesWritten(), 0u);
  video(100, true, 12);
  EXPECT_EQ(slice(closeAndRead(), 0, 8), expectedHeader(kTime, 12)) << "measured from 0, not from 0x32";
}

// Concurrency: one thread writes while another stops and starts recordings.

TEST_F(RecordingWriterTest, WritesWhileAnotherThreadClosesAndReopens) {
  start("rec-0.QKV");
  std::vector<std::string> files = {path("rec-0.QKV")};
  std::atomic<bool> switching{true};
  std::set<Bytes> videoWritten;
  std::set<Bytes> audioWritten;  // as read back: without the first two samples
  std::thread producer([&] {
    std::mt19937 local(9);
    std::uniform_int_distribution<std::size_t> length(7, 6000);
    for (std::uint32_t i = 0; i < 20000 && (switching || i < 50); ++i) {
      Bytes frame = liveFrame(length(local), i % 4 == 0, static_cast<std::uint16_t>(i), local);
      writer.writeVideo(frame.data(), frame.size());
      videoWritten.insert(frame);
      if (i % 3 == 0) {
        const Bytes s = samples(3 + i % 700, static_cast<std::uint8_t>(i));
        audio(s);
        audioWritten.insert(Bytes(s.begin() + 2, s.end()));
      }
    }
  });
  for (int k = 1; k <= 40; ++k) {
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    writer.close();
    files.push_back(path("rec-" + std::to_string(k) + ".QKV"));
    EXPECT_TRUE(writer.open(files.back()));
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
    EXPECT_EQ(back.failedReads, 0);
    int lastSequence = -1;
    for (const ReadFrame& frame : back.frames) {
      ASSERT_EQ((frame.isAudio ? audioWritten : videoWritten).count(frame.bytes), 1u) << frame;
      if (!frame.isAudio) {
        const int sequence = frame.bytes[5] << 8 | frame.bytes[6];
        EXPECT_GT(sequence, lastSequence);
        lastSequence = sequence;
      }
    }
    delivered += back.frames.size();
  }
  EXPECT_GT(delivered, 0u);
}

// A full disk: a child process with a mount namespace of its own fills a
// small tmpfs. Its assertion failures print as usual; its exit status says
// whether there were any.
TEST_F(RecordingWriterTest, FullDiskEndsTheRecordingWithWholeBlocks) {
  constexpr int kSkipped = 77;
  const std::string mountPoint = dir.file("small");
  std::filesystem::create_directory(mountPoint);
  std::fflush(stdout);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
      std::printf("no private tmpfs: %s\n", std::strerror(errno));
      std::fflush(stdout);
      ::_exit(kSkipped);
    }
    const std::string file = mountPoint + "/rec.QKV";
    start("small/rec.QKV");
    std::vector<ReadFrame> written;
    bool failed = false;
    for (std::uint16_t i = 0; i < 1000 && !failed; ++i) {
      Bytes frame = liveFrame(2500 + i * 211 % 1700, i == 0, i, random);
      failed = !writer.writeVideo(frame.data(), frame.size());
      if (!failed) {
        written.push_back(readAsVideo(frame));
      }
    }
    EXPECT_TRUE(failed) << "64 KiB never filled up";
    EXPECT_FALSE(writer.isOpen()) << "the recording is still open after a failed write";
    EXPECT_EQ(writer.lastFailure().systemError(), ENOSPC) << writer.lastFailure().message();
    EXPECT_NE(writer.lastFailure().message().find(file), std::string::npos) << writer.lastFailure().message();
    video(100, true, 2000, false);  // nothing more is written
    writer.close();
    EXPECT_EQ(std::filesystem::file_size(file) % kBlock, 0u) << "whole blocks";
    // Every whole frame but the last is delivered; the last one may be too if
    // the next start code made it to the disk.
    const ReadBack back = readForward(file);
    EXPECT_GE(back.frames.size() + 1, written.size());
    ASSERT_LE(back.frames.size(), written.size());
    EXPECT_TRUE(std::equal(back.frames.begin(), back.frames.end(), written.begin()));
    std::fflush(stdout);
    ::_exit(HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
  if (WEXITSTATUS(status) == kSkipped) {
    GTEST_SKIP() << "no private tmpfs (reason printed above)";
  }
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's failures are printed above";
}

}  // namespace
}  // namespace marlin
