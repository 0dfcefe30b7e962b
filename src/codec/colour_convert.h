#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// YCbCr 4:2:0 pictures to RGB: full-range integer arithmetic in 1/1024 steps
// with every component clamped to 1..255, packed into the display's pixel
// formats or 24-bit bitmap rows.
namespace marlin {

enum class SurfaceFormat { Rgb555 = 1, Rgb565 = 2, Bgr565 = 3, Rgb24 = 4, Rgb32 = 5 };

std::size_t bytesPerPixel(SurfaceFormat format);

// All take a planar picture of even width and height and write rows of
// exactly width pixels, back to back.
void ToRgb555(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height);
void ToRgb565(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height);
void ToBgr565(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height);
void ToRgb24Surface(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height);
void ToRgb32(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height);
// B, G, R bytes, bottom-up: picture row y goes to row height - 1 - y.
void ToDib24(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height);
// One field as the full picture of twice its height: B, G, R bytes into a
// bottom-up bitmap whose rows are stride bytes apart. Counted bottom-up, row
// i is the field's row i / 2 when i is even or the top row, otherwise the
// rounded-down average of the field's rows i / 2 and i / 2 + 1 (the field's
// rows counted bottom-up too). Pad bytes are not touched.
void ToDib24FullHeight(std::uint8_t* dest, const std::uint8_t* yuv, int width, int height, std::size_t stride);

// Reads a composed surface (top-down rows of width pixels) back into 24-bit
// B, G, R rows, bottom-up.
void surfaceToBgr24BottomUp(std::uint8_t* dest, const std::uint8_t* surface, int width, int height,
                            SurfaceFormat format);

// The arithmetic core, straight into packed pixels, in a portable and vector
// versions that give identical bytes.
namespace colour {

// Two picture rows that share one chroma row, into packed pixels; out0 and
// out1 may be any two rows (not necessarily adjacent), width even.
using RowPairFn = void (*)(const std::uint8_t* y0, const std::uint8_t* y1, const std::uint8_t* cb,
                           const std::uint8_t* cr, int width, std::uint8_t* out0, std::uint8_t* out1);

// B, G, R, 0 and B, G, R bytes per pixel. The halving functions make a
// picture half as wide: their pixel i is the full conversion's pixel 2i
// (luma 2i, chroma i), width counts the pixels they write and may be odd.
struct Kernel {
  const char* name;
  RowPairFn rowPairToBgra;
  RowPairFn rowPairToBgr24;
  RowPairFn halvingRowPairToBgra;
  RowPairFn halvingRowPairToBgr24;
};

const Kernel& portableKernel();
// Every version this processor may run under cpuFlags(), the portable one
// first; the fastest is active unless selectKernel chose another of them.
std::span<const Kernel* const> supportedKernels();
const Kernel& activeKernel();
void selectKernel(const Kernel& kernel);

}  // namespace colour

}  // namespace marlin
