#include "engine/command_mailbox.h"

namespace marlin {

void CommandMailbox::post(EngineCommand command) {
  command_ = static_cast<int>(command);
  event_.set();
}

void CommandMailbox::postJump(std::uint64_t target) {
  jumpTarget_ = target;
  post(EngineCommand::JumpTo);
}

EngineCommand CommandMailbox::take() {
  const auto command = static_cast<EngineCommand>(command_.load());
  event_.reset();
  return command;
}

}  // namespace marlin
