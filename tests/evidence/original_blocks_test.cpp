// The check of an evidence folder's copy of a recording: every block's check
// byte, and the block times at its two ends in the variant's byte order.
#include "evidence/original_blocks.h"

#include <gtest/gtest.h>

#include "source/container.h"
#include "support/synthetic_recording.h"
#include "support/temp_dir.h"

namespace marlin::evidence {
namespace {

using testing::TempDir;

constexpr std::uint32_t kFirstTime = 1262347200;  // 2010-01-01 12:00:00 UTC

// Blocks a second apart, each a frame that fills it.
synth::Bytes recording(bool bigEndian, unsigned blocks) {
  synth::RecordingBuilder builder(bigEndian);
  std::mt19937 random(7);
  for (unsigned i = 0; i < blocks; ++i) {
    builder.setTime(kFirstTime + i);
    builder.append(synth::makeVideoFrame(0, container::kPayloadSize, random, i == 0));
  }
  return builder.finish();
}

TEST(OriginalBlocks, EveryBlockIsCheckedAndItsTimeReadInTheVariantsByteOrder) {
  TempDir dir;
  const std::string path = dir.file("original.QKV");
  for (const CodecVariant variant : {kVariantQkt2, kVariantQkc}) {
    SCOPED_TRACE(variant);
    synth::Bytes bytes = recording(isBigEndianVariant(variant), 5);
    testing::writeFile(path, bytes);
    OriginalBlocks blocks;
    const Status surveyed = surveyOriginalBlocks(path, variant, blocks);
    ASSERT_TRUE(surveyed.isOk()) << surveyed.message();
    EXPECT_EQ(blocks.blocks, 5u);
    EXPECT_EQ(blocks.firstTime, kFirstTime);
    EXPECT_EQ(blocks.lastTime, kFirstTime + 4);

    // The check byte covers the bytes as stored; the times are read in the
    // variant's order.
    const CodecVariant other = variant == kVariantQkc ? kVariantQkt2 : kVariantQkc;
    ASSERT_TRUE(surveyOriginalBlocks(path, other, blocks).isOk());
    EXPECT_EQ(blocks.firstTime, __builtin_bswap32(kFirstTime));

    synth::corruptBlock(bytes, 3);
    testing::writeFile(path, bytes);
    const Status spoiled = surveyOriginalBlocks(path, variant, blocks);
    EXPECT_EQ(spoiled.code(), StatusCode::BadData);
    EXPECT_EQ(spoiled.message(), "block 3 (at byte 12288) fails its check byte");
  }
}

TEST(OriginalBlocks, ACopyOfNoWholeBlocksIsRefused) {
  TempDir dir;
  const std::string path = dir.file("original.QKV");
  synth::Bytes bytes = recording(false, 2);
  bytes.pop_back();
  testing::writeFile(path, bytes);
  OriginalBlocks blocks;
  EXPECT_EQ(surveyOriginalBlocks(path, kVariantQkt2, blocks).message(),
            path + " is 8191 bytes, not whole blocks of 4096");
  testing::writeFile(path, {});
  EXPECT_EQ(surveyOriginalBlocks(path, kVariantQkt2, blocks).message(), path + " is 0 bytes, not whole blocks of 4096");
  EXPECT_EQ(surveyOriginalBlocks(dir.file("absent"), kVariantQkt2, blocks).code(), StatusCode::NotFound);
}

}  // namespace
}  // namespace marlin::evidence
