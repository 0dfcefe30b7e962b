#include <algorithm>
#include <cstring>

#include "codec/idct.h"
#include "platform/kernel_choice.h"
#ifdef MARLIN_ARCH_X86_64
#include "codec/x86/idct_init.h"
#endif

namespace marlin::codec {

namespace {

// A 32-bit integer whose arithmetic wraps like the machine's instead of
// overflowing, since hostile coefficients drive the transform past 32 bits.
struct Wrap32 {
  std::int32_t v;
  explicit Wrap32(std::int32_t value) : v(value) {}
  friend Wrap32 operator+(Wrap32 a, Wrap32 b) {
    return Wrap32(static_cast<std::int32_t>(static_cast<std::uint32_t>(a.v) + static_cast<std::uint32_t>(b.v)));
  }
  friend Wrap32 operator-(Wrap32 a, Wrap32 b) {
    return Wrap32(static_cast<std::int32_t>(static_cast<std::uint32_t>(a.v) - static_cast<std::uint32_t>(b.v)));
  }
  friend Wrap32 operator*(Wrap32 a, std::int32_t k) {
    return Wrap32(static_cast<std::int32_t>(static_cast<std::uint32_t>(a.v) * static_cast<std::uint32_t>(k)));
  }
  friend Wrap32 operator>>(Wrap32 a, int shift) { return Wrap32(a.v >> shift); }
};

}  // namespace

#include "codec/idct_chen_wang.inl"

namespace {

// store(row, column, value) receives each result of the column pass.
template <class Store>
void transformPortable(std::int16_t* block, Store store) {
  for (int row = 0; row < 8; ++row) {
    std::int16_t* r = block + 8 * row;
    if ((r[1] | r[2] | r[3] | r[4] | r[5] | r[6] | r[7]) == 0) {
      const auto flat = static_cast<std::int16_t>(r[0] * 8);
      std::fill(r, r + 8, flat);
      continue;
    }
    Wrap32 in[8] = {Wrap32(r[0]), Wrap32(r[1]), Wrap32(r[2]), Wrap32(r[3]),
                    Wrap32(r[4]), Wrap32(r[5]), Wrap32(r[6]), Wrap32(r[7])};
    Wrap32 out[8] = {Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0)};
    chenWangRow(in, out);
    for (int i = 0; i < 8; ++i) {
      r[i] = static_cast<std::int16_t>(out[i].v);
    }
  }
  for (int column = 0; column < 8; ++column) {
    const std::int16_t* c = block + column;
    if ((c[8] | c[16] | c[24] | c[32] | c[40] | c[48] | c[56]) == 0) {
      const std::int32_t flat = (c[0] + 32) >> 6;
      for (int i = 0; i < 8; ++i) {
        store(i, column, flat);
      }
      continue;
    }
    Wrap32 in[8] = {Wrap32(c[0]),  Wrap32(c[8]),  Wrap32(c[16]), Wrap32(c[24]),
                    Wrap32(c[32]), Wrap32(c[40]), Wrap32(c[48]), Wrap32(c[56])};
    Wrap32 out[8] = {Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0)};
    chenWangColumn(in, out);
    for (int i = 0; i < 8; ++i) {
      store(i, column, out[i].v);
    }
  }
}

void idctPortable(std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride) {
  transformPortable(block, [dest, stride](int row, int column, std::int32_t value) {
    dest[row * stride + column] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
  });
}

void idctPortableResidual(std::int16_t* block, std::int16_t* out) {
  transformPortable(block, [out](int row, int column, std::int32_t value) {
    out[row * 8 + column] = static_cast<std::int16_t>(std::clamp(value, -256, 255));
  });
}

std::uint8_t clampedPixel(Wrap32 value) { return static_cast<std::uint8_t>(std::clamp(value.v, 0, 255)); }

const IdctKernel kPortable{"portable", idctPortable, idctPortableResidual};

void addVectorVersions([[maybe_unused]] std::vector<const IdctKernel*>& versions, [[maybe_unused]] CpuFlags flags) {
#ifdef MARLIN_ARCH_X86_64
  idctInitX86(versions, flags);
#endif
}

KernelChoice<IdctKernel>& choice() {
  static KernelChoice<IdctKernel> kernels(kPortable, addVectorVersions);
  return kernels;
}

}  // namespace

const IdctKernel& portableIdct() { return kPortable; }

// The row pass leaves each row flat at 8 x its first coefficient (the
// transform of a lone first input), as 16 bits; the column pass is then the
// same for every column.
void transformFirstColumnOnly(const std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride) {
  Wrap32 in[8] = {Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0)};
  for (int row = 0; row < 8; ++row) {
    in[row] = Wrap32(static_cast<std::int16_t>(block[8 * row] * 8));
  }
  Wrap32 out[8] = {Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0)};
  chenWangColumn(in, out);
  for (int row = 0; row < 8; ++row) {
    std::memset(dest + row * stride, clampedPixel(out[row]), 8);
  }
}

// Rows 1..7 transform to zeros, so every column holds only the first row's
// result and transforms to that value, rounded, in all eight rows.
void transformFirstRowOnly(const std::int16_t* block, std::uint8_t* dest, std::ptrdiff_t stride) {
  const Wrap32 in[8] = {Wrap32(block[0]), Wrap32(block[1]), Wrap32(block[2]), Wrap32(block[3]),
                        Wrap32(block[4]), Wrap32(block[5]), Wrap32(block[6]), Wrap32(block[7])};
  Wrap32 out[8] = {Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0), Wrap32(0)};
  chenWangRow(in, out);
  std::uint8_t row[8];
  for (int column = 0; column < 8; ++column) {
    row[column] = clampedPixel(Wrap32((static_cast<std::int16_t>(out[column].v) + 32) >> 6));
  }
  for (int r = 0; r < 8; ++r) {
    std::memcpy(dest + r * stride, row, sizeof row);
  }
}
std::span<const IdctKernel* const> supportedIdcts() { return choice().supported(); }
const IdctKernel& activeIdct() { return choice().active(); }
void selectIdct(const IdctKernel& kernel) { choice().select(kernel); }

}  // namespace marlin::codec
