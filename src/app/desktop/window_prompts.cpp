#include "app/desktop/window_prompts.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/desktop/dialogs/compression_dialog.h"
#include "app/desktop/dialogs/disk_select_dialog.h"
#include "app/desktop/qt_message_sink.h"
#include "export/compression_choice.h"

namespace marlin::desktop {

WindowPrompts WindowPrompts::dialogs() {
  WindowPrompts prompts;
  prompts.openRecording = [](QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), QString(),
                                        QStringLiteral("All Files (*);;QKV File Format (*.QKV *.qkv);;"
                                                       "Disk Images (*.img *.dd *.bin)"));
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
    return QMessageBox::question(parent, productTitle(), QStringLiteral("Internet low speed?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
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
