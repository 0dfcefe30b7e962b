#pragma once

#include <cstdint>

namespace marlin {

// The C runtime's standard-time bias in seconds west of UTC (TZ honoured);
// daylight saving is deliberately not part of it.
std::int32_t timeZoneBiasSeconds();

// Seconds since 1970-01-01 UTC, truncated to 32 bits.
std::uint32_t currentUnixTime32();

}  // namespace marlin
