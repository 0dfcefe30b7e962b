// The window driven as a user drives it, through its buttons, keys and menu
// items, on the sample recording and against the DVR simulator on 127.0.0.1.
#include "app/desktop/main_window.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/desktop/command_ids.h"
#include "app/desktop/dvr_keys.h"
#include "app/desktop/skin/picture_button.h"
#include "app/desktop/skin/skin_slider.h"
#include "app/desktop/skin/status_strip.h"
#include "app/desktop/video_view.h"
#include "engine/player_engine.h"
#include "net/client_observer.h"
#include "source/container.h"
#include "source/stream_source.h"

using namespace marlin;
using namespace marlin::desktop;

namespace {

constexpr int kPatience = 20000;

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The DVR simulator serving the sample recording, on a free port.
class Dvr {
 public:
  explicit Dvr(const QStringList& extra) {
    process_.setProgram(QString::fromLocal8Bit(qgetenv("MARLIN_CLI")));
    process_.setArguments(QStringList{"serve-dvr", MARLIN_SAMPLE_RECORDING, "--port", "0", "--loop"} + extra);
    process_.start();
    if (process_.waitForReadyRead(kPatience)) {
      const QString line = QString::fromLatin1(process_.readLine()).trimmed();
      if (line.startsWith("LISTENING ")) {
        port_ = line.mid(10).toInt();
      }
    }
  }
  ~Dvr() {
    process_.kill();
    process_.waitForFinished();
  }
  int port() const { return port_; }
  // What the DVR logged so far, one JSON line per event.
  QString log() {
    log_ += QString::fromLatin1(process_.readAllStandardOutput());
    return log_;
  }

 private:
  QString log_;
  QProcess process_;
  int port_ = 0;
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QStringList messages_;
  QString login_address_ = QStringLiteral("127.0.0.1");
  int loginPort_ = 0;
  std::string loginPassword_ = "pw";

  std::string path(const char* name) const { return (dir_.path() + "/" + name).toStdString(); }

  std::unique_ptr<MainWindow> makeWindow(const std::string& settingsText = "", std::FILE* events = nullptr,
                                         const std::string& stills = "") {
    const std::string settings = path("viewer.ini");
    std::ofstream(settings) << "[Marlin Viewer]\nCapture Path=" << (stills.empty() ? path("stills") : stills) << "\n"
                            << settingsText;
    MainWindow::Setup setup;
    setup.settingsPath = settings;
    setup.events = events;
    setup.silentAudio = true;
    setup.prompts.openRecording = [](QWidget*) { return QStringLiteral(MARLIN_SAMPLE_RECORDING); };
    setup.prompts.saveRange = [this](QWidget*) { return QString::fromStdString(path("range.QKV")); };
    setup.prompts.login = [this](QWidget*, const LoginValues& start) -> std::optional<LoginValues> {
      LoginValues values = start;
      values.address = login_address_.toStdString();
      values.port = loginPort_;
      values.password = loginPassword_;
      return values;
    };
    auto window = std::make_unique<MainWindow>(std::move(setup));
    messages_.clear();
    window->messages().setObserver([this](const QString& text) { messages_ << text; });
    window->show();
    return window;
  }

