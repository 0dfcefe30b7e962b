#pragma once

#include <string>

#include "app/desktop/ini_file.h"

namespace marlin::desktop {

// The settings kept between runs, under the key names of the settings file's
// "Marlin Viewer" section. The password is never among them.
struct ViewerSettings {
  std::string capturePath;                       // "Capture Path": still captures
  bool alwaysOnTop = false;                      // "AlwaysOnTop"
  bool showTime = true;                          // "Show Time"
  bool repeat = false;                           // "Repeat"
  std::string timeFormat = "%Y/%m/%d %H:%M:%S";  // "Time Format"
  int volume = 0;                                // "Volume", 0..65535
  bool mute = false;                             // "Mute"
  std::string ipAddress = "192.168.11.138";      // "IP Address"
  int port = 8841;                               // "Port"
  bool dynamicIp = false;                        // "DynamicIp"
  bool useDDraw = true;                          // "Use DDraw": the fast display path
  bool autoReconnection = true;                  // "Auto Reconnection"
  int timeoutMs = 7000;                          // "Timeout", stored in seconds, 1..3600
  std::string ddnsIp = "192.168.11.138";         // "Ddns Ip"
  int ddnsPort = 1800;                           // "Ddns Port"
  std::string localRecordingPath;                // "Local Recording Path"
  std::string dvrName = "DVR000";                // "DvrName"
  int mouseMode = 1;                             // "Enable && Hidden cusor on DVR side": 0, 1 or 2
};

inline constexpr const char* kSettingsSection = "Marlin Viewer";

// The settings a file holds, each missing key taken from defaults. A number
// outside the range the program can use (a switch other than 0 or 1, a port
// outside 1..65535, a timeout outside 1..3600 seconds, ...) also keeps its
// default, with a warning in the log: the file may have been edited by hand.
ViewerSettings readSettings(const IniFile& file, const ViewerSettings& defaults);
// Sets every key of the section, leaving the rest of the file as it is.
void writeSettings(const ViewerSettings& settings, IniFile& file);

}  // namespace marlin::desktop
