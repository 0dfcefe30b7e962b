#include "app/desktop/options_editor.h"

#include "app/desktop/dialogs/about_dialog.h"
#include "app/desktop/dialogs/network_options_dialog.h"
#include "app/desktop/dialogs/options_dialog.h"
#include "app/desktop/viewer_settings.h"
#include "app/desktop/window_chrome.h"
#include "engine/player_engine.h"

namespace marlin::desktop {

OptionsEditor::OptionsEditor(PlayerEngine& engine, ViewerSettings& settings, WindowChrome& chrome, QWidget* window)
    : QObject(window), engine_(engine), settings_(settings), chrome_(chrome), window_(window) {}

void OptionsEditor::showAbout() {
  AboutDialog dialog(window_);
  dialog.exec();
}

void OptionsEditor::showPlayerOptions() {
  PlayerOptionsValues values;
  values.alwaysOnTop = chrome_.alwaysOnTop();
  values.showTime = engine_.getShowTime();
  values.repeat = engine_.getRepeat();
  values.fastPath = engine_.getFastPath();
  values.timeFormat = engine_.getTimeFormat();
  values.capturePath = settings_.capturePath;
  OptionsDialog dialog(values, window_);
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  const PlayerOptionsValues chosen = dialog.values();
  engine_.setShowTime(chosen.showTime);
  settings_.capturePath = chosen.capturePath;
  engine_.setRepeat(chosen.repeat);
  engine_.setTimeFormat(chosen.timeFormat);
  engine_.setFastPath(chosen.fastPath);
  chrome_.setAlwaysOnTop(chosen.alwaysOnTop);
  engine_.renderer().Repaint();
}

void OptionsEditor::showNetworkOptions() {
  NetworkOptionsValues values;
  values.alwaysOnTop = chrome_.alwaysOnTop();
  values.autoReconnection = engine_.getAutoReconnect();
  values.fastPath = engine_.getFastPath();
  values.ddnsIp = settings_.ddnsIp;
  values.ddnsPort = settings_.ddnsPort;
  values.localRecordingPath = settings_.localRecordingPath;
  values.timeoutSeconds = static_cast<int>(engine_.getTimeout() / 1000);
  values.mouseMode = settings_.mouseMode;
  NetworkOptionsDialog dialog(values, window_);
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  const NetworkOptionsValues chosen = dialog.values();
  engine_.setAutoReconnect(chosen.autoReconnection);
  engine_.setFastPath(chosen.fastPath);
  settings_.ddnsIp = chosen.ddnsIp;
  settings_.ddnsPort = chosen.ddnsPort;
  settings_.localRecordingPath = chosen.localRecordingPath;
  engine_.setTimeout(static_cast<std::uint32_t>(chosen.timeoutSeconds) * 1000);
  settings_.mouseMode = chosen.mouseMode;
  engine_.setMouseRemoteMode(static_cast<net::MouseRemoteMode>(chosen.mouseMode));
  chrome_.setAlwaysOnTop(chosen.alwaysOnTop);
}

}  // namespace marlin::desktop
