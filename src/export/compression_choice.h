#pragma once

#include "export/compression.h"

namespace marlin {

// The compression every AVI writer of the process uses, chosen once for all
// of them. Each writer's construction resets it, so a choice made before the
// writers exist does not survive; a cancelled choice zeroes it. Safe to use
// from any thread.
namespace compression_choice {

Compression current();
void set(const Compression& choice);
void reset();
void zero();

}  // namespace compression_choice

}  // namespace marlin
