#include "platform/large_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace marlin {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t roundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

}  // namespace

LargeBuffer::LargeBuffer(std::size_t size) {
  if (size == 0) {
    return;
  }
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t mapped = roundUp(size, page);
  // A huge page only backs a 2 MiB stretch that begins on a 2 MiB boundary:
  // map a little more and give back what lies before the first boundary
  // and after the buffer.
  const bool huge = mapped >= kHugePage;
  const std::size_t reach = huge ? mapped + kHugePage : mapped;
  void* const area = ::mmap(nullptr, reach, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) {
    return;
  }
  auto* begin = static_cast<std::uint8_t*>(area);
  if (huge) {
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(begin);
    const std::size_t head = roundUp(at, kHugePage) - at;
    if (head != 0) {
      ::munmap(begin, head);
    }
    if (reach - head > mapped) {
      ::munmap(begin + head + mapped, reach - head - mapped);
    }
    begin += head;
    // Only advice: without it the buffer works the same, with small pages.
    ::madvise(begin, mapped, MADV_HUGEPAGE);
  }
  data_ = begin;
  size_ = size;
  mapped_ = mapped;
}

LargeBuffer::~LargeBuffer() { release(); }

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

void LargeBuffer::shrink(std::size_t size) { size_ = std::min(size, size_); }

void LargeBuffer::release() {
  if (data_ != nullptr) {
    ::munmap(data_, mapped_);
  }
  data_ = nullptr;
  size_ = 0;
  mapped_ = 0;
}

}  // namespace marlin
