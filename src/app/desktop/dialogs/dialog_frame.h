#pragma once

#include <QString>

class QBoxLayout;
class QCheckBox;
class QDialog;
class QSpinBox;
class QVBoxLayout;
class QWidget;

namespace marlin::desktop {

// The column every settings dialog is built in, with the skin's margins.
QVBoxLayout* makeDialogColumn(QDialog& dialog);

// A check box named for tests and lookups.
QCheckBox* makeCheckBox(const QString& text, const char* name, bool checked, QWidget* parent);

// A whole-number field: only numbers in range can be typed, so a dialog
// never closes on one that does not hold a number.
QSpinBox* makeNumberField(const char* name, int minimum, int maximum, int value, QWidget* parent);

// The row of buttons at the foot of a dialog: the secondary button (when
// given, it rejects) left of the primary one, which accepts and is the
// default. Both sit on the right, whatever the platform's button order.
void addButtonRow(QBoxLayout& column, QDialog& dialog, const QString& primary, const QString& secondary = {});

}  // namespace marlin::desktop
