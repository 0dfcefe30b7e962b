#include "app/desktop/video_view.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <memory>

#include "render/canvas.h"

using namespace marlin;
using namespace marlin::desktop;

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 160;

// Each pixel says where it is, red its column and green its row, so a
// painted pixel tells which picture point it shows.
const Canvas& positionPicture() {
  static const Canvas picture = [] {
    Canvas canvas;
    canvas.reset(kWidth, kHeight, SurfaceFormat::Rgb32);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        canvas.fill({x, y, x + 1, y + 1}, rgbColour(x, y, 0));
      }
    }
    return canvas;
  }();
  return picture;
}

// Smooth scaling blends neighbours, so a point is read back to within a pixel or so.
bool shows(VideoView& view, QPoint at, QPointF picturePoint) {
  const QColor colour = view.grab().toImage().pixelColor(at);
  const bool near =
      std::abs(colour.red() - picturePoint.x()) <= 1.5 && std::abs(colour.green() - picturePoint.y()) <= 1.5;
  if (!near) {
    qWarning() << "at" << at << "shows" << colour.red() << colour.green() << "not" << picturePoint;
  }
  return near;
}

bool turnWheel(VideoView& view, QPoint at, int angle) {
  QWheelEvent wheel(QPointF(at), QPointF(view.mapToGlobal(at)), QPoint(), QPoint(0, angle), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  wheel.setAccepted(false);
  QApplication::sendEvent(&view, &wheel);
  return wheel.isAccepted();
}

void drag(VideoView& view, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::mousePress(&view, Qt::LeftButton, modifiers, from);
  QTest::mouseMove(&view, to);
  QTest::mouseRelease(&view, Qt::LeftButton, modifiers, to);
}

}  // namespace

class VideoViewTest : public QObject {
  Q_OBJECT

  std::unique_ptr<VideoView> view_;

 private slots:
  void init() {
    view_ = std::make_unique<VideoView>();
    view_->resize(kWidth, kHeight);
    view_->setZoomAllowed(true);
    view_->setRegionDrawingAllowed(true);
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    view_->present(positionPicture());
    QVERIFY(shows(*view_, {60, 50}, {60, 50}));
  }

  void cleanup() { view_.reset(); }

  void wheelZoomsAroundThePointerUpToEightTimes() {
    QSignalSpy zoomed(view_.get(), &VideoView::zoomChanged);
    const QPoint pointer(60, 50);
    QVERIFY(turnWheel(*view_, pointer, 120));
    QCOMPARE(view_->zoom(), 1.25);
    QVERIFY(shows(*view_, pointer, pointer));
    // A finer wheel zooms by its share of a notch.
    turnWheel(*view_, pointer, 60);
    QVERIFY(qFuzzyCompare(view_->zoom(), 1.25 * std::sqrt(1.25)));
    for (int i = 0; i < 20; ++i) {
      turnWheel(*view_, pointer, 120);
    }
    QCOMPARE(view_->zoom(), 8.0);
    QCOMPARE(zoomed.last().at(0).toDouble(), 8.0);
    QVERIFY(shows(*view_, pointer, pointer));
    QVERIFY(shows(*view_, pointer + QPoint(16, 8), QPointF(62, 51)));
    const auto changes = zoomed.count();
    turnWheel(*view_, pointer, 120);
    QCOMPARE(zoomed.count(), changes);
    // What the still takes is what is painted.
    const QImage still = view_->zoomedPicture();
    QCOMPARE(still.size(), view_->size());
    QCOMPARE(still.pixelColor(10, 130), view_->grab().toImage().pixelColor(10, 130));

    turnWheel(*view_, pointer, -120 * 30);
    QCOMPARE(view_->zoom(), 1.0);
    QCOMPARE(zoomed.last().at(0).toDouble(), 1.0);
    QVERIFY(view_->zoomedPicture().isNull());
    QVERIFY(shows(*view_, {150, 20}, {150, 20}));
  }

