#include "app/desktop/dialogs/folder_browser.h"

#include <QDir>
#include <QLineEdit>

#include "app/desktop/dialogs/file_dialog_sizing.h"
#include "app/desktop/dialogs/folder_check.h"
#include "app/desktop/dialogs/plain_message_box.h"

namespace marlin::desktop {

FolderBrowser::FolderBrowser(QWidget* parent, const std::string& current)
    : QFileDialog(parent, QStringLiteral("Find Folder")) {
  // Qt's own dialog, so that accept() can hold the chosen folder back.
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::ShowDirsOnly);
  setFileMode(QFileDialog::Directory);
  setAcceptMode(QFileDialog::AcceptOpen);
  setLabelText(QFileDialog::Accept, QStringLiteral("Select Folder"));
  // Only folders are shown, so the file type choice has nothing to offer.
  for (const char* name : {"fileTypeLabel", "fileTypeCombo"}) {
    if (auto* widget = findChild<QWidget*>(QString::fromLatin1(name))) widget->hide();
  }
  sizeFileDialog(*this);
  setDirectory(current.empty() ? QDir::currentPath() : QString::fromStdString(current));
}

void FolderBrowser::accept() {
  const QStringList selected = selectedFiles();
  if (selected.isEmpty()) return;
  const std::string path = selected.first().toStdString();
  const auto askCreate = [&] {
    return askYesOrNo(this, windowTitle(), QString::fromStdString(folderCreateQuestion(path)), DefaultAnswer::Yes);
  };
  switch (checkFolder(path, askCreate)) {
    case FolderCheckResult::Accepted:
      chosen_ = path;
      QDialog::accept();  // the folder is known to be there; skip the file dialog's own check
      return;
    case FolderCheckResult::Invalid:
      refuse(folderInvalidMessage(path));
      return;
    case FolderCheckResult::CannotCreate:
      refuse(folderCannotCreateMessage(path));
      return;
    case FolderCheckResult::Declined:
      return;
  }
}

void FolderBrowser::refuse(const std::string& message) {
  showPlainMessage(this, windowTitle(), QString::fromStdString(message));
  if (auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    field->setFocus();
    field->selectAll();
  }
}

std::optional<std::string> browseForFolder(QWidget* parent, const std::string& current) {
  FolderBrowser browser(parent, current);
  if (browser.exec() != QDialog::Accepted) return std::nullopt;
  return browser.chosenFolder();
}

}  // namespace marlin::desktop