  static void click(MainWindow& window, CommandId id) {
    PictureButton* button = window.button(id);
    QVERIFY(button != nullptr);
    QVERIFY(button->isVisible());
    // The window refreshes its buttons on its timers.
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), kPatience);
    QTest::mouseClick(button, Qt::LeftButton);
  }

  // Gives a command as its menu item or shortcut would, once the window
  // offers it.
  static void trigger(MainWindow& window, CommandId id) {
    QAction* action = window.action(id);
    QVERIFY(action != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(action->isEnabled(), kPatience);
    action->trigger();
  }

  // Each menu's underlined letters, to find two items sharing one.
  static void checkMnemonicsAreUnique(const QMenu& menu) {
    QSet<QChar> letters;
    for (const QAction* action : menu.actions()) {
      const QString text = action->text();
      const qsizetype at = text.indexOf(QLatin1Char('&'));
      if (at >= 0 && at + 1 < text.size()) {
        const QChar letter = text.at(at + 1).toLower();
        QVERIFY2(!letters.contains(letter), qPrintable(menu.title() + ": '" + letter + "' twice, at " + text));
        letters.insert(letter);
      }
      if (action->menu() != nullptr) {
        checkMnemonicsAreUnique(*action->menu());
      }
    }
  }

 private slots:
  void everyMenuLetterLeadsToOneItem() {
    auto window = makeWindow();
    for (const char* name : {"playerMenu", "clientMenu"}) {
      const auto* menu = window->findChild<QMenu*>(name);
      QVERIFY(menu != nullptr);
      checkMnemonicsAreUnique(*menu);
    }
  }

  // A fresh account has no ~/Pictures: the still's folder is made with every
  // level, the still is confirmed; where no folder can be made, the user is
  // told why. Scripts see both as event lines.
  void stillCaptureMakesItsFolderOrSaysWhyNot() {
    const std::string eventsPath = path("still-events.jsonl");
    std::FILE* events = std::fopen(eventsPath.c_str(), "w");
    QVERIFY(events != nullptr);
    const std::string stills = path("fresh/Pictures/Marlin Viewer");
    {
      auto window = makeWindow("", events, stills);
      QVERIFY(window->openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
      QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > 0, kPatience);
      // Shortcuts reach the active window only.
      window->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(window.get()));
      QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
      QTRY_VERIFY_WITH_TIMEOUT(window->statusStrip()->noticeText().startsWith("Still saved: "), kPatience);
      const QStringList saved = QDir(QString::fromStdString(stills)).entryList({"*.bmp"}, QDir::Files);
      QCOMPARE(saved.size(), 1);
      QVERIFY(window->statusStrip()->noticeText().endsWith(saved.front()));
      window->close();
    }
    std::ofstream(path("a-file")) << "not a folder";
    {
      auto window = makeWindow("", events, path("a-file/stills"));
      QVERIFY(window->openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
      QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > 0, kPatience);
      // Shortcuts reach the active window only.
      window->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(window.get()));
      QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
      QTRY_COMPARE_WITH_TIMEOUT(messages_.size(), 1, kPatience);
      QVERIFY2(messages_.front().startsWith("Still not saved: cannot create ") &&
                   messages_.front().endsWith(": Not a directory"),
               qPrintable(messages_.front()));
      window->close();
    }
    std::fclose(events);
    const std::string lines = fileText(eventsPath);
    QVERIFY(lines.find("{\"event\":\"status\",\"text\":\"Still saved: ") != std::string::npos);
    QVERIFY(lines.find("{\"event\":\"message\",\"title\":\"Marlin Viewer 2.74\",\"text\":\"Still not saved: ") !=
            std::string::npos);
  }

  // Volume 0 is the first run's setting: the speaker shows it, and the first
  // sound played says so once, not at every recording.
  void theFirstSoundAtVolumeZeroSaysSoundIsOffOnce() {
    const std::string eventsPath = path("sound-events.jsonl");
    std::FILE* events = std::fopen(eventsPath.c_str(), "w");
    QVERIFY(events != nullptr);
    {
      auto window = makeWindow("", events);
      QCOMPARE(window->engine().getVolume(), 0u);
      QVERIFY(window->openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
      QTRY_COMPARE_WITH_TIMEOUT(window->statusStrip()->noticeText(), QStringLiteral("Sound is off: raise the volume"),
                                kPatience);
      QCOMPARE(window->button(kMute)->iconName(), QStringLiteral("mute"));
      // The second recording plays its sound for many polls without a word.
      QVERIFY(window->openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
      QTRY_VERIFY_WITH_TIMEOUT(window->statusStrip()->noticeText().startsWith("Read as "), kPatience);
      const auto presented = window->videoView()->presentedCount();
      QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > presented + 20, kPatience);
      QVERIFY(window->statusStrip()->noticeText().startsWith("Read as "));
      window->close();
    }
    std::fclose(events);
    const std::string lines = fileText(eventsPath);
    const std::string told = "{\"event\":\"status\",\"text\":\"Sound is off: raise the volume\"}";
    QVERIFY(lines.find(told) != std::string::npos);
    QCOMPARE(lines.find(told), lines.rfind(told));
  }

  // Nothing stale stays on screen: Close and a switch of mode leave a dark
  // view with what to do next, no time and the slider at its start.
  void closeAndModeSwitchLeaveNoStalePicture() {
    auto window = makeWindow();
    QVERIFY(window->openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
    QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > 0, kPatience);
    QVERIFY(window->videoView()->hint().isEmpty());
    SkinSlider* position = window->findChild<SkinSlider*>();
    QVERIFY(position != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(position->value() > 0, kPatience);
    trigger(*window, kCloseFile);
    QCOMPARE(window->videoView()->hint(), QStringLiteral("Open or drop a recording"));
    QCOMPARE(position->value(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(window->statusStrip()->statusText(), QStringLiteral("READY"), kPatience);
    QVERIFY(window->statusStrip()->timeText().trimmed().isEmpty());

    QVERIFY(window->openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
    QTRY_VERIFY_WITH_TIMEOUT(position->value() > 0, kPatience);
    trigger(*window, kClientMode);
    QCOMPARE(window->videoView()->hint(), QStringLiteral("Connect to a DVR"));
    trigger(*window, kPlayerMode);
    QCOMPARE(window->videoView()->hint(), QStringLiteral("Open or drop a recording"));
    QCOMPARE(position->value(), 0);
    QVERIFY(!window->engine().isSourceOpen());
  }

  // A file that is no recording, or no file at all, is refused with the
  // reason, and the recording that plays goes on as before.
  void whatCannotBePlayedIsRefusedAndChangesNothing() {
    auto window = makeWindow();
    QVERIFY(window->openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
    QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > 0, kPatience);
    const QString title = window->findChild<QLabel*>("titleLabel")->text();
    std::ofstream(path("notes.QKV")) << "a text file renamed\n";
    const struct {
      std::string file;
      const char* reason;
    } refused[] = {{path("notes.QKV"), "not a recording: no valid block in the first 4 MB"},
                   {path("missing.QKV"), "No such file or directory"}};
    for (const auto& attempt : refused) {
      messages_.clear();
      QVERIFY(!window->openRecording(QString::fromStdString(attempt.file)));
      QCOMPARE(messages_.size(), 1);
      QVERIFY2(messages_.front().startsWith("Open Error") && messages_.front().endsWith(attempt.reason),
               qPrintable(messages_.front()));
      QCOMPARE(window->findChild<QLabel*>("titleLabel")->text(), title);
      QVERIFY(window->engine().isSourceOpen());
      const int shown = window->videoView()->presentedCount();
      QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > shown, kPatience);
    }
  }

  void openPlayPauseStepMarkAndExportARange() {
    auto window = makeWindow();
    click(*window, kOpenFile);
    QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > 0, kPatience);
    QTRY_COMPARE_WITH_TIMEOUT(window->engine().getState(), PlaybackState::Forward, kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(window->statusStrip()->statusText() == "PLAY  x 1.0", kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(!window->statusStrip()->timeText().trimmed().isEmpty(), kPatience);
    QVERIFY(!window->look(kMarkIn).enabled);

    click(*window, kPause);
    QTRY_COMPARE_WITH_TIMEOUT(window->engine().getState(), PlaybackState::Paused, kPatience);
    QTRY_COMPARE_WITH_TIMEOUT(window->statusStrip()->statusText(), QStringLiteral("PAUSE"), kPatience);
    QVERIFY(window->look(kMarkIn).enabled);
    trigger(*window, kMarkIn);
    const std::uint64_t in = window->markIn();
    QVERIFY(in > 0);
    for (int step = 0; step < 40; ++step) {
      const std::uint64_t before = window->engine().getPosition();
      click(*window, kNextFrame);
      QTRY_VERIFY_WITH_TIMEOUT(window->engine().getPosition() > before, kPatience);
    }
    const std::uint64_t beforeKey = window->engine().getPosition();
    QTest::keyClick(window.get(), Qt::Key_Period);
    // A step shows "STEPF" until the worker has taken it, and the engine may
    // still show the pause before it has seen the step at all; marks wait
    // for the pause after the step.
    QTRY_VERIFY_WITH_TIMEOUT(window->engine().getPosition() > beforeKey, kPatience);
    QTRY_COMPARE_WITH_TIMEOUT(window->engine().getState(), PlaybackState::Paused, kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(window->look(kMarkOut).enabled, kPatience);
    trigger(*window, kMarkOut);
    QVERIFY(window->markOut() > in);
    // Each mark is confirmed and drawn on the position slider.
    QVERIFY(window->statusStrip()->noticeText().startsWith("Mark Out: "));
    auto* position = window->findChild<SkinSlider*>();
    QTRY_COMPARE_WITH_TIMEOUT(position->markOut(), std::optional<int>(static_cast<int>(window->markOut() / 4096)),
                              kPatience);
    QVERIFY(window->look(kExportCapture).enabled);

    trigger(*window, kExportCapture);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QString::fromStdString(path("range.QKV"))), kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(QString::fromStdString(path("range.QKV"))).size() > 0, kPatience);
    StreamSource copy;
    QVERIFY(copy.open(path("range.QKV"), false).isOk());
    const std::uint64_t blocks = (window->markOut() + container::kBlockSize - 1) / container::kBlockSize -
                                 window->markIn() / container::kBlockSize;
    QCOMPARE(copy.getSize(), blocks * container::kBlockSize);
    std::vector<std::uint8_t> frame(container::kFrameBufferSize);
    int frames = 0;
    while (copy.readNext(frame.data()) != 0) {
      ++frames;
    }
    QVERIFY(frames > 10);
    QVERIFY(messages_.isEmpty());
  }

  void fastForwardDoublesFromEightAndStartsAgainAfterRewind() {
    auto window = makeWindow("Repeat=1\n");
    QVERIFY(window->openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
    QTRY_COMPARE_WITH_TIMEOUT(window->engine().getState(), PlaybackState::Forward, kPatience);
    for (double speed : {8.0, 16.0, 32.0}) {
      click(*window, kFastForward);
      QCOMPARE(window->engine().getSpeed(), speed);
      QTRY_COMPARE_WITH_TIMEOUT(window->engine().getState(), PlaybackState::Forward, kPatience);
    }
    click(*window, kFastRewind);
    QCOMPARE(window->engine().getSpeed(), 8.0);
    QTRY_COMPARE_WITH_TIMEOUT(window->engine().getState(), PlaybackState::Reverse, kPatience);
    QTRY_COMPARE_WITH_TIMEOUT(window->statusStrip()->statusText(), QStringLiteral("REV  x 8.0"), kPatience);
    click(*window, kFastForward);
    QCOMPARE(window->engine().getSpeed(), 8.0);
    QTRY_VERIFY_WITH_TIMEOUT(window->statusStrip()->statusText() == "PLAY  x 8.0", kPatience);
  }

  void keysAndStillsInPlayerMode() {
    auto window = makeWindow();
    QVERIFY(window->openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
    QTRY_COMPARE_WITH_TIMEOUT(window->engine().getState(), PlaybackState::Forward, kPatience);
    QTest::keyClick(window.get(), Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(window->engine().getState(), PlaybackState::Paused, kPatience);
    QTest::keyClick(window.get(), Qt::Key_BracketRight);
    QCOMPARE(window->engine().getSpeed(), 1.1);
    QTest::keyClick(window.get(), Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(window->engine().getState(), PlaybackState::Forward, kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > 0, kPatience);

    click(*window, kStillCapture);
    click(*window, kStillCapture);
    QStringList stills = QDir(QString::fromStdString(path("stills"))).entryList({"*.bmp"}, QDir::Files);
    std::sort(stills.begin(), stills.end(), [](const QString& a, const QString& b) { return a.size() < b.size(); });
    // Both kept: within one second the second gets "-2".
    QCOMPARE(stills.size(), 2);
    const QString first = stills[0];
    QCOMPARE(first.size(), 19);
    QVERIFY(stills[1] == first.left(15) + "-2.bmp" || stills[1].size() == 19);
  }

  void eventLinesAndTheAviCaptureOfWhatIsShown() {
    std::FILE* events = std::tmpfile();
    const std::string avi = path("shown.avi");
    {
      const std::string settings = path("avi.ini");
      std::ofstream(settings) << "[Marlin Viewer]\n";
      MainWindow::Setup setup;
      setup.settingsPath = settings;
      setup.silentAudio = true;
      setup.events = events;
      setup.prompts.saveAvi = [&avi](QWidget*, const QString&) { return QString::fromStdString(avi); };
      setup.prompts.compression = [](QWidget*) -> std::optional<Compression> { return Compression{}; };
      MainWindow window(std::move(setup));
      window.show();
      QVERIFY(window.openRecording(QStringLiteral(MARLIN_SAMPLE_RECORDING)));
      QTRY_VERIFY_WITH_TIMEOUT(window.videoView()->presentedCount() > 8, kPatience);
      click(window, kSaveAvi);
      QTRY_VERIFY_WITH_TIMEOUT(window.engine().isAviCapturing(), kPatience);
      QCOMPARE(window.button(kSaveAvi)->text(), QStringLiteral("Stop AVI"));
      const int shown = window.videoView()->presentedCount();
      QTRY_VERIFY_WITH_TIMEOUT(window.videoView()->presentedCount() > shown + 20, kPatience);
      click(window, kSaveAvi);
      QVERIFY(!window.engine().isAviCapturing());
      QCOMPARE(window.button(kSaveAvi)->text(), QStringLiteral("Save AVI"));
    }
    // The capture is a playable file with the pictures in it.
    const std::string header = fileText(avi).substr(0, 12);
    QCOMPARE(header.substr(0, 4), std::string("RIFF"));
    QCOMPARE(header.substr(8, 4), std::string("AVI "));
    QVERIFY(QFileInfo(QString::fromStdString(avi)).size() > 640 * 448 * 3);
    // The same lines as marlin play --events prints.
    std::rewind(events);
    std::string lines;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, events)) {
      lines.append(buffer, n);
    }
    std::fclose(events);
    QVERIFY(lines.find("{\"event\":\"state\",\"state\":\"forward\",\"speed\":1}\n") != std::string::npos);
    const QRegularExpression picture(
        R"(\{"event":"picture","channel":[0-3],"time":"2010-01-01 12:00:\d\d","width":640,"height":224,"position":\d+\}\n)");
    QVERIFY(picture.match(QString::fromStdString(lines)).hasMatch());
  }

  void settingsReachTheEngineAndGoBackAtExit() {
    {
      auto window = makeWindow("Timeout=7\nVolume=1234\nShow Time=0\nMute=1\n");
      QCOMPARE(window->engine().getTimeout(), 7000u);
      QCOMPARE(window->engine().getVolume(), 1234u);
      QVERIFY(!window->engine().getShowTime());
      QVERIFY(window->look(kMute).checked);
      click(*window, kMute);
      QVERIFY(!window->look(kMute).checked);
      window->close();
    }
    const std::string text = fileText(path("viewer.ini"));
    QVERIFY(text.find("Timeout=7\n") != std::string::npos);
    QVERIFY(text.find("Volume=1234\n") != std::string::npos);
    QVERIFY(text.find("Mute=0\n") != std::string::npos);
    QVERIFY(text.find("Show Time=0\n") != std::string::npos);
  }

  void sizesAndTheSmallestWindow() {
    auto window = makeWindow();
    trigger(*window, kSize640x448);
    QVERIFY(window->look(kSize640x448).checked);
    QCOMPARE(window->videoView()->size(), QSize(640, 448));
    window->resize(100, 100);
    QVERIFY(window->width() >= 578 && window->height() >= 486);
    trigger(*window, kClientMode);
    QCOMPARE(window->mode(), EngineMode::Client);
    QVERIFY(window->button(kConnect)->isVisible());
    QVERIFY(!window->button(kOpenFile)->isVisible());
  }

  void loginFailuresSayWhatWentWrong() {
    {
      Dvr dvr({"--password", "right"});
      QVERIFY(dvr.port() > 0);
      auto window = makeWindow("Timeout=3\n");
      loginPort_ = dvr.port();
      loginPassword_ = "wrong";
      trigger(*window, kClientMode);
      click(*window, kConnect);
      QTRY_COMPARE_WITH_TIMEOUT(messages_.size(), 1, kPatience);
      QCOMPARE(messages_.front(), QStringLiteral("Incorrect password."));
    }
    {
      Dvr dvr({"--refuse", "1"});
      auto window = makeWindow("Timeout=3\n");
      loginPort_ = dvr.port();
      trigger(*window, kClientMode);
      click(*window, kConnect);
      QTRY_COMPARE_WITH_TIMEOUT(messages_.size(), 1, kPatience);
      QCOMPARE(messages_.front(), QStringLiteral("Too many client."));
    }
    {
      // Nobody listens any more where a DVR was: the client's own reason,
      // not the password.
      int closed = 0;
      {
        Dvr gone({});
        closed = gone.port();
      }
      auto window = makeWindow("Timeout=2\n");
      loginPort_ = closed;
      trigger(*window, kClientMode);
      click(*window, kConnect);
      QTRY_COMPARE_WITH_TIMEOUT(messages_.size(), 1, kPatience);
      QVERIFY(!messages_.front().isEmpty());
      QVERIFY(messages_.front() != QStringLiteral("Incorrect password."));
    }
    {
      // A name is looked up away from the window's thread, and one that
      // does not exist is said so.
      auto window = makeWindow();
      login_address_ = QStringLiteral("no-such-dvr.invalid");
      trigger(*window, kClientMode);
      click(*window, kConnect);
      QTRY_COMPARE_WITH_TIMEOUT(messages_.size(), 1, kPatience);
      QCOMPARE(messages_.front(), QStringLiteral("Cannot find the DVR \"no-such-dvr.invalid\"."));
      QVERIFY(!window->engine().isConnected());
      login_address_ = QStringLiteral("127.0.0.1");
    }
    loginPassword_ = "pw";
  }

  void remoteKeysAndALocalRecordingOfTheLiveStream() {
    Dvr dvr({"--password", "pw"});
    auto window = makeWindow(("Local Recording Path=" + path("live") + "\n").c_str());
    loginPort_ = dvr.port();
    trigger(*window, kClientMode);
    QVERIFY(!window->look(kStartLocalRecording).enabled);
    click(*window, kConnect);
    QTRY_VERIFY_WITH_TIMEOUT(window->engine().isConnected(), kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > 0, kPatience);

    // Keys wait in the key buffer for the window's timer, one at a time; Tab
    // is no DVR key.
    const auto keysSent = [&dvr] { return dvr.log().count("\"event\":\"key\""); };
    for (const auto& [key, sent] : {std::pair{Qt::Key_Down, 1}, {Qt::Key_Tab, 1}, {Qt::Key_A, 2}}) {
      QTest::keyClick(window.get(), key, Qt::NoModifier);
      QTRY_COMPARE_WITH_TIMEOUT(keysSent(), sent, kPatience);
    }
    // An arrow typed with the volume slider focused is the DVR's alone.
    auto* volume = window->findChild<SkinSlider*>("volumeSlider");
    volume->setFocus();
    const int loudness = volume->value();
    QTest::keyClick(volume, Qt::Key_Right, Qt::NoModifier);
    QTRY_COMPARE_WITH_TIMEOUT(keysSent(), 3, kPatience);
    QCOMPARE(volume->value(), loudness);
    click(*window, kDvrMenu);
    QTRY_VERIFY_WITH_TIMEOUT(dvr.log().count("\"event\":\"key\"") == 4, kPatience);
    const QString log = dvr.log();
    const auto at = [&log](int value) { return log.indexOf(QStringLiteral("\"value\":%1}").arg(value)); };
    QVERIFY(at(14) >= 0 && at(14) < at(65) && at(65) < at(12));

    QVERIFY(window->look(kStartLocalRecording).enabled);
    trigger(*window, kStartLocalRecording);
    QVERIFY(window->engine().isRecording());
    QVERIFY(!window->look(kStartLocalRecording).enabled && window->look(kStopLocalRecording).enabled);
    // The recording begins at the next refresh picture and grows a block at a time.
    const QDir folder(QString::fromStdString(path("live")));
    QTRY_VERIFY_WITH_TIMEOUT(folder.entryInfoList({"*.QKV"}, QDir::Files).size() == 1 &&
                                 folder.entryInfoList({"*.QKV"}, QDir::Files).front().size() >= 6 * 4096,
                             kPatience);
    trigger(*window, kStopLocalRecording);
    QVERIFY(!window->engine().isRecording());
    const QStringList recordings = folder.entryList({"*.QKV"}, QDir::Files);
    QCOMPARE(recordings.size(), 1);
    QVERIFY(QRegularExpression(R"(^\d{8}-\d{6}\.QKV$)").match(recordings.front()).hasMatch());
    StreamSource recorded;
    recorded.setCodecVariant(window->engine().config().videoFormat);
    QVERIFY(recorded.open(path("live") + "/" + recordings.front().toStdString(), false).isOk());
    std::vector<std::uint8_t> frame(container::kFrameBufferSize);
    QVERIFY(recorded.readNext(frame.data()) > 0);

    click(*window, kConnect);
    QVERIFY(!window->engine().isConnected());
    QTRY_VERIFY_WITH_TIMEOUT(dvr.log().contains("\"event\":\"logout\""), kPatience);
    QVERIFY(messages_.isEmpty());
  }

  void withoutAutoReconnectionALostStreamEndsTheSession() {
    Dvr dvr({"--password", "pw", "--fault", "stall@1"});
    auto window = makeWindow("Timeout=2\nAuto Reconnection=0\n");
    loginPort_ = dvr.port();
    trigger(*window, kClientMode);
    click(*window, kConnect);
    QTRY_VERIFY_WITH_TIMEOUT(window->engine().isConnected(), kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > 0, kPatience);
    QVERIFY(window->look(kDvrMenu).enabled);
    QTRY_COMPARE_WITH_TIMEOUT(messages_.size(), 1, kPatience);
    QCOMPARE(messages_.front(), QStringLiteral("Disconnected by server."));
    QVERIFY(!window->engine().isConnected());
    QVERIFY(!window->look(kDvrMenu).enabled);
  }

  void aDiskImageOpenedAsAFileIsReadAsADisk() {
    std::ifstream in(MARLIN_SAMPLE_RECORDING, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QVERIFY(bytes.size() > container::kBlockSize);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      std::swap(bytes[i], bytes[i + 1]);
    }
    const std::string image = path("sample.img");
    std::ofstream(image, std::ios::binary) << bytes;

    auto window = makeWindow();
    QVERIFY(window->openRecording(QString::fromStdString(image)));
    QTRY_VERIFY_WITH_TIMEOUT(window->videoView()->presentedCount() > 0, kPatience);
    QVERIFY(window->engine().lastRecognition().reading.isDisk());
    QVERIFY(window->statusStrip()->noticeText().startsWith("Read as disk byte order"));
    QVERIFY(messages_.isEmpty());
  }

  // Nobody listens: the system's refusal is the answer, so the user hears
  // it at once instead of after the timeout, and the session is over.
  void aRefusedLoginSaysWhyAndEndsTheSession() {
    int closed = 0;
    {
      Dvr gone({});
      closed = gone.port();
    }
    QVERIFY(closed > 0);
    auto window = makeWindow("Timeout=3600\n");
    loginPort_ = closed;
    trigger(*window, kClientMode);
    click(*window, kConnect);
    QTRY_COMPARE_WITH_TIMEOUT(messages_.size(), 1, kPatience);
    QVERIFY2(messages_.front().contains(QString::fromLocal8Bit(std::strerror(ECONNREFUSED))),
             qPrintable(messages_.front()));
    QCOMPARE(window->engine().getConnectionState(), static_cast<int>(net::ConnectionState::Idle));
    QVERIFY(!window->engine().isConnected());
  }

  // Quick typing and a held arrow's repeats: every key reaches the DVR, in
  // the order typed.
  void everyKeyTypedReachesTheDvrInOrder() {
    Dvr dvr({"--password", "pw"});
    auto window = makeWindow();
    loginPort_ = dvr.port();
    trigger(*window, kClientMode);
    click(*window, kConnect);
    QTRY_VERIFY_WITH_TIMEOUT(window->engine().isConnected(), kPatience);

    std::vector<int> typed;
    for (int i = 0; i < 20; ++i) {
      const Qt::Key digit = static_cast<Qt::Key>(Qt::Key_0 + i % 10);
      QTest::keyClick(window.get(), digit, Qt::NoModifier, 10);
      typed.push_back(*dvrKeyFor(digit, QString::number(i % 10)));
    }
    // What the system sends while the key is held: presses marked as repeats, one release at the end.
    for (int i = 0; i < 10; ++i) {
      QTest::simulateEvent(window.get(), true, Qt::Key_Down, Qt::NoModifier, QString(), i > 0, 10);
      typed.push_back(*dvrKeyFor(Qt::Key_Down, QString()));
    }
    QTest::simulateEvent(window.get(), false, Qt::Key_Down, Qt::NoModifier, QString(), false, 10);

    const QRegularExpression keyLine(R"("event":"key"[^\n]*"value":(\d+))");
    const auto received = [&] {
      std::vector<int> values;
      for (auto match = keyLine.globalMatch(dvr.log()); match.hasNext();) {
        values.push_back(match.next().captured(1).toInt());
      }
      return values;
    };
    QTRY_VERIFY_WITH_TIMEOUT(received().size() >= typed.size(), kPatience);
    QCOMPARE(received(), typed);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
