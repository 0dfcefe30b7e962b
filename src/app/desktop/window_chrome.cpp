#include "app/desktop/window_chrome.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "app/desktop/skin/palette.h"
#include "app/desktop/window_layout.h"

namespace marlin::desktop {

namespace {

constexpr int kGripSize = 16;

}  // namespace

WindowChrome::WindowChrome(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }

bool WindowChrome::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) {
    return false;
  }
  switch (event->type()) {
    case QEvent::Paint:
      paint();
      return true;
    case QEvent::MouseButtonPress:
      return mousePress(static_cast<QMouseEvent*>(event));
    case QEvent::MouseMove:
      mouseMove(static_cast<QMouseEvent*>(event));
      return true;
    case QEvent::MouseButtonRelease:
      resizing_ = false;
      moving_ = false;
      return false;
    case QEvent::MouseButtonDblClick:
      return mouseDoubleClick(static_cast<QMouseEvent*>(event));
    case QEvent::WindowStateChange:
      window_->update();
      return false;
    default:
      return false;
  }
}

void WindowChrome::paint() {
  QPainter painter(window_);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool rounded = !window_->isMaximized() && !window_->isFullScreen();
  const qreal radius = rounded ? skin::kCornerRadius : 0;
  QPainterPath outline;
  outline.addRoundedRect(QRectF(window_->rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  painter.fillPath(outline, skin::kWindow);
  painter.setPen(QPen(skin::kBorder, 1));
  painter.drawPath(outline);
  // The title strip sits a shade apart from the controls below the video.
  painter.setPen(QPen(QColor(0x20, 0x23, 0x2A), 1));
  painter.drawLine(QPointF(1, 24.5), QPointF(window_->width() - 1, 24.5));
  // The resize grip: three dots rising to the corner.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x4A, 0x50, 0x5B));
  const QPointF corner(window_->width() - 5.0, window_->height() - 5.0);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column <= row; ++column) {
      painter.drawEllipse(corner - QPointF(column * 4.0, (row - column) * 4.0), 1.0, 1.0);
    }
  }
}

bool WindowChrome::inResizeGrip(const QPoint& point) const {
  return point.x() >= window_->width() - kGripSize && point.y() >= window_->height() - kGripSize;
}

bool WindowChrome::mousePress(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    return false;
  }
  QWindow* handle = window_->windowHandle();
  if (inResizeGrip(event->position().toPoint())) {
    if (handle == nullptr || !handle->startSystemResize(Qt::BottomEdge | Qt::RightEdge)) {
      resizing_ = true;
      dragOffset_ = QPoint(window_->width(), window_->height()) - event->position().toPoint();
    }
    return true;
  }
  if (handle == nullptr || !handle->startSystemMove()) {
    moving_ = true;
    dragOffset_ = event->globalPosition().toPoint() - window_->frameGeometry().topLeft();
  }
  return true;
}

void WindowChrome::mouseMove(QMouseEvent* event) {
  window_->setCursor(inResizeGrip(event->position().toPoint()) || resizing_ ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
  if (resizing_) {
    const QPoint corner = event->position().toPoint() + dragOffset_;
    window_->resize(qMax(kMinimumWidth, corner.x()), qMax(kMinimumHeight, corner.y()));
    emit resizedByHand();
  } else if (moving_) {
    window_->move(event->globalPosition().toPoint() - dragOffset_);
  }
}

bool WindowChrome::mouseDoubleClick(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || inResizeGrip(event->position().toPoint())) {
    return true;
  }
  const QScreen* screen = window_->screen();
  if (!window_->isMaximized() && (screen == nullptr || window_->width() < screen->availableGeometry().width())) {
    showMaximizedSize();
  } else {
    showNormalSize();
  }
  return true;
}

void WindowChrome::setAlwaysOnTop(bool on) {
  alwaysOnTop_ = on;
  applyTopmost();
}

void WindowChrome::applyTopmost() {
  const bool isOnTop = (window_->windowFlags() & Qt::WindowStaysOnTopHint) != 0;
  if (isOnTop == alwaysOnTop_) {
    return;
  }
  const bool wasVisible = window_->isVisible();
  window_->setWindowFlag(Qt::WindowStaysOnTopHint, alwaysOnTop_);
  if (wasVisible) {
    window_->show();
  }
}

void WindowChrome::showNormalSize() {
  normal_ = true;
  maximized_ = false;
  window_->showNormal();
}

void WindowChrome::showMaximizedSize() {
  maximized_ = true;
  normal_ = false;
  window_->showMaximized();
}

void WindowChrome::minimise() { window_->showMinimized(); }

}  // namespace marlin::desktop
