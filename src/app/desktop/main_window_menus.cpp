#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include "app/desktop/command_ids.h"
#include "app/desktop/dvr_keys.h"
#include "app/desktop/main_window.h"
#include "app/desktop/skin/picture_button.h"
#include "app/desktop/skin/skin_slider.h"
#include "app/desktop/skin/status_strip.h"
#include "app/desktop/status_text.h"
#include "engine/player_engine.h"
#include "render/channel_label.h"

namespace marlin::desktop {

namespace {

struct ActionRow {
  int id;
  const char* text;
  const char* shortcut;
  bool checkable;
};

constexpr ActionRow kActions[] = {
    {kAbout, "About Viewer (&A)...", "F10", false},
    {kPlayerMode, "&Player", "", true},
    {kClientMode, "&Client", "", true},
    {kOpenFile, "&Open File...", "Ctrl+O", false},
    {kOpenDisk, "Open &Disk...", "", false},
    {kCloseFile, "&Close", "Ctrl+C", false},
    {kPlay, "&Play", "", false},
    {kPlayReverse, "Play &Reverse", "", false},
    {kPause, "P&ause", "Ctrl+P", false},
    {kFastForward, "&Fast Forward", "", false},
    {kFastRewind, "Fast Re&wind", "", false},
    {kNextFrame, "&Next Frame", "Ctrl+N", false},
    {kPreviousFrame, "Pre&vious Frame", "Ctrl+V", false},
    {kSpeedNormal, "Speed &Normal", "Shift+Z", false},
    {kSpeedDown, "Speed &Down", "Shift+X", false},
    {kSpeedUp, "Speed &Up", "Shift+C", false},
    {kGoToTime, "&Go to Time...", "Ctrl+G", false},
    {kShowTime, "Show &Time", "", true},
    {kMute, "&Mute On/Off", "", true},
    {kSplit1, "Split &1", "", false},
    {kSplit4, "Split &4", "", false},
    {kSplit9, "Split &9", "", false},
    {kSplit16, "Split 1&6", "", false},
    {kMarkIn, "Mark &In", "", false},
    {kMarkOut, "Mark &Out", "", false},
    {kExportCapture, "&Export (Capture)...", "", false},
    {kExportAvi, "&AVI (Audio-Video Interleaved Files)...", "", false},
    {kStillCapture, "&Still Capture", "", false},
    {kSaveAvi, "Save AV&I / Stop AVI", "", false},
    {kStartLocalRecording, "&Start Local Recording", "", false},
    {kStopLocalRecording, "S&top Local Recording", "", false},
    {kConnect, "&Connect...", "", false},
    {kAlwaysOnTop, "Always on &top", "", true},
    {kNormal, "&Normal", "Ctrl+F", true},
    {kMaximize, "Ma&ximize", "", true},
    {kSize640x448, "640 x 448", "", true},
    {kSize640x544, "640 x 544", "", true},
    {kOptions, "&Options...", "", false},
    {kNetworkOptions, "&Network Options...", "", false},
    {kExit, "E&xit", "", false},
    {kDvrPause, "Pause", "", false},
    {kDvrRewind, "Rewind", "", false},
    {kDvrPlay, "Play", "", false},
    {kDvrFastForward, "Fast Forward", "", false},
    {kDvrStop, "Stop", "", false},
    {kDvrRecord, "Record", "", false},
    {kDvrChannel1, "Channel 1", "", false},
    {kDvrChannel2, "Channel 2", "", false},
    {kDvrChannel3, "Channel 3", "", false},
    {kDvrChannel4, "Channel 4", "", false},
    {kDvrSplit, "Split 4", "", false},
    {kDvrMenu, "Menu", "", false},
    {kDvrUp, "Up", "", false},
    {kDvrDown, "Down", "", false},
    {kDvrSelect, "Select", "", false},
};

// Keys of Player mode beyond the recorder's shortcuts, as media players have them.
std::optional<int> playerKeyCommand(int key, PlaybackState state) {
  switch (key) {
    case Qt::Key_Space:
      return state == PlaybackState::Forward || state == PlaybackState::Reverse ? kPause : kPlay;
    case Qt::Key_Comma:
      return kPreviousFrame;
    case Qt::Key_Period:
      return kNextFrame;
    case Qt::Key_BracketLeft:
      return kSpeedDown;
    case Qt::Key_BracketRight:
      return kSpeedUp;
    default:
      return std::nullopt;
  }
}

}  // namespace

void MainWindow::createActions() {
  for (const ActionRow& entry : kActions) {
    auto* action = new QAction(QString::fromUtf8(entry.text), this);
    if (entry.shortcut[0] != '\0') {
      action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
      action->setShortcutContext(Qt::WindowShortcut);
    }
    action->setCheckable(entry.checkable);
    connect(action, &QAction::triggered, this, [this, id = entry.id] { runCommand(id); });
    // Shortcuts work with the menus closed.
    addAction(action);
    actions_[entry.id] = action;
  }
}

void MainWindow::createMenus() {
  const auto add = [this](QMenu* menu, std::initializer_list<int> ids) {
    for (int id : ids) {
      if (id == 0) {
        menu->addSeparator();
      } else {
        menu->addAction(actions_.at(id));
      }
    }
  };
  playerMenu_ = new QMenu(this);
  playerMenu_->setObjectName(QStringLiteral("playerMenu"));
  add(playerMenu_, {kPlayerMode, kClientMode, 0, kOpenFile, kOpenDisk});
  recentMenu_ = playerMenu_->addMenu(QStringLiteral("Open &Recent"));
  add(playerMenu_, {kCloseFile, 0});
  QMenu* play = playerMenu_->addMenu(QStringLiteral("P&layback"));
  add(play, {kPlay, kPlayReverse, kPause, kFastForward, kFastRewind, kNextFrame, kPreviousFrame, 0, kSpeedNormal,
             kSpeedDown, kSpeedUp, 0, kGoToTime});
  QMenu* view = playerMenu_->addMenu(QStringLiteral("&View"));
  add(view, {kSplit1, kSplit4, kSplit9, kSplit16, 0, kShowTime, kMute, 0, kAlwaysOnTop, kNormal, kMaximize,
             kSize640x448, kSize640x544});
  QMenu* capture = playerMenu_->addMenu(QStringLiteral("&Capture"));
  add(capture, {kStillCapture, kSaveAvi, 0, kMarkIn, kMarkOut, kExportCapture});
  QMenu* exportMenu = capture->addMenu(QStringLiteral("Export &To"));
  add(exportMenu, {kExportAvi});
  add(playerMenu_, {0, kOptions, kAbout, 0, kExit});

  clientMenu_ = new QMenu(this);
  clientMenu_->setObjectName(QStringLiteral("clientMenu"));
  add(clientMenu_, {kPlayerMode, kClientMode, 0, kConnect});
  QMenu* dvr = clientMenu_->addMenu(QStringLiteral("&DVR Control"));
  add(dvr, {kDvrPause, kDvrRewind, kDvrPlay, kDvrFastForward, kDvrStop, kDvrRecord, 0, kDvrChannel1, kDvrChannel2,
            kDvrChannel3, kDvrChannel4, kDvrSplit, 0, kDvrMenu, kDvrUp, kDvrDown, kDvrSelect});
  QMenu* local = clientMenu_->addMenu(QStringLiteral("&Local Recording"));
  add(local, {kStartLocalRecording, kStopLocalRecording});
  QMenu* netView = clientMenu_->addMenu(QStringLiteral("&View"));
  add(netView, {kMute, 0, kAlwaysOnTop, kNormal, kMaximize, kSize640x448, kSize640x544});
  add(clientMenu_, {kSaveAvi, 0, kNetworkOptions, kAbout, 0, kExit});

  for (QMenu* menu : {playerMenu_, clientMenu_}) {
    connect(menu, &QMenu::aboutToShow, this, &MainWindow::updateActions);
  }
}

void MainWindow::rebuildRecentMenu() {
  recentMenu_->clear();
  for (const std::string& file : recentFiles_) {
    const QString path = QString::fromStdString(file);
    QAction* item = recentMenu_->addAction(QFileInfo(path).fileName());
    item->setToolTip(path);
    connect(item, &QAction::triggered, this, [this, path] { openRecording(path); });
  }
  recentMenu_->setEnabled(!recentFiles_.empty());
}

void MainWindow::updateActions() {
  const WindowFacts f = facts();
  for (auto& [id, action] : actions_) {
    const CommandLook l = commandLook(id, f);
    action->setEnabled(l.enabled);
    if (action->isCheckable()) {
      action->setChecked(l.checked);
    }
  }
  actions_.at(kConnect)->setText(QString::fromLatin1(connectItemText(f.connected)));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == skinIcon_) {
    if (event->type() == QEvent::MouseButtonDblClick) {
      exitApplication();
      close();
      return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
      updateActions();
      contextMenu(mode_)->popup(skinIcon_->mapToGlobal(QPoint(0, skinIcon_->height() + 4)));
      return true;
    }
    return false;
  }
  if (event->type() != QEvent::KeyPress || QApplication::activeModalWidget() != nullptr ||
      QApplication::activePopupWidget() != nullptr) {
    return false;
  }
  auto* key = static_cast<QKeyEvent*>(event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != this) {
    return false;
  }
  // Every key goes to the key buffer; the timer sends it to a connected DVR.
  pendingKey_ = key->key();
  pendingText_ = key->text();
  if (mode_ == 1 && key->modifiers() == Qt::NoModifier) {
    if (const auto command = playerKeyCommand(key->key(), engine_->getState())) {
      if (!key->isAutoRepeat() || *command != kPause) {
        runCommand(*command);
      }
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------- timers

void MainWindow::tick(bool captureTimer) {
  if (autoConnect_) {
    autoConnect_ = false;
    if (mode_ != 2) {
      switchMode(2);
    }
    settings_.ipAddress = setup_.commandLine.ip;
    settings_.port = std::atoi(setup_.commandLine.port.c_str());
    runCommand(kConnect);
  }
  if (busy_) {
    return;
  }
  drainKeyBuffer();
  const PlaybackState state = engine_->getState();
  if (state != lastStateShown_) {
    lastStateShown_ = state;
    engine_->renderer().Repaint();
  }
  refreshStatus();
  if (captureTimer && engine_->isAviCapturing() && aviCaptureMode_ == kCaptureOnRefresh) {
    engine_->requestCaptureRefresh();
  }
  refreshControls();
}

void MainWindow::drainKeyBuffer() {
  if (pendingKey_ == 0 || !engine_->isConnected()) {
    return;
  }
  const int key = pendingKey_;
  const QString text = pendingText_;
  pendingKey_ = 0;
  if (const auto value = dvrKeyFor(key, text)) {
    engine_->sendRemote(*value);
  }
}

void MainWindow::refreshStatus() {
  if (mode_ != 1) {
    const auto state = static_cast<net::ConnectionState>(engine_->getConnectionState());
    QString text;
    switch (state) {
      case net::ConnectionState::Idle:
        text = sessionWanted_ ? QStringLiteral("CONNECTING") : QStringLiteral("OFFLINE");
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
  CalendarTime time{};
  QString timeText = QStringLiteral(" ");
  if (engine_->getFrameTime(time) == 1) {
    timeText = QString::fromStdString(formatPictureTime(time, engine_->getTimeFormat()));
  }
  status_->setTexts(QString::fromStdString(statusText(engine_->getState(), engine_->getSpeed())), timeText);
}

void MainWindow::refreshControls() {
  const WindowFacts f = facts();
  for (auto& [id, button] : buttons_) {
    const CommandLook l = commandLook(id, f);
    button->setEnabled(l.enabled);
    if (button->isCheckable() && id != kPlayerMode && id != kClientMode) {
      button->setChecked(l.checked);
    }
  }
  buttons_[kPlayerMode]->setChecked(mode_ == 1);
  buttons_[kClientMode]->setChecked(mode_ == 2);
  buttons_[kMute]->setIconName(f.muted ? QStringLiteral("mute") : QStringLiteral("volume"));
  int split = 1;
  int page = 0;
  engine_->getView(split, page);
  for (const auto& [id, cells] : {std::pair{kSplit1, 1}, {kSplit4, 4}, {kSplit9, 9}, {kSplit16, 16}}) {
    buttons_[id]->setChecked(split == cells);
  }
  const bool connected = f.connected || sessionWanted_;
  buttons_[kConnect]->setIconName(connected ? QStringLiteral("disconnect") : QStringLiteral("connect"));
  buttons_[kConnect]->setToolTip(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
  buttons_[kConnect]->setEnabled(true);
  buttons_[kSaveAvi]->setText(engine_->isAviCapturing() ? QStringLiteral("Stop AVI") : QStringLiteral("Save AVI"));
}

}  // namespace marlin::desktop
