#include "base/frame_period.h"

namespace marlin {

int framePeriodMicroseconds(int height, CodecVariant variant) {
  // Only the QK4 and QKN recorders code whole frames; the others code fields.
  const bool fieldRate = variant != kVariantQk4 && variant != kVariantQkn;
  if (height == 224) {
    return fieldRate ? 16666 : 33333;
  }
  return fieldRate ? 12500 : 25000;
}

}  // namespace marlin
