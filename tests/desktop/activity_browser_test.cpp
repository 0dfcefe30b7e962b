// Finding the moment through the window's own widgets: the activity strip,
// the next and previous event keys and a search region drawn on the picture,
// on a recording whose motion is known.
#include "app/desktop/activity_browser.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fstream>

#include "activity/activity_index.h"
#include "app/desktop/activity_tracker.h"
#include "app/desktop/command_ids.h"
#include "app/desktop/dialogs/export_dialog.h"
#include "app/desktop/event_list_panel.h"
#include "app/desktop/main_window.h"
#include "app/desktop/skin/heat_strip.h"
#include "app/desktop/skin/picture_button.h"
#include "app/desktop/skin/skin_slider.h"
#include "app/desktop/video_view.h"
#include "base/calendar.h"
#include "engine/player_engine.h"
#include "engine/sample/sample_recording.h"
#include "top_level_window.h"

using namespace marlin;
using namespace marlin::desktop;

namespace {

constexpr int kPatience = 20000;
constexpr std::uint32_t kStart = 1262347200;  // the sample's first second

// Camera 1: motion at the top left from 5 s; camera 2 from 12 s; nothing
// else moves.
sample::SampleOptions motionSample() {
  sample::SampleOptions options;
  options.channels = 2;
  options.seconds = 18;
  options.conditional = true;
  options.noiseSigma = 1.5;
  options.motion = {{0, 5, 9, Rect{0, 0, 200, 112}}, {1, 12, 15, std::nullopt}};
  return options;
}

std::uint32_t shownSecond(PlayerEngine& engine) {
  CalendarTime time{};
  if (engine.getFrameTime(time) != 1) {
    return 0;
  }
  return timestampFromCalendar(time, 0).value_or(0);
}

}  // namespace

class ActivityBrowserTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  std::FILE* events_ = nullptr;

  std::string eventsPath() const { return (dir_.path() + "/events.jsonl").toStdString(); }

  // How many status lines so far begin with text.
  int said(const std::string& text) const {
    std::ifstream in(eventsPath());
    const std::string wanted = "{\"event\":\"status\",\"text\":\"" + text;
    int count = 0;
    for (std::string line; std::getline(in, line);) {
      count += line.rfind(wanted, 0) == 0 ? 1 : 0;
    }
    return count;
  }

  std::unique_ptr<MainWindow> openWindow() {
    qputenv("XDG_CACHE_HOME", (dir_.path() + "/cache").toLocal8Bit());
    const std::string recording = (dir_.path() + "/motion.QKV").toStdString();
    const std::vector<std::uint8_t> bytes = sample::makeSampleRecording(motionSample());
    std::ofstream(recording, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    MainWindow::Setup setup;
    setup.settingsPath = (dir_.path() + "/viewer.ini").toStdString();
    setup.silentAudio = true;
    // What the window says it did stays in the event lines, where a notice
    // on the screen goes after a few seconds.
    events_ = std::fopen(eventsPath().c_str(), "w");
    setup.events = events_;
    auto window = std::make_unique<MainWindow>(std::move(setup));
    window->resize(900, 640);
    window->show();
    window->openRecording(QString::fromStdString(recording));
    window->engine().pause();
    return window;
  }

  // The strip's level for a camera's row at one second of the recording.
  static double stripLevel(MainWindow& window, int row, int camera, std::uint32_t second) {
    const ActivityTracker& tracker = window.activity()->tracker();
    for (const activity::SecondActivity& at : tracker.index().channels[camera].seconds) {
      if (at.time == kStart + second) {
        const double x = window.positionSlider()->xOf(static_cast<double>(at.firstPosition) / 4096);
        return window.activity()->strip()->levelAt(row, static_cast<int>(x));
      }
    }
    return -1.0;
  }

  static void press(MainWindow& window, Qt::Key key) {
    QTest::keyClick(window.videoView(), key);
    QApplication::processEvents();
  }

 private slots:
  void theStripTheEventKeysAndARegionFindTheScheduledMotion() {
    auto window = openWindow();
    MainWindow& w = *window;
    QTRY_VERIFY_WITH_TIMEOUT(w.activity()->ready(), kPatience);
    // Every camera shown, a row each: motion where it was scheduled only.
    QCOMPARE(w.activity()->strip()->rowCount(), 4);
    QVERIFY(stripLevel(w, 0, 0, 7) > 0.0);
    QVERIFY(stripLevel(w, 1, 1, 13) > 0.0);
    QCOMPARE(stripLevel(w, 0, 0, 13), 0.0);
    QCOMPARE(stripLevel(w, 1, 1, 7), 0.0);

    // Page Down and Page Up go from event to event, by time: the picture
    // shown is the event's camera's (an event starts within a second of its
    // motion; the time shown may be another camera's, a little earlier).
    const auto shows = [&w](std::uint32_t second) {
      const std::uint32_t shown = shownSecond(w.engine());
      return shown + 2 >= kStart + second && shown <= kStart + second + 1;
    };
    press(w, Qt::Key_PageDown);
    QTRY_VERIFY_WITH_TIMEOUT(said("Next event: camera 1 at") == 1, kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(shows(5), kPatience);
    // Twice in a row, faster than a jump settles: the second goes on from
    // the event the first jumped to.
    press(w, Qt::Key_PageDown);
    press(w, Qt::Key_PageDown);
    QTRY_VERIFY_WITH_TIMEOUT(said("No later event") == 1, kPatience);
    QCOMPARE(said("Next event: camera 2 at"), 1);
    QTRY_VERIFY_WITH_TIMEOUT(shows(12), kPatience);
    press(w, Qt::Key_PageUp);
    QTRY_VERIFY_WITH_TIMEOUT(said("Previous event: camera 1 at") == 1, kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(shows(5), kPatience);

    // The event list (E) has a row per event; a click on one jumps to it.
    press(w, Qt::Key_E);
    QTRY_VERIFY_WITH_TIMEOUT(w.activity()->panel()->isVisible(), kPatience);
    QListWidget* list = w.activity()->panel()->list();
    QCOMPARE(list->count(), 2);
    QVERIFY(list->item(1)->text().contains(QStringLiteral("Camera 2")));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    QTRY_VERIFY_WITH_TIMEOUT(shows(12), kPatience);
    press(w, Qt::Key_E);
    QTRY_VERIFY_WITH_TIMEOUT(!w.activity()->panel()->isVisible(), kPatience);

    // Exporting an event keeps a few seconds either side, as far as the recording reaches (18 s).
    // The window opens the Export dialog on it, with "Evidence folder" ticked.
    QSignalSpy exports(w.activity(), &ActivityBrowser::exportWanted);
    const activity::ActivityEvent second = w.activity()->tracker().events()[1];
    QString dialogTitle;
    whenShown<ExportDialog>([&dialogTitle](ExportDialog* dialog) {
      dialogTitle = dialog->windowTitle();
      dialog->reject();
    });
    emit w.activity()->panel()->exportWanted(second, ExportKind::Evidence);
    QCOMPARE(dialogTitle, QStringLiteral("Export Evidence"));
    QCOMPARE(exports.count(), 1);
    QCOMPARE(exports[0][1].toUInt(), second.start - 3);
    QCOMPARE(exports[0][2].toUInt(), std::min(second.end + 3, kStart + 17));
    QCOMPARE(exports[0][3].value<ExportKind>(), ExportKind::Evidence);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // Camera 1 alone: a region drawn where nothing moved finds nothing, one
    // around the motion finds it; Esc gives every event back.
    QTest::mouseClick(w.button(kSplit1), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w.activity()->strip()->rowCount(), 1, kPatience);
    QCOMPARE(w.activity()->tracker().events().size(), std::size_t{1});
    VideoView* view = w.videoView();
    const auto draw = [view](QPointF from, QPointF to) {
      const auto at = [view](QPointF share) {
        return QPoint(static_cast<int>(share.x() * view->width()), static_cast<int>(share.y() * view->height()));
      };
      QTest::mousePress(view, Qt::LeftButton, Qt::ShiftModifier, at(from));
      QTest::mouseMove(view, at((from + to) / 2));
      QTest::mouseMove(view, at(to));
      QTest::mouseRelease(view, Qt::LeftButton, Qt::ShiftModifier, at(to));
    };
    draw({0.6, 0.6}, {0.95, 0.95});
    QTRY_VERIFY_WITH_TIMEOUT(w.activity()->regionDrawn(), kPatience);
    QVERIFY(w.activity()->tracker().events().empty());
    QCOMPARE(stripLevel(w, 0, 0, 7), 0.0);
    draw({0.02, 0.02}, {0.35, 0.5});
    QTRY_COMPARE_WITH_TIMEOUT(w.activity()->tracker().events().size(), std::size_t{1}, kPatience);
    QVERIFY(w.activity()->tracker().events().front().start + 1 >= kStart + 5);
    QVERIFY(stripLevel(w, 0, 0, 7) > 0.0);
    press(w, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!w.activity()->regionDrawn(), kPatience);
    QVERIFY(!view->region().has_value());
    QCOMPARE(w.activity()->tracker().events().size(), std::size_t{1});
    window.reset();
    std::fclose(events_);
  }
};

QTEST_MAIN(ActivityBrowserTest)
#include "activity_browser_test.moc"
