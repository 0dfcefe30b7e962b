#include "engine/open_failure_box.h"

namespace marlin {

void raiseOpenFailureBox(const Status& openFailure, MessageSink& messages) {
  if (openFailure.code() == StatusCode::Unsupported) {
    messages.showMessage("Open Error", "");
  }
}

}  // namespace marlin
