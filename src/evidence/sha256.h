#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace marlin::evidence {

using Sha256Digest = std::array<std::uint8_t, 32>;

// A running SHA-256 through libcrypto.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void add(std::span<const std::uint8_t> bytes);
  Sha256Digest finish();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

Sha256Digest sha256Of(std::span<const std::uint8_t> bytes);
Sha256Digest sha256Of(std::string_view text);

// Lowercase hex, two digits a byte, as sha256sum prints digests.
std::string hexText(std::span<const std::uint8_t> bytes);

// 64 lowercase hex digits: a digest as hexText writes it.
bool isSha256Hex(std::string_view text);

}  // namespace marlin::evidence
