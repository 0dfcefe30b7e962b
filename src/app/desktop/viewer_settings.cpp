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
  logWarning("settings: " + std::string(key) + "=" + *text + " is not from " + std::to_string(range.lowest) + " to " +
             std::to_string(range.highest) + "; the default " + std::to_string(fallback) + " is used");
  return fallback;
}

// A yes/no switch, stored as 1 or 0.
bool switchOr(const IniFile& file, const char* key, bool fallback) {
  return numberOr(file, key, fallback ? 1 : 0, NumberRange{0, 1}) == 1;
}

std::string textOr(const IniFile& file, const char* key, const std::string& fallback) {
  return file.value(kSettingsSection, key).value_or(fallback);
}

}  // namespace

ViewerSettings readSettings(const IniFile& file, const ViewerSettings& defaults) {
  ViewerSettings s;
  s.capturePath = textOr(file, "Capture Path", defaults.capturePath);
  s.alwaysOnTop = switchOr(file, "AlwaysOnTop", defaults.alwaysOnTop);
  s.showTime = switchOr(file, "Show Time", defaults.showTime);
  s.repeat = switchOr(file, "Repeat", defaults.repeat);
  s.timeFormat = textOr(file, "Time Format", defaults.timeFormat);
  s.volume = numberOr(file, "Volume", defaults.volume, kVolume);
  s.mute = switchOr(file, "Mute", defaults.mute);
  s.ipAddress = textOr(file, "IP Address", defaults.ipAddress);
  s.port = numberOr(file, "Port", defaults.port, kPort);
  s.dynamicIp = switchOr(file, "DynamicIp", defaults.dynamicIp);
  s.useDDraw = switchOr(file, "Use DDraw", defaults.useDDraw);
  s.autoReconnection = switchOr(file, "Auto Reconnection", defaults.autoReconnection);
  s.timeoutMs =
      numberOr(file, "Timeout", defaults.timeoutMs / kMillisecondsPerSecond, kTimeoutSeconds) * kMillisecondsPerSecond;
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
  setNumber("AlwaysOnTop", s.alwaysOnTop ? 1 : 0);
  setNumber("Show Time", s.showTime ? 1 : 0);
  setNumber("Repeat", s.repeat ? 1 : 0);
  set("Time Format", s.timeFormat);
  setNumber("Volume", s.volume);
  setNumber("Mute", s.mute ? 1 : 0);
  set("IP Address", s.ipAddress);
  setNumber("Port", s.port);
  setNumber("DynamicIp", s.dynamicIp ? 1 : 0);
  setNumber("Use DDraw", s.useDDraw ? 1 : 0);
  setNumber("Auto Reconnection", s.autoReconnection ? 1 : 0);
  setNumber("Timeout", s.timeoutMs / kMillisecondsPerSecond);
  set("Ddns Ip", s.ddnsIp);
  setNumber("Ddns Port", s.ddnsPort);
  set("Local Recording Path", s.localRecordingPath);
  set("DvrName", s.dvrName);
  setNumber("Enable && Hidden cusor on DVR side", s.mouseMode);
}

}  // namespace marlin::desktop
