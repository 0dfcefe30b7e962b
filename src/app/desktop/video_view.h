#pragma once

#include <QRect>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "render/video_presenter.h"

namespace marlin {
class VideoRenderer;
}

namespace marlin::desktop {

// The video area: the display the renderer composes for. The renderer
// hands over each composed picture (from the thread that delivered it);
// the view keeps one copy as its front picture and paints it straight
// from memory as a 32-bit image in the renderer's own format, so showing
// a picture costs one copy and no conversion. The display takes 32-bit
// pixels, so the renderer composes in them on either of its paths. Mouse events go to the
// renderer, which switches splits on a double-click and records them for
// a DVR's remote control.
class VideoView : public QWidget, public VideoPresenter {
  Q_OBJECT

 public:
  explicit VideoView(QWidget* parent = nullptr);

  void setRenderer(VideoRenderer* renderer) { renderer_ = renderer; }
  // In Player mode a drag on the picture moves the window; in Client mode
  // the pointer belongs to the DVR's remote control.
  void setDragMovesWindow(bool moves) { dragMovesWindow_ = moves; }
  // While there is nothing to show (no recording open, no DVR connected)
  // the view is dark with hint in its middle instead of the last picture,
  // which would look current. Empty for the pictures.
  void setHint(const QString& hint);
  QString hint() const { return hint_; }
  // Pictures presented since the start; for start-up timing and tests.
  int presentedCount() const { return presented_.load(std::memory_order_relaxed); }

  SurfaceFormat surfaceFormat() const override { return SurfaceFormat::Rgb32; }
  Size clientSize() const override;
  void present(const Canvas& back) override;
  void presentArea(const Canvas& back, const Rect& area) override;
  void copyToClipboard(std::span<const std::uint8_t> dib) override;

 signals:
  // The first picture of the session reached the screen.
  void firstPicturePainted();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  VideoRenderer* renderer_ = nullptr;
  std::atomic<int> width_{0};
  std::atomic<int> height_{0};
  std::atomic<int> presented_{0};
  std::atomic<bool> updateQueued_{false};
  bool firstPainted_ = false;
  bool dragMovesWindow_ = true;
  QString hint_;
  QPoint pressedAt_;
  bool pressed_ = false;

  // Copies rows of area into the front picture, opaque; the whole picture
  // when its size changed. Called with frontLock_ held.
  void copyToFront(const Canvas& back, Rect area);
  void requestPaint();

  std::mutex frontLock_;
  // What changed since the last paint request was taken.
  QRect dirty_;
  std::vector<std::uint32_t> front_;
  int frontWidth_ = 0;
  int frontHeight_ = 0;
};

}  // namespace marlin::desktop
