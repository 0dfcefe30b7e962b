#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "source/drive_list.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace marlin::desktop {

// "Disk Select": the machine's disks a DVR disk may be read from, listed off
// the UI thread, with the disks that could not be opened and why.
class DiskSelectDialog : public QDialog {
  Q_OBJECT

 public:
  explicit DiskSelectDialog(QWidget* parent = nullptr, std::string sysBlockDir = "/sys/block",
                            std::string devDir = "/dev");

  // The chosen disk's device path once OK was pressed.
  std::string selectedDevice() const { return selectedDevice_; }

  void accept() override;

 signals:
  void listed();

 private:
  void showDrives(const DriveList& drives);

  std::vector<DriveEntry> entries_;
  std::string selectedDevice_;
  QLabel* status_;
  QListWidget* list_;
  QLabel* skipped_;
  QPushButton* ok_;
};

// Why a disk is missing from the list, in a sentence; a permission failure names the group that reads disks.
QString skippedDriveText(const SkippedDrive& drive);

}  // namespace marlin::desktop
