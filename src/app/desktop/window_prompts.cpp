#include "app/desktop/window_prompts.h"

#include <QFileDialog>

#include "app/desktop/dialogs/compression_dialog.h"
#include "app/desktop/dialogs/disk_select_dialog.h"
#include "app/desktop/dialogs/file_dialog_sizing.h"
#include "app/desktop/dialogs/plain_message_box.h"
#include "app/desktop/qt_message_sink.h"
#include "export/compression_choice.h"

namespace marlin::desktop {

WindowPrompts WindowPrompts::dialogs() {
  WindowPrompts prompts;
  prompts.openRecording = [](QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("Open"), QString(),
                       QStringLiteral("All Files (*);;QKV File Format (*.QKV *.qkv);;"
                                      "Disk Images (*.img *.dd *.bin)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    sizeFileDialog(dialog);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
  };
  prompts.openDisk = [](QWidget* parent) {
    DiskSelectDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted ? QString::fromStdString(dialog.selectedDevice()) : QString();
  };
  prompts.saveRange = [](QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save As"), QStringLiteral("CAPTURE.QKV"),
                                        QStringLiteral("QKV File Format (*.QKV *.qkv)"));
  };
  prompts.saveAvi = [](QWidget* parent, const QString& lastName) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save As"), lastName,
                                        QStringLiteral("AVI Files (*.avi)"));
  };
  prompts.lowSpeed = [](QWidget* parent) {
    return askYesOrNo(parent, productTitle(), QStringLiteral("Internet low speed?"), DefaultAnswer::No,
                      QStringLiteral("Yes records only the refresh pictures, which saves bandwidth on a slow "
                                     "connection; the pictures between them are left out."));
  };
  prompts.compression = [](QWidget* parent) -> std::optional<Compression> {
    CompressionDialog dialog(compression_choice::current(), parent);
    if (dialog.exec() != QDialog::Accepted) {
      return std::nullopt;
    }
    return dialog.chosen();
  };
  prompts.login = [](QWidget* parent, const LoginValues& start) -> std::optional<LoginValues> {
    LoginDialog dialog(start, parent);
    if (dialog.exec() != QDialog::Accepted) {
      return std::nullopt;
    }
    return dialog.values();
  };
  return prompts;
}

}  // namespace marlin::desktop
