// Fuzz target for the settings file: any text parses, every number the
// settings take from it lies within the range the program can use (the
// file may have been edited by hand or damaged), and what is written back
// reads back as the same settings and the same file.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/desktop/ini_file.h"
#include "app/desktop/viewer_settings.h"

namespace {

using marlin::desktop::IniFile;
using marlin::desktop::ViewerSettings;

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "settings_fuzz: %s\n", what);
    std::abort();
  }
}

bool within(int value, int lowest, int highest) { return value >= lowest && value <= highest; }

void checkRanges(const ViewerSettings& s) {
  check(within(s.volume, 0, 65535), "volume out of range");
  check(within(s.port, 1, 65535) && within(s.ddnsPort, 1, 65535), "port out of range");
  check(within(s.timeoutMs, 1000, 3600000) && s.timeoutMs % 1000 == 0, "timeout out of range");
  check(within(s.mouseMode, 0, 2), "mouse mode out of range");
}

bool sameSettings(const ViewerSettings& a, const ViewerSettings& b) {
  return a.capturePath == b.capturePath && a.alwaysOnTop == b.alwaysOnTop && a.showTime == b.showTime &&
         a.repeat == b.repeat && a.timeFormat == b.timeFormat && a.volume == b.volume && a.mute == b.mute &&
         a.ipAddress == b.ipAddress && a.port == b.port && a.dynamicIp == b.dynamicIp && a.useDDraw == b.useDDraw &&
         a.autoReconnection == b.autoReconnection && a.timeoutMs == b.timeoutMs && a.ddnsIp == b.ddnsIp &&
         a.ddnsPort == b.ddnsPort && a.localRecordingPath == b.localRecordingPath && a.dvrName == b.dvrName &&
         a.mouseMode == b.mouseMode;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ViewerSettings defaults;
  defaults.capturePath = "/captures";
  defaults.localRecordingPath = "/recordings";

  IniFile file = IniFile::parse(text);
  const ViewerSettings loaded = marlin::desktop::readSettings(file, defaults);
  checkRanges(loaded);

  marlin::desktop::writeSettings(loaded, file);
  const std::string written = file.text();
  const IniFile again = IniFile::parse(written);
  check(again.text() == written, "a written file does not parse back to the same text");
  check(sameSettings(marlin::desktop::readSettings(again, defaults), loaded), "saved settings read back otherwise");
  return 0;
}
