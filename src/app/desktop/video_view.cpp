#include "app/desktop/video_view.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "app/desktop/skin/palette.h"
#include "render/video_renderer.h"

namespace marlin::desktop {

namespace {

// Each wheel notch (120 units of angle) zooms by this much; finer wheels
// zoom by their share of a notch.
constexpr double kZoomPerNotch = 1.25;
// Drags shorter than this on either side mark no region: a Shift-click is
// not a region.
constexpr int kSmallestRegion = 4;

Point pointOf(const QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  return {p.x(), p.y()};
}

unsigned heldButtons(const QMouseEvent* event) {
  unsigned held = 0;
  if (event->buttons() & Qt::LeftButton) {
    held |= kLeftButtonHeld;
  }
  if (event->buttons() & Qt::RightButton) {
    held |= kRightButtonHeld;
  }
  return held;
}

// A 24-bit bottom-up bitmap (40-byte header, rows padded to 4 bytes) as an image.
QImage imageOfDib(std::span<const std::uint8_t> dib) {
  if (dib.size() < 40) {
    return {};
  }
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::memcpy(&width, dib.data() + 4, 4);
  std::memcpy(&height, dib.data() + 8, 4);
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    return {};
  }
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  if (dib.size() < 40 + stride * static_cast<std::size_t>(height)) {
    return {};
  }
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = dib.data() + 40 + stride * static_cast<std::size_t>(height - 1 - y);
    std::uint8_t* out = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      out[3 * x] = row[3 * x + 2];
      out[3 * x + 1] = row[3 * x + 1];
      out[3 * x + 2] = row[3 * x];
    }
  }
  return image;
}

}  // namespace

VideoView::VideoView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("videoView"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

Size VideoView::clientSize() const { return {width_.load(), height_.load()}; }

void VideoView::present(const Canvas& back) { presentArea(back, {0, 0, back.width(), back.height()}); }

void VideoView::presentArea(const Canvas& back, const Rect& area) {
  {
    std::lock_guard guard(frontLock_);
    copyToFront(back, area);
  }
  presented_.fetch_add(1, std::memory_order_relaxed);
  requestPaint();
}

void VideoView::copyToFront(const Canvas& back, Rect area) {
  if (back.width() != frontWidth_ || back.height() != frontHeight_) {
    front_.resize(static_cast<std::size_t>(back.width()) * static_cast<std::size_t>(back.height()));
    frontWidth_ = back.width();
    frontHeight_ = back.height();
    area = {0, 0, frontWidth_, frontHeight_};
  }
  area.left = std::clamp(area.left, 0, frontWidth_);
  area.right = std::clamp(area.right, area.left, frontWidth_);
  area.top = std::clamp(area.top, 0, frontHeight_);
  area.bottom = std::clamp(area.bottom, area.top, frontHeight_);
  // The renderer leaves the fourth byte 0; a window with an alpha channel
  // would show that as transparent, so the copy makes every pixel opaque.
  for (int y = area.top; y < area.bottom; ++y) {
    const std::uint8_t* in = back.row(y) + 4 * static_cast<std::size_t>(area.left);
    std::uint32_t* out = front_.data() + static_cast<std::size_t>(y) * frontWidth_ + area.left;
    for (int x = 0; x < area.width(); ++x) {
      std::uint32_t pixel;
      std::memcpy(&pixel, in + 4 * x, 4);
      out[x] = pixel | 0xFF000000u;
    }
  }
  dirty_ |= QRect(area.left, area.top, area.width(), area.height());
}

// One repaint request at a time: pictures that come faster than the screen
// takes them are folded into the next paint.
void VideoView::requestPaint() {
  if (updateQueued_.exchange(true)) {
    return;
  }
  QMetaObject::invokeMethod(
      this,
      [this] {
        updateQueued_ = false;
        QRect changed;
        {
          std::lock_guard guard(frontLock_);
          changed = std::exchange(dirty_, QRect());
        }
        // While zoomed a change covers more of the view than its pixels.
        update(zoom_ > 1.0 ? shownArea(changed) : changed);
      },
      Qt::QueuedConnection);
}

void VideoView::copyToClipboard(std::span<const std::uint8_t> dib) {
  QImage image = imageOfDib(dib);
  if (image.isNull()) {
    return;
  }
  if (QThread::currentThread() == qApp->thread()) {
    QApplication::clipboard()->setImage(image);
    return;
  }
  QMetaObject::invokeMethod(
      qApp, [image] { QApplication::clipboard()->setImage(image); }, Qt::QueuedConnection);
}

void VideoView::setHint(const QString& hint) {
  if (hint == hint_) {
    return;
  }
  hint_ = hint;
  update();
}

void VideoView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (!hint_.isEmpty()) {
    painter.fillRect(rect(), skin::kVideoGap);
    QFont font = painter.font();
    font.setPointSizeF(11.0);
    painter.setFont(font);
    painter.setPen(skin::kMutedText);
    painter.drawText(rect(), Qt::AlignCenter, hint_);
    return;
  }
  bool painted = false;
  {
    std::lock_guard guard(frontLock_);
    if (frontWidth_ > 0 && frontHeight_ > 0) {
      const QImage image(reinterpret_cast<const uchar*>(front_.data()), frontWidth_, frontHeight_, frontWidth_ * 4,
                         QImage::Format_RGB32);
      if (zoom_ > 1.0) {
        drawZoomed(painter, image);
      } else {
        const QRect changed = event->rect() & image.rect();
        painter.drawImage(changed.topLeft(), image, changed);
        if (frontWidth_ < width() || frontHeight_ < height()) {
          painter.fillRect(QRect(frontWidth_, 0, width() - frontWidth_, height()), Qt::black);
          painter.fillRect(QRect(0, frontHeight_, frontWidth_, height() - frontHeight_), Qt::black);
        }
      }
      painted = true;
    }
  }
  if (!painted) {
    painter.fillRect(rect(), Qt::black);
  }
  if (region_ || drawing_) {
    drawRegion(painter);
  }
  if (painted && !firstPainted_ && presented_.load() > 0) {
    firstPainted_ = true;
    emit firstPicturePainted();
  }
}

