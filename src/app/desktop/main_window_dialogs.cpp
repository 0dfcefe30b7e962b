#include "app/desktop/dialogs/about_dialog.h"
#include "app/desktop/dialogs/export_dialog.h"
#include "app/desktop/dialogs/go_to_time_dialog.h"
#include "app/desktop/dialogs/network_options_dialog.h"
#include "app/desktop/dialogs/options_dialog.h"
#include "app/desktop/main_window.h"
#include "engine/player_engine.h"

namespace marlin::desktop {

void MainWindow::showAbout() {
  AboutDialog dialog(this);
  dialog.exec();
}

void MainWindow::showOptions() {
  PlayerOptionsValues values;
  values.alwaysOnTop = alwaysOnTop_;
  values.showTime = engine_->getShowTime();
  values.repeat = engine_->getRepeat();
  values.fastPath = engine_->getFastPath();
  values.timeFormat = engine_->getTimeFormat();
  values.capturePath = settings_.capturePath;
  OptionsDialog dialog(values, this);
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  const PlayerOptionsValues chosen = dialog.values();
  engine_->setShowTime(chosen.showTime);
  alwaysOnTop_ = chosen.alwaysOnTop;
  settings_.capturePath = chosen.capturePath;
  engine_->setRepeat(chosen.repeat);
  engine_->setTimeFormat(chosen.timeFormat);
  engine_->setFastPath(chosen.fastPath);
  applyTopmost();
  engine_->renderer().Repaint();
}

void MainWindow::showNetworkOptions() {
  NetworkOptionsValues values;
  values.alwaysOnTop = alwaysOnTop_;
  values.autoReconnection = engine_->getAutoReconnect();
  values.fastPath = engine_->getFastPath();
  values.ddnsIp = settings_.ddnsIp;
  values.ddnsPort = settings_.ddnsPort;
  values.localRecordingPath = settings_.localRecordingPath;
  values.timeoutSeconds = static_cast<int>(engine_->getTimeout() / 1000);
  values.mouseMode = settings_.mouseMode;
  NetworkOptionsDialog dialog(values, this);
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  const NetworkOptionsValues chosen = dialog.values();
  alwaysOnTop_ = chosen.alwaysOnTop;
  engine_->setAutoReconnect(chosen.autoReconnection);
  engine_->setFastPath(chosen.fastPath);
  settings_.ddnsIp = chosen.ddnsIp;
  settings_.ddnsPort = chosen.ddnsPort;
  settings_.localRecordingPath = chosen.localRecordingPath;
  engine_->setTimeout(static_cast<std::uint32_t>(chosen.timeoutSeconds) * 1000);
  settings_.mouseMode = chosen.mouseMode;
  engine_->setMouseRemoteMode(static_cast<net::MouseRemoteMode>(chosen.mouseMode));
  applyTopmost();
}

void MainWindow::showExportAvi() {
  ExportDialog dialog(sourceIsDisk_ ? std::string() : sourcePath_, this);
  dialog.setRecordingFormat(engine_->config().videoFormat, false);
  dialog.exec();
}

void MainWindow::goToTime() {
  CalendarTime shown = engine_->getCurrentFrameTime();
  GoToTimeDialog dialog(sourcePath_, sourceIsDisk_, engine_->config().videoFormat, shown, this);
  if (dialog.exec() == QDialog::Accepted) {
    engine_->jumpTo(dialog.position());
  }
}

}  // namespace marlin::desktop
