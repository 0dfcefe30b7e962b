// The activity index: the same whatever the workers and wherever the ranges
// fall, grown as the recording grows, kept and never trusted when damaged.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "activity/activity_events.h"
#include "activity/index_builder.h"
#include "activity/index_cache.h"
#include "engine/sample/sample_recording.h"
#include "source/container.h"
#include "support/synthetic_recording.h"
#include "support/temp_dir.h"

namespace marlin::activity {

// Where two indexes part, for a failure's message.
void PrintTo(const ActivityIndex& index, std::ostream* out) {
  *out << index.pictures << " pictures, " << index.indexedBytes << " bytes, last at " << index.lastPictureStart;
  for (int c = 0; c < kChannels; ++c) {
    const ChannelActivity& channel = index.channels[c];
    if (channel.seconds.empty()) {
      continue;
    }
    *out << "\n  camera " << c << (channel.conditional ? " conditional" : " refresh") << ", means "
         << channel.lastRefreshMeans.size() << ":";
    for (const SecondActivity& second : channel.seconds) {
      *out << " [" << second.time % 3600 << " l" << second.level << " n" << second.pictures << " @"
           << second.firstPosition << " r" << static_cast<std::int64_t>(second.refreshPosition) << " c"
           << second.cells.count() << "]";
    }
  }
}

namespace {

using testing::TempDir;

const RecordingReading kReading{BlockByteOrder::File, kVariantQkt2};

ActivityIndex build(const std::string& path, unsigned threads, std::uint64_t rangeBytes) {
  BuildOptions options;
  options.threads = threads;
  options.rangeBytes = rangeBytes;
  ActivityIndex index;
  EXPECT_TRUE(buildActivityIndex(path, kReading, options, index).isOk());
  return index;
}

// A few seconds of the engine's sample (a ball moving over each camera's
// picture), made once: encoding is most of these tests' time.
constexpr unsigned kSampleSeconds = 4;
const std::vector<std::uint8_t>& sample(bool conditional) {
  static const auto made = [] {
    std::array<std::vector<std::uint8_t>, 2> recordings;
    for (const bool withConditional : {false, true}) {
      sample::SampleOptions options;
      options.channels = 4;
      options.seconds = kSampleSeconds;
      options.conditional = withConditional;
      recordings[withConditional ? 1 : 0] = sample::makeSampleRecording(options);
    }
    return recordings;
  }();
  return made[conditional ? 1 : 0];
}

std::size_t activeSeconds(const ActivityIndex& index) {
  std::size_t active = 0;
  for (const ChannelActivity& channel : index.channels) {
    for (const SecondActivity& second : channel.seconds) {
      active += second.level > 0 ? 1 : 0;
    }
  }
  return active;
}

// Ranges that end inside frames, and inside block headers.
void expectTheSameInRanges(const std::string& path, const ActivityIndex& whole) {
  for (const auto& [threads, range] : {std::pair{2u, 65536u + 7u}, std::pair{8u, 12345u}, std::pair{3u, 4096u}}) {
    EXPECT_EQ(build(path, threads, range), whole) << threads << " workers, ranges of " << range;
  }
}

TEST(ActivityIndex, IsTheSameWhateverTheWorkersAndWhereTheRangesFall) {
  TempDir dir;
  for (const bool conditional : {true, false}) {
    SCOPED_TRACE(conditional ? "conditional pictures" : "refresh pictures only");
    const std::string path = dir.file(conditional ? "conditional.QKV" : "refresh.QKV");
    testing::writeFile(path, sample(conditional));
    const ActivityIndex whole = build(path, 1, 1ull << 40);
    // The ball moves in every camera all the time, and each second starts
    // from a refresh picture.
    EXPECT_EQ(whole.pictures, kSampleSeconds * 30u - 1);
    EXPECT_GE(activeSeconds(whole), 4u * (kSampleSeconds - 1));
    for (const ChannelActivity& channel : whole.channels) {
      for (const SecondActivity& second : channel.seconds) {
        EXPECT_LE(second.refreshPosition, second.firstPosition);
      }
    }
    EXPECT_EQ(whole.channels[0].conditional, conditional);
    expectTheSameInRanges(path, whole);
  }
  // A recorder switched to conditional pictures part way: the seconds before
  // the switch take their changes from conditional pictures too (there are
  // none), however late a range meets the first one.
  const std::string path = dir.file("switched.QKV");
  std::vector<std::uint8_t> switched = sample(false);
  switched.insert(switched.end(), sample(true).begin(), sample(true).end());
  testing::writeFile(path, switched);
  const ActivityIndex whole = build(path, 1, 1ull << 40);
  EXPECT_TRUE(whole.channels[0].conditional);
  expectTheSameInRanges(path, whole);
}

TEST(ActivityIndex, ADiskImageIsIndexedAsTheRecordingItHolds) {
  TempDir dir;
  const std::string file = dir.file("recording.QKV");
  const std::string image = dir.file("disk.img");
  testing::writeFile(file, sample(true));
  std::vector<std::uint8_t> swapped = sample(true);
  synth::toDiskByteOrder(swapped);
  testing::writeFile(image, swapped);
  ActivityIndex fromImage;
  ASSERT_TRUE(buildActivityIndex(image, {BlockByteOrder::Disk, kVariantQkt2}, {}, fromImage).isOk());
  EXPECT_EQ(fromImage, build(file, 1, 1ull << 40));
  // Read as a plain file, the image holds no valid block and no picture.
  EXPECT_EQ(build(image, 1, 1ull << 40).pictures, 0u);
}

TEST(ActivityIndex, AGrownRecordingIsIndexedFromWhereItEndedAndTheKeptIndexIsNeverTrustedDamaged) {
  TempDir dir;
  const std::string folder = dir.file("cache");
  for (const bool conditional : {true, false}) {
    SCOPED_TRACE(conditional ? "conditional pictures" : "refresh pictures only");
    const std::vector<std::uint8_t>& recording = sample(conditional);
    const std::string path = dir.file(conditional ? "growing-c.QKV" : "growing-r.QKV");
    // A live recording grows a block at a time.
    const std::size_t half = recording.size() / 2 / container::kBlockSize * container::kBlockSize;
    testing::writeFile(path, std::vector<std::uint8_t>(recording.begin(), recording.begin() + half));
    IndexLoad load;
    ASSERT_TRUE(loadOrBuildIndex(path, kReading, {}, folder, load).isOk());
    EXPECT_EQ(load.origin, IndexOrigin::Built);
    EXPECT_EQ(load.index, build(path, 1, 1ull << 40));

    testing::writeFile(path, recording);
    ASSERT_TRUE(loadOrBuildIndex(path, kReading, {}, folder, load).isOk());
    EXPECT_EQ(load.origin, IndexOrigin::Grown);
    const ActivityIndex fresh = build(path, 1, 1ull << 40);
    EXPECT_EQ(load.index, fresh);
    ASSERT_TRUE(loadOrBuildIndex(path, kReading, {}, folder, load).isOk());
    EXPECT_EQ(load.origin, IndexOrigin::Cached);
    EXPECT_EQ(load.index, fresh);

    RecordingIdentity identity;
    ASSERT_TRUE(identifyRecording(path, kReading, identity).isOk());
    const std::string kept = indexCachePath(folder, identity);
    // An index is a small part of its recording; only the means of each
    // camera's last refresh picture do not grow with its length.
    std::size_t fixed = 0;
    for (const ChannelActivity& channel : fresh.channels) {
      fixed += channel.lastRefreshMeans.size();
    }
    EXPECT_LT((std::filesystem::file_size(kept) - fixed) * 100, recording.size());
    const auto spoil = [&](const std::function<void(std::vector<char>&)>& change) {
      std::ifstream in(kept, std::ios::binary);
      std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      change(bytes);
      std::ofstream(kept, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<long>(bytes.size()));
      ASSERT_TRUE(loadOrBuildIndex(path, kReading, {}, folder, load).isOk());
      EXPECT_EQ(load.origin, IndexOrigin::Built);
      EXPECT_FALSE(load.cacheNote.empty());
      EXPECT_EQ(load.index, fresh);
    };
    spoil([](std::vector<char>& bytes) { bytes[bytes.size() / 2] ^= 0x10; });
    spoil([](std::vector<char>& bytes) { bytes.resize(bytes.size() - 9); });
    spoil([](std::vector<char>& bytes) { bytes.assign({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'n', 'd', 'e', 'x'}); });
  }
  // A recording rewritten at the same size is another recording.
  const std::string path = dir.file("rewritten.QKV");
  const std::vector<std::uint8_t>& first = sample(true);
  testing::writeFile(path, first);
  IndexLoad load;
  ASSERT_TRUE(loadOrBuildIndex(path, kReading, {}, folder, load).isOk());
  std::vector<std::uint8_t> second = sample(false);
  second.resize(first.size());
  testing::writeFile(path, second);
  ASSERT_TRUE(loadOrBuildIndex(path, kReading, {}, folder, load).isOk());
  EXPECT_EQ(load.origin, IndexOrigin::Built);
  EXPECT_EQ(load.index, build(path, 1, 1ull << 40));
}

}  // namespace
}  // namespace marlin::activity
