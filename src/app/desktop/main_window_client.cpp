#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <ctime>

#include "app/desktop/capture_names.h"
#include "app/desktop/command_ids.h"
#include "app/desktop/main_window.h"
#include "app/desktop/skin/picture_button.h"
#include "app/desktop/skin/status_strip.h"
#include "engine/player_engine.h"
#include "platform/tcp_socket.h"

namespace marlin::desktop {

void MainWindow::startLocalRecording() {
  makeCaptureFolder(settings_.localRecordingPath);
  const std::string path = localRecordingPath(settings_.localRecordingPath, localTimeNow(), pathExists);
  if (engine_->startRecording(path) != 1) {
    messages_.showMessage(engine_->lastRecordingFailure().message(), "");
  }
}

void MainWindow::stopLocalRecording() { engine_->stopRecording(); }

void MainWindow::connectOrDisconnect() {
  if (engine_->isConnected() || sessionWanted_) {
    endSession();
    return;
  }
  LoginValues start;
  start.address = settings_.ipAddress;
  start.port = settings_.port;
  start.ddns = settings_.dynamicIp != 0;
  start.dvrName = settings_.dvrName;
  const std::optional<LoginValues> login = setup_.prompts.login(this, start);
  if (!login) {
    return;
  }
  if (login->ddns) {
    settings_.dvrName = login->dvrName;
  } else {
    settings_.ipAddress = login->address;
    settings_.port = login->port;
  }
  settings_.dynamicIp = login->ddns ? 1 : 0;
  connectTo(*login);
}

void MainWindow::connectTo(const LoginValues& login) {
  if (mode_ != 2) {
    switchMode(2);
  }
  sessionWanted_ = true;
  buttons_[kConnect]->setIconName(QStringLiteral("disconnect"));
  if (login.ddns) {
    if (engine_->connectViaDdns(settings_.ddnsIp, static_cast<std::uint16_t>(settings_.ddnsPort), login.dvrName,
                                login.password) != 1) {
      endSession();
      messages_.showMessage(engine_->lastConnectFailure().message(), "");
    }
    return;
  }
  // A host name is looked up on a thread of its own: a slow resolver must
  // not freeze the window.
  busy_ = true;
  status_->setTexts(QStringLiteral("LOOKING UP"), QString::fromStdString(login.address));
  auto* watcher = new QFutureWatcher<std::optional<std::uint32_t>>(this);
  connect(watcher, &QFutureWatcher<std::optional<std::uint32_t>>::finished, this, [this, watcher, login] {
    watcher->deleteLater();
    busy_ = false;
    const std::optional<std::uint32_t> address = watcher->result();
    if (!sessionWanted_) {
      return;
    }
    if (!address) {
      endSession();
      messages_.showMessage("Cannot find the DVR \"" + login.address + "\".", "");
      return;
    }
    if (engine_->connect(dottedIpv4(*address), static_cast<std::uint16_t>(login.port), login.password) != 1) {
      endSession();
      messages_.showMessage(engine_->lastConnectFailure().message(), "");
    }
  });
  watcher->setFuture(QtConcurrent::run([host = login.address] { return resolveIpv4(host); }));
}

void MainWindow::endSession() {
  sessionWanted_ = false;
  if (engine_->isAviCapturing() && mode_ == 2) {
    toggleAviCapture();
  }
  if (engine_->isRecording()) {
    engine_->stopRecording();
  }
  engine_->disconnect();
  buttons_[kConnect]->setIconName(QStringLiteral("connect"));
  refreshControls();
}

void MainWindow::handleNotice(net::ClientNotice notice) {
  switch (notice) {
    case net::ClientNotice::Status:
      refreshControls();
      return;
    case net::ClientNotice::Closed:
      // Only a session the user did not end himself is reported.
      if (sessionWanted_ && (engine_->isConnected() || !engine_->getAutoReconnect())) {
        endSession();
        messages_.showMessage("Disconnected by server.", "");
      }
      return;
    case net::ClientNotice::NoResponse:
      if (sessionWanted_) {
        endSession();
        messages_.showMessage("No response server.", "");
      }
      return;
    case net::ClientNotice::LoginFailed: {
      if (!sessionWanted_) {
        return;
      }
      // The password is blamed only when the DVR said so.
      const std::string reason = engine_->getLastError();
      endSession();
      messages_.showMessage(reason.empty() ? "Incorrect password." : reason, "");
      return;
    }
  }
}

}  // namespace marlin::desktop
