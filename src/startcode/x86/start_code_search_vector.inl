// Vector search loops shared by the SSE2 and AVX2 translation units. Each
// unit includes this with its own Ops (vector width and match mask) and its
// own compiler flags, so everything here has internal linkage.

namespace {

// The start codes a mask marks: frame start codes, or any.
enum class Codes : std::uint8_t { Frames, Any };

// Ops::matchMask<codes>(p) has bit i set when a start code of those codes
// begins at p + i; it reads p[0] .. p[Ops::kWidth + 2].
template <class Ops>
std::size_t findFirstVector(const std::uint8_t* data, std::size_t begin, std::size_t end) {
  if (end < begin + 4) {
    return marlin::startcode::kNotFound;
  }
  const std::size_t lastStart = end - 4;
  std::size_t p = begin;
  // Two vectors a step: most steps hold no "00 01", which one test tells.
  for (; p + 2 * Ops::kWidth - 1 <= lastStart; p += 2 * Ops::kWidth) {
    if (Ops::mayStartTwo(data + p)) {
      if (const auto mask = Ops::template matchMask<Codes::Frames>(data + p)) {
        return p + static_cast<std::size_t>(__builtin_ctz(mask));
      }
      if (const auto mask = Ops::template matchMask<Codes::Frames>(data + p + Ops::kWidth)) {
        return p + Ops::kWidth + static_cast<std::size_t>(__builtin_ctz(mask));
      }
    }
  }
  for (; p + Ops::kWidth - 1 <= lastStart; p += Ops::kWidth) {
    if (const auto mask = Ops::template matchMask<Codes::Frames>(data + p)) {
      return p + static_cast<std::size_t>(__builtin_ctz(mask));
    }
  }
  // The last positions in one vector that overlaps those already searched,
  // which hold no match and so add no bits.
  if (p <= lastStart && lastStart + 1 >= begin + Ops::kWidth) {
    const std::size_t q = lastStart + 1 - Ops::kWidth;
    const auto mask = Ops::template matchMask<Codes::Frames>(data + q);
    return mask != 0 ? q + static_cast<std::size_t>(__builtin_ctz(mask)) : marlin::startcode::kNotFound;
  }
  for (; p <= lastStart; ++p) {
    if (marlin::startcode::isStartCodeAt(data + p)) {
      return p;
    }
  }
  return marlin::startcode::kNotFound;
}

template <class Ops>
std::size_t findLastVector(const std::uint8_t* data, std::size_t begin, std::size_t end) {
  if (end < begin + 4) {
    return marlin::startcode::kNotFound;
  }
  const std::size_t lastStart = end - 4;
  std::size_t top = lastStart + 1;  // positions below top remain to be searched
  while (top >= begin + Ops::kWidth) {
    const std::size_t p = top - Ops::kWidth;
    if (const auto mask = Ops::template matchMask<Codes::Frames>(data + p)) {
      return p + 31 - static_cast<std::size_t>(__builtin_clz(mask));
    }
    top = p;
  }
  while (top-- > begin) {
    if (marlin::startcode::isStartCodeAt(data + top)) {
      return top;
    }
  }
  return marlin::startcode::kNotFound;
}

template <class Ops>
std::size_t findAllAnyVector(const std::uint8_t* data, std::size_t begin, std::size_t end, std::uint32_t* starts,
                             std::size_t capacity) {
  if (end < begin + 4 || capacity == 0) {
    return 0;
  }
  const std::size_t lastStart = end - 4;
  std::size_t count = 0;
  // Every bit of a mask is one start code, taken in order.
  const auto take = [&](std::size_t at, auto mask) {
    for (; mask != 0 && count < capacity; mask &= mask - 1) {
      starts[count++] = static_cast<std::uint32_t>(at + static_cast<std::size_t>(__builtin_ctz(mask)));
    }
    return count < capacity;
  };
  std::size_t p = begin;
  for (; p + Ops::kWidth - 1 <= lastStart; p += Ops::kWidth) {
    if (!take(p, Ops::template matchMask<Codes::Any>(data + p))) {
      return count;
    }
  }
  // The last positions in one vector that overlaps those already searched,
  // its bits for them shifted out.
  if (p <= lastStart && lastStart + 1 >= begin + Ops::kWidth) {
    const std::size_t q = lastStart + 1 - Ops::kWidth;
    take(p, Ops::template matchMask<Codes::Any>(data + q) >> (p - q));
    return count;
  }
  for (; p <= lastStart && count < capacity; ++p) {
    if (marlin::startcode::isAnyStartCodeAt(data + p)) {
      starts[count++] = static_cast<std::uint32_t>(p);
    }
  }
  return count;
}

}  // namespace
