#include "platform/files_being_read.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/storage_identity.h"

namespace marlin::files_being_read {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::pair<const void*, struct stat>> files;
};

// Never destroyed: a reader that lives in another static object closes its
// file during exit, possibly after this registry's destructor would have run.
Registry& registry() {
  static Registry* const instance = new Registry;
  return *instance;
}

}  // namespace

void add(const void* reader, const struct stat& info) {
  Registry& known = registry();
  const std::lock_guard lock(known.mutex);
  known.files.emplace_back(reader, info);
}

void remove(const void* reader) {
  Registry& known = registry();
  const std::lock_guard lock(known.mutex);
  std::erase_if(known.files, [reader](const auto& file) { return file.first == reader; });
}

bool includes(const struct stat& info) {
  Registry& known = registry();
  const std::lock_guard lock(known.mutex);
  return std::any_of(known.files.begin(), known.files.end(),
                     [&info](const auto& file) { return sameStorage(file.second, info); });
}

}  // namespace marlin::files_being_read
