#include <QAction>

#include "app/desktop/activity_browser.h"
#include "app/desktop/background_task.h"
#include "app/desktop/client_session.h"
#include "app/desktop/main_window.h"
#include "app/desktop/player_session.h"
#include "app/desktop/skin/picture_button.h"
#include "app/desktop/skin/skin_slider.h"
#include "app/desktop/skin/status_strip.h"
#include "app/desktop/status_text.h"
#include "app/desktop/video_view.h"
#include "app/desktop/window_observer.h"
#include "engine/player_engine.h"
#include "render/channel_label.h"

namespace marlin::desktop {

namespace {

// While nothing moves (paused, closed, offline) the window looks a few times
// a second only, so that an idle window costs next to nothing; commands
// refresh what they change at once.
constexpr int kMovingPollMs = 40;
constexpr int kRestingPollMs = 500;

}  // namespace

void MainWindow::tick() {
  if (task_->busy()) {
    return;
  }
  const PlaybackState state = engine_->getState();
  const bool moving = (state != PlaybackState::Idle && state != PlaybackState::Paused) ||
                      (mode_ == EngineMode::Client && (engine_->isConnected() || client_->sessionWanted()));
  const int interval = moving ? kMovingPollMs : kRestingPollMs;
  if (pollTimer_.interval() != interval) {
    pollTimer_.setInterval(interval);
  }
  if (state != lastStateShown_) {
    lastStateShown_ = state;
    engine_->renderer().Repaint();
  }
  refreshStatus();
  refreshControls();
  activity_->follow();
  video_->setHint(viewHint());
  // Volume 0 is the setting's default: the first sound played says so once.
  if (!soundOffTold_ && engine_->hasPlayedSound() && engine_->getVolume() == 0 && !engine_->getMute()) {
    soundOffTold_ = true;
    confirm(QStringLiteral("Sound is off: raise the volume"));
  }
}

QString MainWindow::viewHint() const {
  if (mode_ == EngineMode::Player) {
    return engine_->isSourceOpen() ? QString() : QStringLiteral("Open or drop a recording");
  }
  const auto state = static_cast<net::ConnectionState>(engine_->getConnectionState());
  if (state == net::ConnectionState::LoggedIn || state == net::ConnectionState::DdnsResolved) {
    return QString();
  }
  return client_->sessionWanted() ? QStringLiteral("Connecting to the DVR…") : QStringLiteral("Connect to a DVR");
}

void MainWindow::refreshStatus() {
  if (mode_ != EngineMode::Player) {
    const auto state = static_cast<net::ConnectionState>(engine_->getConnectionState());
    QString text;
    switch (state) {
      case net::ConnectionState::Idle:
        text = client_->sessionWanted() ? QStringLiteral("CONNECTING") : QStringLiteral("OFFLINE");
        break;
      case net::ConnectionState::LoggedIn:
      case net::ConnectionState::DdnsResolved:
        text = engine_->isRecording() ? QStringLiteral("LIVE  REC") : QStringLiteral("LIVE");
        break;
      default:
        text = QStringLiteral("CONNECTING");
        break;
    }
    status_->setTexts(text, engine_->isAviCapturing() ? QStringLiteral("AVI") : QString());
    return;
  }
  if (!position_->dragging()) {
    position_->setValue(static_cast<int>(engine_->getPosition() / 4096));
  }
  const auto onSlider = [](std::uint64_t mark) {
    return mark == 0 ? std::nullopt : std::optional<int>(static_cast<int>(mark / 4096));
  };
  position_->setMarks(onSlider(player_->markIn()), onSlider(player_->markOut()));
  CalendarTime time{};
  QString timeText = QStringLiteral(" ");
  if (engine_->getFrameTime(time) == 1) {
    timeText = QString::fromStdString(formatPictureTime(time, engine_->getTimeFormat()));
  }
  status_->setTexts(QString::fromStdString(statusText(engine_->getState(), engine_->getSpeed())), timeText);
}

// Buttons and menu items follow what the window and the engine allow now.
void MainWindow::refreshControls() {
  const WindowFacts f = facts();
  for (auto& [id, action] : actions_) {
    const CommandLook l = commandLook(id, f);
    action->setEnabled(l.enabled);
    if (action->isCheckable()) {
      action->setChecked(l.checked);
    }
  }
  actions_.at(kConnect)->setText(QString::fromLatin1(connectItemText(f.connected)));
  for (auto& [id, button] : buttons_) {
    const CommandLook l = commandLook(id, f);
    button->setEnabled(l.enabled);
    if (button->isCheckable()) {
      button->setChecked(l.checked);
    }
  }
  buttons_[kMute]->setIconName(f.muted || engine_->getVolume() == 0 ? QStringLiteral("mute")
                                                                    : QStringLiteral("volume"));
  int split = 1;
  int page = 0;
  engine_->getView(split, page);
  for (const auto& [id, cells] : {std::pair{kSplit1, 1}, {kSplit4, 4}, {kSplit9, 9}, {kSplit16, 16}}) {
    buttons_[id]->setChecked(split == cells);
  }
  const bool connected = f.connected || client_->sessionWanted();
  buttons_[kConnect]->setIconName(connected ? QStringLiteral("disconnect") : QStringLiteral("connect"));
  buttons_[kConnect]->setToolTip(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
  buttons_[kConnect]->setEnabled(!f.busy);
  buttons_[kSaveAvi]->setText(engine_->isAviCapturing() ? QStringLiteral("Stop AVI") : QStringLiteral("Save AVI"));
}

}  // namespace marlin::desktop
