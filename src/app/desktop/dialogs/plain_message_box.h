#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace marlin::desktop {

// Message boxes without Qt's stand-in pictures (the bubble, the warning
// triangle, the icons on Yes and No), which look foreign beside the skin.

// Takes those pictures off a box made elsewhere.
void makePlain(QMessageBox& box);

// Shows text (and details under it, when given) until OK is pressed.
void showPlainMessage(QWidget* parent, const QString& title, const QString& text, const QString& details = {});

// Asks a yes-or-no question; explanation, when given, says what the answer changes.
enum class DefaultAnswer { Yes, No };
bool askYesOrNo(QWidget* parent, const QString& title, const QString& question, DefaultAnswer answer,
                const QString& explanation = {});

}  // namespace marlin::desktop
