#include "camera_scenes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace marlin::bench {

namespace {

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

// Uniform in [0, 1).
double unit(std::uint32_t x, std::uint32_t y, std::uint32_t seed) { return (hash(x, y, seed) >> 8) * (1.0 / 16777216); }

// Smooth noise in [0, 1): random values on a lattice `cell` pixels apart,
// blended between.
double valueNoise(int x, int y, int cell, std::uint32_t seed) {
  const int cx = x / cell;
  const int cy = y / cell;
  const double fx = static_cast<double>(x % cell) / cell;
  const double fy = static_cast<double>(y % cell) / cell;
  const auto at = [seed](int i, int j) {
    return unit(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j), seed);
  };
  const double top = at(cx, cy) + (at(cx + 1, cy) - at(cx, cy)) * fx;
  const double bottom = at(cx, cy + 1) + (at(cx + 1, cy + 1) - at(cx, cy + 1)) * fx;
  return top + (bottom - top) * fy;
}

// Roughly normal with unit spread: the sum of four uniform values.
double sensorNoise(int x, int y, std::uint32_t seed) {
  double sum = 0;
  for (std::uint32_t k = 0; k < 4; ++k) {
    sum += unit(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed * 4 + k);
  }
  return (sum - 2.0) * 1.732;
}

struct Colour {
  double y, cb, cr;
};

// A wall of bricks over the top third, rough ground below, both lit from
// the left.
Colour background(int x, int y, int width, int height, std::uint32_t seed) {
  const double light = 0.75 + 0.25 * (1.0 - static_cast<double>(x) / width);
  if (y < height / 3) {
    const int row = y / 12;
    const int shifted = x + (row % 2) * 16;
    const bool mortar = y % 12 < 2 || shifted % 32 < 2;
    const double grain = valueNoise(x, y, 3, seed) * 30 + valueNoise(shifted / 32, row, 1, seed + 1) * 40;
    return mortar ? Colour{170 * light, 125, 130} : Colour{(90 + grain) * light, 115, 160};
  }
  const double coarse = valueNoise(x, y, 24, seed + 2);
  const double fine = valueNoise(x, y, 2, seed + 3);
  const double leaves = valueNoise(x, y, 6, seed + 4) > 0.72 ? 1.0 : 0.0;
  return {(70 + coarse * 60 + fine * 35 - leaves * 25) * light, 120 - leaves * 12, 128 - leaves * 10};
}

struct Mover {
  double startX, y, speed;  // speed in pixels a second
  int width, height;
  Colour colour;
};

// Two people walking and a car passing, different on each channel.
void movers(unsigned channel, int width, int height, Mover out[3]) {
  const double h = height;
  const double w = width;
  const double shift = 0.13 * channel;
  out[0] = {w * shift, h * 0.55, 45.0, width / 24, height / 4, {150, 140, 120}};
  out[1] = {w * (0.8 - shift), h * 0.62, -38.0, width / 26, height / 4, {60, 135, 118}};
  out[2] = {w * (0.5 + shift), h * 0.72, 160.0, width / 5, height / 6, {200, 100, 170}};
}

const Mover* moverAt(const Mover movers[3], double seconds, int x, int y, int width) {
  for (int m = 2; m >= 0; --m) {
    const Mover& mover = movers[m];
    const double span = width + mover.width;
    const double left = std::fmod(std::fmod(mover.startX + mover.speed * seconds, span) + span, span) - mover.width;
    if (x >= left && x < left + mover.width && y >= mover.y && y < mover.y + mover.height) {
      return &mover;
    }
  }
  return nullptr;
}

std::uint8_t clampByte(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

void drawCameraPicture(YuvPicture& picture, CameraScene scene, unsigned channel, int index) {
  const int width = picture.width;
  const int height = picture.height;
  const double seconds = index / 30.0;
  const std::uint32_t seed = 1000 + channel * 17;
  const std::uint32_t noiseSeed = seed + static_cast<std::uint32_t>(index) * 7919u;
  const bool night = scene == CameraScene::Night;
  // Night: a quarter of the light, most colour gone, four times the noise.
  const double gain = night ? 0.25 : 1.0;
  const double saturation = night ? 0.3 : 1.0;
  const double noise = night ? 7.0 : 1.8;
  Mover moving[3];
  movers(channel, width, height, moving);
  const auto colourAt = [&](int x, int y) {
    const Mover* mover = moverAt(moving, seconds, x, y, width);
    Colour c = background(x, y, width, height, seed);
    if (mover != nullptr) {
      const double shade = 0.8 + 0.2 * valueNoise(x, y, 4, seed + 9);
      c = {mover->colour.y * shade, mover->colour.cb, mover->colour.cr};
    }
    return Colour{16 + (c.y - 16) * gain, 128 + (c.cb - 128) * saturation, 128 + (c.cr - 128) * saturation};
  };
  std::uint8_t* luma = picture.y();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      luma[y * width + x] = clampByte(colourAt(x, y).y + noise * sensorNoise(x, y, noiseSeed));
    }
  }
  std::uint8_t* cb = picture.cb();
  std::uint8_t* cr = picture.cr();
  const int chromaWidth = width / 2;
  for (int y = 0; y < height / 2; ++y) {
    for (int x = 0; x < chromaWidth; ++x) {
      const Colour c = colourAt(2 * x, 2 * y);
      cb[y * chromaWidth + x] = clampByte(c.cb + noise * 0.4 * sensorNoise(x, y, noiseSeed + 1));
      cr[y * chromaWidth + x] = clampByte(c.cr + noise * 0.4 * sensorNoise(x, y, noiseSeed + 2));
    }
  }
}

}  // namespace marlin::bench
