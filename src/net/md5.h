#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace marlin::net {

// MD5 message digest (RFC 1321), fed in pieces of any size.
class Md5 {
 public:
  using Digest = std::array<std::uint8_t, 16>;

  Md5();
  void update(const std::uint8_t* data, std::size_t n);
  // The digest of everything fed; the object must not be fed afterwards.
  Digest finish();

  static Digest of(const std::uint8_t* data, std::size_t n);
  // Sixteen bytes as 32 uppercase hex characters, first byte first.
  static std::string upperHex(const Digest& digest);

 private:
  void transform(const std::uint8_t* block);

  std::array<std::uint32_t, 4> state_;
  std::array<std::uint8_t, 64> pending_{};
  std::uint64_t totalBytes_ = 0;
};

}  // namespace marlin::net
