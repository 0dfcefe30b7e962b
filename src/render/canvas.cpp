#include "render/canvas.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

namespace marlin {

namespace {

template <SurfaceFormat Format>
constexpr std::size_t kPixelBytes = Format == SurfaceFormat::Rgb32   ? 4
                                    : Format == SurfaceFormat::Rgb24 ? 3
                                                                     : 2;

// The 16-bit formats keep the top bits of each component, as the picture
// converters do, so a colour drawn here matches the same colour decoded.
template <SurfaceFormat Format>
void packAs(std::uint8_t* out, unsigned r, unsigned g, unsigned b) {
  if constexpr (Format == SurfaceFormat::Rgb32 || Format == SurfaceFormat::Rgb24) {
    out[0] = static_cast<std::uint8_t>(b);
    out[1] = static_cast<std::uint8_t>(g);
    out[2] = static_cast<std::uint8_t>(r);
    if constexpr (Format == SurfaceFormat::Rgb32) {
      out[3] = 0;
    }
  } else {
    std::uint16_t packed = 0;
    if constexpr (Format == SurfaceFormat::Rgb555) {
      packed = static_cast<std::uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
    } else if constexpr (Format == SurfaceFormat::Rgb565) {
      packed = static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
    } else {
      packed = static_cast<std::uint16_t>((b >> 3) << 11 | (g >> 2) << 5 | r >> 3);
    }
    std::memcpy(out, &packed, 2);
  }
}

// Calls body with the format as a compile-time constant, so that per-pixel
// loops are specialised instead of switching on every pixel.
template <typename Body>
void withFormat(SurfaceFormat format, Body&& body) {
  switch (format) {
    case SurfaceFormat::Rgb555:
      body(std::integral_constant<SurfaceFormat, SurfaceFormat::Rgb555>{});
      break;
    case SurfaceFormat::Rgb565:
      body(std::integral_constant<SurfaceFormat, SurfaceFormat::Rgb565>{});
      break;
    case SurfaceFormat::Bgr565:
      body(std::integral_constant<SurfaceFormat, SurfaceFormat::Bgr565>{});
      break;
    case SurfaceFormat::Rgb24:
      body(std::integral_constant<SurfaceFormat, SurfaceFormat::Rgb24>{});
      break;
    case SurfaceFormat::Rgb32:
      body(std::integral_constant<SurfaceFormat, SurfaceFormat::Rgb32>{});
      break;
  }
}

// The inverse of packAs; 5- and 6-bit components are widened by repeating
// their top bits, so that packing an unblended pixel gives back its bits.
template <SurfaceFormat Format>
void unpackAs(const std::uint8_t* in, unsigned& r, unsigned& g, unsigned& b) {
  if constexpr (Format == SurfaceFormat::Rgb32 || Format == SurfaceFormat::Rgb24) {
    b = in[0];
    g = in[1];
    r = in[2];
  } else {
    std::uint16_t packed = 0;
    std::memcpy(&packed, in, 2);
    const auto widen5 = [](unsigned v) { return v << 3 | v >> 2; };
    const auto widen6 = [](unsigned v) { return v << 2 | v >> 4; };
    if constexpr (Format == SurfaceFormat::Rgb555) {
      r = widen5(packed >> 10 & 0x1F);
      g = widen5(packed >> 5 & 0x1F);
      b = widen5(packed & 0x1F);
    } else if constexpr (Format == SurfaceFormat::Rgb565) {
      r = widen5(packed >> 11 & 0x1F);
      g = widen6(packed >> 5 & 0x3F);
      b = widen5(packed & 0x1F);
    } else {
      b = widen5(packed >> 11 & 0x1F);
      g = widen6(packed >> 5 & 0x3F);
      r = widen5(packed & 0x1F);
    }
  }
}

unsigned mix(unsigned over, unsigned under, unsigned alpha) {
  return (over * alpha + under * (255 - alpha) + 127) / 255;
}

// A colour packed once in a format, stored pixel by pixel with the size
// fixed at compile time, so each store is a single move: labels are drawn as
// many tiny runs.
template <SurfaceFormat Format>
class PackedColour {
 public:
  explicit PackedColour(std::uint32_t colour) {
    packAs<Format>(bytes_, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
  }

  void storeRun(std::uint8_t* out, int count) const {
    for (int i = 0; i < count; ++i) {
      std::memcpy(out + i * kPixelBytes<Format>, bytes_, kPixelBytes<Format>);
    }
  }

 private:
  std::uint8_t bytes_[kPixelBytes<Format>];
};

// Which source column each visible column of a scaled row shows, for the
// ratios pictures meet most (same width, half of it, twice it) without a
// table, and through the column map for any other.
struct SameColumns {
  int first;
  int operator()(int i) const { return first + i; }
};
struct HalvedColumns {
  int first;
  int operator()(int i) const { return first + 2 * i; }
};
struct DoubledColumns {
  int offset;  // the first visible column's distance from the left of the scaled area
  int operator()(int i) const { return (offset + i) / 2; }
};
struct MappedColumns {
  const int* map;
  int operator()(int i) const { return map[i]; }
};

// One bottom-up B, G, R source row into one destination row.
template <SurfaceFormat Format, class Columns>
void packPicked(std::uint8_t* out, const std::uint8_t* sourceRow, Columns columns, int count) {
  constexpr std::size_t kBytes = kPixelBytes<Format>;
  if constexpr (Format == SurfaceFormat::Rgb24 && std::is_same_v<Columns, SameColumns>) {
    std::memcpy(out, sourceRow + columns.first * 3, count * kBytes);
  } else {
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* px = sourceRow + columns(i) * 3;
      packAs<Format>(out + i * kBytes, px[2], px[1], px[0]);
    }
  }
}

// One source row into the visible columns of one destination row, with the
// pixel size fixed at compile time so each copy is a single move.
template <std::size_t Bytes, class Columns>
void copyPicked(std::uint8_t* out, const std::uint8_t* sourceRow, Columns columns, int count) {
  if constexpr (std::is_same_v<Columns, SameColumns>) {
    std::memcpy(out, sourceRow + columns.first * Bytes, count * Bytes);
  } else {
    for (int i = 0; i < count; ++i) {
      std::memcpy(out + i * Bytes, sourceRow + columns(i) * Bytes, Bytes);
    }
  }
}

// Pictures convert straight into the formats the colour kernels write, at
// full width or halving it.
colour::RowPairFn rowPairConverter(SurfaceFormat format, bool halving) {
  const colour::Kernel& kernel = colour::activeKernel();
  switch (format) {
    case SurfaceFormat::Rgb32:
      return halving ? kernel.halvingRowPairToBgra : kernel.rowPairToBgra;
    case SurfaceFormat::Rgb24:
      return halving ? kernel.halvingRowPairToBgr24 : kernel.rowPairToBgr24;
    default:
      return nullptr;
  }
}

// A cell is written long after its last picture left the caches, so each
// of its lines waits for a fetch from memory on its first store. Asking for
// the lines of a row a few rows ahead overlaps those fetches with the work
// on the rows in between.
constexpr int kRowsWrittenAhead = 3;

void announceWrites(std::uint8_t* begin, std::size_t bytes) {
  constexpr std::size_t kLine = 64;
  for (std::size_t offset = 0; offset < bytes; offset += kLine) {
    __builtin_prefetch(begin + offset, 1, 3);
  }
}

}  // namespace

bool Canvas::reset(int width, int height, SurfaceFormat format) {
  if (width <= 0 || height <= 0) {
    release();
    return false;
  }
  // assign keeps the buffer when it is large enough: a canvas reset to the
  // same size for every picture allocates once.
  try {
    pixels_.assign(static_cast<std::size_t>(width) * height * bytesPerPixel(format), 0);
  } catch (const std::bad_alloc&) {
    release();
    return false;
  }
  width_ = width;
  height_ = height;
  format_ = format;
  return true;
}

void Canvas::release() {
  width_ = 0;
  height_ = 0;
  pixels_ = {};
}

Rect Canvas::clipped(const Rect& rect) const {
  Rect r{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, width_), std::min(rect.bottom, height_)};
  if (r.width() <= 0 || r.height() <= 0) {
    return {};
  }
  return r;
}

