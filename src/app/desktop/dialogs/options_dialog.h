#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;

namespace marlin::desktop {

class FolderField;

struct PlayerOptionsValues {
  bool alwaysOnTop = false;
  bool showTime = true;
  bool repeat = false;
  bool fastPath = true;
  std::string timeFormat = "%Y/%m/%d %H:%M:%S";
  std::string capturePath;
};

// The player's options. Works on a copy: the caller takes values() back on OK.
class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit OptionsDialog(const PlayerOptionsValues& values, QWidget* parent = nullptr);
  PlayerOptionsValues values() const;

 private:
  QCheckBox* alwaysOnTop_;
  QCheckBox* showTime_;
  QCheckBox* repeat_;
  QCheckBox* fastPath_;
  QComboBox* timeFormat_;
  FolderField* capturePath_;
};

}  // namespace marlin::desktop
