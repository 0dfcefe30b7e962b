#include "app/desktop/dialogs/network_options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/desktop/dialogs/dialog_frame.h"
#include "app/desktop/dialogs/folder_field.h"
#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

NetworkOptionsDialog::NetworkOptionsDialog(const NetworkOptionsValues& values, QWidget* parent)
    : QDialog(parent),
      alwaysOnTop_(makeCheckBox(QStringLiteral("Always on top"), "alwaysOnTop", values.alwaysOnTop, this)),
      autoReconnection_(
          makeCheckBox(QStringLiteral("Auto Reconnection"), "autoReconnection", values.autoReconnection, this)),
      fastPath_(makeFastDrawingBox(values.fastPath, this)),
      ddnsIp_(new QLineEdit(QString::fromStdString(values.ddnsIp), this)),
      ddnsPort_(makeNumberField("ddnsPort", 1, 65535, values.ddnsPort, this)),
      localRecordingPath_(new FolderField(values.localRecordingPath, QStringLiteral("localRecordingPath"), this)),
      timeout_(makeNumberField("timeoutSeconds", 1, 3600, values.timeoutSeconds, this)),
      mouseMode_(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("Network Options"));
  ddnsIp_->setObjectName(QStringLiteral("ddnsIp"));
  timeout_->setSuffix(QStringLiteral(" s"));

  auto* column = makeDialogColumn(*this);
  for (QCheckBox* box : {alwaysOnTop_, autoReconnection_, fastPath_}) column->addWidget(box);
  column->addSpacing(skin::kDialogMargin / 2);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("DDNS server address:"), ddnsIp_);
  form->addRow(QStringLiteral("DDNS server port:"), ddnsPort_);
  form->addRow(QStringLiteral("Local recording folder:"), localRecordingPath_);
  form->addRow(QStringLiteral("Connection time-out:"), timeout_);
  column->addLayout(form);

  auto* mouseBox = new QGroupBox(QStringLiteral("Mouse remote control"), this);
  auto* mouseColumn = new QVBoxLayout(mouseBox);
  const QString modes[] = {QStringLiteral("Disable"), QStringLiteral("Enable && Hidden cusor on DVR side"),
                           QStringLiteral("Enable && Display cusor on DVR side")};
  for (int mode = 0; mode < 3; ++mode) {
    auto* button = new QRadioButton(modes[mode], mouseBox);
    button->setObjectName(QStringLiteral("mouseMode%1").arg(mode));
    mouseMode_->addButton(button, mode);
    mouseColumn->addWidget(button);
  }
  // A mode of another origin falls back to the usual one.
  QAbstractButton* checked = mouseMode_->button(values.mouseMode);
  (checked != nullptr ? checked : mouseMode_->button(NetworkOptionsValues{}.mouseMode))->setChecked(true);
  column->addWidget(mouseBox);

  addButtonRow(*column, *this, QStringLiteral("OK"), QStringLiteral("Cancel"));
}

NetworkOptionsValues NetworkOptionsDialog::values() const {
  NetworkOptionsValues values;
  values.alwaysOnTop = alwaysOnTop_->isChecked();
  values.autoReconnection = autoReconnection_->isChecked();
  values.fastPath = fastPath_->isChecked();
  values.ddnsIp = ddnsIp_->text().toStdString();
  values.ddnsPort = ddnsPort_->value();
  values.localRecordingPath = localRecordingPath_->path();
  values.timeoutSeconds = timeout_->value();
  values.mouseMode = mouseMode_->checkedId();
  return values;
}

}  // namespace marlin::desktop
