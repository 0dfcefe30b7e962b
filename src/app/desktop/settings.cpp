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
  ViewerSettings defaults;
  defaults.capturePath = defaultCapturePath();
  defaults.localRecordingPath = defaultLocalRecordingPath();
  return readSettings(IniFile::read(path), defaults);
}

bool saveSettings(const std::string& path, const ViewerSettings& settings) {
  IniFile file = IniFile::read(path);
  writeSettings(settings, file);
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
