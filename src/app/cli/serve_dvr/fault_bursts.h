#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace marlin::cli::serve_dvr {

// The bytes of the faults that put something wrong into a live stream.

// 64 KiB of random bytes with no start code 00 00 01 Fx of their own, and a
// few stray start codes among them: a bogus picture, a control message with
// no valid length, a start code that means nothing to a client.
std::vector<std::uint8_t> garbageBurst(std::mt19937& random);

// A control message whose length field (0800) and bytes exceed the 1024
// bytes a client keeps of a message.
std::vector<std::uint8_t> oversizeMessage();

// A conditional picture of 300000 bytes, more than a client's 131072-byte
// frame buffer, carrying sequence.
std::vector<std::uint8_t> hugeFrame(std::uint16_t sequence);

// frame with message inserted in its middle, as a DVR that interleaves its
// status reports with pictures sends it.
std::vector<std::uint8_t> withMessageInside(const std::vector<std::uint8_t>& frame,
                                            const std::vector<std::uint8_t>& message);

}  // namespace marlin::cli::serve_dvr
