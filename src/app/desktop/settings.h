#pragma once

#include <string>
#include <vector>

#include "app/desktop/viewer_settings.h"

namespace marlin::desktop {

// $XDG_CONFIG_HOME/marlin-viewer/marlin-viewer.ini (~/.config when unset).
std::string settingsFilePath();
// The default folders: stills in the pictures folder, local recordings in
// the videos folder, each in a "Marlin Viewer" folder of its own (the
// XDG user folders, ~/Pictures and ~/Videos when those are not set up).
std::string defaultCapturePath();
std::string defaultLocalRecordingPath();

// Every key with its default where the file lacks it, cannot be read or
// holds a number out of range (see readSettings).
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
