#pragma once

#include "codec/yuv_picture.h"

namespace marlin::sample {

// Draws the sample content of one channel at a moment: a background of
// colour bars or a gradient that differs per channel, a ball moving across
// it, and the channel number drawn large.
void drawSamplePicture(YuvPicture& picture, unsigned channel, double seconds);

// The same channel's scene without the ball: nothing in it ever moves.
void drawStillPicture(YuvPicture& picture, unsigned channel);

}  // namespace marlin::sample
