#include "app/desktop/capture_names.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

namespace marlin::desktop {

namespace {

std::string timeStem(const std::tm& local) {
  char stem[32];
  std::snprintf(stem, sizeof stem, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  return stem;
}

}  // namespace

std::string joinFolder(const std::string& folder, const std::string& name) {
  if (folder.size() < 2) {
    return name;
  }
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string firstFreeName(const std::string& folder, const std::string& stem, const std::string& extension,
                          const std::function<bool(const std::string&)>& exists) {
  std::string path = joinFolder(folder, stem + extension);
  for (int copy = 2; exists(path); ++copy) {
    path = joinFolder(folder, stem + "-" + std::to_string(copy) + extension);
  }
  return path;
}

std::string stillCapturePath(const std::string& folder, const std::tm& local,
                             const std::function<bool(const std::string&)>& exists) {
  return firstFreeName(folder, timeStem(local), ".bmp", exists);
}

std::string localRecordingPath(const std::string& folder, const std::tm& local,
                               const std::function<bool(const std::string&)>& exists) {
  return firstFreeName(folder, timeStem(local), ".QKV", exists);
}

std::tm localTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

Status makeCaptureFolder(const std::string& folder) {
  // A folder shorter than two characters means the current one.
  if (folder.size() < 2) {
    return Status::ok();
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    return Status::fromErrno(error.value(), "cannot create " + folder);
  }
  return Status::ok();
}

bool pathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace marlin::desktop
