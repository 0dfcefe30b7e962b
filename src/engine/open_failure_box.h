#pragma once

#include "base/status.h"
#include "platform/message_sink.h"

namespace marlin {

// Shows "Open Error" when a recording could not be opened because its path
// is neither a recording file nor a disk whose size can be read; the other
// failures to open have no box of their own. Raised by the engine's
// openSource and by front ends that read recordings without an engine.
void raiseOpenFailureBox(const Status& openFailure, MessageSink& messages);

}  // namespace marlin
