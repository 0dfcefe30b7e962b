#include "platform/time_zone.h"

#include <ctime>

namespace marlin {

std::int32_t timeZoneBiasSeconds() {
  ::tzset();
  return static_cast<std::int32_t>(::timezone);
}

std::uint32_t currentUnixTime32() { return static_cast<std::uint32_t>(std::time(nullptr)); }

}  // namespace marlin
