#include "app/desktop/dialogs/folder_field.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "app/desktop/dialogs/folder_browser.h"

namespace marlin::desktop {

FolderField::FolderField(const std::string& path, const QString& editName, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(QString::fromStdString(path), this)) {
  edit_->setObjectName(editName);
  edit_->setMinimumWidth(260);
  auto* button = new QPushButton(QStringLiteral("Browse..."), this);
  button->setObjectName(editName + QStringLiteral("Browse"));
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, &FolderField::browse);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(edit_, 1);
  row->addWidget(button);
}

std::string FolderField::path() const { return edit_->text().toStdString(); }

void FolderField::browse() {
  if (const auto chosen = browseForFolder(window(), path())) edit_->setText(QString::fromStdString(*chosen));
}

}  // namespace marlin::desktop
