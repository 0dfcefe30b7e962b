#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace marlin::desktop {

class ActivityTracker;
class SkinSlider;

// Where there was activity, above the position slider and on its axis: a
// thin row per camera shown (one merged row when sixteen are), transparent
// where nothing happened and brighter in the accent colour the more did. It
// is drawn once per change of the activity, the cameras or the size into a
// picture the paint only copies.
class HeatStrip : public QWidget {
  Q_OBJECT

 public:
  HeatStrip(const ActivityTracker& tracker, const SkinSlider& axis, QWidget* parent = nullptr);

  // The cameras shown, in the order of their rows; merged into one row.
  void setCameras(std::vector<int> cameras, bool merged);
  // The recording's size: the slider's axis in bytes.
  void setRecordingSize(std::uint64_t size);
  // The activity changed; draws again.
  void refresh();

  // Activity 0..1 per row and pixel column, as drawn; for tests.
  double levelAt(int row, int x) const;
  int rowCount() const { return static_cast<int>(levels_.size()); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void draw();

  const ActivityTracker& tracker_;
  const SkinSlider& axis_;
  std::vector<int> cameras_;
  bool merged_ = false;
  std::uint64_t size_ = 0;
  std::vector<std::vector<float>> levels_;  // per row, per pixel column
  QImage picture_;
};

}  // namespace marlin::desktop
