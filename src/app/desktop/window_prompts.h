#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "app/desktop/dialogs/login_dialog.h"
#include "export/compression.h"

class QWidget;

namespace marlin::desktop {

// The questions the window asks its user in modal dialogs. Each has the
// program's dialog by default; tests answer them without a dialog.
struct WindowPrompts {
  // A recording to open; empty when cancelled.
  std::function<QString(QWidget* parent)> openRecording;
  // The disk to open (a device path); empty when cancelled.
  std::function<QString(QWidget* parent)> openDisk;
  // Where a marked range goes; empty when cancelled.
  std::function<QString(QWidget* parent)> saveRange;
  // Where the AVI capture goes, starting from the last name; empty when cancelled.
  std::function<QString(QWidget* parent, const QString& lastName)> saveAvi;
  // "Internet low speed?": true for Yes.
  std::function<bool(QWidget* parent)> lowSpeed;
  // The compression of an AVI capture; nothing when cancelled.
  std::function<std::optional<Compression>(QWidget* parent)> compression;
  // The login; nothing when cancelled.
  std::function<std::optional<LoginValues>(QWidget* parent, const LoginValues& start)> login;

  static WindowPrompts dialogs();
};

}  // namespace marlin::desktop
