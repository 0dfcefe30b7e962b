#include "app/desktop/dialogs/go_to_time_dialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/desktop/dialogs/dialog_frame.h"
#include "app/desktop/dialogs/recording_times.h"
#include "app/desktop/skin/palette.h"
#include "source/local_time.h"

namespace marlin::desktop {

namespace {

QString startingText(const CalendarTime& shown) {
  if (shown == CalendarTime{}) {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  }
  return QString::fromStdString(formatCalendarTime(shown));
}

}  // namespace

GoToTimeDialog::GoToTimeDialog(std::string recordingPath, bool isDisk, int codecVariant, const CalendarTime& shownTime,
                               QWidget* parent)
    : QDialog(parent), recordingPath_(std::move(recordingPath)), layout_{isDisk, isBigEndianVariant(codecVariant)} {
  setWindowTitle(QStringLiteral("Go to time"));

  time_ = makeTimeField("time", this);
  time_->setText(startingText(shownTime));
  span_ = new QLabel(QStringLiteral("Recording: …"), this);
  span_->setObjectName(QStringLiteral("span"));
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setWordWrap(true);
  message_->setMinimumWidth(360);
  message_->setStyleSheet(QStringLiteral("color: #c0392b"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  withoutIcons(*buttons);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &GoToTimeDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &GoToTimeDialog::reject);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Time:"), time_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin);
  layout->addWidget(span_);
  layout->addLayout(form);
  layout->addWidget(message_);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  showSpan();
}

void GoToTimeDialog::showSpan() {
  // Two searches, each a few reads; a disk may have to spin up first.
  auto* watcher = new QFutureWatcher<RecordingSpan>(this);
  connect(watcher, &QFutureWatcher<RecordingSpan>::finished, this, [this, watcher] {
    watcher->deleteLater();
    span_->setText(QString::fromStdString(spanText(watcher->result())));
    emit spanShown();
  });
  watcher->setFuture(QtConcurrent::run([path = recordingPath_, layout = layout_] { return lookUpSpan(path, layout); }));
}

void GoToTimeDialog::refuse(const QString& message) {
  searching_ = false;
  time_->setEnabled(true);
  ok_->setEnabled(true);
  message_->setText(message);
  time_->setFocus();
  emit refused();
}

void GoToTimeDialog::accept() {
  if (searching_) return;
  const QString typed = time_->text();
  const std::optional<CalendarTime> wanted = parseCalendarTime(typed.toStdString());
  if (!wanted) {
    refuse(typed + QStringLiteral(" is not a date and time: type it as YYYY-MM-DD HH:MM:SS"));
    return;
  }
  const std::optional<std::uint32_t> time = blockTimeFromLocal(*wanted);
  if (!time) {
    refuse(typed + QStringLiteral(" is not a time a recording can hold"));
    return;
  }
  searching_ = true;
  time_->setEnabled(false);
  ok_->setEnabled(false);
  message_->setText(QStringLiteral("Searching…"));

  auto* watcher = new QFutureWatcher<TimeLookup>(this);
  connect(watcher, &QFutureWatcher<TimeLookup>::finished, this, [this, watcher, typed] {
    watcher->deleteLater();
    const TimeLookup lookup = watcher->result();
    if (!lookup.status) {
      refuse(QString::fromStdString(lookup.status.message()));
    } else if (lookup.found.match != TimeMatch::AtOrAfter) {
      refuse(typed + QString::fromStdString(outsideRecordingText(lookup.found)));
    } else {
      searching_ = false;
      position_ = lookup.found.position;
      QDialog::accept();
    }
  });
  watcher->setFuture(QtConcurrent::run(
      [path = recordingPath_, layout = layout_, time = *time] { return lookUpTime(path, layout, time); }));
}

}  // namespace marlin::desktop
