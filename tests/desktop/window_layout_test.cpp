#include "app/desktop/window_layout.h"

#include <QTest>
#include <algorithm>

#include "app/desktop/command_ids.h"

using marlin::EngineMode;
using namespace marlin::desktop;

namespace {

PlacedControl find(const std::vector<PlacedControl>& placed, int id) {
  const auto found = std::find_if(placed.begin(), placed.end(), [id](const PlacedControl& c) { return c.id == id; });
  return found == placed.end() ? PlacedControl{} : *found;
}

}  // namespace

class WindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void theTableHasFortyFourRows() { QCOMPARE(layoutTable().size(), std::size_t{44}); }

  void eachAnchorMovesWithItsEdge() {
    const auto placed = layoutControls(1000, 700, EngineMode::Player, 4);
    // Fixed, from the right, from the bottom, from the bottom-right corner.
    QCOMPARE(find(placed, kTitleLabel).rect.x, 22);
    QCOMPARE(find(placed, kTitleLabel).rect.y, 4);
    QCOMPARE(find(placed, kPlayerMode).rect.x, 160);
    QCOMPARE(find(placed, kCloseButton).rect.x, 582 + 1000 - 608);
    QCOMPARE(find(placed, kCloseButton).rect.y, 2);
    QCOMPARE(find(placed, kMinimise).rect.x, 560 + 392);
    QCOMPARE(find(placed, kPlay).rect.x, 204);
    QCOMPARE(find(placed, kPlay).rect.y, 262 + 400);
    QCOMPARE(find(placed, kMute).rect.x, 500 + 392);
    QCOMPARE(find(placed, kMute).rect.y, 662);
    QCOMPARE(find(placed, kVolumeSlider).rect.y, 269 + 400);
    // The two stretched controls.
    QCOMPARE(find(placed, kStatusStrip).rect, (ControlRect{13, 700 - 92, 1000 - 116, 17}));
    QCOMPARE(find(placed, kHeatStrip).rect, (ControlRect{13, 700 - 72, 1000 - 26, 18}));
    QCOMPARE(find(placed, kPositionSlider).rect.x, 13);
    QCOMPARE(find(placed, kPositionSlider).rect.y, 700 - 52);
    QCOMPARE(find(placed, kPositionSlider).rect.width, 1000 - 26);
  }

  void eachModeShowsItsOwnRow() {
    const auto player = layoutControls(800, 600, EngineMode::Player, 4);
    const auto client = layoutControls(800, 600, EngineMode::Client, 4);
    for (int id : {kOpenFile, kPlay, kStillCapture, kSplit4, kPositionSlider}) {
      QVERIFY(find(player, id).visible);
      QVERIFY(!find(client, id).visible);
    }
    for (int id : {kConnect, kDvrPause, kDvrChannel4, kDvrSplit, kDvrSelect}) {
      QVERIFY(!find(player, id).visible);
      QVERIFY(find(client, id).visible);
    }
    for (int id : {kStatusStrip, kSaveAvi, kCloseButton, kClientMode}) {
      QVERIFY(find(player, id).visible && find(client, id).visible);
    }
  }

  void theVolumePairNeedsRoomPerMode() {
    QVERIFY(find(layoutControls(578, 486, EngineMode::Player, 4), kMute).visible);
    QVERIFY(!find(layoutControls(517, 486, EngineMode::Player, 4), kMute).visible);
    QVERIFY(find(layoutControls(518, 486, EngineMode::Player, 4), kVolumeSlider).visible);
    QVERIFY(!find(layoutControls(635, 486, EngineMode::Client, 4), kMute).visible);
    QVERIFY(find(layoutControls(636, 486, EngineMode::Client, 4), kVolumeSlider).visible);
  }

  void splitNineAndSixteenFollowTheRecordersChannels() {
    QVERIFY(!find(layoutControls(800, 600, EngineMode::Player, 4), kSplit9).visible);
    QVERIFY(!find(layoutControls(800, 600, EngineMode::Player, 4), kSplit16).visible);
    QVERIFY(find(layoutControls(800, 600, EngineMode::Player, 9), kSplit9).visible);
    QVERIFY(!find(layoutControls(800, 600, EngineMode::Player, 9), kSplit16).visible);
    QVERIFY(find(layoutControls(800, 600, EngineMode::Player, 16), kSplit16).visible);
    QVERIFY(!find(layoutControls(800, 600, EngineMode::Client, 16), kSplit16).visible);
  }

  void noTwoVisibleControlsOverlapAtTheSmallestSize() {
    for (EngineMode mode : {EngineMode::Player, EngineMode::Client}) {
      const auto placed = layoutControls(kMinimumWidth, kMinimumHeight, mode, 16);
      for (const PlacedControl& a : placed) {
        for (const PlacedControl& b : placed) {
          // The slider lies over the status strip's row only in its own band.
          if (a.id >= b.id || !a.visible || !b.visible) {
            continue;
          }
          const bool apart = a.rect.x + a.rect.width <= b.rect.x || b.rect.x + b.rect.width <= a.rect.x ||
                             a.rect.y + a.rect.height <= b.rect.y || b.rect.y + b.rect.height <= a.rect.y;
          QVERIFY2(apart,
                   qPrintable(QStringLiteral("%1 and %2 in mode %3").arg(a.id).arg(b.id).arg(static_cast<int>(mode))));
        }
      }
    }
  }

  void videoAreaAndWindowSizesAreEachOthersInverse() {
    QCOMPARE(windowForVideo(640, 448), (ControlRect{0, 0, 645, 568}));
    QCOMPARE(videoArea(645, 568), (ControlRect{2, 25, 640, 448}));
    QCOMPARE(windowForVideo(720, 480), (ControlRect{0, 0, 725, 600}));
  }
};

QTEST_GUILESS_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
