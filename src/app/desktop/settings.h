#pragma once

#include <string>
#include <vector>

namespace marlin::desktop {

// The settings kept between runs, under the key names of the settings file's
// "Marlin Viewer" section. The password is never among them.
struct ViewerSettings {
  std::string capturePath;          // "Capture Path": still captures
  int alwaysOnTop = 0;              // "AlwaysOnTop"
  int showTime = 1;                 // "Show Time"
  int repeat = 0;                   // "Repeat"
  std::string timeFormat = "%Y/%m/%d %H:%M:%S";  // "Time Format"
  int volume = 0;                   // "Volume", 0..65535
  int mute = 0;                     // "Mute"
  std::string ipAddress = "192.168.11.138";      // "IP Address"
  int port = 8841;                  // "Port"
  int dynamicIp = 0;                // "DynamicIp"
  int useDDraw = 1;                 // "Use DDraw": the fast display path
  int autoReconnection = 1;         // "Auto Reconnection"
  int timeoutMs = 7000;             // "Timeout", stored in seconds
  std::string ddnsIp = "192.168.11.138";         // "Ddns Ip"
  int ddnsPort = 1800;              // "Ddns Port"
  std::string localRecordingPath;   // "Local Recording Path"
  std::string dvrName = "DVR000";   // "DvrName"
  int mouseMode = 1;                // "Enable && Hidden cusor on DVR side": 0, 1 or 2
};

inline constexpr const char* kSettingsSection = "Marlin Viewer";

// $XDG_CONFIG_HOME/marlin-viewer/marlin-viewer.ini (~/.config when unset).
std::string settingsFilePath();
// The default folders: stills in the pictures folder, local recordings in
// the videos folder, each in a "Marlin Viewer" folder of its own (the
// XDG user folders, ~/Pictures and ~/Videos when those are not set up).
std::string defaultCapturePath();
std::string defaultLocalRecordingPath();

// Every key with its default where the file lacks it or cannot be read.
ViewerSettings loadSettings(const std::string& path);
// Writes every key, leaving other sections and keys of the file as they are;
// creates the folder. False when the file could not be written.
bool saveSettings(const std::string& path, const ViewerSettings& settings);

// The recordings opened last, newest first, in a "Recent Files" section of
// the same file.
inline constexpr int kRecentFileCount = 8;
std::vector<std::string> loadRecentFiles(const std::string& path);
bool saveRecentFiles(const std::string& path, const std::vector<std::string>& files);
// files with path put first, once, and kept to kRecentFileCount.
std::vector<std::string> withRecentFile(std::vector<std::string> files, const std::string& path);

}  // namespace marlin::desktop
