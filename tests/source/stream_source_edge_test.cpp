#include <algorithm>

#include "stream_source_test_support.h"

namespace marlin::testing {
namespace {

using container::kBlockSize;
using container::kFrameBufferSize;

class StreamSourceEdges : public RecordingFixture {
 protected:
  Bytes video(unsigned channel, std::size_t length) { return synth::makeVideoFrame(channel, length, random_); }
  Bytes buffer_ = Bytes(kFrameBufferSize);
};

TEST_F(StreamSourceEdges, TooShortRecordingsDeliverNothing) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{100}, kBlockSize - 1}) {
    Bytes recording = recordingOf({video(0, 40), video(1, 40), video(2, 40)});
    recording.resize(size);
    StreamSource& source = open(recording);
    EXPECT_EQ(source.readNext(buffer_.data()), 0u) << size;
    source.setPositionToEnd();
    EXPECT_EQ(source.readPrevious(buffer_.data()), 0u) << size;
    EXPECT_EQ(source.readPrevious(buffer_.data()), 0u) << size;
  }
}

TEST_F(StreamSourceEdges, TheLastFrameIsNeverDeliveredForward) {
  const Bytes a = video(0, 300);
  const Bytes b = video(1, 200);
  StreamSource& one = open(recordingOf({a}));
  EXPECT_TRUE(readAllForward(one).empty());
  one.setPositionToEnd();
  EXPECT_TRUE(readAllBackward(one).empty());

  StreamSource& two = open(recordingOf({a, b}));
  EXPECT_EQ(readAllForward(two), std::vector<Bytes>{a});
  EXPECT_EQ(two.readNext(buffer_.data()), 0u);
  two.setPositionToEnd();
  EXPECT_EQ(readAllBackward(two), std::vector<Bytes>{a});
}

TEST_F(StreamSourceEdges, AStartCodeAloneIsAFourByteVideoFrame) {
  const Bytes bare = {0, 0, 1, 0xF8};
  const Bytes next = video(3, 50);
  StreamSource& source = open(recordingOf({bare, next, video(2, 50)}));
  EXPECT_EQ(readAllForward(source), (std::vector<Bytes>{bare, next}));
  source.setPositionToEnd();
  ASSERT_EQ(readAllBackward(source), (std::vector<Bytes>{next, bare}));
  EXPECT_EQ(source.header().channel, 0u);
}

TEST_F(StreamSourceEdges, ChannelIsTheLowNibbleOfByteFourInBothDirections) {
  Bytes a = video(0, 64);
  a[4] = 0xB7;
  const Bytes b = video(1, 64);
  StreamSource& source = open(recordingOf({a, b, video(2, 64)}));
  ASSERT_EQ(source.readNext(buffer_.data()), a.size());
  EXPECT_EQ(source.header().channel, 7u);
  source.setPositionToEnd();
  source.readPrevious(buffer_.data());
  ASSERT_EQ(source.readPrevious(buffer_.data()), a.size());
  EXPECT_EQ(source.header().channel, 7u);
}

// A start code divided by a block header, with 1, 2 and 3 of its bytes in
// the first block, delimits frames in both directions, and the positions
// left behind step over the header.
TEST_F(StreamSourceEdges, StartCodesDividedByABlockHeader) {
  for (std::size_t before = 1; before <= 3; ++before) {
    const Bytes first = video(1, container::kPayloadSize - before);
    const Bytes second = video(2, 500);
    const Bytes third = video(3, 500);
    StreamSource& source = open(recordingOf({first, second, third}));

    ASSERT_EQ(source.readNext(buffer_.data()), first.size()) << before;
    EXPECT_TRUE(std::equal(first.begin(), first.end(), buffer_.begin()));
    // The start code of `second` begins `before` bytes ahead of the first block's end.
    EXPECT_EQ(source.getPosition(), kBlockSize - before) << before;
    ASSERT_EQ(source.readNext(buffer_.data()), second.size()) << before;
    EXPECT_TRUE(std::equal(second.begin(), second.end(), buffer_.begin()));

    source.setPositionToEnd();
    ASSERT_EQ(source.readPrevious(buffer_.data()), second.size()) << before;
    // Just past second's start code: its last byte lies after the header.
    EXPECT_EQ(source.getPosition(), kBlockSize + 8 + (4 - before)) << before;
    ASSERT_EQ(source.readPrevious(buffer_.data()), first.size()) << before;
    EXPECT_TRUE(std::equal(first.begin(), first.end(), buffer_.begin()));
    EXPECT_EQ(source.getPosition(), 12u);
    EXPECT_EQ(source.readPrevious(buffer_.data()), 0u);
    EXPECT_EQ(source.getPosition(), 0u);
  }
}

