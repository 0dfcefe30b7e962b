#include "app/desktop/settings.h"

#include <QStandardPaths>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/desktop/ini_file.h"

namespace marlin::desktop {

namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string homeFolder() {
  const std::string home = environment("HOME");
  return home.empty() ? "/tmp" : home;
}

std::string userFolder(QStandardPaths::StandardLocation location, const char* fallback) {
  const QString found = QStandardPaths::writableLocation(location);
  const std::string base = found.isEmpty() ? homeFolder() + "/" + fallback : found.toStdString();
  return base + "/Marlin Viewer";
}

// The settings folder is made on the first save.
bool writeInFolder(const IniFile& file, const std::string& path) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  return file.write(path);
}

int integerOr(const IniFile& file, const char* key, int fallback) {
  const auto text = file.value(kSettingsSection, key);
  if (!text || text->empty()) {
    return fallback;
  }
  // Like the profile's integer reading: the leading number, 0 when there is none.
  return std::atoi(text->c_str());
}

std::string stringOr(const IniFile& file, const char* key, const std::string& fallback) {
  return file.value(kSettingsSection, key).value_or(fallback);
}

}  // namespace

std::string settingsFilePath() {
  std::string config = environment("XDG_CONFIG_HOME");
  if (config.empty() || config[0] != '/') {
    config = homeFolder() + "/.config";
  }
  return config + "/marlin-viewer/marlin-viewer.ini";
}

std::string defaultCapturePath() { return userFolder(QStandardPaths::PicturesLocation, "Pictures"); }

std::string defaultLocalRecordingPath() { return userFolder(QStandardPaths::MoviesLocation, "Videos"); }

ViewerSettings loadSettings(const std::string& path) {
  const IniFile file = IniFile::read(path);
  ViewerSettings defaults;
  ViewerSettings s;
  s.capturePath = stringOr(file, "Capture Path", defaultCapturePath());
  s.alwaysOnTop = integerOr(file, "AlwaysOnTop", defaults.alwaysOnTop);
  s.showTime = integerOr(file, "Show Time", defaults.showTime);
  s.repeat = integerOr(file, "Repeat", defaults.repeat);
  s.timeFormat = stringOr(file, "Time Format", defaults.timeFormat);
  s.volume = integerOr(file, "Volume", defaults.volume);
  s.mute = integerOr(file, "Mute", defaults.mute);
  s.ipAddress = stringOr(file, "IP Address", defaults.ipAddress);
  s.port = integerOr(file, "Port", defaults.port);
  s.dynamicIp = integerOr(file, "DynamicIp", defaults.dynamicIp);
  s.useDDraw = integerOr(file, "Use DDraw", defaults.useDDraw);
  s.autoReconnection = integerOr(file, "Auto Reconnection", defaults.autoReconnection);
  s.timeoutMs = integerOr(file, "Timeout", defaults.timeoutMs / 1000) * 1000;
  s.ddnsIp = stringOr(file, "Ddns Ip", defaults.ddnsIp);
  s.ddnsPort = integerOr(file, "Ddns Port", defaults.ddnsPort);
  s.localRecordingPath = stringOr(file, "Local Recording Path", defaultLocalRecordingPath());
  s.dvrName = stringOr(file, "DvrName", defaults.dvrName);
  s.mouseMode = integerOr(file, "Enable && Hidden cusor on DVR side", defaults.mouseMode);
  return s;
}

bool saveSettings(const std::string& path, const ViewerSettings& s) {
  IniFile file = IniFile::read(path);
  const auto set = [&file](const char* key, const std::string& value) { file.set(kSettingsSection, key, value); };
  const auto setNumber = [&set](const char* key, int value) { set(key, std::to_string(value)); };
  set("Capture Path", s.capturePath);
  setNumber("AlwaysOnTop", s.alwaysOnTop);
  setNumber("Show Time", s.showTime);
  setNumber("Repeat", s.repeat);
  set("Time Format", s.timeFormat);
  setNumber("Volume", s.volume);
  setNumber("Mute", s.mute);
  set("IP Address", s.ipAddress);
  setNumber("Port", s.port);
  setNumber("DynamicIp", s.dynamicIp);
  setNumber("Use DDraw", s.useDDraw);
  setNumber("Auto Reconnection", s.autoReconnection);
  setNumber("Timeout", s.timeoutMs / 1000);
  set("Ddns Ip", s.ddnsIp);
  setNumber("Ddns Port", s.ddnsPort);
  set("Local Recording Path", s.localRecordingPath);
  set("DvrName", s.dvrName);
  setNumber("Enable && Hidden cusor on DVR side", s.mouseMode);
  return writeInFolder(file, path);
}

namespace {

constexpr const char* kRecentSection = "Recent Files";

std::string recentKey(int index) { return "File" + std::to_string(index + 1); }

}  // namespace

std::vector<std::string> loadRecentFiles(const std::string& path) {
  const IniFile file = IniFile::read(path);
  std::vector<std::string> files;
  for (int i = 0; i < kRecentFileCount; ++i) {
    const auto value = file.value(kRecentSection, recentKey(i));
    if (value && !value->empty()) {
      files.push_back(*value);
    }
  }
  return files;
}

bool saveRecentFiles(const std::string& path, const std::vector<std::string>& files) {
  IniFile file = IniFile::read(path);
  for (int i = 0; i < kRecentFileCount; ++i) {
    file.set(kRecentSection, recentKey(i), i < static_cast<int>(files.size()) ? files[i] : "");
  }
  return writeInFolder(file, path);
}

std::vector<std::string> withRecentFile(std::vector<std::string> files, const std::string& path) {
  std::erase(files, path);
  files.insert(files.begin(), path);
  if (files.size() > static_cast<std::size_t>(kRecentFileCount)) {
    files.resize(kRecentFileCount);
  }
  return files;
}

}  // namespace marlin::desktop
