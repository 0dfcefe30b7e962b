#include "net/md5.h"

#include <cstring>

namespace marlin::net {

namespace {

// Per-round shift amounts and the sine-derived constants of RFC 1321, 3.4.
constexpr std::uint32_t kShifts[64] = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,  //
    5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,  //
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,  //
    6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21,
};

constexpr std::uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

std::uint32_t rotateLeft(std::uint32_t value, std::uint32_t bits) { return (value << bits) | (value >> (32 - bits)); }

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::transform(const std::uint8_t* block) {
  std::uint32_t words[16];
  for (int i = 0; i < 16; ++i) {
    const std::uint8_t* p = block + 4 * i;
    words[i] = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  }
  std::uint32_t a = state_[0];
  std::uint32_t b = state_[1];
  std::uint32_t c = state_[2];
  std::uint32_t d = state_[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int g;
    switch (i / 16) {
      case 0:
        f = (b & c) | (~b & d);
        g = i;
        break;
      case 1:
        f = (d & b) | (~d & c);
        g = (5 * i + 1) % 16;
        break;
      case 2:
        f = b ^ c ^ d;
        g = (3 * i + 5) % 16;
        break;
      default:
        f = c ^ (b | ~d);
        g = (7 * i) % 16;
        break;
    }
    const std::uint32_t rotated = rotateLeft(a + f + kSines[i] + words[g], kShifts[i]);
    a = d;
    d = c;
    c = b;
    b += rotated;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::update(const std::uint8_t* data, std::size_t n) {
  if (n == 0) {
    return;
  }
  std::size_t used = static_cast<std::size_t>(totalBytes_ % 64);
  totalBytes_ += n;
  if (used != 0) {
    const std::size_t take = n < 64 - used ? n : 64 - used;
    std::memcpy(pending_.data() + used, data, take);
    data += take;
    n -= take;
    used += take;
    if (used < 64) {
      return;
    }
    transform(pending_.data());
  }
  for (; n >= 64; data += 64, n -= 64) {
    transform(data);
  }
  if (n != 0) {
    std::memcpy(pending_.data(), data, n);
  }
}

Md5::Digest Md5::finish() {
  // RFC 1321, 3.1 and 3.2: a one bit, zeros up to 56 bytes modulo 64, then
  // the message length in bits, least significant byte first.
  const std::uint64_t bits = totalBytes_ * 8;
  const std::size_t used = static_cast<std::size_t>(totalBytes_ % 64);
  static constexpr std::uint8_t kPadding[64] = {0x80};
  update(kPadding, used < 56 ? 56 - used : 120 - used);
  std::uint8_t length[8];
  for (int i = 0; i < 8; ++i) {
    length[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  }
  update(length, sizeof length);
  Digest digest;
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 4; ++k) {
      digest[4 * i + k] = static_cast<std::uint8_t>(state_[i] >> (8 * k));
    }
  }
  return digest;
}

Md5::Digest Md5::of(const std::uint8_t* data, std::size_t n) {
  Md5 md5;
  md5.update(data, n);
  return md5.finish();
}

std::string Md5::upperHex(const Digest& digest) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(2 * digest.size());
  for (const std::uint8_t byte : digest) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

}  // namespace marlin::net
