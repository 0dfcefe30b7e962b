#pragma once

#include "base/codec_ids.h"

namespace marlin {

// Microseconds one frame period lasts for pictures of this height: the
// recorder's field or frame rate, PAL or NTSC, follows from variant and size.
int framePeriodMicroseconds(int height, CodecVariant variant);

}  // namespace marlin
