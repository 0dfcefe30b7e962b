#pragma once

#include <ctime>
#include <string>

namespace marlin {

// "YYYYMMDD-HHMMSS.QKV" in local time.
std::string localRecordingFileName(std::time_t now);

// The file name inside folder; a folder shorter than two characters means
// the current directory.
std::string localRecordingPath(const std::string& folder, const std::string& fileName);

// Creates the folder (one level); an existing folder or a failure is left to
// the opening of the file to report.
void createRecordingFolder(const std::string& folder);

}  // namespace marlin
