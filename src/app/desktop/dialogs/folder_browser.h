#pragma once

#include <QFileDialog>
#include <optional>
#include <string>

namespace marlin::desktop {

// The "Browse..." folder chooser. It only closes on a folder that passes
// checkFolder (created on request); otherwise it tells why and stays open
// with the path field focused.
class FolderBrowser : public QFileDialog {
  Q_OBJECT

 public:
  FolderBrowser(QWidget* parent, const std::string& current);
  // The folder accepted last.
  const std::string& chosenFolder() const { return chosen_; }

 public slots:
  void accept() override;

 private:
  void refuse(const std::string& message);

  std::string chosen_;
};

// The folder the user settled on, or nothing when the browser was cancelled.
std::optional<std::string> browseForFolder(QWidget* parent, const std::string& current);

}  // namespace marlin::desktop
