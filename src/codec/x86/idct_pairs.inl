// The Chen-Wang passes of idct_chen_wang.inl (included before this) with
// their products formed by multiply-add instructions, which multiply pairs
// of 16-bit inputs by pairs of 16-bit constants and add each pair of
// products into a 32-bit lane. Each value the scalar passes build from
// products and sums before their first shift is one such pair sum here.
// Both sides compute modulo 2^32 up to that shift, and a pair sum is exact
// (an input is at most 2^15 in size and a constant below 2^12, so a sum
// stays below 2^28), hence every 16-bit input gives the same results.
//
// V: 32-bit lanes as idct_chen_wang.inl wants them, plus
// V::dot(pairs, a, b), giving first x a + second x b for the pair of each
// lane. A pass takes the pairs of inputs (0, 4), (2, 6), (1, 7) and (3, 5).

namespace {

template <class V, class Words>
inline void chenWangRowPairs(Words p04, Words p26, Words p17, Words p35, V out[8]) {
  const V x8 = V::dot(p04, 2048, 2048) + V(128);
  const V x0 = V::dot(p04, 2048, -2048) + V(128);
  const V x3 = V::dot(p26, kW2, kW6);
  const V x2 = V::dot(p26, kW6, -kW2);
  const V x4 = V::dot(p17, kW1, kW7);
  const V x5 = V::dot(p17, kW7, -kW1);
  const V x6 = V::dot(p35, kW3, kW5);
  const V x7 = V::dot(p35, -kW5, kW3);
  chenWangButterflies<8>(x0, x2, x3, x4, x5, x6, x7, x8, out);
}

template <class V, class Words>
inline void chenWangColumnPairs(Words p04, Words p26, Words p17, Words p35, V out[8]) {
  const V x8 = V::dot(p04, 256, 256) + V(8192);
  const V x0 = V::dot(p04, 256, -256) + V(8192);
  const V x3 = (V::dot(p26, kW2, kW6) + V(4)) >> 3;
  const V x2 = (V::dot(p26, kW6, -kW2) + V(4)) >> 3;
  const V x4 = (V::dot(p17, kW1, kW7) + V(4)) >> 3;
  const V x5 = (V::dot(p17, kW7, -kW1) + V(4)) >> 3;
  const V x6 = (V::dot(p35, kW3, kW5) + V(4)) >> 3;
  const V x7 = (V::dot(p35, -kW5, kW3) + V(4)) >> 3;
  chenWangButterflies<14>(x0, x2, x3, x4, x5, x6, x7, x8, out);
}

// v: four vectors of eight 16-bit inputs (in each 128-bit half); pass gets
// their input pairs side by side. Unpack: the interleaving instructions of
// the vector width (lo16, hi16, lo32, hi32).
template <class Unpack, class Words, class V, class Pass>
inline void runPairedPass(const Words v[4], V out[8], Pass pass) {
  const Words a0 = Unpack::lo16(v[0], v[1]);  // inputs 0..3 of v0 and v1, alternating
  const Words a1 = Unpack::hi16(v[0], v[1]);  // inputs 4..7
  const Words a2 = Unpack::lo16(v[2], v[3]);
  const Words a3 = Unpack::hi16(v[2], v[3]);
  const Words b0 = Unpack::lo32(a0, a2);  // input 0 of v0..v3, then input 1
  const Words b1 = Unpack::hi32(a0, a2);  // inputs 2, 3
  const Words b2 = Unpack::lo32(a1, a3);  // inputs 4, 5
  const Words b3 = Unpack::hi32(a1, a3);  // inputs 6, 7
  pass(Unpack::lo16(b0, b2), Unpack::lo16(b1, b3), Unpack::hi16(b0, b3), Unpack::hi16(b1, b2), out);
}

}  // namespace
