#pragma once

#include <QGroupBox>
#include <cstdint>
#include <optional>

#include "app/desktop/dialogs/recording_times.h"

class QLabel;
class QLineEdit;
class QRadioButton;

namespace marlin::desktop {

// What part of a recording an export writes.
struct ExportRangeChoice {
  enum class Kind { Whole, Bytes, Times };
  Kind kind = Kind::Whole;
  ByteRange bytes;         // Bytes: the marked range
  std::uint32_t from = 0;  // Times: block time stamps, both included
  std::uint32_t to = 0;
};

// The "Range" box of an export: the whole recording, the range marked in the
// player when there is one, or a span of local times typed as the Go to time
// dialog takes them.
class ExportRangeBox : public QGroupBox {
  Q_OBJECT

 public:
  explicit ExportRangeBox(QWidget* parent = nullptr);

  // Offers [markIn, markOut) and chooses it; a range that is empty or reversed is not offered.
  void offerMarkedRange(std::uint64_t markIn, std::uint64_t markOut);
  // Chooses the span of block times [from, to] (an event's).
  void offerTimes(std::uint32_t from, std::uint32_t to);
  // Fills the time fields with the recording's first and last time, unless
  // a span was offered.
  void showSpan(const RecordingSpan& span);
  // The range chosen; nothing, with the reason shown in the box, when the typed times are not times.
  std::optional<ExportRangeChoice> choice();

 private:
  QRadioButton* whole_;
  QRadioButton* marked_;
  QRadioButton* times_;
  QLineEdit* from_;
  QLineEdit* to_;
  QLabel* error_;
  ByteRange marks_;
  bool timesOffered_ = false;
};

}  // namespace marlin::desktop
