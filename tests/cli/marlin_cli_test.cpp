// The marlin tool run as a separate process against small recordings built
// here, with the frames each command must report worked out from the
// recording's layout.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "run_marlin.h"
#include "source/container.h"
#include "support/synthetic_recording.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

namespace fs = std::filesystem;
using synth::Bytes;
using testing::expectOneLineFailure;
using testing::readFile;
using testing::Result;
using testing::runMarlin;
using testing::TempDir;
using testing::writeFile;

constexpr std::uint64_t kBlock = container::kBlockSize;
constexpr std::uint64_t kPayload = container::kPayloadSize;
constexpr std::uint32_t kStartTime = 1262304000;  // 2010-01-01 00:00:00 UTC

// ---------------------------------------------------------------------------
// Recordings and what reading them must deliver

struct Placed {
  Bytes bytes;  // the whole frame as stored
  bool isAudio = false;
  unsigned channel = 0;
  std::uint64_t payloadStart = 0;  // offset in the payload stream
  std::uint32_t time = 0;          // block time set while it was appended
};

struct Recording {
  Bytes file;
  std::vector<Placed> frames;

  std::uint64_t payloadEnd(std::size_t i) const {
    return i + 1 < frames.size() ? frames[i + 1].payloadStart : frames[i].payloadStart + frames[i].bytes.size();
  }
  // Time of the header of block b: set while the frame holding the block's
  // first payload byte was appended.
  std::uint32_t blockTime(std::uint64_t block) const {
    for (std::size_t i = 0; i < frames.size(); ++i) {
      if (frames[i].payloadStart <= block * kPayload && block * kPayload < payloadEnd(i)) {
        return frames[i].time;
      }
    }
    ADD_FAILURE() << "no frame in block " << block;
    return 0;
  }
};

std::uint64_t fileOffsetOfPayload(std::uint64_t p) {
  return p / kPayload * kBlock + container::kHeaderSize + p % kPayload;
}

struct FramePlan {
  bool audio = false;
  unsigned channel = 0;
  std::size_t size = 0;  // video: frame bytes; audio: sample count
};

// The frames back to back, each appended one second after the one before.
Recording buildRecording(const std::vector<FramePlan>& plans, std::uint32_t seed) {
  synth::RecordingBuilder builder(false, 0x0007, 2);
  std::mt19937 random(seed);
  Recording recording;
  std::uint64_t payload = 0;
  for (std::size_t i = 0; i < plans.size(); ++i) {
    const FramePlan& plan = plans[i];
    Placed placed;
    placed.isAudio = plan.audio;
    placed.channel = plan.audio ? 0 : plan.channel;
    placed.bytes = plan.audio ? synth::makeAudioFrame(0, plan.size, 100u * static_cast<unsigned>(i))
                              : synth::makeVideoFrame(plan.channel, plan.size, random, i % 6 == 0);
    placed.payloadStart = payload;
    placed.time = kStartTime + static_cast<std::uint32_t>(i);
    builder.setTime(placed.time);
    builder.append(placed.bytes);
    payload += placed.bytes.size();
    recording.frames.push_back(std::move(placed));
  }
  recording.file = builder.finish();
  return recording;
}

// Video frames of channels 0, 1, 2 in turn with an audio frame after every
// third.
Recording buildRecording(int count, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> videoSize(600, 2600);
  std::vector<FramePlan> plans;
  unsigned channel = 0;
  for (int i = 0; i < count; ++i) {
    if (i % 4 == 3) {
      plans.push_back({true, 0, 200 + 13 * static_cast<std::size_t>(i)});
    } else {
      plans.push_back({false, channel, videoSize(random)});
      channel = (channel + 1) % 3;
    }
  }
  return buildRecording(plans, seed);
}

struct Expected {
  std::size_t index;       // into Recording::frames
  Bytes delivered;         // video: whole frame; audio: samples after the 6 head bytes
  std::uint64_t position;  // after a forward read: the start of the next frame
};

