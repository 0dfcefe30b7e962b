#pragma once

#include <QAbstractSlider>
#include <QString>
#include <functional>
#include <optional>

namespace marlin::desktop {

// A horizontal slider of the skin: a thin track, the part before the handle
// in the accent colour, a round handle that grows under the pointer. A press
// on the track jumps there. moved() is sent while the user drags, released()
// when the button goes up; neither is sent when the program sets the value.
class SkinSlider : public QAbstractSlider {
  Q_OBJECT

 public:
  explicit SkinSlider(int id, QWidget* parent = nullptr);

  int id() const { return id_; }
  // The tooltip over the track: the text for the value under the pointer.
  void setHoverText(std::function<QString(int value)> text) { hoverText_ = std::move(text); }
  bool dragging() const { return dragging_; }
  // Marks drawn on the track (Mark In, Mark Out) in the slider's units;
  // nothing for one not set.
  void setMarks(std::optional<int> in, std::optional<int> out);
  std::optional<int> markIn() const { return markIn_; }
  std::optional<int> markOut() const { return markOut_; }
  QSize sizeHint() const override { return {120, 14}; }
  // Where a value lies on the track; what is drawn along the slider's axis
  // (the activity strip) places itself by it.
  double xOf(double value) const;

 signals:
  void moved(int id, int value);
  void released(int id, int value);
  // The pointer rests over the track at value (at global, on the screen),
  // and left it.
  void hovered(int value, QPoint global);
  void hoverEnded();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int valueAt(double x) const;
  double handleX() const;

  int id_;
  bool hovered_ = false;
  bool dragging_ = false;
  std::function<QString(int)> hoverText_;
  std::optional<int> markIn_;
  std::optional<int> markOut_;
};

}  // namespace marlin::desktop