TEST_F(StreamSourceEdges, DirectionChangesSkipTheFrameJustDelivered) {
  std::vector<Bytes> frames;
  for (unsigned i = 0; i < 6; ++i) {
    frames.push_back(video(i, 700 + 300 * i));
  }
  StreamSource& source = open(recordingOf(frames));
  for (int i = 0; i < 4; ++i) {
    source.readNext(buffer_.data());
  }
  // Frame 3 was delivered last; backward reading goes on with frame 2.
  ASSERT_EQ(source.readPrevious(buffer_.data()), frames[2].size());
  EXPECT_EQ(source.header().channel, 2u);
  ASSERT_EQ(source.readPrevious(buffer_.data()), frames[1].size());
  // Frame 1 was delivered last; forward reading goes on with frame 2.
  ASSERT_EQ(source.readNext(buffer_.data()), frames[2].size());
  EXPECT_EQ(source.header().channel, 2u);
}

TEST_F(StreamSourceEdges, BadBlocksAreCrossedOneBlockPerRead) {
  // Twenty 1000-byte frames back to back fill payload bytes 0..19999, that is
  // blocks 0 to 4; blocks 1 and 2 (payload 4088..12263) are damaged.
  std::vector<Bytes> frames;
  for (unsigned i = 0; i < 20; ++i) {
    frames.push_back(video(i % 4, 1000));
  }
  Bytes recording = recordingOf(frames);
  ASSERT_EQ(recording.size(), 5 * kBlockSize);
  synth::corruptBlock(recording, 1);
  synth::corruptBlock(recording, 2);
  StreamSource& source = open(recording);

  EXPECT_EQ(readAllForward(source), (std::vector<Bytes>{frames[0], frames[1], frames[2], frames[3]}));
  EXPECT_EQ(source.getPosition(), 2 * kBlockSize);  // frame 4 ran into block 1
  EXPECT_EQ(source.readNext(buffer_.data()), 0u);
  EXPECT_EQ(source.getPosition(), 3 * kBlockSize);
  // Frame 13 (payload 13000) is the first to begin after the damage.
  ASSERT_EQ(source.readNext(buffer_.data()), 1000u);
  EXPECT_EQ(Bytes(buffer_.begin(), buffer_.begin() + 1000), frames[13]);

  source.setPositionToEnd();
  std::vector<Bytes> backward;
  std::vector<std::uint64_t> failedAt;
  while (failedAt.empty() || failedAt.back() != 0) {
    const std::uint32_t n = source.readPrevious(buffer_.data());
    if (n == 0) {
      failedAt.push_back(source.getPosition());
    } else {
      backward.emplace_back(buffer_.begin(), buffer_.begin() + n);
    }
    ASSERT_LT(backward.size() + failedAt.size(), 40u);
  }
  const std::vector<Bytes> expected = {frames[18], frames[17], frames[16], frames[15], frames[14],
                                       frames[13], frames[3],  frames[2],  frames[1],  frames[0]};
  EXPECT_EQ(backward, expected);
  EXPECT_EQ(failedAt, (std::vector<std::uint64_t>{2 * kBlockSize, kBlockSize, 0}));
}

