#pragma once

#include <QDialog>

namespace marlin::desktop {

// The product name with the program's and the engine library's versions.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace marlin::desktop