// Forward reading from the start: every frame but the last, except those
// that run into a bad block (with the start code that ends them).
std::vector<Expected> expectedForward(const Recording& r, const std::vector<std::uint64_t>& badBlocks = {},
                                      std::size_t first = 0) {
  std::vector<Expected> out;
  for (std::size_t i = first; i + 1 < r.frames.size(); ++i) {
    const std::uint64_t begin = r.frames[i].payloadStart;
    const std::uint64_t end = r.frames[i + 1].payloadStart + 4;
    const bool damaged = std::any_of(badBlocks.begin(), badBlocks.end(),
                                     [&](std::uint64_t b) { return begin < (b + 1) * kPayload && b * kPayload < end; });
    if (damaged) {
      continue;
    }
    const Placed& f = r.frames[i];
    Bytes delivered = f.isAudio ? Bytes(f.bytes.begin() + container::kAudioHeadSize, f.bytes.end()) : f.bytes;
    out.push_back({i, std::move(delivered), fileOffsetOfPayload(r.frames[i + 1].payloadStart)});
  }
  return out;
}

// A start code that a block boundary divides.
bool startCodeDividedAt(const Recording& r, std::uint64_t boundary) {
  return std::any_of(r.frames.begin(), r.frames.end(),
                     [&](const Placed& f) { return f.payloadStart < boundary && boundary < f.payloadStart + 4; });
}

struct Line {
  std::uint64_t index = 0;
  std::string kind;
  unsigned channel = 0;
  std::uint32_t length = 0;
  std::uint64_t position = 0;
  std::string time;
};

// "INDEX KIND CHANNEL LENGTH POSITION YYYY-MM-DD HH:MM:SS"
std::vector<Line> parseFrameLines(const std::string& text) {
  std::vector<Line> lines;
  std::istringstream in(text);
  std::string row;
  while (std::getline(in, row)) {
    std::istringstream fields(row);
    Line line;
    std::string date;
    std::string clock;
    fields >> line.index >> line.kind >> line.channel >> line.length >> line.position >> date >> clock;
    EXPECT_FALSE(fields.fail()) << "unreadable line: " << row;
    line.time = date + " " + clock;
    lines.push_back(line);
  }
  return lines;
}

std::string utcTime(std::uint32_t time) {
  // All test times lie in the first hour of 2010-01-01 UTC.
  const std::uint32_t s = time - kStartTime;
  char text[32];
  std::snprintf(text, sizeof text, "2010-01-01 00:%02u:%02u", s / 60, s % 60);
  return text;
}

class MarlinCli : public ::testing::Test {
 protected:
  std::string save(const std::string& name, const Bytes& bytes) const {
    const std::string path = dir.file(name);
    writeFile(path, bytes);
    return path;
  }
  Result run(const std::vector<std::string>& args) const { return runMarlin(dir, args); }

  TempDir dir;
};

// ---------------------------------------------------------------------------
// info

class MarlinInfo : public MarlinCli {
 protected:
  void SetUp() override {
    recording = buildRecording(32, 5);
    // A block in the middle, with no start code divided at its edges.
    const std::uint64_t blocks = recording.file.size() / kBlock;
    ASSERT_GE(blocks, 6u);
    for (std::uint64_t b = 2; b + 2 < blocks; ++b) {
      if (!startCodeDividedAt(recording, b * kPayload) && !startCodeDividedAt(recording, (b + 1) * kPayload)) {
        bad = b;
        break;
      }
    }
    ASSERT_NE(bad, 0u);
    wholeBlocks = blocks;
    Bytes damaged = recording.file;
    synth::corruptBlock(damaged, bad);
    damaged.insert(damaged.end(), 1000, 0xA5);  // a piece shorter than a block
    path = save("damaged.QKV", damaged);
    expected = expectedForward(recording, {bad});
    for (const Expected& e : expected) {
      const Placed& f = recording.frames[e.index];
      ++(f.isAudio ? audio : video)[f.channel];
      largest = std::max<std::size_t>(largest, e.delivered.size());
    }
  }

  Recording recording;
  std::string path;
  std::uint64_t bad = 0;
  std::uint64_t wholeBlocks = 0;
  std::vector<Expected> expected;
  std::map<unsigned, int> video;
  std::map<unsigned, int> audio;
  std::size_t largest = 0;
};

