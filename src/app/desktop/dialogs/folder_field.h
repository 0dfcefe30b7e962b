#pragma once

#include <QWidget>
#include <string>

class QLineEdit;

namespace marlin::desktop {

// An editable folder path with a "Browse..." button beside it that opens
// the folder browser at the path shown.
class FolderField : public QWidget {
  Q_OBJECT

 public:
  // The edit gets editName as its object name, the button editName + "Browse".
  FolderField(const std::string& path, const QString& editName, QWidget* parent = nullptr);
  std::string path() const;

 private:
  void browse();

  QLineEdit* edit_;
};

}  // namespace marlin::desktop
