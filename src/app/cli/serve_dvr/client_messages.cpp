#include "app/cli/serve_dvr/client_messages.h"

#include <string>

#include "net/control_message.h"

namespace marlin::cli::serve_dvr {

namespace {

constexpr std::size_t kMouseParameters = 5;

std::string number(const char* name, int value) { return "\"" + std::string(name) + "\":" + std::to_string(value); }

}  // namespace

std::optional<std::vector<std::uint8_t>> ClientMessages::takeLogin() {
  std::optional<std::vector<std::uint8_t>> login = std::move(login_);
  login_.reset();
  return login;
}

void ClientMessages::controlMessage(const std::uint8_t* data, std::size_t n) {
  const std::optional<net::ControlMessage> message = net::readControlMessage(data, n);
  if (!message) {
    return;
  }
  const std::vector<std::uint16_t>& p = message->parameters;
  if (message->code == net::kLogin && !loginArrived_) {
    loginArrived_ = true;
    login_.emplace(data, data + n);
  } else if (message->code == net::kRemoteKey && p.size() == 1) {
    log_.write("key", number("value", p[0]));
  } else if (message->code == net::kLogout) {
    log_.write("logout");
  } else if (message->code == net::kMouse && p.size() == kMouseParameters) {
    log_.write("mouse", number("state", p[0]) + "," + number("width", p[1]) + "," + number("height", p[2]) + "," +
                            number("x", p[3]) + "," + number("y", p[4]));
  } else {
    log_.write("message", number("code", message->code));
  }
}

}  // namespace marlin::cli::serve_dvr
