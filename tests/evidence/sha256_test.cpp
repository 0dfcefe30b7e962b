// SHA-256 of bytes and of files as sha256sum gives it, on any number of
// workers, the results in the order asked.
#include "evidence/sha256.h"

#include <gtest/gtest.h>

#include "evidence/file_digests.h"
#include "support/temp_dir.h"

namespace marlin::evidence {
namespace {

using testing::TempDir;

// sha256sum's answer for "abc" (FIPS 180-2, appendix B.1).
constexpr const char* kAbcDigest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 131 + seed + (i >> 12));
  }
  return bytes;
}

TEST(Sha256, BytesAndFilesHashAsSha256sumDoes) {
  EXPECT_EQ(hexText(sha256Of("abc")), kAbcDigest);
  EXPECT_TRUE(isSha256Hex(kAbcDigest));
  EXPECT_FALSE(isSha256Hex(std::string(kAbcDigest).substr(1)));
  EXPECT_FALSE(isSha256Hex("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));

  // Pieces added one by one hash as the whole.
  Sha256 pieces;
  pieces.add(std::vector<std::uint8_t>{'a'});
  pieces.add(std::vector<std::uint8_t>{'b', 'c'});
  EXPECT_EQ(hexText(pieces.finish()), kAbcDigest);

  TempDir dir;
  testing::writeFile(dir.file("abc"), {'a', 'b', 'c'});
  const FileDigest abc = digestFile(dir.file("abc"));
  ASSERT_TRUE(abc.status.isOk()) << abc.status.message();
  EXPECT_EQ(abc.sha256, kAbcDigest);
  EXPECT_EQ(abc.size, 3u);

  // Past the reads' size, and the empty file.
  const std::vector<std::uint8_t> large = pattern((1u << 20) * 2 + 77, 5);
  testing::writeFile(dir.file("large"), large);
  EXPECT_EQ(digestFile(dir.file("large")).sha256, hexText(sha256Of(large)));
  testing::writeFile(dir.file("empty"), {});
  EXPECT_EQ(digestFile(dir.file("empty")).sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(Sha256, ManyFilesComeBackInTheirOrderWithFailuresNamingTheFile) {
  TempDir dir;
  std::vector<std::string> paths;
  std::vector<std::vector<std::uint8_t>> contents;
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < 9; ++i) {
    // Sizes out of order, so that the largest-first queue differs from it.
    contents.push_back(pattern((i * 7919 % 13) * 100000 + i, static_cast<std::uint8_t>(i)));
    paths.push_back(dir.file("file" + std::to_string(i)));
    testing::writeFile(paths.back(), contents.back());
    total += contents.back().size();
  }
  paths.push_back(dir.file("absent"));
  paths.push_back(dir.path().string());

  std::uint64_t lastHashed = 0;
  std::uint64_t lastTotal = 0;
  bool neverBackward = true;
  const std::vector<FileDigest> digests = digestFiles(paths, 3, [&](std::uint64_t hashed, std::uint64_t all) {
    neverBackward &= hashed >= lastHashed;
    lastHashed = hashed;
    lastTotal = all;
  });
  ASSERT_EQ(digests.size(), paths.size());
  for (std::size_t i = 0; i < contents.size(); ++i) {
    ASSERT_TRUE(digests[i].status.isOk()) << digests[i].status.message();
    EXPECT_EQ(digests[i].sha256, hexText(sha256Of(contents[i]))) << paths[i];
    EXPECT_EQ(digests[i].size, contents[i].size());
  }
  EXPECT_EQ(digests[9].status.code(), StatusCode::NotFound);
  EXPECT_NE(digests[9].status.message().find(paths[9]), std::string::npos) << digests[9].status.message();
  EXPECT_EQ(digests[10].status.code(), StatusCode::Unsupported);
  EXPECT_EQ(digests[10].status.message(), paths[10] + " is not a regular file");
  // A device in a file's place is not read, where /dev/zero would never end.
  EXPECT_EQ(digestFile("/dev/zero").status.code(), StatusCode::Unsupported);
  EXPECT_TRUE(neverBackward);
  EXPECT_EQ(lastHashed, total);
  EXPECT_EQ(lastTotal, total);
}

}  // namespace
}  // namespace marlin::evidence
