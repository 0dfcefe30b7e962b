#include "app/desktop/dialogs/folder_check.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace marlin::desktop {

namespace {

namespace fs = std::filesystem;

bool isEdgeCharacter(char c) { return c == '\t' || c == ' ' || c == '.'; }

bool isForbiddenCharacter(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code < 0x20 || code == 0x7F || std::string_view("\"*:<>?\\|").find(c) != std::string_view::npos;
}

bool isValidName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (isEdgeCharacter(name.front()) || isEdgeCharacter(name.back())) return false;
  for (char c : name) {
    if (isForbiddenCharacter(c)) return false;
  }
  return true;
}

// The names below the root, or nothing when one of them is not a valid
// name. The root itself gives an empty list.
std::optional<std::vector<std::string_view>> splitLevels(std::string_view path) {
  std::vector<std::string_view> levels;
  path.remove_prefix(1);
  if (path.empty()) return levels;
  if (path.back() == '/') path.remove_suffix(1);
  while (true) {
    const std::size_t slash = path.find('/');
    const std::string_view name = path.substr(0, slash);
    if (!isValidName(name)) return std::nullopt;
    levels.push_back(name);
    if (slash == std::string_view::npos) return levels;
    path.remove_prefix(slash + 1);
  }
}

bool createLevels(const std::vector<std::string_view>& levels) {
  fs::path current = "/";
  for (std::string_view name : levels) {
    current /= name;
    std::error_code error;
    if (fs::is_directory(current, error)) continue;
    if (!fs::create_directory(current, error)) return false;
  }
  return true;
}

std::string folderMessage(const std::string& path, const char* tail) {
  return "The folder:\n\n" + path + "\n\n" + tail;
}

}  // namespace

FolderCheckResult checkFolder(const std::string& path, const std::function<bool()>& askCreate) {
  if (path.empty() || path.front() != '/') return FolderCheckResult::Invalid;
  const auto levels = splitLevels(path);
  if (!levels) return FolderCheckResult::Invalid;

  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (fs::exists(status)) {
    return fs::is_directory(status) ? FolderCheckResult::Accepted : FolderCheckResult::Invalid;
  }
  if (!askCreate()) return FolderCheckResult::Declined;
  return createLevels(*levels) ? FolderCheckResult::Accepted : FolderCheckResult::CannotCreate;
}

std::string folderInvalidMessage(const std::string& path) { return folderMessage(path, "is invalid. Please reenter."); }

std::string folderCannotCreateMessage(const std::string& path) {
  return folderMessage(path, "can not be created. Please double check.");
}

std::string folderCreateQuestion(const std::string& path) {
  return folderMessage(path, "does not exist. Do you want the folder to be created?");
}

}  // namespace marlin::desktop
