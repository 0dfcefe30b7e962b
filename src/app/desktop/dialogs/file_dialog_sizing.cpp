#include "app/desktop/dialogs/file_dialog_sizing.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace marlin::desktop {

void sizeFileDialog(QFileDialog& dialog) {
  auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  if (details == nullptr) return;
  details->header()->setStretchLastSection(false);
  details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  dialog.resize(760, 480);
}

}  // namespace marlin::desktop
