#include "app/desktop/skin/status_strip.h"

#include <QFontDatabase>
#include <QPainter>

#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

namespace {

// Long enough to read a file name, short enough not to hide the time for long.
constexpr int kNoticeMs = 3000;

}  // namespace

StatusStrip::StatusStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("statusStrip"));
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  noticeTimer_.setSingleShot(true);
  connect(&noticeTimer_, &QTimer::timeout, this, [this] {
    notice_.clear();
    update();
  });
}

void StatusStrip::showNotice(const QString& text) {
  notice_ = text;
  noticeTimer_.start(kNoticeMs);
  update();
}

void StatusStrip::setTexts(const QString& status, const QString& time) {
  if (status == status_ && time == time_) {
    return;
  }
  status_ = status;
  time_ = time;
  update();
}

void StatusStrip::setTask(const QString& text) {
  if (text == task_) {
    return;
  }
  task_ = text;
  update();
}

void StatusStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::TextAntialiasing);
  QFont stateFont = font();
  stateFont.setPointSizeF(8.5);
  stateFont.setWeight(QFont::DemiBold);
  stateFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
  painter.setFont(stateFont);
  const bool playing = status_.startsWith(QStringLiteral("PLAY")) || status_.startsWith(QStringLiteral("REV"));
  painter.setPen(playing ? QColor(0x8A, 0xB8, 0xFA) : skin::kMutedText);
  painter.drawText(rect().adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, status_);

  if (!task_.isEmpty()) {
    painter.setPen(skin::kMutedText);
    painter.drawText(rect(), Qt::AlignCenter, task_);
  }

  QFont timeFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  timeFont.setPointSizeF(9.0);
  painter.setFont(timeFont);
  if (!notice_.isEmpty()) {
    painter.setFont(stateFont);
    painter.setPen(skin::kAccent);
    painter.drawText(rect().adjusted(0, 0, -2, 0), Qt::AlignVCenter | Qt::AlignRight, notice_);
    return;
  }
  painter.setPen(skin::kText);
  painter.drawText(rect().adjusted(0, 0, -2, 0), Qt::AlignVCenter | Qt::AlignRight, time_);
}

}  // namespace marlin::desktop