TEST_F(StreamSourceEdges, LongFramesKeepTheirHeadForwardAndTheirTailBackward) {
  const Bytes small = video(0, 100);
  for (const std::size_t length : {std::size_t{131068}, std::size_t{131069}, std::size_t{200000}}) {
    const Bytes big = video(5, length);
    StreamSource& source = open(recordingOf({small, big, small}));
    source.readNext(buffer_.data());
    const std::uint32_t forward = source.readNext(buffer_.data());
    ASSERT_EQ(forward, std::min<std::size_t>(length, 131068)) << length;
    EXPECT_TRUE(std::equal(buffer_.begin(), buffer_.begin() + forward, big.begin()));

    source.setPositionToEnd();
    const std::uint32_t backward = source.readPrevious(buffer_.data());
    ASSERT_EQ(backward, std::min<std::size_t>(length, kFrameBufferSize)) << length;
    EXPECT_TRUE(std::equal(buffer_.begin(), buffer_.begin() + backward, big.end() - backward));
  }
}

// A backward read of a frame that fills the whole frame buffer must not leave
// anything behind that a following forward read would deliver.
TEST_F(StreamSourceEdges, AFullBufferReadBackwardDoesNotSpoilTheNextForwardFrame) {
  const std::vector<Bytes> frames = {video(0, 1000), video(1, 140000), video(2, 1000), video(3, 1000)};
  StreamSource& source = open(recordingOf(frames));
  source.setPositionToEnd();
  ASSERT_EQ(source.readPrevious(buffer_.data()), 1000u);
  ASSERT_EQ(source.readPrevious(buffer_.data()), kFrameBufferSize);
  ASSERT_EQ(source.readPrevious(buffer_.data()), 1000u);
  ASSERT_EQ(source.readNext(buffer_.data()), 131068u);
  EXPECT_TRUE(std::equal(buffer_.begin(), buffer_.begin() + 131068, frames[1].begin()));
}

TEST_F(StreamSourceEdges, AudioFramesDeliverTheirSamplesAndAreCountedForwardOnly) {
  const Bytes a = video(0, 80);
  const Bytes sound = synth::makeAudioFrame(2, 400);
  const Bytes b = video(1, 80);
  StreamSource& source = open(recordingOf({a, sound, b, video(3, 80)}));
  source.setPositionToEnd();
  EXPECT_EQ(readAllBackward(source), (std::vector<Bytes>{b, samplesOf(sound), a}));
  EXPECT_FALSE(source.header().hasAudio);
  EXPECT_EQ(source.header().audioChannelMask, 0u);

  source.readNext(buffer_.data());
  ASSERT_EQ(source.readNext(buffer_.data()), 400u);
  EXPECT_TRUE(source.header().isAudio);
  EXPECT_EQ(source.header().channel, 2u);
  EXPECT_EQ(source.header().audioChannelMask, 4u);
  EXPECT_TRUE(source.header().hasAudio);
}

TEST_F(StreamSourceEdges, AudioFramesShorterThanTheirHeadDeliverNothing) {
  const Bytes stub = {0, 0, 1, 0xFA, 0x80};
  const Bytes a = video(0, 90);
  const Bytes b = video(1, 90);
  StreamSource& source = open(recordingOf({a, stub, b, video(2, 90)}));
  ASSERT_EQ(source.readNext(buffer_.data()), a.size());
  EXPECT_EQ(source.readNext(buffer_.data()), 0u);
  EXPECT_FALSE(source.header().isAudio);
  ASSERT_EQ(source.readNext(buffer_.data()), b.size());
  EXPECT_EQ(Bytes(buffer_.begin(), buffer_.begin() + b.size()), b);

  source.setPositionToEnd();
  ASSERT_EQ(source.readPrevious(buffer_.data()), b.size());
  EXPECT_EQ(source.readPrevious(buffer_.data()), 0u);
  ASSERT_EQ(source.readPrevious(buffer_.data()), a.size());
}

