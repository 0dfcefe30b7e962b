#include "source/recording_path.h"

#include <sys/stat.h>

namespace marlin {

std::string localRecordingFileName(std::time_t now) {
  std::tm local{};
  ::localtime_r(&now, &local);
  char name[32];
  std::strftime(name, sizeof name, "%Y%m%d-%H%M%S", &local);
  return std::string(name) + ".QKV";
}

std::string localRecordingPath(const std::string& folder, const std::string& fileName) {
  if (folder.size() < 2) {
    return fileName;
  }
  return folder.back() == '/' ? folder + fileName : folder + "/" + fileName;
}

void createRecordingFolder(const std::string& folder) {
  if (folder.size() >= 2) {
    ::mkdir(folder.c_str(), 0755);
  }
}

}  // namespace marlin
