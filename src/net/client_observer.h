#pragma once

namespace marlin::net {

// How far a DVR connection has come.
enum class ConnectionState : int {
  Idle = 0,
  ConnectingDvr = 1,
  LoggingIn = 2,
  LoggedIn = 3,
  ConnectingDdns = 4,
  QueryingDdns = 5,
  DdnsResolved = 6,
};

const char* connectionStateName(ConnectionState state);

// What the connection tells its user, in the window's terms: a status
// report was stored; the DVR ended the connection; the timeout passed
// without a login, or the DVR could not be reached for a first login; the
// lookup or the login failed and the connection ended.
enum class ClientNotice { Status, Closed, NoResponse, LoginFailed };

const char* clientNoticeName(ClientNotice notice);

// Told of a connection's progress on the connection's own thread. Must return
// quickly and must not call back into the client; a front end posts what it
// learns to its own thread.
class ClientObserver {
 public:
  virtual ~ClientObserver() = default;
  virtual void connectionStateChanged(ConnectionState state) = 0;
  virtual void notice(ClientNotice notice) = 0;
};

}  // namespace marlin::net
