// Recordings opened by marlin without --disk or --variant read as they would
// with the right ones, and the options still win when given.
#include <gtest/gtest.h>

#include <sstream>

#include "run_marlin.h"
#include "support/synthetic_recording.h"

namespace marlin::testing {
namespace {

// info's lines but the one saying how the recording was read.
std::string withoutReadAs(const std::string& out) {
  std::istringstream lines(out);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("read as: ")) {
      kept += line + "\n";
    }
  }
  return kept;
}

std::string readAsLine(const std::string& out) {
  const std::size_t at = out.find("read as: ");
  return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
}

class RecognitionCli : public ::testing::Test {
 protected:
  // A disk image of a two-second sample of the variant.
  std::string diskImageOf(const std::string& variant) {
    const std::string sample = dir.file("sample-" + variant + ".QKV");
    const Result made = runMarlin(dir, {"make-sample", sample, "--seconds", "2", "--variant", variant});
    EXPECT_EQ(made.status, 0) << made;
    synth::Bytes bytes = readFile(sample);
    synth::toDiskByteOrder(bytes);
    const std::string image = dir.file("sample-" + variant + ".img");
    writeFile(image, bytes);
    return image;
  }

  TempDir dir;
};

TEST_F(RecognitionCli, BigEndianDiskImageReadsAsWithItsOptions) {
  const std::string image = diskImageOf("6");
  const Result recognised = runMarlin(dir, {"info", image});
  const Result forced = runMarlin(dir, {"info", "--disk", "--variant", "6", image});
  ASSERT_EQ(recognised.status, 0) << recognised;
  ASSERT_EQ(forced.status, 0) << forced;
  EXPECT_EQ(readAsLine(recognised.out), "read as: disk byte order (16-bit words swapped), codec variant 6 QK_QKC");
  EXPECT_EQ(readAsLine(forced.out),
            "read as: disk byte order (16-bit words swapped) (as asked), "
            "codec variant 6 QK_QKC (as asked)");
  EXPECT_EQ(withoutReadAs(recognised.out), withoutReadAs(forced.out));
  EXPECT_NE(recognised.out.find("first block time: 2010-01-01"), std::string::npos) << recognised.out;

  const Result decodedRecognised = runMarlin(dir, {"decode", image, "--limit", "40", "--out", dir.file("a")});
  const Result decodedForced =
      runMarlin(dir, {"decode", "--disk", "--variant", "6", image, "--limit", "40", "--out", dir.file("b")});
  ASSERT_EQ(decodedRecognised.status, 0) << decodedRecognised;
  EXPECT_EQ(decodedRecognised.out, decodedForced.out);
}

TEST_F(RecognitionCli, ForcedVariantWins) {
  const std::string image = diskImageOf("6");
  const Result forced = runMarlin(dir, {"info", "--variant", "4", image});
  ASSERT_EQ(forced.status, 0) << forced;
  EXPECT_EQ(readAsLine(forced.out),
            "read as: disk byte order (16-bit words swapped), codec variant 4 QK_QKT2 (as asked)");
  // Its block headers read little-endian, the times are not the sample's.
  EXPECT_EQ(forced.out.find("first block time: 2010-01-01"), std::string::npos) << forced.out;
}

TEST_F(RecognitionCli, VerboseRunsSayWhatWasRecognised) {
  const std::string image = diskImageOf("0");
  const Result r = runMarlin(dir, {"--verbose", "frames", image});
  ASSERT_EQ(r.status, 0) << r;
  EXPECT_NE(r.err.find("disk byte order (16-bit words swapped), codec variant 0 QK_QK4"), std::string::npos) << r;
}

}  // namespace
}  // namespace marlin::testing