void Canvas::fill(const Rect& rect, std::uint32_t colour) {
  const Rect r = clipped(rect);
  if (r.width() == 0) {
    return;
  }
  withFormat(format_, [&](auto f) {
    constexpr SurfaceFormat kFormat = decltype(f)::value;
    const PackedColour<kFormat> pixel(colour);
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * kPixelBytes<kFormat>;
    std::uint8_t* out = pixels_.data() + r.top * rowBytes + r.left * kPixelBytes<kFormat>;
    for (int y = r.top; y < r.bottom; ++y, out += rowBytes) {
      pixel.storeRun(out, r.width());
    }
  });
}

void Canvas::paintRuns(int x, int y, std::span<const PaintRun> runs, const std::array<std::uint32_t, 2>& colours) {
  withFormat(format_, [&](auto f) {
    constexpr SurfaceFormat kFormat = decltype(f)::value;
    const PackedColour<kFormat> pixels[2] = {PackedColour<kFormat>(colours[0]), PackedColour<kFormat>(colours[1])};
    for (const PaintRun& run : runs) {
      const int top = y + run.top;
      const int left = std::max(x + run.left, 0);
      const int right = std::min(x + run.right, width_);
      if (top < 0 || top >= height_ || left >= right) {
        continue;
      }
      pixels[run.secondColour ? 1 : 0].storeRun(rowAt(top) + left * kPixelBytes<kFormat>, right - left);
    }
  });
}

