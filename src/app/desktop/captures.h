#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QWidget;

namespace marlin {
class PlayerEngine;
}

namespace marlin::desktop {

class QtMessageSink;
struct ViewerSettings;
struct WindowPrompts;

// What the user keeps of what is shown, in either mode: still captures and
// the AVI capture ("Save AVI"). On a slow connection the capture takes only
// refresh pictures, which it asks the DVR for on a timer of its own.
// A still is what the user sees: while the view is zoomed, zoomedView gives
// that picture and the still is taken from it instead of the renderer.
class Captures : public QObject {
  Q_OBJECT

 public:
  Captures(PlayerEngine& engine, const ViewerSettings& settings, const WindowPrompts& prompts, QtMessageSink& messages,
           std::function<QImage()> zoomedView, QWidget* window);

  QString lastStill() const { return lastStill_; }

 public slots:
  void stillCapture();
  // Starts an AVI capture, asking where and how, or stops the one running.
  void toggleAviCapture();
  void stopAviCapture();

 signals:
  void changed();
  // What an action did, for the status line.
  void confirmed(const QString& text);

 private:
  bool captureUsable() const;

  PlayerEngine& engine_;
  const ViewerSettings& settings_;
  const WindowPrompts& prompts_;
  QtMessageSink& messages_;
  std::function<QImage()> zoomedView_;
  QWidget* window_;
  QTimer refreshTimer_;
  QString lastAviName_ = QStringLiteral("DVR.avi");
  QString lastStill_;
};

}  // namespace marlin::desktop
