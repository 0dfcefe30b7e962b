#include "app/desktop/skin/skin_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

namespace {

constexpr double kHandleRadius = 6.0;

}  // namespace

SkinSlider::SkinSlider(int id, QWidget* parent) : QAbstractSlider(parent), id_(id) {
  setOrientation(Qt::Horizontal);
  setMouseTracking(true);
  setFocusPolicy(Qt::TabFocus);
  setObjectName(QStringLiteral("slider%1").arg(id));
}

double SkinSlider::xOf(double at) const {
  const double span = width() - 2 * kHandleRadius;
  const double range = static_cast<double>(maximum()) - minimum();
  const double share = range > 0 ? (at - minimum()) / range : 0.0;
  return kHandleRadius + share * span;
}

double SkinSlider::handleX() const { return xOf(value()); }

void SkinSlider::setMarks(std::optional<int> in, std::optional<int> out) {
  if (in == markIn_ && out == markOut_) {
    return;
  }
  markIn_ = in;
  markOut_ = out;
  update();
}

int SkinSlider::valueAt(double x) const {
  const double span = width() - 2 * kHandleRadius;
  const double share = span > 0 ? qBound(0.0, (x - kHandleRadius) / span, 1.0) : 0.0;
  return minimum() + qRound(share * (static_cast<double>(maximum()) - minimum()));
}

void SkinSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (!isEnabled()) {
    painter.setOpacity(skin::kDisabledOpacity);
  }
  const double middle = height() / 2.0;
  const double x = handleX();
  painter.setPen(Qt::NoPen);
  painter.setBrush(skin::kBorder);
  painter.drawRoundedRect(QRectF(kHandleRadius, middle - 2, width() - 2 * kHandleRadius, 4), 2, 2);
  painter.setBrush(skin::kAccent);
  painter.drawRoundedRect(QRectF(kHandleRadius, middle - 2, x - kHandleRadius, 4), 2, 2);
  // The marked range as a band over the track, each mark as an upright tick.
  const QColor markColour(0xF5, 0xB7, 0x2E);
  if (markIn_ && markOut_ && *markOut_ > *markIn_) {
    QColor band = markColour;
    band.setAlpha(110);
    painter.setBrush(band);
    painter.drawRect(QRectF(xOf(*markIn_), middle - 3, xOf(*markOut_) - xOf(*markIn_), 6));
  }
  painter.setBrush(markColour);
  for (const std::optional<int>& mark : {markIn_, markOut_}) {
    if (mark) {
      painter.drawRect(QRectF(xOf(*mark) - 1, 0, 2, height()));
    }
  }
  const double radius = (hovered_ || dragging_) ? kHandleRadius : kHandleRadius - 1.5;
  painter.setBrush(QColor(0xE6, 0xE9, 0xEE));
  if (hasFocus()) {
    painter.setPen(QPen(skin::kAccent, 2));
  }
  painter.drawEllipse(QPointF(x, middle), radius, radius);
}

void SkinSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || maximum() <= minimum()) {
    event->ignore();
    return;
  }
  dragging_ = true;
  setValue(valueAt(event->position().x()));
  emit moved(id_, value());
  update();
}

void SkinSlider::mouseMoveEvent(QMouseEvent* event) {
  const int under = valueAt(event->position().x());
  if (dragging_) {
    if (under != value()) {
      setValue(under);
      emit moved(id_, value());
    }
  }
  if (maximum() > minimum()) {
    emit hovered(under, event->globalPosition().toPoint());
  }
  if (hoverText_) {
    const QString text = hoverText_(under);
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(event->globalPosition().toPoint() + QPoint(0, -36), text, this);
    }
  }
}

void SkinSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) {
    return;
  }
  dragging_ = false;
  emit released(id_, value());
  update();
}

void SkinSlider::keyPressEvent(QKeyEvent* event) {
  const int step = qMax(1, (maximum() - minimum()) / 100);
  int next = value();
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
      next -= step;
      break;
    case Qt::Key_Right:
    case Qt::Key_Up:
      next += step;
      break;
    case Qt::Key_Home:
      next = minimum();
      break;
    case Qt::Key_End:
      next = maximum();
      break;
    default:
      QAbstractSlider::keyPressEvent(event);
      return;
  }
  setValue(qBound(minimum(), next, maximum()));
  emit moved(id_, value());
  emit released(id_, value());
}

void SkinSlider::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractSlider::enterEvent(event);
}

void SkinSlider::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  emit hoverEnded();
  QAbstractSlider::leaveEvent(event);
}

}  // namespace marlin::desktop
