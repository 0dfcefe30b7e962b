#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace marlin::desktop {

struct LoginValues {
  std::string address = "192.168.10.100";
  int port = 8841;
  bool ddns = false;  // reach the DVR by its name through the dynamic ip service
  std::string dvrName;
  std::string password;  // kept for this login only
};

// Asks where the DVR is and its password. With the dynamic ip service the
// one edit holds the DVR's name, without it the DVR's address; the dialog
// keeps both and shows the one that fits.
class LoginDialog : public QDialog {
  Q_OBJECT

 public:
  explicit LoginDialog(const LoginValues& values, QWidget* parent = nullptr);
  // The edit's text is the name or the address, as the flag says.
  LoginValues values() const;

 private:
  void showTarget(bool ddns);

  std::string address_;
  std::string dvrName_;
  bool shownDdns_;
  QFormLayout* form_;
  QLabel* targetLabel_;
  QLineEdit* target_;
  QSpinBox* port_;
  QLineEdit* password_;
  QCheckBox* ddns_;
};

}  // namespace marlin::desktop
