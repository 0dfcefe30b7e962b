#include "app/desktop/settings.h"

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "app/desktop/ini_file.h"

using namespace marlin::desktop;

class SettingsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  std::string path(const char* name) const { return (dir_.path() + "/" + name).toStdString(); }

  static std::string contents(const std::string& file) {
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private slots:
  void aFileWithoutTheSectionGivesExactlyTheDefaults() {
    const std::string file = path("other.ini");
    std::ofstream(file) << "[Something Else]\nPort=1\nTimeout=3\n";
    const ViewerSettings loaded = loadSettings(file);
    const ViewerSettings defaults;
    QCOMPARE(loaded.port, 8841);
    QCOMPARE(loaded.timeoutMs, 7000);
    QCOMPARE(loaded.ipAddress, std::string("192.168.11.138"));
    QCOMPARE(loaded.ddnsPort, 1800);
    QCOMPARE(loaded.dvrName, std::string("DVR000"));
    QCOMPARE(loaded.mouseMode, 1);
    QVERIFY(loaded.showTime);
    QVERIFY(loaded.useDDraw);
    QVERIFY(loaded.autoReconnection);
    QCOMPARE(loaded.timeFormat, defaults.timeFormat);
    QVERIFY(QString::fromStdString(loaded.capturePath).endsWith("/Marlin Viewer"));
    QVERIFY(QString::fromStdString(loaded.localRecordingPath).endsWith("/Marlin Viewer"));
    QVERIFY(loaded.capturePath != loaded.localRecordingPath);
  }

  void timeoutInSecondsBecomesMillisecondsAndGoesBackAsSeconds() {
    const std::string file = path("timeout.ini");
    std::ofstream(file) << "[Marlin Viewer]\nTimeout=7\n";
    ViewerSettings loaded = loadSettings(file);
    QCOMPARE(loaded.timeoutMs, 7000);
    QVERIFY(saveSettings(file, loaded));
    QVERIFY(contents(file).find("Timeout=7\n") != std::string::npos);
  }

  void numbersOutOfTheirRangeKeepTheirDefaults() {
    const std::string file = path("edited.ini");
    const ViewerSettings defaults;
    // Timeouts whose milliseconds overflow an int, negative ones and the range's neighbours.
    for (const char* timeout : {"4294968", "-2147484", "99999999999", "0", "-5", "3601"}) {
      std::ofstream(file) << "[Marlin Viewer]\nTimeout=" << timeout << "\n";
      QCOMPARE(loadSettings(file).timeoutMs, defaults.timeoutMs);
    }
    std::ofstream(file) << "[Marlin Viewer]\nTimeout=3600\nPort=70000\nDdns Port=0\nVolume=-1\nMute=2\n"
                           "Enable && Hidden cusor on DVR side=3\nShow Time=0\nAlwaysOnTop=1 (on)\n";
    const ViewerSettings loaded = loadSettings(file);
    QCOMPARE(loaded.timeoutMs, 3600000);
    QCOMPARE(loaded.port, defaults.port);
    QCOMPARE(loaded.ddnsPort, defaults.ddnsPort);
    QCOMPARE(loaded.volume, defaults.volume);
    QCOMPARE(loaded.mute, defaults.mute);
    QCOMPARE(loaded.mouseMode, defaults.mouseMode);
    // Values within range are taken as before, a leading number included.
    QVERIFY(!loaded.showTime);
    QVERIFY(loaded.alwaysOnTop);
  }

  void everyKeyIsWrittenUnderItsExactNameAndReadsBack() {
    const std::string file = path("sub/folder/viewer.ini");
    ViewerSettings s;
    s.capturePath = "/srv/stills";
    s.alwaysOnTop = true;
    s.showTime = false;
    s.repeat = true;
    s.timeFormat = "%b %d %H:%M:%S %Y";
    s.volume = 40000;
    s.mute = true;
    s.ipAddress = "10.0.0.7";
    s.port = 9000;
    s.dynamicIp = true;
    s.useDDraw = false;
    s.autoReconnection = false;
    s.timeoutMs = 12000;
    s.ddnsIp = "10.0.0.9";
    s.ddnsPort = 1900;
    s.localRecordingPath = "/srv/live";
    s.dvrName = "GATE";
    s.mouseMode = 2;
    QVERIFY(saveSettings(file, s));
    const std::string text = contents(file);
    for (const char* line :
         {"[Marlin Viewer]\n", "Capture Path=/srv/stills\n", "Enable && Hidden cusor on DVR side=2\n", "Timeout=12\n",
          "Use DDraw=0\n", "Auto Reconnection=0\n", "DvrName=GATE\n", "Ddns Ip=10.0.0.9\n"}) {
      QVERIFY2(text.find(line) != std::string::npos, line);
    }
    QVERIFY(text.find("assword") == std::string::npos);
    const ViewerSettings back = loadSettings(file);
    QCOMPARE(back.capturePath, s.capturePath);
    QCOMPARE(back.timeFormat, s.timeFormat);
    QCOMPARE(back.volume, 40000);
    QCOMPARE(back.timeoutMs, 12000);
    QCOMPARE(back.mouseMode, 2);
    QCOMPARE(back.localRecordingPath, s.localRecordingPath);
    QCOMPARE(back.dynamicIp, 1);
  }

  void otherSectionsAndUnknownKeysSurviveASave() {
    const std::string file = path("keep.ini");
    std::ofstream(file) << "[Window]\nGeometry=1,2\n\n[Marlin Viewer]\nMultiscreen=1\nPort=77\n";
    QVERIFY(saveSettings(file, loadSettings(file)));
    const IniFile back = IniFile::read(file);
    QCOMPARE(back.value("Window", "Geometry").value_or(""), std::string("1,2"));
    QCOMPARE(back.value("Marlin Viewer", "Multiscreen").value_or(""), std::string("1"));
    QCOMPARE(back.value("Marlin Viewer", "Port").value_or(""), std::string("77"));
  }

  void recentFilesComeFirstOnceAndKeepTheirNumberBesideTheSettings() {
    std::vector<std::string> files;
    for (int i = 0; i < kRecentFileCount + 2; ++i) {
      files = withRecentFile(files, "/rec/" + std::to_string(i) + ".QKV");
    }
    QCOMPARE(files.size(), std::size_t(kRecentFileCount));
    QCOMPARE(files.front(), std::string("/rec/9.QKV"));
    files = withRecentFile(files, "/rec/5.QKV");
    QCOMPARE(files.front(), std::string("/rec/5.QKV"));
    QCOMPARE(std::count(files.begin(), files.end(), std::string("/rec/5.QKV")), 1L);
    const std::string file = path("recent.ini");
    QVERIFY(saveSettings(file, ViewerSettings{}));
    QVERIFY(saveRecentFiles(file, files));
    QVERIFY(loadRecentFiles(file) == files);
    QCOMPARE(loadSettings(file).port, 8841);
  }

  void settingsFileFollowsXdgConfigHome() {
    qputenv("XDG_CONFIG_HOME", "/tmp/cfg-root");
    QCOMPARE(settingsFilePath(), std::string("/tmp/cfg-root/marlin-viewer/marlin-viewer.ini"));
    qputenv("XDG_CONFIG_HOME", "relative/is/ignored");
    qputenv("HOME", "/home/someone");
    QCOMPARE(settingsFilePath(), std::string("/home/someone/.config/marlin-viewer/marlin-viewer.ini"));
  }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "settings_test.moc"
