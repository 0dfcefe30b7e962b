#include "app/desktop/dialogs/login_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/desktop/dialogs/dialog_frame.h"

namespace marlin::desktop {

LoginDialog::LoginDialog(const LoginValues& values, QWidget* parent)
    : QDialog(parent),
      address_(values.address),
      dvrName_(values.dvrName),
      shownDdns_(values.ddns),
      form_(new QFormLayout),
      targetLabel_(new QLabel(this)),
      target_(new QLineEdit(this)),
      port_(makeNumberField("port", 1, 65535, values.port, this)),
      password_(new QLineEdit(this)),
      ddns_(makeCheckBox(QStringLiteral("Use dynamic ip service"), "ddns", values.ddns, this)) {
  setWindowTitle(QStringLiteral("Login"));
  targetLabel_->setObjectName(QStringLiteral("targetLabel"));
  target_->setObjectName(QStringLiteral("target"));
  target_->setMinimumWidth(200);
  password_->setObjectName(QStringLiteral("password"));
  password_->setEchoMode(QLineEdit::Password);
  password_->setText(QString::fromStdString(values.password));
  // The flag comes from the settings; the box stays out of sight.
  ddns_->setVisible(false);

  auto* column = makeDialogColumn(*this);
  form_->addRow(targetLabel_, target_);
  form_->addRow(QStringLiteral("Port:"), port_);
  form_->addRow(QStringLiteral("Password:"), password_);
  form_->addRow(ddns_);
  column->addLayout(form_);
  addButtonRow(*column, *this, QStringLiteral("Login"), QStringLiteral("Cancel"));

  target_->setText(QString::fromStdString(shownDdns_ ? dvrName_ : address_));
  showTarget(shownDdns_);
  connect(ddns_, &QCheckBox::toggled, this, &LoginDialog::showTarget);
  (target_->text().isEmpty() ? target_ : password_)->setFocus();
}

void LoginDialog::showTarget(bool ddns) {
  if (ddns != shownDdns_) {
    // What was typed for one way of reaching the DVR stays with it.
    (shownDdns_ ? dvrName_ : address_) = target_->text().toStdString();
    target_->setText(QString::fromStdString(ddns ? dvrName_ : address_));
    shownDdns_ = ddns;
  }
  targetLabel_->setText(ddns ? QStringLiteral("Select DVR") : QStringLiteral("IP address:"));
  form_->setRowVisible(port_, !ddns);
}

LoginValues LoginDialog::values() const {
  LoginValues values;
  values.ddns = ddns_->isChecked();
  values.address = address_;
  values.dvrName = dvrName_;
  (values.ddns ? values.dvrName : values.address) = target_->text().toStdString();
  values.port = port_->value();
  values.password = password_->text().toStdString();
  return values;
}

}  // namespace marlin::desktop
