#pragma once

#include <QString>

class QBoxLayout;
class QCheckBox;
class QDialog;
class QVBoxLayout;
class QWidget;

namespace marlin::desktop {

// The column every settings dialog is built in, with the skin's margins.
QVBoxLayout* makeDialogColumn(QDialog& dialog);

// A check box named for tests and lookups.
QCheckBox* makeCheckBox(const QString& text, const char* name, bool checked, QWidget* parent);

// The row of buttons at the foot of a dialog: the secondary button (when
// given, it rejects) left of the primary one, which accepts and is the
// default. Both sit on the right, whatever the platform's button order.
void addButtonRow(QBoxLayout& column, QDialog& dialog, const QString& primary, const QString& secondary = {});

}  // namespace marlin::desktop
