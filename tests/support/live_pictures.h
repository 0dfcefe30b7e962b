#pragma once

#include <cstdint>
#include <vector>

namespace marlin::testing {

// Live pictures of a gradient that moves in every picture, as a DVR sends them: a refresh picture first,
// conditional pictures after (each coding the whole picture, since every block changed), numbered from 1.
std::vector<std::vector<std::uint8_t>> livePictures(int count);

}  // namespace marlin::testing
