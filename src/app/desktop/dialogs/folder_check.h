#pragma once

#include <functional>
#include <string>

namespace marlin::desktop {

enum class FolderCheckResult {
  Accepted = 0,      // the folder exists (or has just been created)
  Invalid = 1,       // not an absolute path of valid names, or not a folder
  CannotCreate = 2,  // a missing level could not be made
  Declined = 3,      // the user did not want the missing folder created
};

// Checks a folder the user typed or picked. Every level must be a name that
// stays usable when the folder is copied to other systems. askCreate is
// asked (once) when the folder does not exist; true = create it, with every
// missing level in between.
FolderCheckResult checkFolder(const std::string& path, const std::function<bool()>& askCreate);

std::string folderInvalidMessage(const std::string& path);
std::string folderCannotCreateMessage(const std::string& path);
std::string folderCreateQuestion(const std::string& path);

}  // namespace marlin::desktop
