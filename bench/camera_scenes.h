#pragma once

#include "codec/yuv_picture.h"

// Pictures like the ones security cameras send, for the decoding benchmark:
// a daylight yard with textured ground and walls, people and cars crossing
// it and some sensor noise, and the same yard at night: dark, low contrast,
// nearly colourless and much noisier. The background holds still (a fixed
// camera) while the noise changes in every picture.
namespace marlin::bench {

enum class CameraScene { Day, Night };

// Picture `index` of channel `channel`'s camera, at 30 pictures a second.
void drawCameraPicture(YuvPicture& picture, CameraScene scene, unsigned channel, int index);

}  // namespace marlin::bench
