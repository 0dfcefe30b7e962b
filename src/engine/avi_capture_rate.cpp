#include "engine/avi_capture_rate.h"

#include <algorithm>
#include <bit>

#include "engine/avi_capture.h"

namespace marlin {

namespace {

constexpr int kPalFieldHeight = 272;

int displayRate(int fieldHeight) { return fieldHeight == kPalFieldHeight ? 25 : 30; }

// Pictures a second the recorder writes over all its channels.
int recordedRate(CodecVariant variant, int base) {
  if (variant == kVariantQk4 || variant == kVariantQkn) {
    return base;
  }
  return variant == kVariantQkt3 ? 4 * base : 2 * base;
}

}  // namespace

int playerCaptureRate(CodecVariant variant, int fieldHeight, std::uint16_t channelMask, int frameInterval) {
  const int base = displayRate(fieldHeight);
  const int channels = std::max(std::popcount(channelMask), 1);
  const double perChannel = static_cast<double>(recordedRate(variant, base)) / (frameInterval + 1) / channels;
  return std::max(static_cast<int>(std::min(static_cast<double>(base), perChannel)), 1);
}

int liveCaptureRate(int fieldHeight, int captureMode) {
  return captureMode == kCaptureOnRefresh ? 25 : displayRate(fieldHeight);
}

}  // namespace marlin
