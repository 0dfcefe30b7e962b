#pragma once

#include <cstdint>

namespace marlin {

// The English sentence for a display call's result code, kept as the
// renderer's last display error; codes it does not know share one text.
const char* DisplayErrorText(std::int32_t code);

}  // namespace marlin
