#pragma once

#include <QFuture>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop/command_line.h"
#include "app/desktop/command_rules.h"
#include "app/desktop/qt_message_sink.h"
#include "app/desktop/settings.h"
#include "app/desktop/window_prompts.h"
#include "engine/engine_types.h"
#include "net/client_observer.h"

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

class PictureButton;
class SkinSlider;
class StatusStrip;
class VideoView;
class WindowObserver;

// The application's window: the video area the engine draws into, the
// title strip, the status strip, the position slider and the button rows
// of Player and Client mode, placed by the layout table. It owns the engine
// for its whole life, routes every button, menu item and shortcut to it as
// a command, and learns the engine's state by polling it from its timers.
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

  // Every command, however given: a button, a menu item, a shortcut.
  void runCommand(int id);

  PlayerEngine& engine() { return *engine_; }
  QtMessageSink& messages() { return messages_; }
  const ViewerSettings& settings() const { return settings_; }
  WindowFacts facts() const;
  CommandLook look(int id) const { return commandLook(id, facts()); }
  int mode() const { return mode_; }
  std::uint64_t markIn() const { return markIn_; }
  std::uint64_t markOut() const { return markOut_; }
  VideoView* videoView() const { return video_; }
  StatusStrip* statusStrip() const { return status_; }
  PictureButton* button(int id) const;
  QAction* action(int id) const;
  QMenu* contextMenu(int mode) const;
  // Opens a recording as the Open File command does with a chosen file.
  bool openRecording(const QString& path);

 signals:
  void firstPictureShown();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Set-up.
  void createControls();
  void createActions();
  void createMenus();
  void applySettingsToEngine();
  void collectSettingsFromEngine();

  // Layout.
  void layOut(std::optional<QSize> videoSize);
  void applyTopmost();
  // The recording's name, shortened in the middle to fit the title strip.
  void showTitle();
  bool inResizeGrip(const QPoint& point) const;

  // Timers.
  void tick(bool captureTimer);
  void drainKeyBuffer();
  void refreshStatus();
  void refreshControls();
  void updateActions();

  // Commands.
  void switchMode(int mode);
  void openFile();
  void openDisk();
  bool openSource(const QString& path, bool isDisk);
  void closeFile();
  void selectSplit(int cells);
  void stillCapture();
  void exportRange();
  void startLocalRecording();
  void stopLocalRecording();
  void toggleAviCapture();
  void connectOrDisconnect();
  void connectTo(const LoginValues& login);
  void handleNotice(net::ClientNotice notice);
  void endSession();
  void exitApplication();
  void showAbout();
  void showExportAvi();
  void showOptions();
  void showNetworkOptions();
  void goToTime();
  void setAlwaysOnTop(bool on);
  void showSizeFor(int videoWidth, int videoHeight);
  void adjustSpeed(double delta);
  void addRecentFile(const QString& path);
  void rebuildRecentMenu();

  Setup setup_;
  ViewerSettings settings_;
  std::vector<std::string> recentFiles_;
  QtMessageSink messages_;
  std::unique_ptr<TextPainter> painter_;
  std::unique_ptr<AudioDevice> audio_;
  VideoView* video_ = nullptr;
  std::unique_ptr<PlayerEngine> engine_;
  std::unique_ptr<EventLinePrinter> printer_;
  std::unique_ptr<WindowObserver> observer_;

  std::map<int, QWidget*> controls_;
  std::map<int, PictureButton*> buttons_;
  std::map<int, QAction*> actions_;
  SkinSlider* position_ = nullptr;
  SkinSlider* volume_ = nullptr;
  StatusStrip* status_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* skinIcon_ = nullptr;
  QMenu* playerMenu_ = nullptr;
  QMenu* clientMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QMenu* appMenu_ = nullptr;
  QTimer secondTimer_;
  QTimer statusTimer_;
  QTimer captureTimer_;

  int mode_ = 1;
  std::uint64_t markIn_ = 0;
  std::uint64_t markOut_ = 0;
  bool alwaysOnTop_ = false;
  bool normal_ = false;
  bool maximized_ = false;
  bool layoutDone_ = false;
  bool autoConnect_ = false;
  bool sessionWanted_ = false;
  bool busy_ = false;
  QFuture<int> rangeCopy_;
  PlaybackState lastStateShown_ = PlaybackState::Idle;
  int aviCaptureMode_ = 7;
  QString lastAviName_ = QStringLiteral("DVR.avi");
  QString titleText_;
  QString lastStill_;
  std::string sourcePath_;
  bool sourceIsDisk_ = false;
  // The key buffer: the last key pressed, waiting for the timer.
  int pendingKey_ = 0;
  QString pendingText_;
  // Moving and resizing the frameless window by hand where the window
  // system does not do it.
  bool resizing_ = false;
  bool moving_ = false;
  QPoint dragOffset_;
  QPoint pressPoint_;
};

}  // namespace marlin::desktop
