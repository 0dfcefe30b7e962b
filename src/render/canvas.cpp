#include "render/canvas.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

namespace marlin {

namespace {

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

void packPixel(std::uint8_t* out, SurfaceFormat format, unsigned r, unsigned g, unsigned b) {
  withFormat(format, [&](auto f) { packAs<decltype(f)::value>(out, r, g, b); });
}

// One bottom-up B, G, R source row into one destination row.
template <SurfaceFormat Format>
void packMapped(std::uint8_t* out, const std::uint8_t* sourceRow, const int* columns, int count) {
  constexpr std::size_t kBytes = Format == SurfaceFormat::Rgb32 ? 4 : Format == SurfaceFormat::Rgb24 ? 3 : 2;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* px = sourceRow + columns[i] * 3;
    packAs<Format>(out + i * kBytes, px[2], px[1], px[0]);
  }
}

// One source row into the visible columns of one destination row, with the
// pixel size fixed at compile time so each copy is a single move.
template <std::size_t Bytes>
void copyMapped(std::uint8_t* out, const std::uint8_t* sourceRow, const int* columns, int count) {
  for (int i = 0; i < count; ++i) {
    std::memcpy(out + i * Bytes, sourceRow + columns[i] * Bytes, Bytes);
  }
}

}  // namespace

bool Canvas::reset(int width, int height, SurfaceFormat format) {
  release();
  if (width <= 0 || height <= 0) {
    return false;
  }
  try {
    pixels_.assign(static_cast<std::size_t>(width) * height * bytesPerPixel(format), 0);
  } catch (const std::bad_alloc&) {
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
  const std::size_t bpp = bytesPerPixel(format_);
  std::uint8_t pixel[4];
  packPixel(pixel, format_, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
  std::uint8_t* first = rowAt(r.top) + r.left * bpp;
  for (int x = 0; x < r.width(); ++x) {
    std::memcpy(first + x * bpp, pixel, bpp);
  }
  const std::size_t span = r.width() * bpp;
  for (int y = r.top + 1; y < r.bottom; ++y) {
    std::memcpy(rowAt(y) + r.left * bpp, first, span);
  }
}

void Canvas::mapColumns(const Rect& dest, const Rect& visible, int sourceWidth) {
  columnMap_.resize(visible.width());
  for (int x = visible.left; x < visible.right; ++x) {
    columnMap_[x - visible.left] =
        static_cast<int>(static_cast<std::int64_t>(x - dest.left) * sourceWidth / dest.width());
  }
}

void Canvas::stretch(const Rect& dest, const Canvas& source) {
  const Rect r = clipped(dest);
  if (r.width() == 0 || source.empty() || source.format_ != format_) {
    return;
  }
  mapColumns(dest, r, source.width_);
  const std::size_t bpp = bytesPerPixel(format_);
  const std::size_t span = r.width() * bpp;
  int lastSourceRow = -1;
  for (int y = r.top; y < r.bottom; ++y) {
    const int sy = static_cast<int>(static_cast<std::int64_t>(y - dest.top) * source.height_ / dest.height());
    std::uint8_t* out = rowAt(y) + r.left * bpp;
    if (sy == lastSourceRow) {
      std::memcpy(out, out - pitch(), span);
      continue;
    }
    lastSourceRow = sy;
    const std::uint8_t* in = source.row(sy);
    switch (bpp) {
      case 4:
        copyMapped<4>(out, in, columnMap_.data(), r.width());
        break;
      case 3:
        copyMapped<3>(out, in, columnMap_.data(), r.width());
        break;
      default:
        copyMapped<2>(out, in, columnMap_.data(), r.width());
        break;
    }
  }
}

void Canvas::stretchBgr24BottomUp(const Rect& dest, const std::uint8_t* bottomUpBgr, int width, int height) {
  const Rect r = clipped(dest);
  if (r.width() == 0 || width <= 0 || height <= 0) {
    return;
  }
  mapColumns(dest, r, width);
  const std::size_t bpp = bytesPerPixel(format_);
  const std::size_t span = r.width() * bpp;
  const std::size_t sourcePitch = static_cast<std::size_t>(width) * 3;
  int lastSourceRow = -1;
  for (int y = r.top; y < r.bottom; ++y) {
    const int sy = static_cast<int>(static_cast<std::int64_t>(y - dest.top) * height / dest.height());
    std::uint8_t* out = rowAt(y) + r.left * bpp;
    if (sy == lastSourceRow) {
      std::memcpy(out, out - pitch(), span);
      continue;
    }
    lastSourceRow = sy;
    const std::uint8_t* in = bottomUpBgr + (height - 1 - sy) * sourcePitch;
    withFormat(format_, [&](auto f) { packMapped<decltype(f)::value>(out, in, columnMap_.data(), r.width()); });
  }
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
