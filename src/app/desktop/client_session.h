#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "net/client_observer.h"

class QWidget;

namespace marlin {
class PlayerEngine;
}

namespace marlin::desktop {

class BackgroundTask;
class QtMessageSink;
struct LoginValues;
struct ViewerSettings;
struct WindowPrompts;

// Client mode's session with a DVR: the login (directly or through the
// DDNS service, with the host name looked up off the window's thread), the
// connection's notices, the local recording of the live stream and the
// remote keys, whether from buttons, menu items or the keyboard.
class ClientSession : public QObject {
  Q_OBJECT

 public:
  ClientSession(PlayerEngine& engine, ViewerSettings& settings, const WindowPrompts& prompts, QtMessageSink& messages,
                BackgroundTask& task, QWidget* window);

  // True from the login until the user or the DVR ends the session, also
  // while the connection is being made.
  bool sessionWanted() const { return sessionWanted_; }

 public slots:
  // Asks for a login, or ends the session that runs.
  void connectOrDisconnect();
  // Logs in at address:port as given on the command line.
  void connectTo(const std::string& address, int port);
  void endSession();
  void handleNotice(net::ClientNotice notice);
  void startLocalRecording();
  void stopLocalRecording();
  // A remote key from a button or a menu item.
  void pressRemote(int commandId);
  // A key typed while the window has the focus; true when it was one for the DVR.
  bool keyTyped(int qtKey, const QString& text);

 signals:
  // The session needs Client mode.
  void clientModeWanted();
  // The session ends: what records the live view stops first.
  void sessionEnding();
  void changed();
  // What an action did, for the status line.
  void confirmed(const QString& text);
  void working(const QString& status, const QString& detail);

 private:
  void logIn(const LoginValues& login);

  PlayerEngine& engine_;
  ViewerSettings& settings_;
  const WindowPrompts& prompts_;
  QtMessageSink& messages_;
  BackgroundTask& task_;
  QWidget* window_;
  bool sessionWanted_ = false;
};

}  // namespace marlin::desktop