TEST_F(StreamSourceEdges, BigEndianHeadersBelongToVariantSix) {
  const std::vector<Bytes> frames = {video(0, 5000), video(1, 5000), video(2, 5000)};
  const Bytes recording = recordingOf(frames, true);
  StreamSource& bigEndian = open(recording, false, 6);
  EXPECT_EQ(readAllForward(bigEndian), (std::vector<Bytes>{frames[0], frames[1]}));
  CalendarTime time;
  ASSERT_TRUE(bigEndian.getBlockTime(time));
  EXPECT_EQ(bigEndian.header().channelMask, 1u);

  // The check byte covers bytes, not values: read with little-endian headers
  // the same blocks are valid but name other times and channels.
  StreamSource& littleEndian = open(recording, false, 4);
  littleEndian.readNext(buffer_.data());
  EXPECT_EQ(littleEndian.header().channelMask, 256u);
}

TEST_F(StreamSourceEdges, DiskByteOrderReadsLikeTheCopyItCutsOut) {
  std::vector<Bytes> frames;
  for (unsigned i = 0; i < 30; ++i) {
    frames.push_back(i % 5 == 4 ? synth::makeAudioFrame(i % 4, 301 + i) : video(i % 4, 301 + 97 * i));
  }
  Bytes recording = recordingOf(frames);
  synth::corruptBlock(recording, 2);
  Bytes disk = recording;
  synth::toDiskByteOrder(disk);

  StreamSource& diskSource = open(disk, true);
  const std::string copy = tempFile("copy.QKV");
  ASSERT_TRUE(diskSource.copyRange(0, disk.size() - 1, copy));
  EXPECT_EQ(readFile(copy), recording);

  const auto readEverything = [this](StreamSource& source) {
    std::vector<Bytes> delivered;
    for (int i = 0; i < 200; ++i) {
      const std::uint32_t n = source.readNext(buffer_.data());
      delivered.emplace_back(buffer_.begin(), buffer_.begin() + n);
    }
    return delivered;
  };
  const auto fromDisk = readEverything(diskSource);
  StreamSource fileSource;
  ASSERT_TRUE(fileSource.open(copy, false));
  EXPECT_EQ(fromDisk, readEverything(fileSource));
}

TEST_F(StreamSourceEdges, PositionAndMarkStayInsideTheRecording) {
  StreamSource& source = open(recordingOf({video(0, 3000), video(1, 3000), video(2, 3000)}));
  const std::uint64_t size = source.getSize();
  EXPECT_TRUE(source.setPosition(size));
  EXPECT_EQ(source.getPosition(), 0u);
  EXPECT_TRUE(source.setPosition(size - 1));
  EXPECT_EQ(source.getPosition(), size - 1);
  EXPECT_FALSE(source.setMark(size));
  EXPECT_TRUE(source.setMark(size - 1));
  EXPECT_EQ(source.readFromMark(buffer_.data()), 0u);
}

TEST_F(StreamSourceEdges, ReadFromMarkStartsAtTheMarkedBlockAndSkipsAudio) {
  std::vector<Bytes> frames;
  for (unsigned i = 0; i < 40; ++i) {
    frames.push_back(i % 3 == 0 ? synth::makeAudioFrame(0, 500) : video(i % 4, 500 + i));
  }
  StreamSource& source = open(recordingOf(frames));
  ASSERT_TRUE(source.setMark(2 * kBlockSize + 1234));
  const std::uint32_t n = source.readFromMark(buffer_.data());
  ASSERT_GT(n, 0u);
  EXPECT_FALSE(source.header().isAudio);
  // Reading begins at block 2's payload: the first video frame starting there
  // or later is delivered.
  std::size_t offset = 0;
  std::size_t expected = 0;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    if (offset >= 2 * container::kPayloadSize && i % 3 != 0) {
      expected = i;
      break;
    }
    offset += frames[i].size();
  }
  EXPECT_EQ(Bytes(buffer_.begin(), buffer_.begin() + n), frames[expected]);
}

TEST_F(StreamSourceEdges, CopyRangeTakesWholeBlocksAndRefusesBadRanges) {
  std::vector<Bytes> frames(20, video(0, 4000));
  StreamSource& source = open(recordingOf(frames));
  const std::string out = tempFile("cut.QKV");
  EXPECT_FALSE(source.copyRange(100, 100, out));
  EXPECT_FALSE(source.copyRange(200, 100, out));
  EXPECT_FALSE(source.copyRange(0, source.getSize(), out));
  ASSERT_TRUE(source.copyRange(0, 5000, out));
  EXPECT_EQ(readFile(out).size(), 8192u);
  ASSERT_TRUE(source.copyRange(kBlockSize + 1, 3 * kBlockSize, out));
  EXPECT_EQ(readFile(out).size(), 2 * kBlockSize);
  EXPECT_FALSE(source.copyRange(0, 10, source.getName()));
  EXPECT_EQ(source.getSize(), readFile(source.getName()).size());
}