void Canvas::mapColumns(const Rect& dest, const Rect& visible, int sourceWidth) {
  columnMap_.resize(visible.width());
  for (int x = visible.left; x < visible.right; ++x) {
    columnMap_[x - visible.left] =
        static_cast<int>(static_cast<std::int64_t>(x - dest.left) * sourceWidth / dest.width());
  }
}

template <class Body>
void Canvas::withColumns(const Rect& dest, const Rect& visible, int sourceWidth, Body&& body) {
  const int offset = visible.left - dest.left;
  if (dest.width() == sourceWidth) {
    body(SameColumns{offset});
  } else if (dest.width() * 2 == sourceWidth) {
    body(HalvedColumns{2 * offset});
  } else if (dest.width() == sourceWidth * 2) {
    body(DoubledColumns{offset});
  } else {
    mapColumns(dest, visible, sourceWidth);
    body(MappedColumns{columnMap_.data()});
  }
}

// A row that shows the same source row as the one above it is copied from
// that one rather than scaled again.
template <class Row>
void Canvas::forEachScaledRow(const Rect& dest, const Rect& visible, int sourceHeight, Row&& scaleRow) {
  const std::size_t bpp = bytesPerPixel(format_);
  const std::size_t span = visible.width() * bpp;
  int lastSourceRow = -1;
  for (int y = visible.top; y < visible.bottom; ++y) {
    if (y + kRowsWrittenAhead < visible.bottom) {
      announceWrites(rowAt(y + kRowsWrittenAhead) + visible.left * bpp, span);
    }
    const int sy = static_cast<int>(static_cast<std::int64_t>(y - dest.top) * sourceHeight / dest.height());
    std::uint8_t* out = rowAt(y) + visible.left * bpp;
    if (sy == lastSourceRow) {
      std::memcpy(out, out - pitch(), span);
      continue;
    }
    lastSourceRow = sy;
    scaleRow(out, sy);
  }
}

void Canvas::stretch(const Rect& dest, const Canvas& source) {
  const Rect r = clipped(dest);
  if (r.width() == 0 || source.empty() || source.format_ != format_) {
    return;
  }
  const std::size_t bpp = bytesPerPixel(format_);
  withColumns(dest, r, source.width_, [&](auto columns) {
    forEachScaledRow(dest, r, source.height_, [&](std::uint8_t* out, int sy) {
      const std::uint8_t* in = source.row(sy);
      switch (bpp) {
        case 4:
          copyPicked<4>(out, in, columns, r.width());
          break;
        case 3:
          copyPicked<3>(out, in, columns, r.width());
          break;
        default:
          copyPicked<2>(out, in, columns, r.width());
          break;
      }
    });
  });
}

void Canvas::stretchBgr24BottomUp(const Rect& dest, const std::uint8_t* bottomUpBgr, int width, int height) {
  const Rect r = clipped(dest);
  if (r.width() == 0 || width <= 0 || height <= 0) {
    return;
  }
  const std::size_t sourcePitch = static_cast<std::size_t>(width) * 3;
  withFormat(format_, [&](auto f) {
    withColumns(dest, r, width, [&](auto columns) {
      forEachScaledRow(dest, r, height, [&](std::uint8_t* out, int sy) {
        packPicked<decltype(f)::value>(out, bottomUpBgr + (height - 1 - sy) * sourcePitch, columns, r.width());
      });
    });
  });
}

