#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace marlin::desktop {

// The resource icon ":/icons/NAME.svg" drawn at size x size logical pixels
// in one colour, sharp on high-density screens. The drawings are kept per
// name, size and colour, since buttons repaint on every hover. A null
// pixmap when there is no such icon.
QPixmap tintedIcon(const QString& name, int size, const QColor& colour, qreal devicePixelRatio);

}  // namespace marlin::desktop
