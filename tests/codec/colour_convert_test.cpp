#include "codec/colour_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "codec/yuv_picture.h"
#include "codec_test_support.h"

namespace marlin {
namespace {

using codectest::Bytes;

// ---------------------------------------------------------------------------
// The conversion written out from its definition, one pixel at a time.

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

int clampComponent(int v) { return std::clamp(v, 1, 255); }

Rgb convertPixel(int y, int cb, int cr) {
  const int luma = y * 1024;
  return {clampComponent((luma + 1436 * (cr - 128)) >> 10),
          clampComponent((luma - (352 * (cb - 128) + 731 * (cr - 128))) >> 10),
          clampComponent((luma + 1815 * (cb - 128)) >> 10)};
}

Rgb pixelOf(const YuvPicture& p, int x, int y) {
  const int chroma = (y / 2) * (p.width / 2) + x / 2;
  return convertPixel(p.y()[y * p.width + x], p.cb()[chroma], p.cr()[chroma]);
}

std::uint16_t pack555(const Rgb& c) {
  return static_cast<std::uint16_t>((c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3);
}
std::uint16_t pack565(const Rgb& c) {
  return static_cast<std::uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
}
std::uint16_t packBgr565(const Rgb& c) {
  return static_cast<std::uint16_t>((c.b >> 3) << 11 | (c.g >> 2) << 5 | c.r >> 3);
}

void put16(std::uint8_t* at, std::uint16_t value) { std::memcpy(at, &value, 2); }

std::uint16_t get16(const std::uint8_t* at) {
  std::uint16_t value;
  std::memcpy(&value, at, 2);
  return value;
}

enum class Converter { Rgb555, Rgb565, Bgr565, Rgb24Surface, Rgb32, Bgr24BottomUp };

const char* nameOf(Converter c) {
  switch (c) {
    case Converter::Rgb555:
      return "ToRgb555";
    case Converter::Rgb565:
      return "ToRgb565";
    case Converter::Bgr565:
      return "ToBgr565";
    case Converter::Rgb24Surface:
      return "ToRgb24Surface";
    case Converter::Rgb32:
      return "ToRgb32";
    default:
      return "ToDib24";
  }
}

std::size_t pixelBytes(Converter c) {
  switch (c) {
    case Converter::Rgb24Surface:
    case Converter::Bgr24BottomUp:
      return 3;
    case Converter::Rgb32:
      return 4;
    default:
      return 2;
  }
}

void run(Converter c, std::uint8_t* dest, const YuvPicture& p) {
  switch (c) {
    case Converter::Rgb555:
      return ToRgb555(dest, p.data.data(), p.width, p.height);
    case Converter::Rgb565:
      return ToRgb565(dest, p.data.data(), p.width, p.height);
    case Converter::Bgr565:
      return ToBgr565(dest, p.data.data(), p.width, p.height);
    case Converter::Rgb24Surface:
      return ToRgb24Surface(dest, p.data.data(), p.width, p.height);
    case Converter::Rgb32:
      return ToRgb32(dest, p.data.data(), p.width, p.height);
    default:
      return ToDib24(dest, p.data.data(), p.width, p.height);
  }
}

// The bytes a converter must produce, from the per-pixel definition and the packing table.
Bytes expectedOutput(Converter c, const YuvPicture& p) {
  const std::size_t bpp = pixelBytes(c);
  const std::size_t rowBytes = bpp * p.width;
  Bytes out(rowBytes * p.height);
  for (int y = 0; y < p.height; ++y) {
    const int destRow = c == Converter::Bgr24BottomUp ? p.height - 1 - y : y;
    for (int x = 0; x < p.width; ++x) {
      const Rgb px = pixelOf(p, x, y);
      std::uint8_t* at = out.data() + destRow * rowBytes + x * bpp;
      switch (c) {
        case Converter::Rgb555:
          put16(at, pack555(px));
          break;
        case Converter::Rgb565:
          put16(at, pack565(px));
          break;
        case Converter::Bgr565:
          put16(at, packBgr565(px));
          break;
        case Converter::Rgb32:
          at[3] = 0;
          [[fallthrough]];
        default:
          at[0] = static_cast<std::uint8_t>(px.b);
          at[1] = static_cast<std::uint8_t>(px.g);
          at[2] = static_cast<std::uint8_t>(px.r);
          break;
      }
    }
  }
  return out;
}

// Random samples with a good share of the extremes, where clamping happens.
YuvPicture randomPicture(int width, int height, std::mt19937& random) {
  YuvPicture p;
  p.resize(width, height);
  std::uniform_int_distribution<int> any(0, 255);
  std::uniform_int_distribution<int> kind(0, 9);
  for (auto& b : p.data) {
    const int k = kind(random);
    b = static_cast<std::uint8_t>(k == 0 ? 0 : k == 1 ? 255 : k == 2 ? 1 + any(random) % 3 : any(random));
  }
  return p;
}

class KernelGuard {
 public:
  KernelGuard() : saved_(colour::activeKernel()) {}
  ~KernelGuard() { colour::selectKernel(saved_); }
  KernelGuard(const KernelGuard&) = delete;
  KernelGuard& operator=(const KernelGuard&) = delete;

 private:
  const colour::Kernel& saved_;
};

constexpr std::uint8_t kGuardByte = 0xC3;
constexpr std::size_t kGuard = 64;

// ---------------------------------------------------------------------------

TEST(ColourConversion, KnownColours) {
  struct Example {
    int y, cb, cr;
    Rgb rgb;
  };
  const Example examples[] = {
      {0, 128, 128, {1, 1, 1}},  // black becomes 1, not 0
      {255, 128, 128, {255, 255, 255}}, {128, 255, 128, {128, 84, 255}},
      {128, 128, 0, {1, 219, 128}},     {77, 84, 255, {255, 1, 1}},  // a saturated red
  };
  for (const Example& e : examples) {
    ASSERT_EQ(convertPixel(e.y, e.cb, e.cr), e.rgb) << e.y << "," << e.cb << "," << e.cr;
  }
  KernelGuard guard;
  for (const colour::Kernel* kernel : colour::supportedKernels()) {
    colour::selectKernel(*kernel);
    for (const Example& e : examples) {
      // 48 pixels wide: vector steps of 16 and a tail.
      const YuvPicture p = codectest::uniformPicture(48, 4, static_cast<std::uint8_t>(e.y),
                                                     static_cast<std::uint8_t>(e.cb), static_cast<std::uint8_t>(e.cr));
      Bytes rgb32(48 * 4 * 4);
      ToRgb32(rgb32.data(), p.data.data(), 48, 4);
      for (std::size_t i = 0; i < rgb32.size(); i += 4) {
        ASSERT_EQ(rgb32[i], e.rgb.b) << kernel->name << " pixel " << i / 4;
        ASSERT_EQ(rgb32[i + 1], e.rgb.g) << kernel->name << " pixel " << i / 4;
        ASSERT_EQ(rgb32[i + 2], e.rgb.r) << kernel->name << " pixel " << i / 4;
        ASSERT_EQ(rgb32[i + 3], 0) << kernel->name << " pixel " << i / 4;
      }
    }
  }
}

TEST(ColourConversion, PureRedPacksIntoEachSixteenBitLayout) {
  KernelGuard guard;
  for (const colour::Kernel* kernel : colour::supportedKernels()) {
    colour::selectKernel(*kernel);
    const YuvPicture red = codectest::uniformPicture(32, 2, 77, 84, 255);  // (255, 1, 1)
    Bytes out(32 * 2 * 2);
    ToBgr565(out.data(), red.data.data(), 32, 2);
    for (std::size_t i = 0; i < out.size(); i += 2) {
      ASSERT_EQ(get16(&out[i]), 0x001F) << kernel->name;
    }
    ToRgb565(out.data(), red.data.data(), 32, 2);
    EXPECT_EQ(get16(&out[0]), 0xF800) << kernel->name;
    ToRgb555(out.data(), red.data.data(), 32, 2);
    EXPECT_EQ(get16(&out[0]), 0x7C00) << kernel->name;
    // White: every bit set except bit 15 of 555.
    const YuvPicture white = codectest::uniformPicture(32, 2, 255, 128, 128);
    ToRgb555(out.data(), white.data.data(), 32, 2);
    EXPECT_EQ(get16(&out[0]), 0x7FFF) << kernel->name;
    ToRgb565(out.data(), white.data.data(), 32, 2);
    EXPECT_EQ(get16(&out[0]), 0xFFFF) << kernel->name;
  }
}

TEST(ColourConversion, EveryKernelMatchesTheDefinitionForEveryLumaAndCrAndSpreadCb) {
  // Every Y and Cr with Cb 0, 5, .. 255 (the whole cube would take half a
  // minute under the sanitizers): row pairs of 512 pixels with Cr running
  // over 0..255 and each chroma sample serving Y and 255 - Y (Y below 128) in
  // both rows, in opposite order.
  constexpr int kWidth = 512;
  std::vector<std::uint8_t> y0(kWidth);
  std::vector<std::uint8_t> y1(kWidth);
  std::vector<std::uint8_t> cb(kWidth / 2);
  std::vector<std::uint8_t> cr(kWidth / 2);
  for (int i = 0; i < kWidth / 2; ++i) {
    cr[i] = static_cast<std::uint8_t>(i);
  }
  std::vector<std::uint8_t> want(8 * kWidth);
  std::vector<std::uint8_t> got(8 * kWidth);
  const auto kernels = colour::supportedKernels();
  for (int cbValue = 0; cbValue < 256; cbValue += 5) {
    std::fill(cb.begin(), cb.end(), static_cast<std::uint8_t>(cbValue));
    for (int yValue = 0; yValue < 128; ++yValue) {
      for (int i = 0; i < kWidth; i += 2) {
        y0[i] = y1[i + 1] = static_cast<std::uint8_t>(yValue);
        y0[i + 1] = y1[i] = static_cast<std::uint8_t>(255 - yValue);
      }
      for (int i = 0; i < 2 * kWidth; ++i) {
        const std::uint8_t luma = i < kWidth ? y0[i] : y1[i - kWidth];
        const Rgb c = convertPixel(luma, cbValue, cr[(i % kWidth) / 2]);
        want[4 * i] = static_cast<std::uint8_t>(c.b);
        want[4 * i + 1] = static_cast<std::uint8_t>(c.g);
        want[4 * i + 2] = static_cast<std::uint8_t>(c.r);
        want[4 * i + 3] = 0;
      }
      for (const colour::Kernel* kernel : kernels) {
        kernel->rowPairToBgra(y0.data(), y1.data(), cb.data(), cr.data(), kWidth, got.data(), got.data() + 4 * kWidth);
        if (got != want) {
          const auto at = std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
          const int pixel = static_cast<int>(at / 4);
          FAIL() << kernel->name << ": row " << pixel / kWidth << " Y "
                 << int(pixel < kWidth ? y0[pixel] : y1[pixel - kWidth]) << " Cb " << cbValue << " Cr "
                 << (pixel % kWidth) / 2 << " byte " << at % 4 << " (B, G, R, 0) is " << int(got[at]) << " instead of "
                 << int(want[at]);
        }
      }
    }
  }
}

// Converts one row pair into a buffer whose second row lies before the
// first, with guard bytes around both and the rows offset from alignment.
struct RowPairLayout {
  int width;
  int offset;
  std::size_t pixelBytes;
  std::size_t rowBytes() const { return pixelBytes * width; }
  std::size_t row0() const { return 2 * kGuard + rowBytes() + offset; }
  std::size_t row1() const { return kGuard + offset; }
  std::size_t size() const { return 3 * kGuard + 2 * rowBytes() + offset; }

  Bytes run(colour::RowPairFn rowPair, const std::vector<std::uint8_t>& y, const std::vector<std::uint8_t>& cb,
            const std::vector<std::uint8_t>& cr) const {
    Bytes out(size(), kGuardByte);
    rowPair(y.data() + offset, y.data() + offset + width, cb.data() + offset, cr.data() + offset, width,
            out.data() + row0(), out.data() + row1());
    return out;
  }
};

TEST(ColourConversion, EveryKernelAgreesWithThePortableOneAtAnyWidthAndAlignment) {
  std::mt19937 random(31);
  std::uniform_int_distribution<int> any(0, 255);
  const colour::Kernel& portable = colour::portableKernel();
  std::vector<int> widths;
  for (int width = 2; width <= 132; width += 2) {
    widths.push_back(width);
  }
  // The renderer's widths, and odd multiples of the vector steps with short tails.
  for (const int width : {320, 640, 336, 338, 352, 354, 360, 672, 674, 702}) {
    widths.push_back(width);
  }
  for (const int width : widths) {
    for (int offset = 0; offset < 3; ++offset) {
      std::vector<std::uint8_t> y(2 * width + offset);
      std::vector<std::uint8_t> cb(width / 2 + offset);
      std::vector<std::uint8_t> cr(width / 2 + offset);
      for (auto* v : {&y, &cb, &cr}) {
        for (auto& s : *v) {
          s = static_cast<std::uint8_t>(any(random));
        }
      }
      const RowPairLayout bgra{width, offset, 4};
      const RowPairLayout bgr24{width, offset, 3};
      const Bytes wantBgra = bgra.run(portable.rowPairToBgra, y, cb, cr);
      const Bytes wantBgr24 = bgr24.run(portable.rowPairToBgr24, y, cb, cr);
      // The portable rows themselves: nothing outside them written, and the
      // same pixels in both layouts.
      for (const auto& [layout, bytes] : {std::pair{&bgra, &wantBgra}, std::pair{&bgr24, &wantBgr24}}) {
        for (std::size_t i = 0; i < bytes->size(); ++i) {
          const bool inRow = (i >= layout->row0() && i < layout->row0() + layout->rowBytes()) ||
                             (i >= layout->row1() && i < layout->row1() + layout->rowBytes());
          if (!inRow) {
            ASSERT_EQ((*bytes)[i], kGuardByte) << "width " << width << " byte " << i;
          }
        }
      }
      for (int x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) {
          ASSERT_EQ(wantBgr24[bgr24.row0() + 3 * x + c], wantBgra[bgra.row0() + 4 * x + c]) << "width " << width;
          ASSERT_EQ(wantBgr24[bgr24.row1() + 3 * x + c], wantBgra[bgra.row1() + 4 * x + c]) << "width " << width;
        }
      }
      for (const colour::Kernel* kernel : colour::supportedKernels()) {
        ASSERT_EQ(bgra.run(kernel->rowPairToBgra, y, cb, cr), wantBgra)
            << kernel->name << " B, G, R, 0 width " << width << " offset " << offset;
        ASSERT_EQ(bgr24.run(kernel->rowPairToBgr24, y, cb, cr), wantBgr24)
            << kernel->name << " B, G, R width " << width << " offset " << offset;
        // Halving into the same rows: pixel i is the full conversion's 2i,
        // and nothing past the half row is written.
        for (const auto& [layout, halving, full] : {std::tuple{&bgra, kernel->halvingRowPairToBgra, &wantBgra},
                                                    std::tuple{&bgr24, kernel->halvingRowPairToBgr24, &wantBgr24}}) {
          Bytes got(layout->size(), kGuardByte);
          halving(y.data() + offset, y.data() + offset + width, cb.data() + offset, cr.data() + offset, width / 2,
                  got.data() + layout->row0(), got.data() + layout->row1());
          Bytes want(layout->size(), kGuardByte);
          for (const std::size_t row : {layout->row0(), layout->row1()}) {
            for (int x = 0; x < width / 2; ++x) {
              std::copy_n(full->begin() + row + 2 * x * layout->pixelBytes, layout->pixelBytes,
                          want.begin() + row + x * layout->pixelBytes);
            }
          }
          ASSERT_EQ(got, want) << kernel->name << " halving, " << layout->pixelBytes << " bytes a pixel, width "
                               << width << " offset " << offset;
        }
      }
    }
  }
}

TEST(ColourConversion, EveryConverterPacksEveryPixelAsDefined) {
  KernelGuard guard;
  std::mt19937 random(8);
  const std::pair<int, int> sizes[] = {{640, 224}, {2, 2},  {16, 2},    {18, 4}, {32, 4},
                                       {34, 6},    {48, 2}, {320, 272}, {50, 10}};
  for (const auto& [width, height] : sizes) {
    const YuvPicture picture = randomPicture(width, height, random);
    for (const Converter c : {Converter::Rgb555, Converter::Rgb565, Converter::Bgr565, Converter::Rgb24Surface,
                              Converter::Rgb32, Converter::Bgr24BottomUp}) {
      const Bytes expected = expectedOutput(c, picture);
      for (const colour::Kernel* kernel : colour::supportedKernels()) {
        colour::selectKernel(*kernel);
        Bytes out(expected.size() + kGuard, kGuardByte);
        run(c, out.data(), picture);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()))
            << nameOf(c) << " " << kernel->name << " " << width << "x" << height;
        ASSERT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(expected.size()), out.end(),
                                [](std::uint8_t v) { return v == kGuardByte; }))
            << nameOf(c) << " wrote past its " << expected.size() << " bytes";
      }
    }
  }
}

