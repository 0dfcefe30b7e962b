#include "app/desktop/skin/picture_button.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

#include "app/desktop/skin/icon_cache.h"
#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

PictureButton::PictureButton(int commandId, const QString& iconName, const QString& toolTip, QWidget* parent)
    : QAbstractButton(parent), commandId_(commandId), iconName_(iconName) {
  setToolTip(toolTip);
  setAccessibleName(toolTip);
  setFocusPolicy(Qt::TabFocus);
  setCursor(Qt::PointingHandCursor);
  setObjectName(QStringLiteral("button%1").arg(commandId));
}

void PictureButton::setIconName(const QString& name) {
  if (name == iconName_) {
    return;
  }
  iconName_ = name;
  update();
}

QSize PictureButton::sizeHint() const { return {30, 30}; }

void PictureButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void PictureButton::focusInEvent(QFocusEvent* event) {
  keyboardFocus_ = event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
  QAbstractButton::focusInEvent(event);
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (!isEnabled()) {
    painter.setOpacity(skin::kDisabledOpacity);
  }
  const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const qreal radius = style_ == Style::Segment ? 5.0 : 6.0;
  const bool active = isEnabled();
  QColor fill = Qt::transparent;
  QColor outline = Qt::transparent;
  QColor ink = skin::kIcon;
  if (active && isDown()) {
    fill = skin::kAccent;
    ink = Qt::white;
  } else if (isChecked() && style_ == Style::Segment) {
    fill = skin::kAccent;
    ink = Qt::white;
  } else if (active && hovered_) {
    fill = danger_ ? QColor(0xC4, 0x2B, 0x1C) : skin::kHover;
    ink = danger_ ? Qt::white : skin::kText;
  }
  if (isChecked() && style_ != Style::Segment) {
    outline = skin::kAccent;
    if (!isDown()) {
      ink = QColor(0x8A, 0xB8, 0xFA);
    }
  }
  if (style_ == Style::Text && fill == Qt::transparent) {
    fill = QColor(0x20, 0x23, 0x2A);
    outline = outline == Qt::transparent ? skin::kBorder : outline;
  }
  painter.setPen(outline == Qt::transparent ? Qt::NoPen : QPen(outline, 1.2));
  painter.setBrush(fill);
  painter.drawRoundedRect(box, radius, radius);
  if (hasFocus() && keyboardFocus_) {
    painter.setPen(QPen(skin::kAccent, 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box.adjusted(1.0, 1.0, -1.0, -1.0), radius - 1, radius - 1);
  }

  const int iconSize = style_ == Style::Icon ? qMin(20, height() - 8) : qMin(16, height() - 5);
  const QPixmap icon = iconName_.isEmpty() ? QPixmap() : tintedIcon(iconName_, iconSize, ink, devicePixelRatioF());
  const QString label = text();
  if (label.isEmpty()) {
    if (!icon.isNull()) {
      painter.drawPixmap(QPointF((width() - iconSize) / 2.0, (height() - iconSize) / 2.0), icon);
    }
    return;
  }
  QFont font = painter.font();
  font.setPointSizeF(9.0);
  font.setWeight(QFont::DemiBold);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const int gap = icon.isNull() ? 0 : 5;
  const int contentWidth = (icon.isNull() ? 0 : iconSize) + gap + metrics.horizontalAdvance(label);
  qreal x = (width() - contentWidth) / 2.0;
  if (!icon.isNull()) {
    painter.drawPixmap(QPointF(x, (height() - iconSize) / 2.0), icon);
    x += iconSize + gap;
  }
  painter.setPen(ink == skin::kIcon ? skin::kText : ink);
  painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignVCenter | Qt::AlignLeft, label);
}

}  // namespace marlin::desktop
