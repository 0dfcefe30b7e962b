#pragma once

#include <cstddef>
#include <cstdint>

namespace marlin::codec {

// Reads a slice's bits most significant first through a 32-bit window that
// is refilled four bytes at a time. Bytes past the end of the payload read
// as zeros, and overran() tells whether any bit actually taken lay past it:
// the decoder then treats the slice as failed.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size, std::size_t start)
      : data_(data), size_(size), position_(start) {}

  // n <= 24.
  std::uint32_t read(unsigned n) {
    refill(n);
    const std::uint32_t value = window_ >> (32 - n);
    window_ <<= n;
    valid_ -= n;
    return value;
  }

  std::uint32_t peek16() {
    refill(16);
    return window_ >> 16;
  }

  void skip(unsigned n) {
    window_ <<= n;
    valid_ -= n;
  }

  bool overran() const { return (position_ * 8 - valid_) > size_ * 8; }

 private:
  void refill(unsigned n) {
    if (valid_ >= n) {
      return;
    }
    std::uint32_t next;
    if (position_ + 4 <= size_) {
      next = static_cast<std::uint32_t>(data_[position_]) << 24 | static_cast<std::uint32_t>(data_[position_ + 1]) << 16 |
             static_cast<std::uint32_t>(data_[position_ + 2]) << 8 | data_[position_ + 3];
    } else {
      next = 0;
      for (unsigned i = 0; i < 4; ++i) {
        const std::uint32_t byte = position_ + i < size_ ? data_[position_ + i] : 0;
        next |= byte << (24 - 8 * i);
      }
    }
    window_ |= valid_ == 0 ? next : next >> valid_;
    const unsigned bytes = (32 - valid_) / 8;
    position_ += bytes;
    valid_ += bytes * 8;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_;
  std::uint32_t window_ = 0;
  unsigned valid_ = 0;
};

}  // namespace marlin::codec