  void dragPansWithinThePicture() {
    turnWheel(*view_, {0, 0}, 120 * 20);
    QCOMPARE(view_->zoom(), 8.0);
    drag(*view_, {100, 80}, {60, 40});
    QVERIFY(shows(*view_, {0, 0}, {5, 5}));
    drag(*view_, {60, 40}, {199, 159});
    QVERIFY(shows(*view_, {0, 0}, {0, 0}));
    drag(*view_, {150, 120}, {-2000, -2000});
    QVERIFY(shows(*view_, {0, 0}, {175, 140}));
    QVERIFY(shows(*view_, {199, 159}, {199, 159}));
    QCOMPARE(view_->zoom(), 8.0);
  }

  void zoomOnlyWhileAllowed() {
    QSignalSpy zoomed(view_.get(), &VideoView::zoomChanged);
    view_->setZoomAllowed(false);
    QVERIFY(!turnWheel(*view_, {60, 50}, 360));
    QCOMPARE(view_->zoom(), 1.0);
    QCOMPARE(zoomed.count(), 0);

    view_->setZoomAllowed(true);
    turnWheel(*view_, {60, 50}, 360);
    QVERIFY(view_->zoom() > 1.9);
    view_->setZoomAllowed(false);
    QCOMPARE(view_->zoom(), 1.0);
    QCOMPARE(zoomed.last().at(0).toDouble(), 1.0);
    QVERIFY(shows(*view_, {150, 20}, {150, 20}));
  }

  void shiftDragMarksARegionOfThePicture() {
    QSignalSpy drawn(view_.get(), &VideoView::regionDrawn);
    drag(*view_, {20, 16}, {120, 112}, Qt::ShiftModifier);
    QCOMPARE(drawn.count(), 1);
    const QRectF area(0.1, 0.1, 0.5, 0.6);
    QCOMPARE(drawn.last().at(0).toRectF(), area);
    QCOMPARE(view_->region(), std::optional<QRectF>(area));
    // The picture has no blue; the accent outline has.
    QVERIFY(view_->grab().toImage().pixelColor(20, 60).blue() > 100);

    drag(*view_, {50, 50}, {52, 70}, Qt::ShiftModifier);
    QCOMPARE(drawn.count(), 1);
    QCOMPARE(view_->region(), std::optional<QRectF>(area));

    // Zoomed 8x on the bottom-right corner, the view shows picture points
    // (175, 140) to (200, 160). QTest takes (0, 0) for the widget's centre.
    turnWheel(*view_, {kWidth, kHeight}, 120 * 20);
    drag(*view_, {8, 8}, {kWidth, kHeight}, Qt::ShiftModifier);
    QCOMPARE(drawn.count(), 2);
    QCOMPARE(drawn.last().at(0).toRectF(), QRectF(176.0 / kWidth, 141.0 / kHeight, 24.0 / kWidth, 19.0 / kHeight));
    QVERIFY(shows(*view_, {0, 0}, {175, 140}));
  }

  void clearingARegionSaysSo() {
    QSignalSpy cleared(view_.get(), &VideoView::regionCleared);
    view_->clearRegion();
    QCOMPARE(cleared.count(), 0);
    drag(*view_, {20, 16}, {120, 112}, Qt::ShiftModifier);
    view_->clearRegion();
    QCOMPARE(cleared.count(), 1);
    QVERIFY(!view_->region());
    QCOMPARE(view_->grab().toImage().pixelColor(20, 60).blue(), 0);
    view_->clearRegion();
    QCOMPARE(cleared.count(), 1);

    drag(*view_, {20, 16}, {120, 112}, Qt::ShiftModifier);
    view_->setRegionDrawingAllowed(false);
    QCOMPARE(cleared.count(), 2);
    QSignalSpy drawn(view_.get(), &VideoView::regionDrawn);
    drag(*view_, {20, 16}, {120, 112}, Qt::ShiftModifier);
    QCOMPARE(drawn.count(), 0);
    QVERIFY(!view_->region());
  }
};

QTEST_MAIN(VideoViewTest)
#include "video_view_test.moc"
