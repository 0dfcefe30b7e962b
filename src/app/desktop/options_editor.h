#pragma once

#include <QObject>

class QWidget;

namespace marlin {
class PlayerEngine;
}

namespace marlin::desktop {

class WindowChrome;
struct ViewerSettings;

// The Options and Network Options dialogs, filled from the engine and the
// settings and applied back to them, and the About box.
class OptionsEditor : public QObject {
  Q_OBJECT

 public:
  OptionsEditor(PlayerEngine& engine, ViewerSettings& settings, WindowChrome& chrome, QWidget* window);

 public slots:
  void showPlayerOptions();
  void showNetworkOptions();
  void showAbout();

 private:
  PlayerEngine& engine_;
  ViewerSettings& settings_;
  WindowChrome& chrome_;
  QWidget* window_;
};

}  // namespace marlin::desktop
