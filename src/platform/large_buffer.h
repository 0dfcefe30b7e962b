#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace marlin {

// Bytes for one large read that is used and dropped (a recording's first
// megabytes): mapped on their own and, where the kernel allows, backed by
// 2 MiB pages. Filling a buffer of 4 KiB pages costs a page fault per page,
// and inside a virtual machine those faults cost more than the read itself.
class LargeBuffer {
 public:
  LargeBuffer() = default;
  // size bytes, all zero; empty when the memory cannot be had.
  explicit LargeBuffer(std::size_t size);
  ~LargeBuffer();
  LargeBuffer(LargeBuffer&& other) noexcept;
  LargeBuffer& operator=(LargeBuffer&& other) noexcept;
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  std::uint8_t* data() { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

  // Keeps the first size bytes; never grows.
  void shrink(std::size_t size);

 private:
  void release();

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_ = 0;
};

}  // namespace marlin
