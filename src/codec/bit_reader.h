#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace marlin::codec {

// Reads a slice's bits most significant first through a 64-bit window that
// is refilled whole bytes at a time, so one refill serves several codes.
// Bytes past the end of the payload read as zeros, and overran() tells
// whether any bit actually taken lay past it: the decoder then treats the
// slice as failed.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size, std::size_t start)
      : data_(data), size_(size), position_(start) {}

  // After ensure(n) (n <= 56), the next n bits are in the window and peek,
  // skip and take need no refill for them.
  void ensure(unsigned n) {
    if (valid_ < n) {
      refill();
    }
  }

  // Tops the window up to at least 57 bits whatever it holds: for loops
  // that take a few bits a step, where ensure's branch, taken every few
  // steps at no fixed interval, would be mispredicted most times.
  void topUp() { refill(); }

  // n in 1..32; the bits must have been ensured.
  std::uint32_t peek(unsigned n) const { return static_cast<std::uint32_t>(window_ >> (64 - n)); }
  void skip(unsigned n) {
    window_ <<= n;
    valid_ -= n;
  }
  std::uint32_t take(unsigned n) {
    const std::uint32_t value = peek(n);
    skip(n);
    return value;
  }

  // n in 1..32.
  std::uint32_t read(unsigned n) {
    ensure(n);
    return take(n);
  }

  bool overran() const { return (position_ * 8 - valid_) > size_ * 8; }

 private:
  // Tops the window up to 57..64 valid bits. The bits of a byte only partly
  // loaded lie below the valid ones and are the same bits the next refill
  // loads there, so OR-ing over them is harmless.
  void refill() {
    std::uint64_t next = 0;
    if (position_ + 8 <= size_) {
      // One load and a byte swap: compilers do not see this in a loop of
      // byte loads.
      std::memcpy(&next, data_ + position_, sizeof next);
      if constexpr (std::endian::native == std::endian::little) {
        next = __builtin_bswap64(next);
      }
    } else {
      for (unsigned i = 0; i < 8; ++i) {
        next = next << 8 | (position_ + i < size_ ? data_[position_ + i] : 0u);
      }
    }
    // A full window takes nothing (a shift by 64 would be undefined).
    window_ |= valid_ < 64 ? next >> valid_ : 0;
    const unsigned bytes = (64 - valid_) / 8;
    position_ += bytes;
    valid_ += bytes * 8;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_;
  std::uint64_t window_ = 0;
  unsigned valid_ = 0;
};

}  // namespace marlin::codec
