// The activity features of the desktop app as a user meets them, on a large
// recording, in the app's own window (run it under Xvfb, or with
// QT_QPA_PLATFORM=offscreen):
//  - playback while the index is built in the background against playback
//    with the index already there (pictures shown in the same time);
//  - reopening an indexed recording: from its first picture on the screen to
//    the activity strip drawn;
//  - the pointer moved onto the slider: from the move to the card painted
//    with the pictures of the cameras shown, at random places.
//
//    viewer_activity_bench [RECORDING] [--hovers N]
//
// RECORDING defaults to activity_bench's 1 GiB recording next to this
// program (run activity_bench once to make it). Prints medians and ranges.
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/desktop/activity_browser.h"
#include "app/desktop/main_window.h"
#include "app/desktop/skin/heat_strip.h"
#include "app/desktop/skin/palette.h"
#include "app/desktop/skin/skin_slider.h"
#include "app/desktop/skin/thumbnail_card.h"
#include "app/desktop/video_view.h"
#include "engine/player_engine.h"

using namespace marlin;
using namespace marlin::desktop;

namespace {

constexpr int kPatienceMs = 600000;

// Notes when the card paints a picture.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(ThumbnailCard& card) : card_(card) { card.installEventFilter(this); }
  bool paintedPicture = false;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !card_.picture().isNull()) {
      paintedPicture = true;
    }
    return false;
  }

 private:
  ThumbnailCard& card_;
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs = kPatienceMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return true;
}

void printSpread(const char* what, std::vector<double> values, const char* unit) {
  std::sort(values.begin(), values.end());
  std::printf("%-48s median %8.2f %s  min %8.2f  max %8.2f  (%zu)\n", what, values[values.size() / 2], unit,
              values.front(), values.back(), values.size());
}

std::unique_ptr<MainWindow> openWindow(const std::string& settings) {
  MainWindow::Setup setup;
  setup.settingsPath = settings;
  setup.silentAudio = true;
  auto window = std::make_unique<MainWindow>(std::move(setup));
  window->resize(1280, 800);
  window->show();
  return window;
}

// Pictures presented in the first milliseconds of play from the start.
int picturesShown(MainWindow& window, double speed, int milliseconds) {
  window.engine().playFrom(0, false, speed);
  const int before = window.videoView()->presentedCount();
  QTest::qWait(milliseconds);
  const int shown = window.videoView()->presentedCount() - before;
  window.engine().pause();
  return shown;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  applySkin(app);
  std::string recording =
      (std::filesystem::canonical("/proc/self/exe").parent_path() / "activity_bench_conditional_1024MiB.QKV").string();
  int hovers = 40;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--hovers" && i + 1 < argc) {
      hovers = std::atoi(argv[++i]);
    } else if (argument.rfind("--benchmark", 0) == 0) {
      continue;  // bench/run.sh gives every program Google Benchmark's options
    } else {
      recording = argument;
    }
  }
  if (!std::filesystem::exists(recording)) {
    std::fprintf(stderr, "%s not found: run activity_bench once to make it, or name a recording\n", recording.c_str());
    return 2;
  }
  QTemporaryDir dir;
  qputenv("XDG_CACHE_HOME", (dir.path() + "/cache").toLocal8Bit());
  const std::string settings = (dir.path() + "/viewer.ini").toStdString();
  const QString path = QString::fromStdString(recording);
  std::printf("%s, %.0f MiB\n", recording.c_str(),
              static_cast<double>(std::filesystem::file_size(recording)) / (1 << 20));

  for (const double speed : {1.0, 16.0}) {
    // Pictures a second while the index is built from the start, against
    // the same time of playback with the index there.
    std::filesystem::remove_all((dir.path() + "/cache").toStdString());
    auto window = openWindow(settings);
    window->openRecording(path);
    window->engine().playFrom(0, false, speed);
    QElapsedTimer clock;
    clock.start();
    const int before = window->videoView()->presentedCount();
    if (!waitFor([&] { return window->activity()->ready(); })) {
      std::fprintf(stderr, "the index was not made\n");
      return 1;
    }
    const qint64 buildMs = clock.elapsed();
    const int building = window->videoView()->presentedCount() - before;
    const int indexed = picturesShown(*window, speed, static_cast<int>(buildMs));
    std::printf("playback at x%-3.0f while indexing for %lld ms: %5d pictures, %5d with the index: %.2f\n", speed,
                static_cast<long long>(buildMs), building, indexed,
                indexed > 0 ? static_cast<double>(building) / indexed : 0.0);
  }

  std::vector<double> stripAfterPicture;
  for (int run = 0; run < 5; ++run) {
    auto window = openWindow(settings);
    QElapsedTimer clock;
    qint64 pictureAt = -1;
    QObject::connect(window.get(), &MainWindow::firstPictureShown, [&] { pictureAt = clock.elapsed(); });
    clock.start();
    window->openRecording(path);
    if (!waitFor([&] { return pictureAt >= 0 && window->activity()->strip()->rowCount() > 0; })) {
      std::fprintf(stderr, "no strip\n");
      return 1;
    }
    stripAfterPicture.push_back(static_cast<double>(std::max<qint64>(0, clock.elapsed() - pictureAt)));
  }
  printSpread("reopened: activity strip after the first picture", stripAfterPicture, "ms");

  auto window = openWindow(settings);
  window->openRecording(path);
  window->engine().pause();
  waitFor([&] { return window->activity()->ready(); });
  SkinSlider& slider = *window->positionSlider();
  ThumbnailCard& card = *window->activity()->card();
  PaintWatch watch(card);
  std::mt19937 random(7);
  std::vector<double> hoverToPicture;
  for (int i = 0; i < hovers; ++i) {
    const int x = std::uniform_int_distribution<int>(8, slider.width() - 8)(random);
    watch.paintedPicture = false;
    QElapsedTimer clock;
    clock.start();
    // The move as the window system delivers it to the slider.
    const QPointF at(x, slider.height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, at, slider.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&slider, &move);
    if (!waitFor([&] { return watch.paintedPicture; }, 10000)) {
      std::fprintf(stderr, "no picture on the card at x %d\n", x);
      return 1;
    }
    hoverToPicture.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    // A user's pointer rests a moment before moving on.
    QTest::qWait(50);
  }
  printSpread("hover on the slider to the card's pictures painted", hoverToPicture, "ms");
  return 0;
}
