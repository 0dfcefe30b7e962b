#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <cstdlib>
#include <string>

#include "app/desktop/skin/icon_names.h"
#include "app/desktop/skin/palette.h"

using namespace marlin::desktop;

namespace {

QString fileName(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) + ".svg";
}

QImage draw(QSvgRenderer& renderer, int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

// Edge pixels are only partly covered and their colour carries rounding, so
// only the solid ones are held to the icon colour.
bool isOffColour(QRgb pixel) {
  constexpr int kSolid = 192;
  constexpr int kRounding = 3;
  const QColor& icon = skin::kIcon;
  return qAlpha(pixel) >= kSolid &&
         (std::abs(qRed(pixel) - icon.red()) > kRounding || std::abs(qGreen(pixel) - icon.green()) > kRounding ||
          std::abs(qBlue(pixel) - icon.blue()) > kRounding);
}

}  // namespace

class IconsTest : public QObject {
  Q_OBJECT

 private slots:
  void everyIconDrawsInItsBox_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("lineIcon");
    for (const std::string_view name : kIconNames)
      QTest::newRow(std::string(name).c_str()) << ":/icons/" + fileName(name) << (name != kAppIconName);
  }

  void everyIconDrawsInItsBox() {
    QFETCH(QString, path);
    QFETCH(bool, lineIcon);
    QSvgRenderer renderer(path);
    QVERIFY2(renderer.isValid(), qPrintable(path));
    QCOMPARE(renderer.viewBoxF(), QRectF(0, 0, 24, 24));

    const QImage small = draw(renderer, 20);
    int drawn = 0;
    int clear = 0;
    int offColour = 0;
    for (int y = 0; y < small.height(); ++y) {
      for (int x = 0; x < small.width(); ++x) {
        const QRgb pixel = small.pixel(x, y);
        (qAlpha(pixel) > 0 ? drawn : clear) += 1;
        offColour += isOffColour(pixel) ? 1 : 0;
      }
    }
    QVERIFY(drawn > 0);
    QVERIFY(clear > 0);
    if (!lineIcon) return;

    // One colour, tinted when shown: anything else would survive the tint.
    QCOMPARE(offColour, 0);
    // At one pixel per unit the two units of padding are the outer two pixels.
    const QImage actual = draw(renderer, 24);
    for (int along = 0; along < 24; ++along) {
      for (const int edge : {0, 1, 22, 23}) {
        const QString where = QString("drawn in the padding: %1, %2").arg(edge).arg(along);
        QVERIFY2(qAlpha(actual.pixel(along, edge)) == 0, qPrintable(where));
        QVERIFY2(qAlpha(actual.pixel(edge, along)) == 0, qPrintable(where));
      }
    }
  }

  void theResourcesHoldExactlyTheListedIcons() {
    QStringList listed;
    for (const std::string_view name : kIconNames) listed << fileName(name);
    listed.sort();
    QCOMPARE(QDir(":/icons").entryList(QDir::Files, QDir::Name), listed);
  }
};

QTEST_MAIN(IconsTest)
#include "icons_test.moc"
