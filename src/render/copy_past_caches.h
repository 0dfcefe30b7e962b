#pragma once

#include <cstddef>
#include <cstdint>

namespace marlin {

// Copies bytes that will not be read again soon (a picture kept only for a
// later repaint). On x86-64 the stores stream past the caches: they neither
// fetch the old lines first nor push out the data the next steps work on.
void copyPastCaches(std::uint8_t* destination, const std::uint8_t* source, std::size_t bytes);

}  // namespace marlin
