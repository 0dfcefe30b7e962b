#include "app/desktop/viewer_settings.h"

#include <cctype>
#include <charconv>
#include <optional>

#include "base/log.h"

namespace marlin::desktop {

namespace {

// The values of a number the program can use, both ends included.
struct NumberRange {
  int lowest;
  int highest;
};

constexpr NumberRange kSwitch{0, 1};
constexpr NumberRange kVolume{0, 65535};
constexpr NumberRange kPort{1, 65535};
// As the command line and the options dialog take it.
constexpr NumberRange kTimeoutSeconds{1, 3600};
constexpr NumberRange kMouseMode{0, 2};
constexpr int kMillisecondsPerSecond = 1000;

// Like the profile's integer reading: the leading number, 0 when there is
// none; nothing when it does not fit an int.
std::optional<int> leadingNumber(const std::string& text) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (text.size() > 1 && text[0] == '+' && std::isdigit(static_cast<unsigned char>(text[1]))) {
    ++begin;
  }
  int number = 0;
  const std::errc error = std::from_chars(begin, end, number).ec;
  if (error == std::errc::result_out_of_range) {
    return std::nullopt;
  }
  return error == std::errc() ? number : 0;
}

int numberOr(const IniFile& file, const char* key, int fallback, NumberRange range) {
  const std::optional<std::string> text = file.value(kSettingsSection, key);
  if (!text || text->empty()) {
    return fallback;
  }
  const std::optional<int> number = leadingNumber(*text);
  if (number && *number >= range.lowest && *number <= range.highest) {
    return *number;
  }
  logWarning("settings: " + std::string(key) + "=" + *text + " is not from " + std::to_string(range.lowest) +
             " to " + std::to_string(range.highest) + "; the default " + std::to_string(fallback) + " is used");
  return fallback;
}

std::string textOr(const IniFile& file, const char* key, const std::string& fallback) {
  return file.value(kSettingsSection, key).value_or(fallback);
}

}  // namespace

ViewerSettings readSettings(const IniFile& file, const ViewerSettings& defaults) {
  ViewerSettings s;
  s.capturePath = textOr(file, "Capture Path", defaults.capturePath);
  s.alwaysOnTop = numberOr(file, "AlwaysOnTop", defaults.alwaysOnTop, kSwitch);
  s.showTime = numberOr(file, "Show Time", defaults.showTime, kSwitch);
  s.repeat = numberOr(file, "Repeat", defaults.repeat, kSwitch);
  s.timeFormat = textOr(file, "Time Format", defaults.timeFormat);
  s.volume = numberOr(file, "Volume", defaults.volume, kVolume);
  s.mute = numberOr(file, "Mute", defaults.mute, kSwitch);
  s.ipAddress = textOr(file, "IP Address", defaults.ipAddress);
  s.port = numberOr(file, "Port", defaults.port, kPort);
  s.dynamicIp = numberOr(file, "DynamicIp", defaults.dynamicIp, kSwitch);
  s.useDDraw = numberOr(file, "Use DDraw", defaults.useDDraw, kSwitch);
  s.autoReconnection = numberOr(file, "Auto Reconnection", defaults.autoReconnection, kSwitch);
  s.timeoutMs = numberOr(file, "Timeout", defaults.timeoutMs / kMillisecondsPerSecond, kTimeoutSeconds) *
                kMillisecondsPerSecond;
  s.ddnsIp = textOr(file, "Ddns Ip", defaults.ddnsIp);
  s.ddnsPort = numberOr(file, "Ddns Port", defaults.ddnsPort, kPort);
  s.localRecordingPath = textOr(file, "Local Recording Path", defaults.localRecordingPath);
  s.dvrName = textOr(file, "DvrName", defaults.dvrName);
  s.mouseMode = numberOr(file, "Enable && Hidden cusor on DVR side", defaults.mouseMode, kMouseMode);
  return s;
}

void writeSettings(const ViewerSettings& s, IniFile& file) {
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
  setNumber("Timeout", s.timeoutMs / kMillisecondsPerSecond);
  set("Ddns Ip", s.ddnsIp);
  setNumber("Ddns Port", s.ddnsPort);
  set("Local Recording Path", s.localRecordingPath);
  set("DvrName", s.dvrName);
  setNumber("Enable && Hidden cusor on DVR side", s.mouseMode);
}

}  // namespace marlin::desktop