bool Canvas::drawsYuv420(SurfaceFormat format) { return rowPairConverter(format, false) != nullptr; }

void Canvas::stretchYuv420(const Rect& dest, const std::uint8_t* yuv420, int width, int height) {
  // A cell half the picture's width takes every other column, which the
  // kernels can pick as they convert.
  const bool halving = dest.width() * 2 == width;
  const int convertedWidth = halving ? width / 2 : width;
  const colour::RowPairFn convertPair = rowPairConverter(format_, halving);
  const Rect r = clipped(dest);
  if (convertPair == nullptr || r.width() == 0 || width <= 0 || height <= 0) {
    return;
  }
  const std::size_t lumaSize = static_cast<std::size_t>(width) * height;
  const std::uint8_t* cbPlane = yuv420 + lumaSize;
  const std::uint8_t* crPlane = cbPlane + lumaSize / 4;
  const auto convert = [&](int pair, std::uint8_t* out0, std::uint8_t* out1) {
    const std::uint8_t* y0 = yuv420 + static_cast<std::size_t>(2 * pair) * width;
    const std::size_t chroma = static_cast<std::size_t>(pair) * (width / 2);
    convertPair(y0, y0 + width, cbPlane + chroma, crPlane + chroma, convertedWidth, out0, out1);
  };
  const std::size_t bpp = bytesPerPixel(format_);
  const int repeat = dest.height() / height;
  if (r == dest && dest.width() == convertedWidth && (repeat == 1 || repeat == 2) && dest.height() == repeat * height) {
    // Rows only repeat: each picture row goes straight to its place and is
    // copied to the one below when the height doubles.
    const std::size_t span = static_cast<std::size_t>(convertedWidth) * bpp;
    for (int pair = 0; pair < height / 2; ++pair) {
      for (int ahead = 2 * (pair + 1) * repeat; ahead < 2 * (pair + 2) * repeat && ahead < dest.height(); ++ahead) {
        announceWrites(rowAt(dest.top + ahead) + dest.left * bpp, span);
      }
      std::uint8_t* out0 = rowAt(dest.top + 2 * pair * repeat) + dest.left * bpp;
      std::uint8_t* out1 = out0 + repeat * pitch();
      convert(pair, out0, out1);
      if (repeat == 2) {
        std::memcpy(out0 + pitch(), out0, span);
        std::memcpy(out1 + pitch(), out1, span);
      }
    }
    return;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(convertedWidth) * bpp;
  rowPair_.resize(2 * rowBytes);
  int convertedPair = -1;
  withColumns(dest, r, convertedWidth, [&](auto columns) {
    forEachScaledRow(dest, r, height, [&](std::uint8_t* out, int sy) {
      if (sy / 2 != convertedPair) {
        convertedPair = sy / 2;
        convert(convertedPair, rowPair_.data(), rowPair_.data() + rowBytes);
      }
      const std::uint8_t* in = rowPair_.data() + (sy % 2) * rowBytes;
      if (bpp == 4) {
        copyPicked<4>(out, in, columns, r.width());
      } else {
        copyPicked<3>(out, in, columns, r.width());
      }
    });
  });
}

void Canvas::blendCoverage(int left, int top, const std::uint8_t* coverage, int width, int height,
                           std::uint32_t colour) {
  const Rect r = clipped({left, top, left + width, top + height});
  if (r.width() == 0) {
    return;
  }
  const unsigned red = colour & 0xFF;
  const unsigned green = (colour >> 8) & 0xFF;
  const unsigned blue = (colour >> 16) & 0xFF;
  const std::size_t bpp = bytesPerPixel(format_);
  withFormat(format_, [&](auto f) {
    constexpr SurfaceFormat kFormat = decltype(f)::value;
    for (int y = r.top; y < r.bottom; ++y) {
      const std::uint8_t* alphas = coverage + static_cast<std::size_t>(y - top) * width;
      std::uint8_t* out = rowAt(y);
      for (int x = r.left; x < r.right; ++x) {
        const unsigned alpha = alphas[x - left];
        if (alpha == 0) {
          continue;
        }
        unsigned r0 = 0;
        unsigned g0 = 0;
        unsigned b0 = 0;
        unpackAs<kFormat>(out + x * bpp, r0, g0, b0);
        packAs<kFormat>(out + x * bpp, mix(red, r0, alpha), mix(green, g0, alpha), mix(blue, b0, alpha));
      }
    }
  });
}

}  // namespace marlin
