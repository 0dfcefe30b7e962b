// SHA256SUMS as sha256sum -c reads it, and nothing that it would read
// differently.
#include "evidence/sha256sums.h"

#include <gtest/gtest.h>

namespace marlin::evidence {
namespace {

const std::string kDigestA = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kDigestB = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

std::string refusal(std::string_view text) {
  std::vector<Sha256SumsEntry> entries;
  const Status status = parseSha256Sums(text, entries);
  EXPECT_EQ(status.code(), StatusCode::BadData) << text;
  return status.message();
}

TEST(Sha256Sums, AListingReadsBackAsItWasWritten) {
  const std::vector<Sha256SumsEntry> entries = {
      {kDigestA, "original.QKV"}, {kDigestB, "CH1.mp4"}, {kDigestA, "name with spaces.json"}};
  std::string text;
  ASSERT_TRUE(writeSha256Sums(entries, text).isOk());
  EXPECT_EQ(text, kDigestA + "  original.QKV\n" + kDigestB + "  CH1.mp4\n" + kDigestA + "  name with spaces.json\n");
  std::vector<Sha256SumsEntry> read;
  ASSERT_TRUE(parseSha256Sums(text, read).isOk());
  EXPECT_EQ(read, entries);

  // sha256sum --binary's marker, uppercase digits and a last line without
  // its line break read as the same entries.
  std::string upper = kDigestB;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return std::toupper(c); });
  ASSERT_TRUE(parseSha256Sums(kDigestA + " *original.QKV\n" + upper + "  CH1.mp4", read).isOk());
  EXPECT_EQ(read, (std::vector<Sha256SumsEntry>{{kDigestA, "original.QKV"}, {kDigestB, "CH1.mp4"}}));
  ASSERT_TRUE(parseSha256Sums("", read).isOk());
  EXPECT_TRUE(read.empty());
}

TEST(Sha256Sums, MalformedListingsAndNamesAreRefused) {
  const std::string good = kDigestA + "  original.QKV\n";
  const std::string form = "expected 64 hex digits, a space, a space or '*', and a name";
  EXPECT_EQ(refusal(good + kDigestB + " CH1.mp4\n"), "SHA256SUMS line 2: " + form);
  EXPECT_EQ(refusal(good + kDigestB.substr(1) + "  CH1.mp4\n"), "SHA256SUMS line 2: " + form);
  EXPECT_EQ(refusal(good + "\n"), "SHA256SUMS line 2: " + form);
  EXPECT_EQ(refusal("g" + kDigestA.substr(1) + "  x\n"), "SHA256SUMS line 1: " + form);
  EXPECT_EQ(refusal(kDigestA + "  \n"), "SHA256SUMS line 1: " + form);
  EXPECT_EQ(refusal(kDigestA + "  x\r\n"),
            "SHA256SUMS line 1: a carriage return (the file was written with DOS line ends)");
  EXPECT_EQ(refusal("\\" + kDigestA + "  a\\\\b\n"), "SHA256SUMS line 1: an escaped name, which is not read here");
  EXPECT_EQ(refusal(good + kDigestB + "  original.QKV\n"), "SHA256SUMS line 2: original.QKV is listed twice");

  std::string text;
  EXPECT_EQ(writeSha256Sums({{kDigestA, "two\nlines"}}, text).code(), StatusCode::InvalidArgument);
  EXPECT_EQ(writeSha256Sums({{kDigestA, "back\\slash"}}, text).code(), StatusCode::InvalidArgument);
  EXPECT_EQ(writeSha256Sums({{kDigestA, ""}}, text).code(), StatusCode::InvalidArgument);
  EXPECT_EQ(writeSha256Sums({{"abc", "short"}}, text).code(), StatusCode::InvalidArgument);
}

}  // namespace
}  // namespace marlin::evidence
