// Cutting a range while the recording changes under the copy.
#include <unistd.h>

#include "stream_source_test_support.h"

namespace marlin::testing {
namespace {

using container::kBlockSize;

class RangeCopy : public RecordingFixture {};

TEST_F(RangeCopy, ARecordingThatShrinksDuringTheCopyFailsItAndKeepsWholeBlocks) {
  const Bytes recording = recordingOf(std::vector<Bytes>(20, synth::makeVideoFrame(0, 4000, random_)));
  StreamSource& source = open(recording);
  ASSERT_GT(source.getSize(), 12 * kBlockSize);
  // Another program cuts the recording short after it was opened.
  const std::uint64_t left = 5 * kBlockSize + 100;
  ASSERT_EQ(::truncate(source.getName().c_str(), static_cast<off_t>(left)), 0);

  const std::string out = tempFile("cut.QKV");
  const Status copied = source.copyRange(0, source.getSize() - 1, out);
  EXPECT_FALSE(copied);
  EXPECT_NE(copied.message().find("shrank to " + std::to_string(left)), std::string::npos) << copied.message();
  EXPECT_EQ(readFile(out), Bytes(recording.begin(), recording.begin() + 5 * kBlockSize));
}

}  // namespace
}  // namespace marlin::testing
