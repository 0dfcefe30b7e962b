#include "app/desktop/dialogs/go_to_time_dialog.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/desktop/skin/palette.h"
#include "platform/block_file.h"
#include "source/local_time.h"
#include "source/time_search.h"

namespace marlin::desktop {

namespace {

struct Lookup {
  Status status;
  TimeSearchResult found;
};

Lookup lookUp(const std::string& path, BlockLayout layout, std::uint32_t time) {
  Lookup lookup;
  BlockFile file;
  lookup.status = file.open(path);
  if (lookup.status) lookup.status = findBlockAtTime(file, layout, time, lookup.found);
  return lookup;
}

QDateTime startingTime(const CalendarTime& shown) {
  if (shown == CalendarTime{}) return QDateTime::currentDateTime();
  return QDateTime(QDate(shown.year, shown.month, shown.day), QTime(shown.hour, shown.minute, shown.second));
}

CalendarTime calendarOf(const QDateTime& time) {
  CalendarTime calendar;
  calendar.year = static_cast<std::uint16_t>(time.date().year());
  calendar.month = static_cast<std::uint16_t>(time.date().month());
  calendar.day = static_cast<std::uint16_t>(time.date().day());
  calendar.hour = static_cast<std::uint16_t>(time.time().hour());
  calendar.minute = static_cast<std::uint16_t>(time.time().minute());
  calendar.second = static_cast<std::uint16_t>(time.time().second());
  return calendar;
}

}  // namespace

GoToTimeDialog::GoToTimeDialog(std::string recordingPath, bool isDisk, int codecVariant,
                               const CalendarTime& shownTime, QWidget* parent)
    : QDialog(parent), recordingPath_(std::move(recordingPath)), isDisk_(isDisk), variant_(codecVariant) {
  setWindowTitle(QStringLiteral("Go to time"));

  time_ = new QDateTimeEdit(startingTime(shownTime), this);
  time_->setObjectName(QStringLiteral("time"));
  time_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  // The years a block time stamp can hold.
  time_->setDateRange(QDate(1970, 1, 2), QDate(2106, 2, 6));
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setWordWrap(true);
  message_->setMinimumWidth(360);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &GoToTimeDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &GoToTimeDialog::reject);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Time:"), time_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin);
  layout->addLayout(form);
  layout->addWidget(message_);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void GoToTimeDialog::refuse(const QString& message) {
  searching_ = false;
  time_->setEnabled(true);
  ok_->setEnabled(true);
  message_->setText(message);
  emit refused();
}

void GoToTimeDialog::accept() {
  if (searching_) return;
  const CalendarTime wanted = calendarOf(time_->dateTime());
  const QString wantedText = QString::fromStdString(formatCalendarTime(wanted));
  const std::optional<std::uint32_t> time = blockTimeFromLocal(wanted);
  if (!time) {
    refuse(wantedText + QStringLiteral(" is not a time a recording can hold"));
    return;
  }
  searching_ = true;
  time_->setEnabled(false);
  ok_->setEnabled(false);
  message_->setText(QStringLiteral("Searching…"));

  // A disk may have to spin up, and each step of the search is a read.
  auto* watcher = new QFutureWatcher<Lookup>(this);
  connect(watcher, &QFutureWatcher<Lookup>::finished, this, [this, watcher, wantedText] {
    watcher->deleteLater();
    const Lookup lookup = watcher->result();
    if (!lookup.status) {
      refuse(QString::fromStdString(lookup.status.message()));
    } else if (lookup.found.match != TimeMatch::AtOrAfter) {
      refuse(wantedText + QString::fromStdString(outsideRecordingText(lookup.found)));
    } else {
      searching_ = false;
      position_ = lookup.found.position;
      QDialog::accept();
    }
  });
  const BlockLayout layout{isDisk_, isBigEndianVariant(variant_)};
  watcher->setFuture(QtConcurrent::run([path = recordingPath_, layout, time = *time] { return lookUp(path, layout, time); }));
}

}  // namespace marlin::desktop
