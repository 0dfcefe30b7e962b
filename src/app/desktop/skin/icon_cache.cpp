#include "app/desktop/skin/icon_cache.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace marlin::desktop {

QPixmap tintedIcon(const QString& name, int size, const QColor& colour, qreal devicePixelRatio) {
  static QHash<QString, QPixmap> cache;
  const QString key = QStringLiteral("%1/%2/%3/%4").arg(name).arg(size).arg(colour.rgba()).arg(devicePixelRatio);
  const auto found = cache.constFind(key);
  if (found != cache.constEnd()) {
    return *found;
  }
  QSvgRenderer svg(QStringLiteral(":/icons/%1.svg").arg(name));
  if (!svg.isValid()) {
    return {};
  }
  const int pixels = qRound(size * devicePixelRatio);
  QPixmap pixmap(pixels, pixels);
  pixmap.fill(Qt::transparent);
  {
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter, QRectF(0, 0, pixels, pixels));
    // Keep the drawing's coverage, take the state's colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), colour);
  }
  pixmap.setDevicePixelRatio(devicePixelRatio);
  cache.insert(key, pixmap);
  return pixmap;
}

}  // namespace marlin::desktop