TEST(ColourConversion, Dib24Of640x224FillsItsBufferBottomUp) {
  std::mt19937 random(3);
  const YuvPicture picture = randomPicture(640, 224, random);
  Bytes out(430080 + kGuard, 0);
  ToDib24(out.data(), picture.data.data(), 640, 224);
  // Every component is at least 1, so a 0 would be a byte left unwritten.
  EXPECT_EQ(std::count(out.begin(), out.begin() + 430080, 0), 0);
  EXPECT_TRUE(std::all_of(out.begin() + 430080, out.end(), [](std::uint8_t v) { return v == 0; }));
  // Picture row 0 is the last buffer row, row 223 the first.
  const Rgb topLeft = pixelOf(picture, 0, 0);
  EXPECT_EQ(out[223 * 1920 + 0], topLeft.b);
  EXPECT_EQ(out[223 * 1920 + 1], topLeft.g);
  EXPECT_EQ(out[223 * 1920 + 2], topLeft.r);
  const Rgb bottomRight = pixelOf(picture, 639, 223);
  EXPECT_EQ(out[1917], bottomRight.b);
  EXPECT_EQ(out[1918], bottomRight.g);
  EXPECT_EQ(out[1919], bottomRight.r);
}

// The rule written out on the field's bottom-up rows as ToDib24 lays them, against the converter, whose rows here
// carry four pad bytes that must stay as they were.
TEST(ColourConversion, FullHeightRowsFollowTheBottomUpLineDoublingRule) {
  constexpr int kWidth = 640;
  constexpr int kHeight = 224;
  constexpr std::size_t kRow = kWidth * 3;
  constexpr std::size_t kStride = kRow + 4;
  std::mt19937 random(4);
  const YuvPicture picture = randomPicture(kWidth, kHeight, random);
  Bytes field(kRow * kHeight);
  ToDib24(field.data(), picture.data.data(), kWidth, kHeight);
  const auto fieldRow = [&](int i) { return field.begin() + static_cast<std::ptrdiff_t>(i * kRow); };
  Bytes full(kStride * 2 * kHeight, kGuardByte);
  ToDib24FullHeight(full.data(), picture.data.data(), kWidth, kHeight, kStride);
  for (int i = 0; i < 2 * kHeight; ++i) {
    const auto row = full.begin() + static_cast<std::ptrdiff_t>(i * kStride);
    const bool copied = i % 2 == 0 || i == 2 * kHeight - 1;
    for (std::size_t b = 0; b < kRow; ++b) {
      const int wanted = copied ? fieldRow(i / 2)[b] : (fieldRow(i / 2)[b] + fieldRow(i / 2 + 1)[b]) / 2;
      ASSERT_EQ(row[b], wanted) << "row " << i << " byte " << b;
    }
    ASSERT_TRUE(std::all_of(row + kRow, row + kStride, [](std::uint8_t v) { return v == kGuardByte; })) << "row " << i;
  }
}

