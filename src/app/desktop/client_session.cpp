#include "app/desktop/client_session.h"

#include <QFileInfo>
#include <optional>

#include "app/desktop/background_task.h"
#include "app/desktop/capture_names.h"
#include "app/desktop/dvr_keys.h"
#include "app/desktop/qt_message_sink.h"
#include "app/desktop/viewer_settings.h"
#include "app/desktop/window_prompts.h"
#include "engine/player_engine.h"
#include "net/remote_keys.h"
#include "platform/tcp_socket.h"

namespace marlin::desktop {

ClientSession::ClientSession(PlayerEngine& engine, ViewerSettings& settings, const WindowPrompts& prompts,
                             QtMessageSink& messages, BackgroundTask& task, QWidget* window)
    : QObject(window),
      engine_(engine),
      settings_(settings),
      prompts_(prompts),
      messages_(messages),
      task_(task),
      window_(window) {}

void ClientSession::connectOrDisconnect() {
  if (engine_.isConnected() || sessionWanted_) {
    endSession();
    return;
  }
  LoginValues start;
  start.address = settings_.ipAddress;
  start.port = settings_.port;
  start.ddns = settings_.dynamicIp;
  start.dvrName = settings_.dvrName;
  const std::optional<LoginValues> login = prompts_.login(window_, start);
  if (!login) {
    return;
  }
  if (login->ddns) {
    settings_.dvrName = login->dvrName;
  } else {
    settings_.ipAddress = login->address;
    settings_.port = login->port;
  }
  settings_.dynamicIp = login->ddns;
  logIn(*login);
}

void ClientSession::connectTo(const std::string& address, int port) {
  settings_.ipAddress = address;
  settings_.port = port;
  connectOrDisconnect();
}

void ClientSession::logIn(const LoginValues& login) {
  emit clientModeWanted();
  sessionWanted_ = true;
  emit changed();
  if (login.ddns) {
    if (engine_.connectViaDdns(settings_.ddnsIp, static_cast<std::uint16_t>(settings_.ddnsPort), login.dvrName,
                               login.password) != 1) {
      endSession();
      messages_.showMessage(engine_.lastConnectFailure().message(), "");
    }
    return;
  }
  // A slow resolver must not freeze the window.
  emit working(QStringLiteral("LOOKING UP"), QString::fromStdString(login.address));
  task_.run([host = login.address] { return resolveIpv4(host); },
            [this, login](std::optional<std::uint32_t> address) {
              if (!sessionWanted_) {
                return;
              }
              if (!address) {
                endSession();
                messages_.showMessage("Cannot find the DVR \"" + login.address + "\".", "");
                return;
              }
              if (engine_.connect(dottedIpv4(*address), static_cast<std::uint16_t>(login.port), login.password) != 1) {
                endSession();
                messages_.showMessage(engine_.lastConnectFailure().message(), "");
              }
            });
}

void ClientSession::endSession() {
  sessionWanted_ = false;
  emit sessionEnding();
  if (engine_.isRecording()) {
    engine_.stopRecording();
  }
  engine_.disconnect();
  emit changed();
}

void ClientSession::handleNotice(net::ClientNotice notice) {
  switch (notice) {
    case net::ClientNotice::Status:
      emit changed();
      return;
    case net::ClientNotice::Closed:
      // Only a session the user did not end himself is reported.
      if (sessionWanted_ && (engine_.isConnected() || !engine_.getAutoReconnect())) {
        endSession();
        messages_.showMessage("Disconnected by server.", "");
      }
      return;
    case net::ClientNotice::NoResponse:
      if (sessionWanted_) {
        // The connection keeps the system's reason for the last connect that failed: "refused" and "no route"
        // call for different fixes, so the user sees which it was.
        const std::string reason = engine_.getLastError();
        endSession();
        messages_.showMessage(reason.empty() ? "No response server." : "No response server.\n" + reason, "");
      }
      return;
    case net::ClientNotice::LoginFailed: {
      if (!sessionWanted_) {
        return;
      }
      // The password is blamed only when the DVR said so.
      const std::string reason = engine_.getLastError();
      endSession();
      messages_.showMessage(reason.empty() ? "Incorrect password." : reason, "");
      return;
    }
  }
}

void ClientSession::startLocalRecording() {
  if (const Status folder = makeCaptureFolder(settings_.localRecordingPath); !folder) {
    messages_.showMessage(folder.message(), "");
    return;
  }
  const std::string path = localRecordingPath(settings_.localRecordingPath, localTimeNow(), pathExists);
  if (engine_.startRecording(path) != 1) {
    messages_.showMessage(engine_.lastRecordingFailure().message(), "");
  } else {
    emit confirmed(QStringLiteral("Recording to ") + QFileInfo(QString::fromStdString(path)).fileName());
  }
  emit changed();
}

void ClientSession::stopLocalRecording() {
  engine_.stopRecording();
  emit changed();
}

void ClientSession::pressRemote(int commandId) {
  if (const auto value = net::remoteValueForCommand(commandId); value && engine_.isConnected()) {
    engine_.sendRemote(*value);
  }
}

bool ClientSession::keyTyped(int qtKey, const QString& text) {
  if (!engine_.isConnected()) {
    return false;
  }
  const auto value = dvrKeyFor(qtKey, text);
  if (!value) {
    return false;
  }
  // A key past the full queue is dropped by the client, which counts it.
  engine_.sendRemote(*value);
  return true;
}

}  // namespace marlin::desktop
