#include "engine/command_mailbox.h"

namespace marlin {

void CommandMailbox::post(EngineCommand command) {
  command_ = static_cast<int>(command);
  event_.set();
}

void CommandMailbox::postJump(std::uint64_t target, EngineCommand then) {
  jumpTarget_ = target;
  afterJump_ = static_cast<int>(then);
  post(EngineCommand::JumpTo);
}

bool CommandMailbox::pending() const { return event_.isSet(); }

EngineCommand CommandMailbox::take() {
  const auto command = static_cast<EngineCommand>(command_.load());
  event_.reset();
  return command;
}

}  // namespace marlin
