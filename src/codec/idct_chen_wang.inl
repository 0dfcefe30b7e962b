// The Chen-Wang passes written once over a lane type V (each translation
// unit with its own compiler flags, hence internal linkage). V provides +,
// -, a multiplication by a constant and an arithmetic right shift, all with
// 32-bit two's-complement wrap-around. The vector versions form the products
// their own way (x86/idct_pairs.inl) and share the butterflies.

namespace {

constexpr std::int32_t kW1 = 2841;
constexpr std::int32_t kW2 = 2676;
constexpr std::int32_t kW3 = 2408;
constexpr std::int32_t kW5 = 1609;
constexpr std::int32_t kW6 = 1108;
constexpr std::int32_t kW7 = 565;

// The stages both passes end with, from the even inputs' terms (x0, x8 and
// the rotated x2, x3) and the odd inputs' rotated terms (x4..x7); out:
// (value) >> Shift.
template <int Shift, class V>
inline void chenWangButterflies(V x0, V x2, V x3, V x4, V x5, V x6, V x7, V x8, V out[8]) {
  const V x1 = x4 + x6;
  x4 = x4 - x6;
  x6 = x5 + x7;
  x5 = x5 - x7;
  x7 = x8 + x3;
  x8 = x8 - x3;
  x3 = x0 + x2;
  x0 = x0 - x2;
  x2 = ((x4 + x5) * 181 + V(128)) >> 8;
  x4 = ((x4 - x5) * 181 + V(128)) >> 8;
  out[0] = (x7 + x1) >> Shift;
  out[1] = (x3 + x2) >> Shift;
  out[2] = (x0 + x4) >> Shift;
  out[3] = (x8 + x6) >> Shift;
  out[4] = (x8 - x6) >> Shift;
  out[5] = (x0 - x4) >> Shift;
  out[6] = (x3 - x2) >> Shift;
  out[7] = (x7 - x1) >> Shift;
}

// b: the eight inputs of a row; out: (value) >> 8 before 16-bit storage.
template <class V>
inline void chenWangRow(const V b[8], V out[8]) {
  V x0 = b[0] * 2048 + V(128);
  V x1 = b[4] * 2048;
  V x2 = b[6];
  V x3 = b[2];
  V x4 = b[1];
  V x5 = b[7];
  V x6 = b[5];
  V x7 = b[3];
  V x8 = (x4 + x5) * kW7;
  x4 = x8 + x4 * (kW1 - kW7);
  x5 = x8 - x5 * (kW1 + kW7);
  x8 = (x6 + x7) * kW3;
  x6 = x8 - x6 * (kW3 - kW5);
  x7 = x8 - x7 * (kW3 + kW5);
  x8 = x0 + x1;
  x0 = x0 - x1;
  x1 = (x3 + x2) * kW6;
  x2 = x1 - x2 * (kW2 + kW6);
  x3 = x1 + x3 * (kW2 - kW6);
  chenWangButterflies<8>(x0, x2, x3, x4, x5, x6, x7, x8, out);
}

// b: the eight (16-bit) inputs of a column; out: (value) >> 14 before the clamp.
template <class V>
inline void chenWangColumn(const V b[8], V out[8]) {
  V x0 = b[0] * 256 + V(8192);
  V x1 = b[4] * 256;
  V x2 = b[6];
  V x3 = b[2];
  V x4 = b[1];
  V x5 = b[7];
  V x6 = b[5];
  V x7 = b[3];
  V x8 = (x4 + x5) * kW7 + V(4);
  x4 = (x8 + x4 * (kW1 - kW7)) >> 3;
  x5 = (x8 - x5 * (kW1 + kW7)) >> 3;
  x8 = (x6 + x7) * kW3 + V(4);
  x6 = (x8 - x6 * (kW3 - kW5)) >> 3;
  x7 = (x8 - x7 * (kW3 + kW5)) >> 3;
  x8 = x0 + x1;
  x0 = x0 - x1;
  x1 = (x3 + x2) * kW6 + V(4);
  x2 = (x1 - x2 * (kW2 + kW6)) >> 3;
  x3 = (x1 + x3 * (kW2 - kW6)) >> 3;
  chenWangButterflies<14>(x0, x2, x3, x4, x5, x6, x7, x8, out);
}

}  // namespace
