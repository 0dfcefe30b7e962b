#include "base/frame_period.h"

namespace marlin {

int framePeriodMicroseconds(int height, CodecVariant variant) {
  const bool fieldRate = variant != 0 && variant != 2;
  if (height == 224) {
    return fieldRate ? 16666 : 33333;
  }
  return fieldRate ? 12500 : 25000;
}

}  // namespace marlin
