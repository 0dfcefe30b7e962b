#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include "app/desktop/activity_browser.h"
#include "app/desktop/captures.h"
#include "app/desktop/client_session.h"
#include "app/desktop/main_window.h"
#include "app/desktop/options_editor.h"
#include "app/desktop/player_session.h"
#include "app/desktop/skin/picture_button.h"
#include "app/desktop/window_chrome.h"
#include "engine/player_engine.h"
#include "net/remote_keys.h"

namespace marlin::desktop {

namespace {

// Marks a separator in a menu's list of commands.
constexpr auto kSeparator = static_cast<CommandId>(0);

struct ActionRow {
  CommandId id;
  const char* text;
  const char* shortcut;
  bool checkable;
};

constexpr ActionRow kActions[] = {
    {kAbout, "&About Viewer...", "F10", false},
    {kPlayerMode, "&Player", "", true},
    {kClientMode, "Cli&ent", "", true},
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
    {kSpeedNormal, "Speed N&ormal", "Shift+Z", false},
    {kSpeedDown, "Speed &Down", "Shift+X", false},
    {kSpeedUp, "Speed &Up", "Shift+C", false},
    {kGoToTime, "&Go to Time...", "Ctrl+G", false},
    {kNextEvent, "Ne&xt Event", "PgDown", false},
    {kPreviousEvent, "Previous &Event", "PgUp", false},
    {kEventList, "&Event List", "E", true},
    {kClearRegion, "C&lear Search Region", "Esc", false},
    {kShowTime, "Show &Time", "", true},
    {kMute, "&Mute On/Off", "", true},
    {kSplit1, "Split &1", "", false},
    {kSplit4, "Split &4", "", false},
    {kSplit9, "Split &9", "", false},
    {kSplit16, "Split 1&6", "", false},
    {kMarkIn, "Mark &In", "", false},
    {kMarkOut, "Mark O&ut", "", false},
    {kExportCapture, "&Export (Capture)...", "", false},
    {kExportAvi, "&AVI (Audio-Video Interleaved Files)...", "", false},
    {kExportEvidence, "&Evidence Folder (Original, Copies, Hashes)...", "", false},
    {kStillCapture, "&Still Capture", "Ctrl+S", false},
    {kSaveAvi, "Save AVI / St&op AVI", "", false},
    {kStartLocalRecording, "&Start Local Recording", "", false},
    {kStopLocalRecording, "S&top Local Recording", "", false},
    {kConnect, "&Connect...", "", false},
    {kAlwaysOnTop, "&Always on top", "", true},
    {kNormal, "&Normal", "Ctrl+F", true},
    {kMaximize, "Ma&ximize", "", true},
    {kSize640x448, "640 x 448", "", true},
    {kSize640x544, "640 x 544", "", true},
    {kOptions, "Op&tions...", "", false},
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
    {kMinimise, "Minimise", "", false},
    {kCloseButton, "Close", "", false},
};

// Keys of Player mode beyond the recorder's shortcuts, as media players have them.
std::optional<CommandId> playerKeyCommand(int key, PlaybackState state) {
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
    connectAction(entry.id, action);
    // The window checks what is checked; a command refreshes what it changed.
    connect(action, &QAction::triggered, this, &MainWindow::refreshControls);
    // Shortcuts work with the menus closed.
    addAction(action);
    actions_[entry.id] = action;
    if (const auto found = buttons_.find(entry.id); found != buttons_.end()) {
      connect(found->second, &QAbstractButton::clicked, action, &QAction::trigger);
    }
  }
}

// Each command goes to the part that owns its work.
void MainWindow::connectAction(CommandId id, QAction* action) {
  const auto on = [this, action](auto* owner, auto slot) { connect(action, &QAction::triggered, owner, slot); };
  const auto run = [this, action](auto work) { connect(action, &QAction::triggered, this, work); };
  PlayerEngine* e = engine_.get();
  if (net::remoteValueForCommand(id)) {
    run([this, id] { client_->pressRemote(id); });
    return;
  }
  switch (id) {
    case kAbout:
      return on(options_, &OptionsEditor::showAbout);
    case kOptions:
      return on(options_, &OptionsEditor::showPlayerOptions);
    case kNetworkOptions:
      return on(options_, &OptionsEditor::showNetworkOptions);
    case kPlayerMode:
      return run([this] { switchMode(EngineMode::Player); });
    case kClientMode:
      return run([this] { switchMode(EngineMode::Client); });
    case kOpenFile:
      return on(player_, &PlayerSession::openFile);
    case kOpenDisk:
      return on(player_, &PlayerSession::openDisk);
    case kCloseFile:
      return on(player_, &PlayerSession::closeFile);
    case kMarkIn:
      return on(player_, &PlayerSession::markInHere);
    case kMarkOut:
      return on(player_, &PlayerSession::markOutHere);
    case kExportCapture:
      return on(player_, &PlayerSession::copyMarkedRange);
    case kExportAvi:
      return on(player_, &PlayerSession::showExport);
    case kExportEvidence:
      return on(player_, &PlayerSession::showEvidenceExport);
    case kGoToTime:
      return on(player_, &PlayerSession::goToTime);
    case kNextEvent:
      return on(activity_, &ActivityBrowser::nextEvent);
    case kPreviousEvent:
      return on(activity_, &ActivityBrowser::previousEvent);
    case kEventList:
      return on(activity_, &ActivityBrowser::toggleEventList);
    case kClearRegion:
      return on(activity_, &ActivityBrowser::clearRegion);
    case kPlay:
      return run([e] { e->play(1.0); });
    case kPlayReverse:
      return run([e] { e->playReverse(1.0); });
    case kPause:
      return run([e] { e->pause(); });
    case kFastForward:
      return run([e] { e->fastForward(); });
    case kFastRewind:
      return run([e] { e->fastReverse(); });
    case kNextFrame:
      return run([e] { e->stepForward(); });
    case kPreviousFrame:
      return run([e] { e->stepBackward(); });
    case kSpeedNormal:
      return run([e] { e->adjustSpeed(1.0); });
    case kSpeedDown:
      return run([this] { adjustSpeed(-0.1); });
    case kSpeedUp:
      return run([this] { adjustSpeed(0.1); });
    case kShowTime:
      return run([e] {
        e->setShowTime(!e->getShowTime());
        e->renderer().Repaint();
      });
    case kMute:
      return run([e] { e->setMute(!e->getMute()); });
    case kSplit1:
      return run([this] { selectSplit(1); });
    case kSplit4:
      return run([this] { selectSplit(4); });
    case kSplit9:
      return run([this] { selectSplit(9); });
    case kSplit16:
      return run([this] { selectSplit(16); });
    case kStillCapture:
      return on(captures_, &Captures::stillCapture);
    case kSaveAvi:
      return on(captures_, &Captures::toggleAviCapture);
    case kStartLocalRecording:
      return on(client_, &ClientSession::startLocalRecording);
    case kStopLocalRecording:
      return on(client_, &ClientSession::stopLocalRecording);
    case kConnect:
      return on(client_, &ClientSession::connectOrDisconnect);
    case kAlwaysOnTop:
      return on(chrome_, &WindowChrome::toggleAlwaysOnTop);
    case kNormal:
      return on(chrome_, &WindowChrome::showNormalSize);
    case kMaximize:
      return on(chrome_, &WindowChrome::showMaximizedSize);
    case kMinimise:
      return on(chrome_, &WindowChrome::minimise);
    case kSize640x448:
      return run([this] { showVideoSize(640, 448); });
    case kSize640x544:
      return run([this] { showVideoSize(640, 544); });
    case kExit:
    case kCloseButton:
      return run([this] { close(); });
    default:
      return;
  }
}

void MainWindow::createMenus() {
  const auto add = [this](QMenu* menu, std::initializer_list<CommandId> ids) {
    for (CommandId id : ids) {
      if (id == kSeparator) {
        menu->addSeparator();
      } else {
        menu->addAction(actions_.at(id));
      }
    }
  };
  playerMenu_ = new QMenu(this);
  playerMenu_->setObjectName(QStringLiteral("playerMenu"));
  add(playerMenu_, {kPlayerMode, kClientMode, kSeparator, kOpenFile, kOpenDisk});
  recentMenu_ = playerMenu_->addMenu(QStringLiteral("Open &Recent"));
  add(playerMenu_, {kCloseFile, kSeparator});
  QMenu* play = playerMenu_->addMenu(QStringLiteral("P&layback"));
  add(play, {kPlay, kPlayReverse, kPause, kFastForward, kFastRewind, kNextFrame, kPreviousFrame, kSeparator,
             kSpeedNormal, kSpeedDown, kSpeedUp, kSeparator, kGoToTime, kNextEvent, kPreviousEvent});
  QMenu* view = playerMenu_->addMenu(QStringLiteral("&View"));
  add(view, {kSplit1, kSplit4, kSplit9, kSplit16, kSeparator, kEventList, kClearRegion, kSeparator, kShowTime, kMute,
             kSeparator, kAlwaysOnTop, kNormal, kMaximize, kSize640x448, kSize640x544});
  QMenu* capture = playerMenu_->addMenu(QStringLiteral("Capt&ure"));
  add(capture, {kStillCapture, kSaveAvi, kSeparator, kMarkIn, kMarkOut, kExportCapture});
  QMenu* exportMenu = capture->addMenu(QStringLiteral("Export &To"));
  add(exportMenu, {kExportAvi, kExportEvidence});
  add(playerMenu_, {kSeparator, kOptions, kAbout, kSeparator, kExit});

  clientMenu_ = new QMenu(this);
  clientMenu_->setObjectName(QStringLiteral("clientMenu"));
  add(clientMenu_, {kPlayerMode, kClientMode, kSeparator, kConnect});
  QMenu* dvr = clientMenu_->addMenu(QStringLiteral("&DVR Control"));
  add(dvr, {kDvrPause, kDvrRewind, kDvrPlay, kDvrFastForward, kDvrStop, kDvrRecord, kSeparator, kDvrChannel1,
            kDvrChannel2, kDvrChannel3, kDvrChannel4, kDvrSplit, kSeparator, kDvrMenu, kDvrUp, kDvrDown, kDvrSelect});
  QMenu* local = clientMenu_->addMenu(QStringLiteral("&Local Recording"));
  add(local, {kStartLocalRecording, kStopLocalRecording});
  QMenu* netView = clientMenu_->addMenu(QStringLiteral("&View"));
  add(netView, {kMute, kSeparator, kAlwaysOnTop, kNormal, kMaximize, kSize640x448, kSize640x544});
  add(clientMenu_, {kStillCapture, kSaveAvi, kSeparator, kNetworkOptions, kAbout, kSeparator, kExit});

  for (QMenu* menu : {playerMenu_, clientMenu_}) {
    connect(menu, &QMenu::aboutToShow, this, &MainWindow::refreshControls);
  }
}

void MainWindow::rebuildRecentMenu() {
  recentMenu_->clear();
  for (const std::string& file : player_->recentFiles()) {
    const QString path = QString::fromStdString(file);
    // A '&' in a file name is a letter, not a mnemonic.
    QAction* item = recentMenu_->addAction(QFileInfo(path).fileName().replace(QLatin1Char('&'), QStringLiteral("&&")));
    item->setToolTip(path);
    connect(item, &QAction::triggered, player_, [this, path] { player_->openRecording(path); });
  }
  recentMenu_->setEnabled(!player_->recentFiles().empty());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == skinIcon_) {
    if (event->type() == QEvent::MouseButtonDblClick) {
      close();
      return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
      refreshControls();
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
  // Ctrl and Alt keys are the window's shortcuts, never the DVR's. A key
  // the DVR took moves nothing in the window (an arrow would move the focused
  // slider too), except Tab, which still moves the focus.
  if ((key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0 &&
      client_->keyTyped(key->key(), key->text()) && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) {
    return true;
  }
  if (mode_ == EngineMode::Player && key->modifiers() == Qt::NoModifier) {
    if (const auto command = playerKeyCommand(key->key(), engine_->getState())) {
      if (!key->isAutoRepeat() || *command != kPause) {
        refreshControls();
        actions_.at(*command)->trigger();
      }
      return true;
    }
  }
  return false;
}

}  // namespace marlin::desktop
