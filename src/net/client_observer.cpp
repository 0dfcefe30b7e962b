#include "net/client_observer.h"

namespace marlin::net {

const char* connectionStateName(ConnectionState state) {
  switch (state) {
    case ConnectionState::Idle:
      return "Idle";
    case ConnectionState::ConnectingDvr:
      return "ConnectingDvr";
    case ConnectionState::LoggingIn:
      return "LoggingIn";
    case ConnectionState::LoggedIn:
      return "LoggedIn";
    case ConnectionState::ConnectingDdns:
      return "ConnectingDdns";
    case ConnectionState::QueryingDdns:
      return "QueryingDdns";
    case ConnectionState::DdnsResolved:
      return "DdnsResolved";
  }
  return "Unknown";
}

const char* clientNoticeName(ClientNotice notice) {
  switch (notice) {
    case ClientNotice::Status:
      return "status";
    case ClientNotice::Closed:
      return "closed";
    case ClientNotice::NoResponse:
      return "no-response";
    case ClientNotice::LoginFailed:
      return "login-failed";
  }
  return "unknown";
}

}  // namespace marlin::net
