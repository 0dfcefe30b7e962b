#pragma once

#include <QDialog>
#include <string>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace marlin::desktop {

class FolderField;

struct NetworkOptionsValues {
  bool alwaysOnTop = false;
  bool autoReconnection = true;
  bool fastPath = true;
  std::string ddnsIp;
  int ddnsPort = 1800;
  std::string localRecordingPath;
  int timeoutSeconds = 7;
  int mouseMode = 1;  // 0 off, 1 on with the DVR's cursor hidden, 2 on with it shown
};

// The live view's options. Works on a copy: the caller takes values() back on OK.
class NetworkOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit NetworkOptionsDialog(const NetworkOptionsValues& values, QWidget* parent = nullptr);
  NetworkOptionsValues values() const;

 private:
  QCheckBox* alwaysOnTop_;
  QCheckBox* autoReconnection_;
  QCheckBox* fastPath_;
  QLineEdit* ddnsIp_;
  QSpinBox* ddnsPort_;
  FolderField* localRecordingPath_;
  QSpinBox* timeout_;
  QButtonGroup* mouseMode_;
};

}  // namespace marlin::desktop
