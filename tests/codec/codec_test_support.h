#pragma once

// Helpers shared by the codec tests: hand-built bitstreams, deterministic
// synthetic pictures and picture comparisons.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "codec/encoder/bit_writer.h"
#include "codec/idct.h"
#include "codec/yuv_picture.h"

namespace marlin::codectest {

using Bytes = std::vector<std::uint8_t>;

// Appends a string of '0'/'1' characters (other characters are ignored, so
// "0000 01" may be spaced for reading).
inline void writeBits(encoder::BitWriter& bits, std::string_view text) {
  for (const char c : text) {
    if (c == '0' || c == '1') {
      bits.write(c == '1' ? 1u : 0u, 1);
    }
  }
}

// A block with only its DC value: the DC byte followed by end of block.
inline void writeFlatBlock(encoder::BitWriter& bits, int dc) {
  bits.write(static_cast<std::uint32_t>(dc), 8);
  writeBits(bits, "10");
}

// The picture start code and the header byte(s).
inline Bytes pictureStart(bool refresh, std::initializer_list<std::uint8_t> headerBytes) {
  Bytes payload = {0x00, 0x00, 0x01, static_cast<std::uint8_t>(refresh ? 0xF9 : 0xF8)};
  payload.insert(payload.end(), headerBytes.begin(), headerBytes.end());
  return payload;
}

using SliceBody = std::function<void(encoder::BitWriter&)>;

// Appends a slice: 00 00 01, the 5-bit row, the body, zero bits to the next
// byte boundary.
inline void appendSlice(Bytes& payload, int row, const SliceBody& body) {
  encoder::BitWriter bits(payload);
  bits.write(0x000001, 24);
  bits.write(static_cast<std::uint32_t>(row), 5);
  body(bits);
  bits.align();
}

// An all-coded slice whose 40 macroblocks hold only flat blocks; dcOf(column, block) gives each DC.
inline void appendFlatSlice(Bytes& payload, int row, const std::function<int(int column, int block)>& dcOf) {
  appendSlice(payload, row, [&](encoder::BitWriter& bits) {
    for (int column = 0; column < 40; ++column) {
      for (int block = 0; block < 6; ++block) {
        writeFlatBlock(bits, dcOf(column, block));
      }
    }
  });
}

// Layout B (variant 4) header byte: quality in bits 7-4, channel in bits 3-0.
inline std::uint8_t layoutBByte(int quality, int channel) { return static_cast<std::uint8_t>(quality << 4 | channel); }

// A refresh picture of 640 x rows*16 in which every block is flat with value dc.
inline Bytes flatPicture(int rows, int dc, int quality = 4) {
  Bytes payload = pictureStart(true, {layoutBByte(quality, 0)});
  for (int row = 0; row < rows; ++row) {
    appendFlatSlice(payload, row, [dc](int, int) { return dc; });
  }
  return payload;
}

inline std::uint8_t clampByte(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// A cheap deterministic hash of (x, y, seed) to 0..1.
inline double hashNoise(int x, int y, int seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u ^
                    static_cast<std::uint32_t>(seed) * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return (h & 0xFFFF) / 65535.0;
}

// Camera-like content: a lit gradient, soft blobs, a soft-edged disc at
// (discX, discY), a patch of fine fabric-like texture and a little sensor
// noise. seed varies the scene.
inline YuvPicture naturalPicture(int width, int height, int seed = 0, double discX = 0.3, double discY = 0.45) {
  YuvPicture picture;
  picture.resize(width, height);
  const double w = width;
  const double h = height;
  struct Blob {
    double x, y, radius, luma, cb, cr;
  };
  const Blob blobs[] = {
      {0.2 + 0.05 * (seed % 3), 0.3, 0.12, 55, -20, 15},
      {0.7, 0.6 - 0.04 * (seed % 4), 0.18, -45, 25, -10},
      {0.45, 0.8, 0.09, 35, 10, 30},
  };
  const auto lumaAt = [&](double x, double y) {
    double v = 50 + 110 * (x / w) * (0.6 + 0.4 * y / h) + 20 * std::sin(y / h * 3.1 + seed);
    for (const Blob& b : blobs) {
      const double dx = (x - b.x * w) / (b.radius * w);
      const double dy = (y - b.y * h) / (b.radius * w);
      v += b.luma * std::exp(-(dx * dx + dy * dy));
    }
    // Soft-edged disc.
    const double dx = x - discX * w;
    const double dy = y - discY * h;
    const double edge = 1.0 / (1.0 + std::exp((std::sqrt(dx * dx + dy * dy) - 0.08 * w) / 1.5));
    v += 60 * edge;
    // Fabric-like texture in the lower right quarter.
    if (x > 0.55 * w && y > 0.55 * h) {
      v += 16 * std::sin(x * 0.9) * std::sin(y * 0.7);
    }
    // A window frame: edges a pixel or two wide.
    const double fx = x - 0.08 * w;
    const double fy = y - 0.1 * h;
    if (fx > 0 && fy > 0 && fx < 0.25 * w && fy < 0.35 * h) {
      const double inside = std::min({fx, fy, 0.25 * w - fx, 0.35 * h - fy});
      v += inside < 4 ? 70 * std::min(1.0, inside / 1.5) : -25;
    }
    return v + 5.0 * (hashNoise(static_cast<int>(x), static_cast<int>(y), seed) - 0.5);
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      picture.y()[y * width + x] = clampByte(lumaAt(x, y));
    }
  }
  const int cw = width / 2;
  for (int y = 0; y < height / 2; ++y) {
    for (int x = 0; x < cw; ++x) {
      const double px = 2 * x + 0.5;
      const double py = 2 * y + 0.5;
      double cb = 128 + 25 * std::sin(px / w * 2.5 + seed) - 15 * py / h;
      double cr = 128 + 20 * std::cos(py / h * 2.0 + 0.5 * seed) + 10 * px / w;
      for (const Blob& b : blobs) {
        const double dx = (px - b.x * w) / (b.radius * w);
        const double dy = (py - b.y * h) / (b.radius * w);
        const double weight = std::exp(-(dx * dx + dy * dy));
        cb += b.cb * weight;
        cr += b.cr * weight;
      }
      picture.cb()[y * cw + x] = clampByte(cb);
      picture.cr()[y * cw + x] = clampByte(cr);
    }
  }
  return picture;
}

// Content that stresses the coefficient coding: noise, hard edges and
// checkerboards with extreme values (large magnitudes, escapes, long runs).
inline YuvPicture harshPicture(int width, int height, int seed) {
  YuvPicture picture;
  picture.resize(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int region = (x / 80 + y / 56 + seed) % 4;
      double v;
      switch (region) {
        case 0:
          v = 255 * hashNoise(x, y, seed);
          break;
        case 1:
          v = ((x ^ y) & 1) ? 255 : 0;
          break;
        case 2:
          v = (x % 16 < 5) ? 250 : 3;
          break;
        default:
          v = ((x / 3 + y / 2) & 1) ? 200 : 40;
          break;
      }
      picture.y()[y * width + x] = clampByte(v);
    }
  }
  const std::size_t chroma = static_cast<std::size_t>(width) * height / 4;
  for (std::size_t i = 0; i < chroma; ++i) {
    const int x = static_cast<int>(i % (width / 2));
    const int y = static_cast<int>(i / (width / 2));
    picture.cb()[i] = clampByte(255 * hashNoise(x, y, seed + 100));
    picture.cr()[i] = static_cast<std::uint8_t>(((x / 4 + y / 4) & 1) ? 255 : 0);
  }
  return picture;
}

