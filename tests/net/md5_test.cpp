#include "net/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace marlin::net {
namespace {

std::string hexOf(const std::string& text) {
  return Md5::upperHex(Md5::of(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// RFC 1321, appendix A.5.
const std::pair<const char*, const char*> kVectors[] = {
    {"", "D41D8CD98F00B204E9800998ECF8427E"},
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

TEST(Md5, DigestsTheSevenTestVectorsOfRfc1321) {
  for (const auto& [text, digest] : kVectors) {
    EXPECT_EQ(hexOf(text), digest) << '"' << text << '"';
  }
}

TEST(Md5, GivesTheSameDigestHoweverTheInputIsSplit) {
  // Long enough to cross several 64-byte blocks and the 56-byte padding edge.
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text.push_back(static_cast<char>('!' + (i * 7) % 90));
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  for (std::size_t size : {text.size(), std::size_t{55}, std::size_t{56}, std::size_t{64}, std::size_t{119},
                           std::size_t{120}, std::size_t{128}}) {
    const Md5::Digest whole = Md5::of(bytes, size);
    for (std::size_t piece : {1u, 3u, 7u, 63u, 65u}) {
      Md5 md5;
      for (std::size_t at = 0; at < size; at += piece) {
        md5.update(bytes + at, std::min(piece, size - at));
        md5.update(bytes, 0);
      }
      EXPECT_EQ(md5.finish(), whole) << size << " bytes in pieces of " << piece;
    }
  }
}

}  // namespace
}  // namespace marlin::net
