#pragma once

#include <QColor>
#include <QString>

class QApplication;

namespace marlin::desktop {

// The viewer's dark skin. The pictures are the brightest thing on the
// screen; the chrome stays quiet around them.
namespace skin {
inline const QColor kWindow{0x15, 0x17, 0x1C};
inline const QColor kBorder{0x2A, 0x2E, 0x36};
inline const QColor kVideoGap{0x0B, 0x0C, 0x0E};
inline const QColor kText{0xE6, 0xE9, 0xEE};
inline const QColor kIcon{0xC9, 0xCE, 0xD6};
inline const QColor kMutedText{0x9A, 0xA1, 0xAC};
inline const QColor kHover{0x2A, 0x2F, 0x38};
inline const QColor kAccent{0x2F, 0x81, 0xF7};
inline const QColor kField{0x1E, 0x21, 0x28};
inline constexpr double kDisabledOpacity = 0.35;
inline constexpr int kCornerRadius = 10;
inline constexpr int kDialogMargin = 12;
}  // namespace skin

// Gives every window and dialog of the application the dark palette and
// the style sheet of its standard widgets (fields, buttons, check boxes,
// progress bars in the accent colour, visible keyboard focus).
void applySkin(QApplication& app);

}  // namespace marlin::desktop
