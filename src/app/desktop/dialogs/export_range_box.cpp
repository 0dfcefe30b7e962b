#include "app/desktop/dialogs/export_range_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "app/desktop/dialogs/dialog_frame.h"
#include "source/local_time.h"

namespace marlin::desktop {

namespace {

std::optional<std::uint32_t> typedTime(const QLineEdit& field) {
  const std::optional<CalendarTime> typed = parseCalendarTime(field.text().toStdString());
  return typed ? blockTimeFromLocal(*typed) : std::nullopt;
}

}  // namespace

ExportRangeBox::ExportRangeBox(QWidget* parent) : QGroupBox(QStringLiteral("Range"), parent) {
  whole_ = new QRadioButton(QStringLiteral("Whole recording"), this);
  whole_->setObjectName(QStringLiteral("wholeRange"));
  whole_->setChecked(true);
  marked_ = new QRadioButton(QStringLiteral("Marked range"), this);
  marked_->setObjectName(QStringLiteral("markedRange"));
  marked_->setEnabled(false);
  marked_->setToolTip(QStringLiteral("Set with Mark In and Mark Out in the player"));
  times_ = new QRadioButton(QStringLiteral("From"), this);
  times_->setObjectName(QStringLiteral("timeRange"));
  from_ = makeTimeField("rangeFrom", this);
  to_ = makeTimeField("rangeTo", this);
  error_ = new QLabel(this);
  error_->setObjectName(QStringLiteral("rangeError"));
  error_->setStyleSheet(QStringLiteral("color: #c0392b"));

  // Typing a time means that span is wanted.
  for (QLineEdit* field : {from_, to_}) {
    connect(field, &QLineEdit::textEdited, times_, [this] { times_->setChecked(true); });
  }

  auto* grid = new QGridLayout(this);
  grid->addWidget(whole_, 0, 0, 1, 4);
  grid->addWidget(marked_, 1, 0, 1, 4);
  grid->addWidget(times_, 2, 0);
  grid->addWidget(from_, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("to"), this), 2, 2);
  grid->addWidget(to_, 2, 3);
  grid->addWidget(error_, 3, 0, 1, 4);
  grid->setColumnStretch(4, 1);
}

void ExportRangeBox::offerMarkedRange(std::uint64_t markIn, std::uint64_t markOut) {
  if (markOut <= markIn) return;
  marks_ = ByteRange{markIn, markOut};
  marked_->setEnabled(true);
  marked_->setChecked(true);
}

void ExportRangeBox::offerTimes(std::uint32_t from, std::uint32_t to) {
  timesOffered_ = true;
  from_->setText(QString::fromStdString(localTimeText(from)));
  to_->setText(QString::fromStdString(localTimeText(to)));
  times_->setChecked(true);
}

void ExportRangeBox::showSpan(const RecordingSpan& span) {
  if (!span.first || !span.last || timesOffered_) return;
  from_->setText(QString::fromStdString(localTimeText(*span.first)));
  to_->setText(QString::fromStdString(localTimeText(*span.last)));
}

std::optional<ExportRangeChoice> ExportRangeBox::choice() {
  error_->clear();
  ExportRangeChoice chosen;
  if (marked_->isChecked()) {
    chosen.kind = ExportRangeChoice::Kind::Bytes;
    chosen.bytes = marks_;
  } else if (times_->isChecked()) {
    const std::optional<std::uint32_t> from = typedTime(*from_);
    const std::optional<std::uint32_t> to = typedTime(*to_);
    if (!from || !to) {
      error_->setText(QStringLiteral("Type both times as YYYY-MM-DD HH:MM:SS"));
      return std::nullopt;
    }
    chosen.kind = ExportRangeChoice::Kind::Times;
    chosen.from = *from;
    chosen.to = *to;
  }
  return chosen;
}

}  // namespace marlin::desktop
