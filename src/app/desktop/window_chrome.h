#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace marlin::desktop {

// The frameless window's own frame: its rounded outline and title line, the
// resize grip, moving and resizing by hand (through the window system where
// it can), a double-click to maximise or restore, the size commands and
// staying on top of other windows.
class WindowChrome : public QObject {
  Q_OBJECT

 public:
  explicit WindowChrome(QWidget* window);

  bool alwaysOnTop() const { return alwaysOnTop_; }
  // Set by the last of Normal and Maximize chosen.
  bool normal() const { return normal_; }
  bool maximized() const { return maximized_; }

 public slots:
  void setAlwaysOnTop(bool on);
  void toggleAlwaysOnTop() { setAlwaysOnTop(!alwaysOnTop_); }
  void showNormalSize();
  void showMaximizedSize();
  void minimise();
  // Puts the window on top or not, as chosen; the window system needs the
  // window shown again after a change of flags.
  void applyTopmost();

 signals:
  // The window's size changed by hand: its controls are to be placed again.
  void resizedByHand();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void paint();
  bool inResizeGrip(const QPoint& point) const;
  bool mousePress(QMouseEvent* event);
  void mouseMove(QMouseEvent* event);
  bool mouseDoubleClick(QMouseEvent* event);

  QWidget* window_;
  bool alwaysOnTop_ = false;
  bool normal_ = false;
  bool maximized_ = false;
  bool resizing_ = false;
  bool moving_ = false;
  QPoint dragOffset_;
};

}  // namespace marlin::desktop
