// Vector search loops shared by the SSE2 and AVX2 translation units. Each
// unit includes this with its own Ops (vector width and match mask) and its
// own compiler flags, so everything here has internal linkage.

namespace {

// Ops::matchMask<codes>(p) has bit i set when a start code of those codes
// begins at p + i; it reads p[0] .. p[Ops::kWidth + 2].
template <class Ops, marlin::startcode::Codes kCodes>
std::size_t findFirstVector(const std::uint8_t* data, std::size_t begin, std::size_t end) {
  if (end < begin + 4) {
    return marlin::startcode::kNotFound;
  }
  const std::size_t lastStart = end - 4;
  std::size_t p = begin;
  // Two vectors a step: most steps hold no "00 01", which one test tells.
  for (; p + 2 * Ops::kWidth - 1 <= lastStart; p += 2 * Ops::kWidth) {
    if (Ops::mayStartTwo(data + p)) {
      if (const auto mask = Ops::template matchMask<kCodes>(data + p)) {
        return p + static_cast<std::size_t>(__builtin_ctz(mask));
      }
      if (const auto mask = Ops::template matchMask<kCodes>(data + p + Ops::kWidth)) {
        return p + Ops::kWidth + static_cast<std::size_t>(__builtin_ctz(mask));
      }
    }
  }
  for (; p + Ops::kWidth - 1 <= lastStart; p += Ops::kWidth) {
    if (const auto mask = Ops::template matchMask<kCodes>(data + p)) {
      return p + static_cast<std::size_t>(__builtin_ctz(mask));
    }
  }
  // The last positions in one vector that overlaps those already searched,
  // which hold no match and so add no bits.
  if (p <= lastStart && lastStart + 1 >= begin + Ops::kWidth) {
    const std::size_t q = lastStart + 1 - Ops::kWidth;
    const auto mask = Ops::template matchMask<kCodes>(data + q);
    return mask != 0 ? q + static_cast<std::size_t>(__builtin_ctz(mask)) : marlin::startcode::kNotFound;
  }
  for (; p <= lastStart; ++p) {
    if (marlin::startcode::isStartCodeOf<kCodes>(data + p)) {
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
    if (const auto mask = Ops::template matchMask<marlin::startcode::Codes::Frames>(data + p)) {
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

}  // namespace