inline YuvPicture uniformPicture(int width, int height, std::uint8_t y, std::uint8_t cb, std::uint8_t cr) {
  YuvPicture picture;
  picture.resize(width, height);
  const std::size_t luma = static_cast<std::size_t>(width) * height;
  std::memset(picture.y(), y, luma);
  std::memset(picture.cb(), cb, luma / 4);
  std::memset(picture.cr(), cr, luma / 4);
  return picture;
}

inline double psnr(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  if (sum == 0) {
    return 99.0;
  }
  return 10.0 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(n)));
}

struct PlanePsnr {
  double y, cb, cr;
};

inline PlanePsnr planePsnr(const YuvPicture& a, const std::uint8_t* decoded) {
  const std::size_t luma = static_cast<std::size_t>(a.width) * a.height;
  return {psnr(a.y(), decoded, luma), psnr(a.cb(), decoded + luma, luma / 4),
          psnr(a.cr(), decoded + luma + luma / 4, luma / 4)};
}

// Restores the process-wide transform choice when a test has changed it.
class IdctSelectionGuard {
 public:
  IdctSelectionGuard() : saved_(codec::activeIdct()) {}
  ~IdctSelectionGuard() { codec::selectIdct(saved_); }
  IdctSelectionGuard(const IdctSelectionGuard&) = delete;
  IdctSelectionGuard& operator=(const IdctSelectionGuard&) = delete;

 private:
  const codec::IdctKernel& saved_;
};

}  // namespace marlin::codectest
