#include "app/desktop/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <ctime>

#include "app/desktop/dialogs/dialog_frame.h"
#include "app/desktop/dialogs/folder_field.h"
#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

namespace {

// The on-screen date and time formats offered, in the order shown.
constexpr std::array<const char*, 6> kTimeFormats = {
    "%Y/%m/%d %H:%M:%S",    "%y/%m/%d %H:%M:%S", "%Y/%m/%d %p %I:%M:%S",
    "%y/%m/%d %p %I:%M:%S", "%b %d %H:%M:%S %Y", "%b %d %p %I:%M:%S %Y",
};

// One fixed moment in the given format: an afternoon late in a month, so
// that the order of day and month, two- or four-digit years and the 12- or
// 24-hour clock all show.
QString exampleOf(const char* format) {
  const std::time_t moment = 1264946709;  // 2010-01-31 14:05:09 UTC
  std::tm example{};
  gmtime_r(&moment, &example);
  char text[128];
  const std::size_t length = std::strftime(text, sizeof text, format, &example);
  return QString::fromLocal8Bit(text, static_cast<qsizetype>(length));
}

}  // namespace

OptionsDialog::OptionsDialog(const PlayerOptionsValues& values, QWidget* parent)
    : QDialog(parent),
      alwaysOnTop_(makeCheckBox(QStringLiteral("Always on top"), "alwaysOnTop", values.alwaysOnTop, this)),
      showTime_(makeCheckBox(QStringLiteral("Show playback time"), "showTime", values.showTime, this)),
      repeat_(makeCheckBox(QStringLiteral("Repeat playback"), "repeat", values.repeat, this)),
      fastPath_(makeFastDrawingBox(values.fastPath, this)),
      timeFormat_(new QComboBox(this)),
      capturePath_(new FolderField(values.capturePath, QStringLiteral("capturePath"), this)) {
  setWindowTitle(QStringLiteral("Options"));

  timeFormat_->setObjectName(QStringLiteral("timeFormat"));
  for (const char* format : kTimeFormats) timeFormat_->addItem(exampleOf(format), QString::fromLatin1(format));
  // A format of another origin leaves the first one selected.
  timeFormat_->setCurrentIndex(std::max(0, timeFormat_->findData(QString::fromStdString(values.timeFormat))));

  auto* column = makeDialogColumn(*this);
  for (QCheckBox* box : {alwaysOnTop_, showTime_, repeat_, fastPath_}) column->addWidget(box);
  column->addSpacing(skin::kDialogMargin / 2);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Date and time format:"), timeFormat_);
  form->addRow(QStringLiteral("Still captures folder:"), capturePath_);
  column->addLayout(form);
  addButtonRow(*column, *this, QStringLiteral("OK"), QStringLiteral("Cancel"));
}

PlayerOptionsValues OptionsDialog::values() const {
  PlayerOptionsValues values;
  values.alwaysOnTop = alwaysOnTop_->isChecked();
  values.showTime = showTime_->isChecked();
  values.repeat = repeat_->isChecked();
  values.fastPath = fastPath_->isChecked();
  values.timeFormat = timeFormat_->currentData().toString().toStdString();
  values.capturePath = capturePath_->path();
  return values;
}

}  // namespace marlin::desktop