TEST_F(MarlinInfo, Text) {
  const Result r = run({"info", path});
  ASSERT_EQ(r.status, 0) << r;
  ASSERT_TRUE(r.exited) << r;
  EXPECT_EQ(r.err, "");
  const std::string lastTime = utcTime(recording.blockTime(wholeBlocks - 1));
  std::ostringstream want;
  want << "file: " << path << "\n"
       << "read as: file byte order, codec variant 4 QK_QKT2 (not recognised, assumed)\n"
       << "size: " << wholeBlocks * kBlock + 1000 << " bytes\n"
       << "blocks: " << wholeBlocks - 1 << " valid, 1 bad, 1 short\n"
       << "first block time: 2010-01-01 00:00:00\n"
       << "last block time: " << lastTime << "\n"
       << "channel masks: 0x0007\n"
       << "frame intervals: 2\n"
       << "video frames: ch0 " << video[0] << ", ch1 " << video[1] << ", ch2 " << video[2] << "\n"
       << "audio frames: ch0 " << audio[0] << "\n"
       << "largest frame: " << largest << " bytes\n";
  EXPECT_EQ(r.out, want.str());
  // The damage must have cost frames, or the test shows nothing.
  EXPECT_LT(expected.size() + 1, recording.frames.size());
}

TEST_F(MarlinInfo, Json) {
  const Result r = run({"info", "--json", path});
  ASSERT_EQ(r.status, 0) << r;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << "one object on one line";
  const auto has = [&](const std::string& part) {
    EXPECT_NE(r.out.find(part), std::string::npos) << "missing " << part << " in\n" << r.out;
  };
  has("\"size\": " + std::to_string(wholeBlocks * kBlock + 1000));
  has("\"blocks\": {\"valid\": " + std::to_string(wholeBlocks - 1) + ", \"bad\": 1, \"short\": 1}");
  has("\"firstBlockTime\": \"2010-01-01 00:00:00\"");
  has("\"lastBlockTime\": \"" + utcTime(recording.blockTime(wholeBlocks - 1)) + "\"");
  has("\"channelMasks\": [7]");
  has("\"videoFrames\": {\"0\": " + std::to_string(video[0]) + ", \"1\": " + std::to_string(video[1]) +
      ", \"2\": " + std::to_string(video[2]) + "}");
  has("\"audioFrames\": {\"0\": " + std::to_string(audio[0]) + "}");
  has("\"largestFrame\": " + std::to_string(largest));
}

// ---------------------------------------------------------------------------
// frames

class MarlinFrames : public MarlinCli {
 protected:
  void SetUp() override {
    recording = buildRecording(24, 9);
    path = save("clean.QKV", recording.file);
  }

  void expectLines(const std::vector<Line>& lines, const std::vector<Expected>& want, bool withPosition) {
    ASSERT_EQ(lines.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) {
      const Placed& f = recording.frames[want[k].index];
      SCOPED_TRACE("line " + std::to_string(k) + ", frame " + std::to_string(want[k].index));
      EXPECT_EQ(lines[k].index, k);
      EXPECT_EQ(lines[k].kind, f.isAudio ? "audio" : "video");
      EXPECT_EQ(lines[k].channel, f.channel);
      EXPECT_EQ(lines[k].length, want[k].delivered.size());
      if (withPosition) {
        EXPECT_EQ(lines[k].position, want[k].position);
        // The last block read holds the last byte of the next start code.
        const std::uint64_t next = recording.frames[want[k].index + 1].payloadStart;
        EXPECT_EQ(lines[k].time, utcTime(recording.blockTime((next + 3) / kPayload)));
      }
    }
  }

  Recording recording;
  std::string path;
};

TEST_F(MarlinFrames, Forward) {
  const Result r = run({"frames", path});
  ASSERT_EQ(r.status, 0) << r;
  EXPECT_EQ(r.err, "");
  expectLines(parseFrameLines(r.out), expectedForward(recording), true);
}

TEST_F(MarlinFrames, BackwardFromTheEndDeliversAllButTheLastInReverse) {
  const Result r = run({"frames", "--backward", path});
  ASSERT_EQ(r.status, 0) << r;
  std::vector<Expected> want = expectedForward(recording);
  std::reverse(want.begin(), want.end());
  expectLines(parseFrameLines(r.out), want, false);
}