TEST(SurfaceReadback, EachFormatUnpacksAsDefined) {
  // Two rows of two pixels, read back bottom-up.
  {
    Bytes surface(8);
    put16(&surface[0], 0x7C00);  // 555 red
    put16(&surface[2], 0x03E0);  // 555 green
    put16(&surface[4], 0x001F);  // 555 blue
    put16(&surface[6], 0x8421);  // bit 15 ignored, 1 in each component
    Bytes out(12, 0xEE);
    surfaceToBgr24BottomUp(out.data(), surface.data(), 2, 2, SurfaceFormat::Rgb555);
    EXPECT_EQ(out, (Bytes{0xF8, 0, 0, 8, 8, 8, 0, 0, 0xF8, 0, 0xF8, 0}));
  }
  {
    Bytes surface(8);
    put16(&surface[0], 0xF800);
    put16(&surface[2], 0x07E0);
    put16(&surface[4], 0x001F);
    put16(&surface[6], 0x0821);
    Bytes out(12, 0xEE);
    surfaceToBgr24BottomUp(out.data(), surface.data(), 2, 2, SurfaceFormat::Rgb565);
    EXPECT_EQ(out, (Bytes{0xF8, 0, 0, 8, 4, 8, 0, 0, 0xF8, 0, 0xFC, 0}));
  }
  {
    Bytes surface(8);
    put16(&surface[0], 0x001F);  // Bgr565 red
    put16(&surface[2], 0x07E0);
    put16(&surface[4], 0xF800);  // blue
    put16(&surface[6], 0x0841);  // R 1, G 2, B 1
    Bytes out(12, 0xEE);
    surfaceToBgr24BottomUp(out.data(), surface.data(), 2, 2, SurfaceFormat::Bgr565);
    EXPECT_EQ(out, (Bytes{0xF8, 0, 0, 8, 8, 8, 0, 0, 0xF8, 0, 0xFC, 0}));
  }
  {
    const Bytes surface = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    Bytes out(12, 0xEE);
    surfaceToBgr24BottomUp(out.data(), surface.data(), 2, 2, SurfaceFormat::Rgb24);
    EXPECT_EQ(out, (Bytes{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
  }
  {
    const Bytes surface = {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99, 10, 11, 12, 99};
    Bytes out(12 + kGuard, 0xEE);
    surfaceToBgr24BottomUp(out.data(), surface.data(), 2, 2, SurfaceFormat::Rgb32);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 12), (Bytes{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(std::all_of(out.begin() + 12, out.end(), [](std::uint8_t v) { return v == 0xEE; }));
  }
  EXPECT_EQ(bytesPerPixel(SurfaceFormat::Rgb555), 2u);
  EXPECT_EQ(bytesPerPixel(SurfaceFormat::Rgb565), 2u);
  EXPECT_EQ(bytesPerPixel(SurfaceFormat::Bgr565), 2u);
  EXPECT_EQ(bytesPerPixel(SurfaceFormat::Rgb24), 3u);
  EXPECT_EQ(bytesPerPixel(SurfaceFormat::Rgb32), 4u);
}

TEST(SurfaceReadback, RoundTripKeepsTheTopBitsOfEachComponent) {
  std::mt19937 random(12);
  for (const auto& [width, height] : {std::pair{640, 272}, std::pair{34, 6}}) {
    const YuvPicture picture = randomPicture(width, height, random);
    const std::size_t dibBytes = static_cast<std::size_t>(width) * height * 3;
    Bytes dib(dibBytes);
    ToDib24(dib.data(), picture.data.data(), width, height);
    struct Case {
      SurfaceFormat format;
      void (*convert)(std::uint8_t*, const std::uint8_t*, int, int);
      std::uint8_t masks[3];  // B, G, R
    };
    const Case cases[] = {
        {SurfaceFormat::Rgb555, ToRgb555, {0xF8, 0xF8, 0xF8}},
        {SurfaceFormat::Rgb565, ToRgb565, {0xF8, 0xFC, 0xF8}},
        {SurfaceFormat::Bgr565, ToBgr565, {0xF8, 0xFC, 0xF8}},
        {SurfaceFormat::Rgb24, ToRgb24Surface, {0xFF, 0xFF, 0xFF}},
        {SurfaceFormat::Rgb32, ToRgb32, {0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
      Bytes surface(static_cast<std::size_t>(width) * height * bytesPerPixel(c.format));
      c.convert(surface.data(), picture.data.data(), width, height);
      Bytes back(dibBytes + kGuard, kGuardByte);
      surfaceToBgr24BottomUp(back.data(), surface.data(), width, height, c.format);
      for (std::size_t i = 0; i < dibBytes; ++i) {
        ASSERT_EQ(back[i], dib[i] & c.masks[i % 3]) << "format " << static_cast<int>(c.format) << " byte " << i;
      }
      ASSERT_TRUE(std::all_of(back.begin() + static_cast<std::ptrdiff_t>(dibBytes), back.end(),
                              [](std::uint8_t v) { return v == kGuardByte; }));
    }
  }
}

}  // namespace
}  // namespace marlin
