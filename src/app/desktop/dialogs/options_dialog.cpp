#include "app/desktop/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
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
    "%Y/%m/%d %H:%M:%S", "%y/%m/%d %H:%M:%S",   "%Y/%m/%d %p %I:%M:%S",
    "%y/%m/%d %p %I:%M:%S", "%b %d %H:%M:%S %Y", "%b %d %p %I:%M:%S %Y",
};

// The local time now in the given format; empty when it does not fit the
// on-screen text's 128 characters or cannot be formatted.
QString formatNow(const std::string& format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {};
  char text[128];
  const std::size_t length = std::strftime(text, sizeof text, format.c_str(), &local);
  return QString::fromLocal8Bit(text, static_cast<qsizetype>(length));
}

}  // namespace

OptionsDialog::OptionsDialog(const PlayerOptionsValues& values, QWidget* parent)
    : QDialog(parent),
      alwaysOnTop_(makeCheckBox(QStringLiteral("Always on top"), "alwaysOnTop", values.alwaysOnTop, this)),
      showTime_(makeCheckBox(QStringLiteral("Show playback time"), "showTime", values.showTime, this)),
      repeat_(makeCheckBox(QStringLiteral("Repeat playback (&R)"), "repeat", values.repeat, this)),
      fastPath_(makeCheckBox(QStringLiteral("Use DirectDraw"), "fastPath", values.fastPath, this)),
      timeFormat_(new QComboBox(this)),
      preview_(new QLabel(this)),
      capturePath_(new FolderField(values.capturePath, QStringLiteral("capturePath"), this)) {
  setWindowTitle(QStringLiteral("Options"));

  timeFormat_->setObjectName(QStringLiteral("timeFormat"));
  for (const char* format : kTimeFormats) timeFormat_->addItem(QString::fromLatin1(format));
  // A format of another origin leaves the first one selected.
  timeFormat_->setCurrentIndex(std::max(0, timeFormat_->findText(QString::fromStdString(values.timeFormat))));
  connect(timeFormat_, &QComboBox::currentIndexChanged, this, &OptionsDialog::refreshPreview);

  preview_->setObjectName(QStringLiteral("timePreview"));
  preview_->setStyleSheet(QStringLiteral("color: %1;").arg(skin::kMutedText.name()));
  preview_->setTextFormat(Qt::PlainText);

  auto* column = makeDialogColumn(*this);
  for (QCheckBox* box : {alwaysOnTop_, showTime_, repeat_, fastPath_}) column->addWidget(box);
  column->addSpacing(skin::kDialogMargin / 2);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Date and time format:"), timeFormat_);
  form->addRow(QStringLiteral("Preview:"), preview_);
  form->addRow(QStringLiteral("Still captures folder:"), capturePath_);
  column->addLayout(form);
  addButtonRow(*column, *this, QStringLiteral("OK"), QStringLiteral("Cancel"));

  refreshPreview();
}

PlayerOptionsValues OptionsDialog::values() const {
  PlayerOptionsValues values;
  values.alwaysOnTop = alwaysOnTop_->isChecked();
  values.showTime = showTime_->isChecked();
  values.repeat = repeat_->isChecked();
  values.fastPath = fastPath_->isChecked();
  values.timeFormat = timeFormat_->currentText().toStdString();
  values.capturePath = capturePath_->path();
  return values;
}

void OptionsDialog::showEvent(QShowEvent* event) {
  refreshPreview();
  QDialog::showEvent(event);
}

void OptionsDialog::refreshPreview() { preview_->setText(formatNow(timeFormat_->currentText().toStdString())); }

}  // namespace marlin::desktop
