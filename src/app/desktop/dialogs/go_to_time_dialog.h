#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "base/calendar.h"
#include "base/codec_ids.h"
#include "source/block_reading.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace marlin::desktop {

// "Go to time": the block recorded at a local date and time, found off the UI
// thread; text that is not a time, or a time outside the recording, is refused
// in the dialog, which stays open.
class GoToTimeDialog : public QDialog {
  Q_OBJECT

 public:
  // shownTime: the time of the picture shown now; the current local time when it is all zero.
  GoToTimeDialog(std::string recordingPath, bool isDisk, int codecVariant, const CalendarTime& shownTime,
                 QWidget* parent = nullptr);

  // The byte position to jump to, once accepted.
  std::uint64_t position() const { return position_; }

  void accept() override;

 signals:
  // The recording's first and last time are shown.
  void spanShown();
  // A search ended without finding the time; the message says why.
  void refused();

 private:
  void showSpan();
  void refuse(const QString& message);

  std::string recordingPath_;
  BlockLayout layout_;
  std::uint64_t position_ = 0;
  bool searching_ = false;
  QLineEdit* time_;
  QLabel* span_;
  QLabel* message_;
  QPushButton* ok_;
};

}  // namespace marlin::desktop
