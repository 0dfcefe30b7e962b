#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "base/status.h"

namespace marlin::desktop {

// folder joined with name: a "/" between them unless the folder ends in one;
// a folder shorter than two characters is not joined and the bare name is
// used.
std::string joinFolder(const std::string& folder, const std::string& name);

// A name that does not exist yet: stem + extension, or stem-2 + extension,
// stem-3 + extension ... so that two captures within one second both keep.
std::string firstFreeName(const std::string& folder, const std::string& stem, const std::string& extension,
                          const std::function<bool(const std::string&)>& exists);

// "20091231-235959.bmp" in the still captures folder, by the local time.
std::string stillCapturePath(const std::string& folder, const std::tm& local,
                             const std::function<bool(const std::string&)>& exists);
// "20091231-235959.QKV" in the local recordings folder.
std::string localRecordingPath(const std::string& folder, const std::tm& local,
                               const std::function<bool(const std::string&)>& exists);

bool pathExists(const std::string& path);

std::tm localTimeNow();
// Makes the folder with every level above it that is missing (a fresh
// account has no ~/Pictures); an existing folder is fine.
Status makeCaptureFolder(const std::string& folder);

}  // namespace marlin::desktop
