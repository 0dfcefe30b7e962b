#include "engine/sample/sample_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace marlin::sample {

namespace {

struct Rgb {
  double r;
  double g;
  double b;
};

// Full-range BT.601, as the decoder's colour conversion inverts it.
void putPixel(YuvPicture& picture, int x, int y, const Rgb& c, bool writeChroma) {
  const double luma = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
  picture.y()[y * picture.width + x] = static_cast<std::uint8_t>(std::clamp(std::lround(luma), 0L, 255L));
  if (writeChroma) {
    const int at = (y / 2) * (picture.width / 2) + x / 2;
    picture.cb()[at] = static_cast<std::uint8_t>(std::clamp(std::lround(128 + 0.564 * (c.b - luma)), 0L, 255L));
    picture.cr()[at] = static_cast<std::uint8_t>(std::clamp(std::lround(128 + 0.713 * (c.r - luma)), 0L, 255L));
  }
}

constexpr std::array<Rgb, 8> kBars = {{{235, 235, 235},
                                       {235, 235, 16},
                                       {16, 235, 235},
                                       {16, 235, 16},
                                       {235, 16, 235},
                                       {235, 16, 16},
                                       {16, 16, 235},
                                       {40, 40, 40}}};

Rgb background(unsigned channel, int x, int y, int width, int height) {
  if (channel % 2 == 0) {
    const Rgb bar = kBars[static_cast<std::size_t>((x * 8 / width + channel / 2) % 8)];
    const double shade = 0.75 + 0.25 * y / height;
    return {bar.r * shade, bar.g * shade, bar.b * shade};
  }
  const double u = static_cast<double>(x) / width;
  const double v = static_cast<double>(y) / height;
  const double hue = channel * 0.7;
  return {128 + 100 * std::sin(6.28 * u + hue), 128 + 100 * std::sin(6.28 * v + hue * 2),
          128 + 100 * std::cos(3.14 * (u + v) + hue)};
}

// 5 x 7 digits, one row per byte, bit 4 leftmost.
constexpr std::array<std::array<std::uint8_t, 7>, 10> kDigits = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
}};

bool digitCovers(unsigned number, int x, int y, int left, int top, int scale) {
  const std::string text = std::to_string(number);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int cellX = (x - left - static_cast<int>(i) * 6 * scale);
    const int cellY = y - top;
    if (cellX < 0 || cellY < 0 || cellX >= 5 * scale || cellY >= 7 * scale) {
      continue;
    }
    const auto& glyph = kDigits[static_cast<std::size_t>(text[i] - '0')];
    if ((glyph[static_cast<std::size_t>(cellY / scale)] >> (4 - cellX / scale)) & 1) {
      return true;
    }
  }
  return false;
}

// The ball drawn over the background, under the channel number.
struct Ball {
  double x;
  double y;
  Rgb colour;
};

void drawScene(YuvPicture& picture, unsigned channel, const Ball* ball) {
  const int width = picture.width;
  const int height = picture.height;
  const int scale = height / 14;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Rgb colour = background(channel, x, y, width, height);
      if (ball != nullptr) {
        const double dx = x - ball->x;
        const double dy = y - ball->y;
        if (dx * dx + dy * dy < 28.0 * 28.0) {
          colour = ball->colour;
        }
      }
      if (digitCovers(channel, x, y, 24, 24, scale)) {
        colour = {255, 255, 255};
      } else if (digitCovers(channel, x - 3, y - 3, 24, 24, scale)) {
        colour = {0, 0, 0};
      }
      putPixel(picture, x, y, colour, x % 2 == 0 && y % 2 == 0);
    }
  }
}

}  // namespace

void drawSamplePicture(YuvPicture& picture, unsigned channel, double seconds) {
  const int width = picture.width;
  const int height = picture.height;
  const double speed = 90.0 + 15.0 * channel;  // pixels per second
  const double travel = std::fmod(seconds * speed + 37.0 * channel, 2.0 * (width - 80));
  const Ball ball{40 + (travel < width - 80 ? travel : 2.0 * (width - 80) - travel),
                  height / 2.0 + (height / 3.0) * std::sin(seconds * 1.3 + channel),
                  {250, 200 - 10.0 * channel, 40}};
  drawScene(picture, channel, &ball);
}

void drawStillPicture(YuvPicture& picture, unsigned channel) { drawScene(picture, channel, nullptr); }

}  // namespace marlin::sample
