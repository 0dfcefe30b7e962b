#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "render/video_presenter.h"

class QPainter;

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
//
// On a single camera the window lets the user look closer: the wheel zooms
// the picture around the pointer and a drag pans it, and a Shift-drag marks
// a region of the picture. Both are the view's own business; the renderer
// keeps composing the whole picture and the zoom is applied when painting.
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

  // Zoom is offered only while one camera fills the view; taking it away
  // goes back to the whole picture.
  void setZoomAllowed(bool allowed);
  // 1 for the whole picture, up to kMaxZoom.
  double zoom() const { return zoom_; }
  void resetZoom();
  // What the user sees while zoomed, at the view's size; null at 1x, where
  // the renderer's own picture is the same thing.
  QImage zoomedPicture() const;

  void setRegionDrawingAllowed(bool allowed);
  // The marked region in the picture's coordinates, 0..1 across and down.
  std::optional<QRectF> region() const { return region_; }
  void clearRegion();

  static constexpr double kMaxZoom = 8.0;

 signals:
  // The first picture of the session reached the screen.
  void firstPicturePainted();
  // For the status line; 1 when back to the whole picture.
  void zoomChanged(double factor);
  // area as region() gives it.
  void regionDrawn(QRectF area);
  void regionCleared();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

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

  // Zoom and pan. origin_ is the view point, in 1x coordinates, shown at
  // the top-left corner: view point p shows origin_ + p / zoom_. Touched
  // only on the GUI thread.
  bool zoomAllowed_ = false;
  double zoom_ = 1.0;
  QPointF origin_;
  bool panning_ = false;
  QPointF originAtPress_;

  bool regionAllowed_ = false;
  bool drawing_ = false;
  QPoint drawnTo_;
  std::optional<QRectF> region_;

  void setZoom(double zoom, QPointF anchor);
  void clampOrigin();
  QPointF pictureAt(QPointF viewPoint) const;
  QPointF viewAt(QPointF picturePoint) const;
  // The front picture's size; the view's before the first picture.
  QSizeF pictureSize() const;
  // What a change to area of the picture covers in the view while zoomed.
  QRect shownArea(const QRect& pictureArea) const;
  // The zoomed source of picture scaled over the whole view.
  void drawZoomed(QPainter& painter, const QImage& picture) const;
  void drawRegion(QPainter& painter) const;

  // Copies rows of area into the front picture, opaque; the whole picture
  // when its size changed. Called with frontLock_ held.
  void copyToFront(const Canvas& back, Rect area);
  void requestPaint();

  mutable std::mutex frontLock_;
  // What changed since the last paint request was taken.
  QRect dirty_;
  std::vector<std::uint32_t> front_;
  int frontWidth_ = 0;
  int frontHeight_ = 0;
};

}  // namespace marlin::desktop