TEST_F(MarlinFrames, FromAPositionInsideAFrameStartsWithTheNext) {
  const std::size_t k = 7;
  const std::uint64_t from = fileOffsetOfPayload(recording.frames[k].payloadStart + 10);
  const Result r = run({"frames", "--from", std::to_string(from), path});
  ASSERT_EQ(r.status, 0) << r;
  expectLines(parseFrameLines(r.out), expectedForward(recording, {}, k + 1), true);
}

TEST_F(MarlinFrames, MarkStartsWithTheFirstVideoFrameOfItsBlock) {
  // Two audio frames open block 1 (payload 4088); a read from the mark
  // passes over them.
  recording = buildRecording({{false, 0, 2000},
                              {false, 1, 2088},
                              {true, 0, 500},
                              {true, 0, 300},
                              {false, 2, 1500},
                              {false, 0, 3000},
                              {true, 0, 400},
                              {false, 1, 900},
                              {false, 2, 700}},
                             21);
  ASSERT_EQ(recording.frames[2].payloadStart, kPayload);
  path = save("mark.QKV", recording.file);
  const std::uint64_t mark = kBlock + 1234;  // anywhere in block 1
  const Result r = run({"frames", "--mark", std::to_string(mark), path});
  ASSERT_EQ(r.status, 0) << r;
  expectLines(parseFrameLines(r.out), expectedForward(recording, {}, 4), true);
}

TEST_F(MarlinFrames, DumpWritesEachDeliveredFrame) {
  const std::string dumpDir = dir.file("dump");
  const Result r = run({"frames", "--dump", dumpDir, path});
  ASSERT_EQ(r.status, 0) << r;
  const std::vector<Expected> want = expectedForward(recording);
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dumpDir)) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, want.size());
  for (std::size_t k = 0; k < want.size(); ++k) {
    const Placed& f = recording.frames[want[k].index];
    char name[64];
    std::snprintf(name, sizeof name, "%06zu-%s-ch%u.bin", k, f.isAudio ? "audio" : "video", f.channel);
    const std::string file = dumpDir + "/" + name;
    ASSERT_TRUE(fs::exists(file)) << name;
    EXPECT_EQ(readFile(file), want[k].delivered) << name;
  }
}

TEST_F(MarlinFrames, DiskByteOrderGivesTheSameFrames) {
  Bytes disk = recording.file;
  synth::toDiskByteOrder(disk);
  const std::string image = save("disk.img", disk);
  const Result fromFile = run({"frames", path});
  const Result fromDisk = run({"frames", "--disk", image});
  ASSERT_EQ(fromFile.status, 0) << fromFile;
  ASSERT_EQ(fromDisk.status, 0) << fromDisk;
  EXPECT_EQ(fromDisk.out, fromFile.out);
  EXPECT_EQ(parseFrameLines(fromDisk.out).size(), expectedForward(recording).size());

  // Without --disk its swapped words are recognised.
  const Result recognised = run({"frames", image});
  ASSERT_EQ(recognised.status, 0) << recognised;
  EXPECT_EQ(recognised.out, fromFile.out);
}

TEST_F(MarlinFrames, DumpMatchesAcrossDirections) {
  const std::string forwardDir = dir.file("fwd");
  const std::string backwardDir = dir.file("bwd");
  ASSERT_EQ(run({"frames", "--dump", forwardDir, path}).status, 0);
  ASSERT_EQ(run({"frames", "--backward", "--dump", backwardDir, path}).status, 0);
  const std::vector<Expected> want = expectedForward(recording);
  for (std::size_t k = 0; k < want.size(); ++k) {
    const Placed& f = recording.frames[want[want.size() - 1 - k].index];
    char name[64];
    std::snprintf(name, sizeof name, "%06zu-%s-ch%u.bin", k, f.isAudio ? "audio" : "video", f.channel);
    EXPECT_EQ(readFile(backwardDir + "/" + name), want[want.size() - 1 - k].delivered) << name;
  }
}

// ---------------------------------------------------------------------------
// cut

