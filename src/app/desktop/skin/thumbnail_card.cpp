#include "app/desktop/skin/thumbnail_card.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

namespace {

constexpr int kPadding = 4;
constexpr int kTimeHeight = 18;

}  // namespace

ThumbnailCard::ThumbnailCard(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("thumbnailCard"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  hide();
}

void ThumbnailCard::showFor(QPoint anchor, const QString& time, QSize placeholder) {
  anchor_ = anchor;
  time_ = time;
  pictureSize_ = placeholder;
  picture_ = QImage();
  place();
  show();
  raise();
  update();
}

void ThumbnailCard::setPicture(const QImage& picture) {
  picture_ = picture;
  if (!picture.isNull()) {
    pictureSize_ = picture.size();
  }
  place();
  update();
}

void ThumbnailCard::place() {
  const QSize size(pictureSize_.width() + 2 * kPadding, pictureSize_.height() + kTimeHeight + 2 * kPadding);
  QRect frame(QPoint(anchor_.x() - size.width() / 2, anchor_.y() - size.height()), size);
  if (parentWidget() != nullptr) {
    frame.moveLeft(qBound(2, frame.left(), parentWidget()->width() - size.width() - 2));
  }
  setGeometry(frame);
}

void ThumbnailCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(skin::kBorder);
  painter.setBrush(skin::kWindow);
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
  const QRect pictureArea(kPadding, kPadding, pictureSize_.width(), pictureSize_.height());
  if (picture_.isNull()) {
    painter.fillRect(pictureArea, skin::kVideoGap);
  } else {
    painter.drawImage(pictureArea.topLeft(), picture_);
  }
  QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  digits.setPointSizeF(9.0);
  painter.setFont(digits);
  painter.setPen(skin::kText);
  painter.drawText(QRect(0, pictureArea.bottom() + 1, width(), kTimeHeight), Qt::AlignCenter, time_);
}

}  // namespace marlin::desktop
