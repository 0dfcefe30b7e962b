#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/colour_convert.h"
#include "render/geometry.h"

namespace marlin {

// Colours are given as 0x00BBGGRR, the way the window system's colour
// values are written.
constexpr std::uint32_t rgbColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b) << 16;
}

// Pixels [left, right) of row top, in the first or the second of two colours.
struct PaintRun {
  int left;
  int right;
  int top;
  bool secondColour;
};

// A raster in a display pixel format, rows top-down and back to back. All
// drawing is clipped to the raster; stretching picks the nearest source
// pixel, so no colours are made up that the picture did not have.
class Canvas {
 public:
  Canvas() = default;

  // Makes the raster width x height pixels of format, all bytes zero.
  // False, leaving the canvas empty, for an empty size or when the memory
  // cannot be had.
  bool reset(int width, int height, SurfaceFormat format);
  void release();

  bool empty() const { return width_ == 0; }
  int width() const { return width_; }
  int height() const { return height_; }
  Size size() const { return {width_, height_}; }
  SurfaceFormat format() const { return format_; }
  std::size_t pitch() const { return static_cast<std::size_t>(width_) * bytesPerPixel(format_); }
  std::uint8_t* data() { return pixels_.data(); }
  const std::uint8_t* data() const { return pixels_.data(); }
  const std::uint8_t* row(int y) const { return pixels_.data() + y * pitch(); }

  void fill(const Rect& rect, std::uint32_t colour);
  void fillAll(std::uint32_t colour) { fill({0, 0, width_, height_}, colour); }
  // Paints runs moved right by x and down by y, clipped as fill clips: the
  // same pixels as a fill per run, for many short runs.
  void paintRuns(int x, int y, std::span<const PaintRun> runs, const std::array<std::uint32_t, 2>& colours);
  // Scales source into dest; a source in another format draws nothing.
  void stretch(const Rect& dest, const Canvas& source);
  // Scales a bottom-up B, G, R picture of rows of exactly width x 3 bytes
  // into dest.
  void stretchBgr24BottomUp(const Rect& dest, const std::uint8_t* bottomUpBgr, int width, int height);
  // Whether stretchYuv420 draws in format: the 32- and 24-bit ones, which
  // pictures convert into a pair of rows at a time.
  static bool drawsYuv420(SurfaceFormat format);
  // Converts a planar 4:2:0 picture of even width and height and scales it
  // into dest, with the bytes that converting the whole picture into this
  // format and stretching that would give; only the rows dest shows are
  // converted, and at the picture's width or twice its height straight
  // into place. Draws nothing in formats drawsYuv420 refuses.
  void stretchYuv420(const Rect& dest, const std::uint8_t* yuv420, int width, int height);
  // Mixes colour into the pixels under a coverage mask of width x height
  // bytes (0 leaves a pixel, 255 replaces it), its top-left corner at
  // (left, top): anti-aliased text keeps its soft edges on any picture.
  void blendCoverage(int left, int top, const std::uint8_t* coverage, int width, int height, std::uint32_t colour);

 private:
  std::uint8_t* rowAt(int y) { return pixels_.data() + y * pitch(); }
  Rect clipped(const Rect& rect) const;
  // For each column of the clipped dest, the source column it shows.
  void mapColumns(const Rect& dest, const Rect& visible, int sourceWidth);
  // Runs body with what picks the source column of each visible column.
  template <class Body>
  void withColumns(const Rect& dest, const Rect& visible, int sourceWidth, Body&& body);
  // Runs scaleRow(out, sourceRow) for each visible row of dest that needs scaling.
  template <class Row>
  void forEachScaledRow(const Rect& dest, const Rect& visible, int sourceHeight, Row&& scaleRow);

  int width_ = 0;
  int height_ = 0;
  SurfaceFormat format_ = SurfaceFormat::Rgb32;
  std::vector<std::uint8_t> pixels_;
  std::vector<int> columnMap_;
  std::vector<std::uint8_t> rowPair_;
};

}  // namespace marlin
