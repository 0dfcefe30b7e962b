#include <QTest>
#include <set>

#include "app/desktop/capture_names.h"
#include "app/desktop/command_ids.h"
#include "app/desktop/command_line.h"
#include "app/desktop/command_rules.h"
#include "app/desktop/dvr_keys.h"
#include "app/desktop/status_text.h"

using namespace marlin;
using namespace marlin::desktop;

class WindowRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void playbackCommandsWaitForARecording() {
    WindowFacts f;
    for (CommandId id : {kPlay, kPause, kFastForward, kFastRewind, kNextFrame, kPreviousFrame, kPlayReverse}) {
      QVERIFY(!commandLook(id, f).enabled);
    }
    f.state = PlaybackState::Forward;
    f.sourceOpen = true;
    for (CommandId id : {kPlay, kPause, kFastForward, kFastRewind, kNextFrame, kPreviousFrame, kPlayReverse}) {
      QVERIFY(commandLook(id, f).enabled);
    }
    QVERIFY(commandLook(kCloseFile, f).enabled);
    QVERIFY(!commandLook(kMarkIn, f).enabled);
    f.state = PlaybackState::Paused;
    QVERIFY(commandLook(kMarkIn, f).enabled && commandLook(kMarkOut, f).enabled);
    f.sourceOpen = false;
    QVERIFY(!commandLook(kMarkOut, f).enabled && !commandLook(kCloseFile, f).enabled);
    QVERIFY(commandLook(kExportAvi, f).enabled);
    // A split the recording's cameras cannot fill is not offered.
    QVERIFY(!commandLook(kSplit9, f).enabled && !commandLook(kSplit16, f).enabled);
    f.splitLimit = 9;
    QVERIFY(commandLook(kSplit9, f).enabled && !commandLook(kSplit16, f).enabled);
  }

  void exportingAMarkedRangeStopsAt650MiB() {
    WindowFacts f;
    f.sourceOpen = true;
    f.state = PlaybackState::Paused;
    f.markIn = 4096;
    f.markOut = 4096 + 681'574'400;
    QVERIFY(!commandLook(kExportCapture, f).enabled);
    f.markOut -= 1;
    QVERIFY(commandLook(kExportCapture, f).enabled);
    f.markOut = f.markIn;
    QVERIFY(!commandLook(kExportCapture, f).enabled);
    f.markOut = f.markIn + 1;
    f.state = PlaybackState::Forward;
    QVERIFY(!commandLook(kExportCapture, f).enabled);
  }

  void checkMarksFollowTheWindowAndEngine() {
    WindowFacts f;
    f.mode = EngineMode::Client;
    f.muted = true;
    f.showTime = false;
    f.videoWidth = 640;
    f.videoHeight = 544;
    QVERIFY(commandLook(kClientMode, f).checked && !commandLook(kPlayerMode, f).checked);
    QVERIFY(commandLook(kMute, f).checked);
    QVERIFY(!commandLook(kShowTime, f).checked);
    QVERIFY(commandLook(kSize640x544, f).checked && !commandLook(kSize640x448, f).checked);
  }

  void dvrCommandsAndLocalRecordingNeedAConnection() {
    WindowFacts f;
    f.mode = EngineMode::Client;
    QVERIFY(!commandLook(kDvrMenu, f).enabled);
    QVERIFY(!commandLook(kStartLocalRecording, f).enabled);
    QCOMPARE(QString(connectItemText(false)), QStringLiteral("&Connect..."));
    f.connected = true;
    QVERIFY(commandLook(kDvrMenu, f).enabled && commandLook(kDvrChannel3, f).enabled);
    QVERIFY(commandLook(kStartLocalRecording, f).enabled && !commandLook(kStopLocalRecording, f).enabled);
    f.localRecording = true;
    QVERIFY(!commandLook(kStartLocalRecording, f).enabled && commandLook(kStopLocalRecording, f).enabled);
    QCOMPARE(QString(connectItemText(true)), QStringLiteral("Disconnect"));
  }

  void statusTextNamesTheStateAndThePlayingSpeed() {
    QCOMPARE(statusText(PlaybackState::Forward, 1.0), std::string("PLAY  x 1.0"));
    QCOMPARE(statusText(PlaybackState::Reverse, 16.0), std::string("REV  x 16.0"));
    QCOMPARE(statusText(PlaybackState::Forward, 0.9), std::string("PLAY  x 0.9"));
    QCOMPARE(statusText(PlaybackState::Paused, 8.0), std::string("PAUSE"));
    QCOMPARE(statusText(PlaybackState::StepForward, 1.0), std::string("STEPF"));
    QCOMPARE(statusText(PlaybackState::StepBackward, 1.0), std::string("STEPR"));
    QCOMPARE(statusText(PlaybackState::Jump, 1.0), std::string("SEARCH"));
    QCOMPARE(statusText(PlaybackState::Idle, 1.0), std::string("READY"));
  }

  void keysMapToTheDvrsKeysAndOthersAreDropped() {
    QCOMPARE(dvrKeyFor(Qt::Key_Left, {}).value_or(-1), 7);
    QCOMPARE(dvrKeyFor(Qt::Key_Backspace, {}).value_or(-1), 7);
    QCOMPARE(dvrKeyFor(Qt::Key_Return, QStringLiteral("\r")).value_or(-1), 15);
    QCOMPARE(dvrKeyFor(Qt::Key_PageDown, {}).value_or(-1), 15);
    QCOMPARE(dvrKeyFor(Qt::Key_Escape, {}).value_or(-1), 12);
    QCOMPARE(dvrKeyFor(Qt::Key_Home, {}).value_or(-1), 8);
    QCOMPARE(dvrKeyFor(Qt::Key_Delete, {}).value_or(-1), 5);
    QCOMPARE(dvrKeyFor(Qt::Key_F4, {}).value_or(-1), 135);
    QCOMPARE(dvrKeyFor(Qt::Key_A, QStringLiteral("a")).value_or(-1), int('A'));
    QCOMPARE(dvrKeyFor(Qt::Key_7, QStringLiteral("7")).value_or(-1), int('7'));
    QCOMPARE(dvrKeyFor(Qt::Key_Asterisk, QStringLiteral("*")).value_or(-1), int('*'));
    QVERIFY(!dvrKeyFor(Qt::Key_F5, {}).has_value());
    QVERIFY(!dvrKeyFor(Qt::Key_Tab, QStringLiteral("\t")).has_value());
    QVERIFY(!dvrKeyFor(Qt::Key_Comma, QStringLiteral(",")).has_value());
    QVERIFY(!dvrKeyFor(Qt::Key_Shift, {}).has_value());
  }

  void commandLineTakesThePathAndTheDvrAddress() {
    ViewerCommandLine line = parseViewerCommandLine({"\"/srv/cam/20091231.QKV\""});
    QCOMPARE(line.recordingPath, std::string("/srv/cam/20091231.QKV"));
    QVERIFY(!line.autoConnect());
    line = parseViewerCommandLine({"/IP:10.0.0.5", "/PORT:8841"});
    QVERIFY(line.autoConnect());
    QCOMPARE(line.ip, std::string("10.0.0.5"));
    QCOMPARE(line.port, std::string("8841"));
    QVERIFY(line.recordingPath.empty());
    QVERIFY(!parseViewerCommandLine({"/IP:10.0.0.5"}).autoConnect());
    QVERIFY(!parseViewerCommandLine({"--port", "8841"}).autoConnect());
    line = parseViewerCommandLine({"--ip=dvr.example", "--port", "9000", "--events", "--screenshot", "/tmp/a.png",
                                   "--after", "2.5", "--size", "1280x896"});
    QVERIFY(line.autoConnect() && line.events);
    QCOMPARE(line.screenshotPath, std::string("/tmp/a.png"));
    QCOMPARE(line.screenshotAfterSeconds, 2.5);
    QCOMPARE(line.windowWidth, 1280);
    QCOMPARE(line.ip.size(), std::string("dvr.example").size());
    QCOMPARE(parseViewerCommandLine({"/IP:" + std::string(40, '1'), "/PORT:1"}).ip.size(), std::size_t{31});
    QVERIFY(!parseViewerCommandLine({"--after", "soon"}).error.empty());
    QVERIFY(!parseViewerCommandLine({"--bogus"}).error.empty());
    QVERIFY(!parseViewerCommandLine({"--screenshot"}).error.empty());
    // A refused size names the sizes that are taken.
    for (const char* size : {"99999x99999", "0x480", "4294968576x480", "640x480x2", "640x"}) {
      const std::string error = parseViewerCommandLine({"--size", size}).error;
      QVERIFY2(error.find("from 1 to 16384") != std::string::npos, (size + (": " + error)).c_str());
    }
    // A path with blanks given unquoted comes back whole.
    QCOMPARE(parseViewerCommandLine({"/srv/my", "cam.QKV"}).recordingPath, std::string("/srv/my cam.QKV"));
  }

  void capturesInOneSecondGetNamesOfTheirOwn() {
    std::tm local{};
    local.tm_year = 2009 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 31;
    local.tm_hour = 23;
    local.tm_min = 59;
    local.tm_sec = 59;
    std::set<std::string> taken;
    const auto exists = [&taken](const std::string& path) { return taken.count(path) != 0; };
    const std::string first = stillCapturePath("/pics", local, exists);
    QCOMPARE(first, std::string("/pics/20091231-235959.bmp"));
    taken.insert(first);
    const std::string second = stillCapturePath("/pics/", local, exists);
    QCOMPARE(second, std::string("/pics/20091231-235959-2.bmp"));
    taken.insert(second);
    QCOMPARE(stillCapturePath("/pics", local, exists), std::string("/pics/20091231-235959-3.bmp"));
    QCOMPARE(localRecordingPath("/rec/", local, exists), std::string("/rec/20091231-235959.QKV"));
    QCOMPARE(localRecordingPath("", local, exists), std::string("20091231-235959.QKV"));
  }
};

QTEST_GUILESS_MAIN(WindowRulesTest)
#include "window_rules_test.moc"