void VideoView::resizeEvent(QResizeEvent* event) {
  width_ = width();
  height_ = height();
  clampOrigin();
  if (renderer_ != nullptr) {
    renderer_->resize();
  }
  QWidget::resizeEvent(event);
}

void VideoView::mouseMoveEvent(QMouseEvent* event) {
  if (renderer_ != nullptr) {
    renderer_->mouseMove(pointOf(event), heldButtons(event));
  }
  if (drawing_) {
    drawnTo_ = event->position().toPoint();
    update();
    return;
  }
  if (panning_) {
    origin_ = originAtPress_ - (event->position() - QPointF(pressedAt_)) / zoom_;
    clampOrigin();
    update();
    return;
  }
  if (pressed_ && dragMovesWindow_ && (event->buttons() & Qt::LeftButton) &&
      (event->position().toPoint() - pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
    pressed_ = false;
    if (QWindow* handle = window()->windowHandle()) {
      handle->startSystemMove();
    }
  }
}

void VideoView::mousePressEvent(QMouseEvent* event) {
  if (renderer_ != nullptr && (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
    renderer_->buttonDown(event->button() == Qt::LeftButton ? MouseButton::Left : MouseButton::Right, pointOf(event));
  }
  pressedAt_ = event->position().toPoint();
  pressed_ = false;
  panning_ = false;
  if (std::exchange(drawing_, false)) {
    update();
  }
  if (event->button() == Qt::LeftButton) {
    // Marking a region and panning take the drag that would move the window.
    if (regionAllowed_ && (event->modifiers() & Qt::ShiftModifier)) {
      drawing_ = true;
      drawnTo_ = pressedAt_;
    } else if (zoom_ > 1.0) {
      panning_ = true;
      originAtPress_ = origin_;
    } else {
      pressed_ = true;
    }
  }
  // The window opens its menu on a right click.
  if (event->button() == Qt::RightButton) {
    event->ignore();
  }
}

void VideoView::mouseReleaseEvent(QMouseEvent* event) {
  if (renderer_ != nullptr && (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
    renderer_->buttonUp(event->button() == Qt::LeftButton ? MouseButton::Left : MouseButton::Right, pointOf(event));
  }
  pressed_ = false;
  if (event->button() != Qt::LeftButton) {
    return;
  }
  panning_ = false;
  if (!drawing_) {
    return;
  }
  drawing_ = false;
  update();
  const QRectF band = QRectF(QPointF(pressedAt_), event->position()).normalized();
  if (band.width() < kSmallestRegion || band.height() < kSmallestRegion) {
    return;
  }
  const QSizeF picture = pictureSize();
  const auto normalised = [&](QPointF viewPoint) {
    const QPointF p = pictureAt(viewPoint);
    return QPointF(std::clamp(p.x() / picture.width(), 0.0, 1.0), std::clamp(p.y() / picture.height(), 0.0, 1.0));
  };
  region_ = QRectF(normalised(band.topLeft()), normalised(band.bottomRight()));
  emit regionDrawn(*region_);
}

void VideoView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (renderer_ != nullptr) {
    renderer_->doubleClick(event->button() == Qt::LeftButton ? MouseButton::Left : MouseButton::Right, pointOf(event));
  }
  // A double-click on the picture changes its split, not the window's size.
  event->accept();
}

void VideoView::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y();
  if (!zoomAllowed_ || notches == 0) {
    QWidget::wheelEvent(event);
    return;
  }
  setZoom(zoom_ * std::pow(kZoomPerNotch, notches / 120.0), event->position());
  event->accept();
}

void VideoView::setZoomAllowed(bool allowed) {
  zoomAllowed_ = allowed;
  if (!allowed) {
    resetZoom();
  }
}

void VideoView::resetZoom() {
  panning_ = false;
  if (zoom_ == 1.0) {
    return;
  }
  zoom_ = 1.0;
  origin_ = {};
  update();
  emit zoomChanged(zoom_);
}

void VideoView::setZoom(double zoom, QPointF anchor) {
  // Steps up and back down come to 1 only roughly; a hair above 1 would
  // leave the view zoomed with nothing to show for it.
  if (zoom < 1.001) {
    zoom = 1.0;
  }
  zoom = std::min(zoom, kMaxZoom);
  if (zoom == zoom_) {
    return;
  }
  // The picture point under the pointer stays under it.
  const QPointF held = pictureAt(anchor);
  zoom_ = zoom;
  origin_ = held - anchor / zoom_;
  clampOrigin();
  update();
  emit zoomChanged(zoom_);
}

// The zoomed view never runs past the picture's edges.
void VideoView::clampOrigin() {
  const double spare = 1.0 - 1.0 / zoom_;
  origin_.setX(std::clamp(origin_.x(), 0.0, width() * spare));
  origin_.setY(std::clamp(origin_.y(), 0.0, height() * spare));
}

QPointF VideoView::pictureAt(QPointF viewPoint) const { return origin_ + viewPoint / zoom_; }

QPointF VideoView::viewAt(QPointF picturePoint) const { return (picturePoint - origin_) * zoom_; }

QSizeF VideoView::pictureSize() const {
  std::lock_guard guard(frontLock_);
  if (frontWidth_ > 0 && frontHeight_ > 0) {
    return QSizeF(frontWidth_, frontHeight_);
  }
  return QSizeF(std::max(width(), 1), std::max(height(), 1));
}

QRect VideoView::shownArea(const QRect& pictureArea) const {
  if (pictureArea.isEmpty()) {
    return {};
  }
  // Smooth scaling blends each pixel into its neighbours.
  const QRectF padded = QRectF(pictureArea).adjusted(-1, -1, 1, 1);
  return QRectF(viewAt(padded.topLeft()), padded.size() * zoom_).toAlignedRect() & rect();
}

void VideoView::drawZoomed(QPainter& painter, const QImage& picture) const {
  const QRectF source(origin_, QSizeF(width() / zoom_, height() / zoom_));
  const QRectF shown = source & QRectF(picture.rect());
  if (shown != source) {
    painter.fillRect(rect(), Qt::black);
  }
  if (shown.isEmpty()) {
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(viewAt(shown.topLeft()), shown.size() * zoom_), picture, shown);
}

void VideoView::drawRegion(QPainter& painter) const {
  painter.setRenderHint(QPainter::Antialiasing);
  QPen outline(skin::kAccent, 1.5);
  outline.setJoinStyle(Qt::MiterJoin);
  painter.setPen(outline);
  if (region_) {
    const QSizeF picture = pictureSize();
    const QRectF area(region_->x() * picture.width(), region_->y() * picture.height(),
                      region_->width() * picture.width(), region_->height() * picture.height());
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(viewAt(area.topLeft()), viewAt(area.bottomRight())));
  }
  if (drawing_) {
    QColor fill = skin::kAccent;
    fill.setAlpha(56);
    painter.setBrush(fill);
    painter.drawRect(QRectF(QPointF(pressedAt_), QPointF(drawnTo_)).normalized());
  }
}

QImage VideoView::zoomedPicture() const {
  if (zoom_ <= 1.0) {
    return {};
  }
  QImage shown(size(), QImage::Format_RGB32);
  shown.fill(Qt::black);
  std::lock_guard guard(frontLock_);
  if (frontWidth_ <= 0 || frontHeight_ <= 0) {
    return {};
  }
  const QImage image(reinterpret_cast<const uchar*>(front_.data()), frontWidth_, frontHeight_, frontWidth_ * 4,
                     QImage::Format_RGB32);
  QPainter painter(&shown);
  drawZoomed(painter, image);
  painter.end();
  return shown;
}

void VideoView::setRegionDrawingAllowed(bool allowed) {
  regionAllowed_ = allowed;
  if (!allowed) {
    if (drawing_) {
      drawing_ = false;
      update();
    }
    clearRegion();
  }
}

void VideoView::clearRegion() {
  if (!region_) {
    return;
  }
  region_.reset();
  update();
  emit regionCleared();
}

}  // namespace marlin::desktop
