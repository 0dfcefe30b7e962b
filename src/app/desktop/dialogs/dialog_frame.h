#pragma once

#include <QString>

class QBoxLayout;
class QCheckBox;
class QDialog;
class QDialogButtonBox;
class QLineEdit;
class QSpinBox;
class QVBoxLayout;
class QWidget;

namespace marlin::desktop {

// The column every settings dialog is built in, with the skin's margins.
QVBoxLayout* makeDialogColumn(QDialog& dialog);

// A check box named for tests and lookups.
QCheckBox* makeCheckBox(const QString& text, const char* name, bool checked, QWidget* parent);

// The switch between drawing pictures in the screen's own format and through
// a 24-bit copy, named "fastPath" as the settings keep it.
QCheckBox* makeFastDrawingBox(bool checked, QWidget* parent);

// A local date and time typed as "YYYY-MM-DD HH:MM:SS". The separators stay
// put, so a whole time can be typed or pasted and any digit overtyped; blanks
// show as "_" so that the space between date and time types as itself.
QLineEdit* makeTimeField(const char* name, QWidget* parent);

// A whole-number field: only numbers in range can be typed, so a dialog
// never closes on one that does not hold a number.
QSpinBox* makeNumberField(const char* name, int minimum, int maximum, int value, QWidget* parent);

// The row of buttons at the foot of a dialog: the secondary button (when
// given, it rejects) left of the primary one, which accepts and is the
// default. Both sit on the right, whatever the platform's button order.
void addButtonRow(QBoxLayout& column, QDialog& dialog, const QString& primary, const QString& secondary = {});

// Qt's stand-in pictures on standard buttons (a traffic light on Yes and
// No, a tick on OK) are not this program's look: buttons show text alone.
void withoutIcons(QDialogButtonBox& buttons);

}  // namespace marlin::desktop
