// Which cameras a recording holds, learnt from a sample of its block headers.

#include "source/recorded_channels.h"

#include <algorithm>

#include "source/block_header.h"
#include "stream_source_test_support.h"

namespace marlin::testing {
namespace {

using container::kBlockSize;

void setHeader(Bytes& recording, std::size_t index, std::uint16_t mask, bool bigEndian = false) {
  const BlockHeaderBytes header = encodeBlockHeader(1000000000 + static_cast<std::uint32_t>(index), mask, 0, bigEndian);
  std::copy(header.begin(), header.end(), recording.begin() + static_cast<std::ptrdiff_t>(index * kBlockSize));
}

// blocks empty blocks, each headed by a valid header of mask.
Bytes blocksOfMask(std::size_t blocks, std::uint16_t mask, bool bigEndian = false) {
  Bytes recording(blocks * kBlockSize);
  for (std::size_t index = 0; index < blocks; ++index) {
    setHeader(recording, index, mask, bigEndian);
  }
  return recording;
}

class RecordedChannels : public RecordingFixture {
 protected:
  std::uint16_t sample(const Bytes& recording, BlockLayout layout = {}) {
    const std::string path = tempFile("sampled" + std::to_string(files_++) + ".QKV");
    writeFile(path, recording);
    BlockFile file;
    EXPECT_TRUE(file.open(path));
    return sampleChannelMask(file, recording.size(), layout);
  }

 private:
  int files_ = 0;
};

TEST_F(RecordedChannels, TheMaskIsTheUnionOfTheLeadingBlocks) {
  Bytes recording = blocksOfMask(40, 0x0003);
  setHeader(recording, 17, 0x0100);
  setHeader(recording, 39, 0x0010);
  EXPECT_EQ(sample(recording), 0x0113);
  EXPECT_EQ(sample(Bytes{}), 0);
  // A piece shorter than a block is no block.
  EXPECT_EQ(sample(Bytes(kBlockSize - 1, 0xFF)), 0);
}

TEST_F(RecordedChannels, ADamagedBlockAddsNothingWhateverItsMask) {
  Bytes recording = blocksOfMask(10, 0x000F);
  setHeader(recording, 3, 0xFFFF);
  synth::corruptBlock(recording, 3);
  ASSERT_FALSE(parseBlockHeader(recording.data() + 3 * kBlockSize, false).checkValid);
  EXPECT_EQ(sample(recording), 0x000F);
  EXPECT_EQ(channelCountForMask(sample(recording)), 4);
}

TEST_F(RecordedChannels, BeyondTheLeadingBlocksEvenlySpreadBlocksAreRead) {
  // 640 blocks after the leading 256: one sample every tenth block.
  Bytes recording = blocksOfMask(kLeadingSampledBlocks + 640, 0x0001);
  setHeader(recording, kLeadingSampledBlocks + 630, 0x8000);
  EXPECT_EQ(sample(recording), 0x8001);
  // A long recording is not read whole: a camera only in a block between
  // two samples goes unseen.
  Bytes between = blocksOfMask(kLeadingSampledBlocks + 640, 0x0001);
  setHeader(between, kLeadingSampledBlocks + 635, 0x8000);
  EXPECT_EQ(sample(between), 0x0001);
  // A short rest is read block by block.
  Bytes shortRest = blocksOfMask(kLeadingSampledBlocks + 20, 0x0001);
  setHeader(shortRest, kLeadingSampledBlocks + 19, 0x0200);
  EXPECT_EQ(sample(shortRest), 0x0201);
}

TEST_F(RecordedChannels, DisksAndBigEndianHeadersAreReadInTheirLayout) {
  Bytes disk = blocksOfMask(5, 0x0120);
  synth::toDiskByteOrder(disk);
  EXPECT_EQ(sample(disk, BlockLayout{.isDisk = true}), 0x0120);
  EXPECT_EQ(sample(blocksOfMask(5, 0x0120, true), BlockLayout{.bigEndian = true}), 0x0120);
}

TEST_F(RecordedChannels, TheHighestChannelPicksTheRecorder) {
  EXPECT_EQ(channelCountForMask(0), 4);
  EXPECT_EQ(channelCountForMask(0x0001), 4);
  EXPECT_EQ(channelCountForMask(0x0008), 4);
  EXPECT_EQ(channelCountForMask(0x000F), 4);
  EXPECT_EQ(channelCountForMask(0x0010), 9);
  EXPECT_EQ(channelCountForMask(0x0101), 9);
  EXPECT_EQ(channelCountForMask(0x0200), 16);
  EXPECT_EQ(channelCountForMask(0x8000), 16);
  EXPECT_EQ(channelCountForMask(0xFFFF), 16);
}

TEST_F(RecordedChannels, AStreamSourceSamplesOnOpenAndForgetsOnClose) {
  synth::SampleOptions options;
  options.channels = 9;
  options.seconds = 2;
  StreamSource& nine = open(synth::makeSampleRecording(options));
  EXPECT_EQ(nine.recordedChannelMask(), 0x01FF);
  nine.close();
  EXPECT_EQ(nine.recordedChannelMask(), 0);

  options.channels = 16;
  options.bigEndian = true;
  Bytes disk = synth::makeSampleRecording(options);
  synth::toDiskByteOrder(disk);
  EXPECT_EQ(open(disk, true, kVariantQkc).recordedChannelMask(), 0xFFFF);
}

}  // namespace
}  // namespace marlin::testing
