#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/desktop/command_ids.h"
#include "app/desktop/command_line.h"
#include "app/desktop/command_rules.h"
#include "app/desktop/qt_message_sink.h"
#include "app/desktop/settings.h"
#include "app/desktop/window_prompts.h"
#include "engine/engine_types.h"

class QAction;
class QLabel;
class QMenu;

namespace marlin {
class AudioDevice;
class EventLinePrinter;
class PlayerEngine;
class TextPainter;
}  // namespace marlin

namespace marlin::desktop {

class ActivityBrowser;
class BackgroundTask;
class Captures;
class ClientSession;
class OptionsEditor;
class PictureButton;
class PlayerSession;
class SkinSlider;
class StatusStrip;
class VideoView;
class WindowChrome;
class WindowObserver;

// The application's window. It makes the engine and the parts that do the
// work (the player's recording, the DVR session, captures, the options, the
// window's own frame), places the controls by the layout table, connects
// every button, menu item and shortcut to the part that owns its command,
// and shows the engine's state, which it polls on a timer.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  struct Setup {
    ViewerCommandLine commandLine;
    std::string settingsPath;
    WindowPrompts prompts = WindowPrompts::dialogs();
    // Where the JSON lines of what plays and how the connection goes are
    // printed (--events); nullptr for nowhere.
    std::FILE* events = nullptr;
    // Tests play without a sound device.
    bool silentAudio = false;
  };

  explicit MainWindow(Setup setup, QWidget* parent = nullptr);
  ~MainWindow() override;

  PlayerEngine& engine() { return *engine_; }
  QtMessageSink& messages() { return messages_; }
  const ViewerSettings& settings() const { return settings_; }
  WindowFacts facts() const;
  CommandLook look(CommandId id) const { return commandLook(id, facts()); }
  EngineMode mode() const { return mode_; }
  std::uint64_t markIn() const;
  std::uint64_t markOut() const;
  VideoView* videoView() const { return video_; }
  ActivityBrowser* activity() const { return activity_; }
  SkinSlider* positionSlider() const { return position_; }
  StatusStrip* statusStrip() const { return status_; }
  PictureButton* button(CommandId id) const;
  // Every command is an action, however given: a button, a menu item, a
  // shortcut.
  QAction* action(CommandId id) const;
  QMenu* contextMenu(EngineMode mode) const;
  // Opens a recording as the Open File command does with a chosen file.
  bool openRecording(const QString& path);

 signals:
  void firstPictureShown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Set-up.
  void createParts();
  void createControls();
  void createActions();
  void connectAction(CommandId id, QAction* action);
  void createMenus();
  void applySettingsToEngine();
  void collectSettingsFromEngine();

  // Layout.
  void layOut(std::optional<QSize> videoSize);
  void showVideoSize(int videoWidth, int videoHeight);
  // The recording's name, shortened in the middle to fit the title strip.
  void showTitle();
  void showSource(const QString& title, const QString& path, bool opened);

  // Polling the engine.
  void tick();
  void refreshStatus();
  void refreshControls();
  QString viewHint() const;
  void rebuildRecentMenu();

  // Commands the window itself owns.
  void switchMode(EngineMode mode);
  void selectSplit(int cells);
  void viewChanged();
  void adjustSpeed(double delta);
  void showBusy(bool busy);
  // Tells what an action did in the status line (and the --events lines).
  void confirm(const QString& text);
  void exitApplication();

  Setup setup_;
  ViewerSettings settings_;
  QtMessageSink messages_;
  std::unique_ptr<TextPainter> painter_;
  std::unique_ptr<AudioDevice> audio_;
  VideoView* video_ = nullptr;
  std::unique_ptr<PlayerEngine> engine_;
  std::unique_ptr<EventLinePrinter> printer_;
  std::unique_ptr<WindowObserver> observer_;

  // The parts, children of the window.
  BackgroundTask* task_ = nullptr;
  WindowChrome* chrome_ = nullptr;
  PlayerSession* player_ = nullptr;
  ClientSession* client_ = nullptr;
  Captures* captures_ = nullptr;
  OptionsEditor* options_ = nullptr;
  ActivityBrowser* activity_ = nullptr;

  std::map<CommandId, QWidget*> controls_;
  std::map<CommandId, PictureButton*> buttons_;
  std::map<CommandId, QAction*> actions_;
  SkinSlider* position_ = nullptr;
  SkinSlider* volume_ = nullptr;
  StatusStrip* status_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* skinIcon_ = nullptr;
  QMenu* playerMenu_ = nullptr;
  QMenu* clientMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QTimer pollTimer_;

  EngineMode mode_ = EngineMode::Player;
  bool layoutDone_ = false;
  PlaybackState lastStateShown_ = PlaybackState::Idle;
  bool soundOffTold_ = false;
  QString titleText_;
};

}  // namespace marlin::desktop
