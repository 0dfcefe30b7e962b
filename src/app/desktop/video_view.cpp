#include "app/desktop/video_view.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <utility>

#include "app/desktop/skin/palette.h"
#include "render/video_renderer.h"

namespace marlin::desktop {

namespace {

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
        update(changed);
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
      const QRect changed = event->rect() & image.rect();
      painter.drawImage(changed.topLeft(), image, changed);
      painted = true;
      if (frontWidth_ < width() || frontHeight_ < height()) {
        painter.fillRect(QRect(frontWidth_, 0, width() - frontWidth_, height()), Qt::black);
        painter.fillRect(QRect(0, frontHeight_, frontWidth_, height() - frontHeight_), Qt::black);
      }
    }
  }
  if (!painted) {
    painter.fillRect(rect(), Qt::black);
  }
  if (painted && !firstPainted_ && presented_.load() > 0) {
    firstPainted_ = true;
    emit firstPicturePainted();
  }
}

void VideoView::resizeEvent(QResizeEvent* event) {
  width_ = width();
  height_ = height();
  if (renderer_ != nullptr) {
    renderer_->resize();
  }
  QWidget::resizeEvent(event);
}

void VideoView::mouseMoveEvent(QMouseEvent* event) {
  if (renderer_ != nullptr) {
    renderer_->mouseMove(pointOf(event), heldButtons(event));
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
  pressed_ = event->button() == Qt::LeftButton;
  pressedAt_ = event->position().toPoint();
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
}

void VideoView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (renderer_ != nullptr) {
    renderer_->doubleClick(event->button() == Qt::LeftButton ? MouseButton::Left : MouseButton::Right, pointOf(event));
  }
  // A double-click on the picture changes its split, not the window's size.
  event->accept();
}

}  // namespace marlin::desktop