TEST_F(StreamSourceEdges, BlockTimeIsKnownFromTheFirstGoodBlockOn) {
  const Bytes recording = recordingOf({video(0, 5000), video(1, 5000), video(2, 5000)});
  StreamSource& source = open(recording);
  CalendarTime time;
  EXPECT_FALSE(source.getBlockTime(time));
  source.readNext(buffer_.data());
  ASSERT_TRUE(source.getBlockTime(time));
  EXPECT_EQ(time, source.header().blockTime);
  // Across a reopening it stays until the new recording's first block is read.
  Bytes other = recording;
  synth::corruptBlock(other, 0);
  const std::string path = tempFile("other.QKV");
  writeFile(path, other);
  ASSERT_TRUE(source.open(path, false));
  CalendarTime kept;
  ASSERT_TRUE(source.getBlockTime(kept));
  EXPECT_EQ(kept, time);
  source.close();
  EXPECT_FALSE(source.getBlockTime(kept));
}

// A backward read that runs into the start of the recording while collecting
// must not leave a partial frame behind for the next read.
TEST_F(StreamSourceEdges, ReachingTheStartClearsAFramePartlyCollected) {
  const Bytes a = video(0, 900);
  const Bytes b = video(1, 900);
  const Bytes c = video(2, 900);
  Bytes recording = recordingOf({a, b, c, video(3, 900)});
  recording[8 + 3] = 0x05;  // no frame begins before b any more
  StreamSource& source = open(recording);
  // From inside b: b's start code opens a frame that never completes.
  source.setPosition(8 + 900 + 100);
  EXPECT_EQ(source.readPrevious(buffer_.data()), 0u);
  EXPECT_EQ(source.getPosition(), 0u);
  // From inside d the next read must deliver c whole, not a piece of d.
  source.setPosition(8 + 2700 + 100);
  ASSERT_EQ(source.readPrevious(buffer_.data()), c.size());
  EXPECT_EQ(Bytes(buffer_.begin(), buffer_.begin() + c.size()), c);
}

TEST_F(StreamSourceEdges, ThePieceAfterTheLastWholeBlockIsNeverRead) {
  std::vector<Bytes> frames;
  for (unsigned i = 0; i < 10; ++i) {
    frames.push_back(video(i % 4, 1500));
  }
  Bytes recording = recordingOf(frames);
  const std::size_t whole = recording.size();
  recording.resize(whole + 700, 0x33);
  StreamSource& source = open(recording);
  source.setPositionToEnd();
  const auto fromEnd = readAllBackward(source);
  source.setPosition(whole + 100);
  const auto fromInside = readAllBackward(source);
  StreamSource& trimmed = open(Bytes(recording.begin(), recording.begin() + whole));
  trimmed.setPositionToEnd();
  const auto expected = readAllBackward(trimmed);
  EXPECT_FALSE(expected.empty());
  EXPECT_EQ(fromEnd, expected);
  EXPECT_EQ(fromInside, expected);
}

TEST_F(StreamSourceEdges, OpenFailuresAreReported) {
  StreamSource source;
  const Status opened = source.open(tempFile("missing.QKV"), false);
  EXPECT_EQ(opened.code(), StatusCode::NotFound);
  EXPECT_EQ(opened.systemError(), ENOENT);
  EXPECT_FALSE(source.isOpen());
  EXPECT_EQ(source.readNext(buffer_.data()), 0u);
  EXPECT_EQ(source.readPrevious(buffer_.data()), 0u);
  EXPECT_FALSE(source.copyRange(0, 10, tempFile("x")));
}

}  // namespace
}  // namespace marlin::testing
