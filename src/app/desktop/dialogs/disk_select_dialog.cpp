#include "app/desktop/dialogs/disk_select_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFutureWatcher>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>

#include "app/desktop/dialogs/dialog_frame.h"
#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

QString skippedDriveText(const SkippedDrive& drive) {
  const QString device = QString::fromStdString(drive.devicePath);
  const int error = drive.reason.systemError();
  if (error == EACCES || error == EPERM || drive.reason.code() == StatusCode::PermissionDenied) {
    return device + QStringLiteral(
                        " cannot be read: permission denied. Reading a DVR disk needs membership of the \"disk\" "
                        "group: sudo usermod -aG disk $USER, then log in again.");
  }
  const QString reason = QString::fromStdString(drive.reason.message());
  return reason.contains(device) ? reason : device + QStringLiteral(" cannot be read: ") + reason;
}

DiskSelectDialog::DiskSelectDialog(QWidget* parent, std::string sysBlockDir, std::string devDir) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Disk Select"));

  status_ = new QLabel(QStringLiteral("Looking for disks…"), this);
  status_->setObjectName(QStringLiteral("status"));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("disks"));
  // The list text lines its columns up with spaces.
  list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  skipped_ = new QLabel(this);
  skipped_->setObjectName(QStringLiteral("skipped"));
  skipped_->setWordWrap(true);
  skipped_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  skipped_->hide();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  withoutIcons(*buttons);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setDefault(true);
  ok_->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &DiskSelectDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &DiskSelectDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin);
  layout->addWidget(status_);
  layout->addWidget(list_, 1);
  layout->addWidget(skipped_);
  layout->addWidget(buttons);
  resize(480, 320);

  // Opening a disk can wait for it to spin up.
  auto* watcher = new QFutureWatcher<DriveList>(this);
  connect(watcher, &QFutureWatcher<DriveList>::finished, this, [this, watcher] {
    watcher->deleteLater();
    showDrives(watcher->result());
  });
  watcher->setFuture(QtConcurrent::run(
      [sysBlockDir = std::move(sysBlockDir), devDir = std::move(devDir)] { return listDrives(sysBlockDir, devDir); }));
}

void DiskSelectDialog::showDrives(const DriveList& drives) {
  entries_ = drives.entries;
  for (const DriveEntry& entry : entries_) {
    list_->addItem(QString::fromStdString(entry.listText) + QStringLiteral("  ") +
                   QString::fromStdString(entry.devicePath));
  }
  status_->setText(entries_.empty() ? QStringLiteral("No disk found.") : QStringLiteral("Disks:"));
  QStringList reasons;
  for (const SkippedDrive& drive : drives.skipped) reasons << skippedDriveText(drive);
  skipped_->setText(reasons.join(QLatin1Char('\n')));
  skipped_->setVisible(!reasons.isEmpty());
  ok_->setEnabled(!entries_.empty());
  emit listed();
}

void DiskSelectDialog::accept() {
  if (entries_.empty()) return;
  const int row = list_->currentRow();
  selectedDevice_ = entries_[static_cast<std::size_t>(row >= 0 ? row : 0)].devicePath;
  QDialog::accept();
}

}  // namespace marlin::desktop
