#pragma once

#include <cstdint>
#include <vector>

namespace marlin::encoder {

// Appends bits most significant first.
class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void write(std::uint32_t value, unsigned bits) {
    for (unsigned i = bits; i-- > 0;) {
      current_ = static_cast<std::uint8_t>(current_ << 1 | ((value >> i) & 1u));
      if (++filled_ == 8) {
        out_.push_back(current_);
        current_ = 0;
        filled_ = 0;
      }
    }
  }

  // Pads with zero bits to the next byte boundary.
  void align() {
    if (filled_ != 0) {
      write(0, 8 - filled_);
    }
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::uint8_t current_ = 0;
  unsigned filled_ = 0;
};

}  // namespace marlin::encoder