class MarlinCut : public MarlinCli {
 protected:
  void SetUp() override {
    recording = buildRecording(24, 13);
    ASSERT_GT(recording.file.size(), 3 * kBlock);
    path = save("source.QKV", recording.file);
  }
  Bytes blocks(std::uint64_t from, std::uint64_t to) const {
    return Bytes(recording.file.begin() + static_cast<std::ptrdiff_t>(from * kBlock),
                 recording.file.begin() + static_cast<std::ptrdiff_t>(to * kBlock));
  }

  Recording recording;
  std::string path;
};

TEST_F(MarlinCut, CopiesTheWholeBlocksOfTheRange) {
  struct Case {
    std::uint64_t start, end, firstBlock, endBlock;
  };
  const Case cases[] = {
      {0, 5000, 0, 2},     // 5000 rounds up to 8192: two blocks
      {4100, 8191, 1, 2},  // both ends in block 1
      {4095, 4096, 0, 1},  // 4096 is already a multiple: e = 4096
      {1, 2, 0, 1},
  };
  for (const Case& c : cases) {
    const std::string out = dir.file("cut-" + std::to_string(c.start) + "-" + std::to_string(c.end) + ".QKV");
    const Result r = run({"cut", path, std::to_string(c.start), std::to_string(c.end), out});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(out), blocks(c.firstBlock, c.endBlock)) << c.start << ".." << c.end;
  }
  EXPECT_EQ(fs::file_size(dir.file("cut-0-5000.QKV")), 8192u);
}

TEST_F(MarlinCut, DiskImageIsCutIntoFileByteOrder) {
  Bytes disk = recording.file;
  synth::toDiskByteOrder(disk);
  const std::string image = save("disk.img", disk);
  const std::string out = dir.file("from-disk.QKV");
  const Result r = run({"cut", "--disk", image, "0", "5000", out});
  ASSERT_EQ(r.status, 0) << r;
  EXPECT_EQ(readFile(out), blocks(0, 2));
}

TEST_F(MarlinCut, RefusedRanges) {
  const std::uint64_t size = recording.file.size();
  struct Case {
    std::uint64_t start, end;
  };
  for (const Case& c : {Case{5000, 5000}, Case{6000, 5000}, Case{0, size}, Case{size, size + 10}}) {
    SCOPED_TRACE(std::to_string(c.start) + ".." + std::to_string(c.end));
    const std::string out = dir.file("refused.QKV");
    const Result r = run({"cut", path, std::to_string(c.start), std::to_string(c.end), out});
    expectOneLineFailure(r);
    EXPECT_FALSE(fs::exists(out)) << "nothing may be written";
  }
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(MarlinCli, MissingFile) {
  const std::string missing = dir.file("missing.QKV");
  expectOneLineFailure(run({"info", missing}), missing);
  expectOneLineFailure(run({"frames", missing}), missing);
  expectOneLineFailure(run({"cut", missing, "0", "5000", dir.file("out.QKV")}), missing);
}

TEST_F(MarlinCli, DirectoryIsNotARecording) {
  const std::string folder = dir.file("folder");
  fs::create_directory(folder);
  expectOneLineFailure(run({"info", folder}), folder);
  expectOneLineFailure(run({"frames", folder}), folder);
}

TEST_F(MarlinCli, FromPastTheEnd) {
  const Recording recording = buildRecording(8, 3);
  const std::string path = save("short.QKV", recording.file);
  const std::string size = std::to_string(recording.file.size());
  expectOneLineFailure(run({"frames", "--from", size, path}));
  expectOneLineFailure(run({"frames", "--from", "99999999999", path}));
}

TEST_F(MarlinCli, EmptyAndTinyFilesHaveNoFrames) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{4095}}) {
    const std::string path = save("tiny.QKV", Bytes(size, 0x00));
    const Result frames = run({"frames", path});
    EXPECT_EQ(frames.status, 0) << frames;
    EXPECT_EQ(frames.out, "") << size;
    const Result info = run({"info", "--json", path});
    EXPECT_EQ(info.status, 0) << info;
    EXPECT_NE(info.out.find("\"blocks\": {\"valid\": 0, \"bad\": 0, \"short\": " + std::to_string(size ? 1 : 0) + "}"),
              std::string::npos)
        << info;
  }
}

}  // namespace
}  // namespace marlin
