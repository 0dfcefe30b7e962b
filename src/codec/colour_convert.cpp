#include "codec/colour_convert.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "platform/kernel_choice.h"
#ifdef MARLIN_ARCH_X86_64
#include "codec/x86/colour_convert_init.h"
#endif

namespace marlin {

namespace colour {

namespace {

// Y x 1024 is a multiple of 1024, so (Y x 1024 + t) >> 10 equals
// Y + (t >> 10): each chroma sample gives three offsets that its four luma
// samples share.
struct ColourTables {
  std::array<std::int32_t, 256> crToR{};
  std::array<std::int32_t, 256> cbToG{};
  std::array<std::int32_t, 256> crToG{};
  std::array<std::int32_t, 256> cbToB{};
  std::array<std::uint8_t, 896> clamp{};  // indices -320..575

  ColourTables() {
    for (int i = 0; i < 256; ++i) {
      crToR[i] = 1436 * (i - 128);
      cbToG[i] = 352 * (i - 128);
      crToG[i] = 731 * (i - 128);
      cbToB[i] = 1815 * (i - 128);
    }
    for (int i = -320; i < 576; ++i) {
      clamp[i + 320] = static_cast<std::uint8_t>(std::clamp(i, 1, 255));
    }
  }

  std::uint8_t clamped(std::int32_t value) const { return clamp[value + 320]; }
};

const ColourTables& tables() {
  static const ColourTables built;
  return built;
}

// put(at, r, g, b) writes one pixel of pixelBytes bytes. Each chroma sample
// serves lumaPerChroma pixels of both rows: 2 at full width, 1 when halving
// (which keeps the even luma samples).
template <std::size_t pixelBytes, int lumaPerChroma = 2, class Put>
void rowPairPortable(const std::uint8_t* y0, const std::uint8_t* y1, const std::uint8_t* cb, const std::uint8_t* cr,
                     int width, std::uint8_t* out0, std::uint8_t* out1, Put put) {
  const ColourTables& t = tables();
  const int lumaStep = 2 / lumaPerChroma;
  for (int x = 0; x < width; x += lumaPerChroma) {
    const int chroma = x / lumaPerChroma;
    const std::int32_t red = t.crToR[cr[chroma]] >> 10;
    const std::int32_t green = -(t.cbToG[cb[chroma]] + t.crToG[cr[chroma]]) >> 10;
    const std::int32_t blue = t.cbToB[cb[chroma]] >> 10;
    for (int i = x; i < x + lumaPerChroma; ++i) {
      const int luma = i * lumaStep;
      put(out0 + i * pixelBytes, t.clamped(y0[luma] + red), t.clamped(y0[luma] + green), t.clamped(y0[luma] + blue));
      put(out1 + i * pixelBytes, t.clamped(y1[luma] + red), t.clamped(y1[luma] + green), t.clamped(y1[luma] + blue));
    }
  }
}

void putBgr(std::uint8_t* at, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  at[0] = b;
  at[1] = g;
  at[2] = r;
}

void putBgra(std::uint8_t* at, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  putBgr(at, r, g, b);
  at[3] = 0;
}

template <int lumaPerChroma>
void rowPairToBgraPortable(const std::uint8_t* y0, const std::uint8_t* y1, const std::uint8_t* cb,
                           const std::uint8_t* cr, int width, std::uint8_t* out0, std::uint8_t* out1) {
  rowPairPortable<4, lumaPerChroma>(y0, y1, cb, cr, width, out0, out1, putBgra);
}

template <int lumaPerChroma>
void rowPairToBgr24Portable(const std::uint8_t* y0, const std::uint8_t* y1, const std::uint8_t* cb,
                            const std::uint8_t* cr, int width, std::uint8_t* out0, std::uint8_t* out1) {
  rowPairPortable<3, lumaPerChroma>(y0, y1, cb, cr, width, out0, out1, putBgr);
}

// The display's 16-bit layouts have no vector versions: they are rare.
template <std::uint16_t (*pack)(unsigned r, unsigned g, unsigned b)>
void rowPairTo16(const std::uint8_t* y0, const std::uint8_t* y1, const std::uint8_t* cb, const std::uint8_t* cr,
                 int width, std::uint8_t* out0, std::uint8_t* out1) {
  rowPairPortable<2>(y0, y1, cb, cr, width, out0, out1,
                     [](std::uint8_t* at, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
                       const std::uint16_t pixel = pack(r, g, b);
                       std::memcpy(at, &pixel, 2);
                     });
}

const Kernel kPortable{"portable", rowPairToBgraPortable<2>, rowPairToBgr24Portable<2>, rowPairToBgraPortable<1>,
                       rowPairToBgr24Portable<1>};

void addVectorVersions([[maybe_unused]] std::vector<const Kernel*>& versions, [[maybe_unused]] CpuFlags flags) {
#ifdef MARLIN_ARCH_X86_64
  colourConvertInitX86(versions, flags);
#endif
}

KernelChoice<Kernel>& choice() {
  static KernelChoice<Kernel> kernels(kPortable, addVectorVersions);
  return kernels;
}

}  // namespace

const Kernel& portableKernel() { return kPortable; }
std::span<const Kernel* const> supportedKernels() { return choice().supported(); }
const Kernel& activeKernel() { return choice().active(); }
void selectKernel(const Kernel& kernel) { choice().select(kernel); }

}  // namespace colour

namespace {

// Converts the picture a row pair at a time; rowOf chooses each picture
// row's destination row.
template <class RowOf>
void convert(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height, std::size_t rowBytes, RowOf rowOf,
             colour::RowPairFn rowPair) {
  const std::size_t lumaSize = static_cast<std::size_t>(width) * height;
  const std::uint8_t* cbPlane = yuv + lumaSize;
  const std::uint8_t* crPlane = cbPlane + lumaSize / 4;
  for (int y = 0; y < height; y += 2) {
    const std::uint8_t* luma = yuv + static_cast<std::size_t>(y) * width;
    const std::size_t chromaRow = static_cast<std::size_t>(y / 2) * (width / 2);
    rowPair(luma, luma + width, cbPlane + chromaRow, crPlane + chromaRow, width,
            dest + static_cast<std::size_t>(rowOf(y)) * rowBytes,
            dest + static_cast<std::size_t>(rowOf(y + 1)) * rowBytes);
  }
}

constexpr auto topDown = [](int y) { return y; };

// Eight bytes at a time: a + b = 2 (a & b) + (a ^ b), so the mean is (a & b) + (a ^ b) / 2, and masking each byte's
// top bit after the shift keeps a neighbour's low bit out.
void averageRows(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes, std::uint8_t* out) {
  constexpr std::uint64_t kLowSevenBits = 0x7F7F7F7F7F7F7F7FULL;
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    const std::uint64_t mean = (x & y) + (((x ^ y) >> 1) & kLowSevenBits);
    std::memcpy(out + i, &mean, 8);
  }
  for (; i < bytes; ++i) {
    out[i] = static_cast<std::uint8_t>((a[i] + b[i]) >> 1);
  }
}

std::uint16_t packRgb555(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
}

std::uint16_t packRgb565(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

std::uint16_t packBgr565(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::uint16_t>((b >> 3) << 11 | (g >> 2) << 5 | (r >> 3));
}

}  // namespace

std::size_t bytesPerPixel(SurfaceFormat format) {
  switch (format) {
    case SurfaceFormat::Rgb24:
      return 3;
    case SurfaceFormat::Rgb32:
      return 4;
    default:
      return 2;
  }
}

void ToRgb555(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height) {
  convert(dest, yuv, width, height, static_cast<std::size_t>(width) * 2, topDown, colour::rowPairTo16<packRgb555>);
}

void ToRgb565(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height) {
  convert(dest, yuv, width, height, static_cast<std::size_t>(width) * 2, topDown, colour::rowPairTo16<packRgb565>);
}

void ToBgr565(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height) {
  convert(dest, yuv, width, height, static_cast<std::size_t>(width) * 2, topDown, colour::rowPairTo16<packBgr565>);
}

void ToRgb24Surface(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height) {
  convert(dest, yuv, width, height, static_cast<std::size_t>(width) * 3, topDown,
          colour::activeKernel().rowPairToBgr24);
}

void ToRgb32(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height) {
  convert(dest, yuv, width, height, static_cast<std::size_t>(width) * 4, topDown, colour::activeKernel().rowPairToBgra);
}

void ToDib24(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height) {
  convert(
      dest, yuv, width, height, static_cast<std::size_t>(width) * 3, [height](int y) { return height - 1 - y; },
      colour::activeKernel().rowPairToBgr24);
}

void ToDib24FullHeight(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height, std::size_t stride) {
  // Field row y counted from the top is its bottom-up row height - 1 - y, which goes to row 2 (height - 1 - y).
  convert(
      dest, yuv, width, height, stride, [height](int y) { return 2 * height - 2 - 2 * y; },
      colour::activeKernel().rowPairToBgr24);
  const std::size_t lineBytes = static_cast<std::size_t>(width) * 3;
  const auto row = [&](int i) { return dest + static_cast<std::size_t>(i) * stride; };
  for (int i = 1; i <= 2 * height - 3; i += 2) {
    averageRows(row(i - 1), row(i + 1), lineBytes, row(i));
  }
  // The top row has no field row above it to blend with.
  std::memcpy(row(2 * height - 1), row(2 * height - 2), lineBytes);
}

void surfaceToBgr24BottomUp(std::uint8_t* dest, const std::uint8_t* surface, int width, int height,
                            SurfaceFormat format) {
  const std::size_t sourceRow = static_cast<std::size_t>(width) * bytesPerPixel(format);
  const std::size_t destRow = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = surface + y * sourceRow;
    std::uint8_t* out = dest + (height - 1 - y) * destRow;
    if (format == SurfaceFormat::Rgb24) {
      std::memcpy(out, in, destRow);
      continue;
    }
    for (int x = 0; x < width; ++x) {
      std::uint8_t* px = out + 3 * x;
      if (format == SurfaceFormat::Rgb32) {
        std::memcpy(px, in + 4 * x, 3);
        continue;
      }
      std::uint16_t p;
      std::memcpy(&p, in + 2 * x, 2);
      switch (format) {
        case SurfaceFormat::Rgb555:
          px[0] = static_cast<std::uint8_t>((p & 0x1F) << 3);
          px[1] = static_cast<std::uint8_t>(((p >> 5) & 0x1F) << 3);
          px[2] = static_cast<std::uint8_t>(((p >> 10) & 0x1F) << 3);
          break;
        case SurfaceFormat::Rgb565:
          px[0] = static_cast<std::uint8_t>((p & 0x1F) << 3);
          px[1] = static_cast<std::uint8_t>(((p >> 5) & 0x3F) << 2);
          px[2] = static_cast<std::uint8_t>((p >> 11) << 3);
          break;
        default:  // Bgr565
          px[0] = static_cast<std::uint8_t>((p >> 11) << 3);
          px[1] = static_cast<std::uint8_t>(((p >> 5) & 0x3F) << 2);
          px[2] = static_cast<std::uint8_t>((p & 0x1F) << 3);
          break;
      }
    }
  }
}

}  // namespace marlin
