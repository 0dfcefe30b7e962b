#include "activity/index_cache.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/file_io.h"

namespace marlin::activity {

namespace {

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return home;
  }
  const struct passwd* user = getpwuid(getuid());
  return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "/tmp";
}

std::string hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::optional<StoredIndex> readKept(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return decodeIndexFile(bytes.data(), bytes.size());
}

// Writes beside the kept file and renames over it, so that a reader never
// sees half a file and a crash leaves the old one.
Status keep(const std::string& file, const StoredIndex& stored) {
  std::error_code made;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), made);
  if (made) {
    return Status::failure(StatusCode::IoError, "cannot create " + std::filesystem::path(file).parent_path().string() +
                                                    ": " + made.message());
  }
  const std::string temporary = file + "." + std::to_string(getpid()) + ".tmp";
  const std::vector<std::uint8_t> bytes = encodeIndexFile(stored);
  if (Status written = writeWholeFile(temporary, {bytes}); !written) {
    std::remove(temporary.c_str());
    return written;
  }
  if (std::rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    std::remove(temporary.c_str());
    return Status::fromErrno(error, "cannot write " + file);
  }
  return Status::ok();
}

// Whether the recording only grew since it was indexed: the same start, and
// the block that was its last whole one unchanged.
bool onlyGrew(const std::string& path, const RecordingIdentity& then, const RecordingIdentity& now) {
  if (now.size <= then.size || now.headHash != then.headHash) {
    return false;
  }
  const std::optional<std::uint64_t> tail = blockHash(path, then.tailOffset);
  return tail && *tail == then.tailHash;
}

}  // namespace

std::string indexCacheFolder() {
  std::string cache;
  if (const char* set = std::getenv("XDG_CACHE_HOME"); set != nullptr && set[0] == '/') {
    cache = set;
  } else {
    cache = homeFolder() + "/.cache";
  }
  return cache + "/marlin-viewer/index";
}

std::string indexCachePath(const std::string& folder, const RecordingIdentity& identity) {
  std::uint64_t key = hashBytes(reinterpret_cast<const std::uint8_t*>(identity.serial.data()), identity.serial.size());
  for (const std::uint64_t part :
       {identity.device, identity.inode, identity.headHash, static_cast<std::uint64_t>(identity.variant),
        static_cast<std::uint64_t>(identity.byteOrder)}) {
    std::uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) {
      bytes[i] = static_cast<std::uint8_t>(part >> (8 * i));
    }
    key = hashBytes(bytes, sizeof bytes, key);
  }
  return folder + "/" + hex(key) + ".index";
}

Status loadOrBuildIndex(const std::string& path, const RecordingReading& reading, const BuildOptions& options,
                        const std::string& folder, IndexLoad& out) {
  out = IndexLoad{};
  if (folder.empty()) {
    return buildActivityIndex(path, reading, options, out.index);
  }
  RecordingIdentity identity;
  if (Status identified = identifyRecording(path, reading, identity); !identified) {
    return identified;
  }
  const std::string file = indexCachePath(folder, identity);
  const std::optional<StoredIndex> kept = readKept(file);
  const ActivityIndex* earlier = nullptr;
  if (kept && kept->identity == identity) {
    out.index = kept->index;
    out.origin = IndexOrigin::Cached;
    return Status::ok();
  }
  if (kept && onlyGrew(path, kept->identity, identity)) {
    earlier = &kept->index;
    out.origin = IndexOrigin::Grown;
  } else if (std::filesystem::exists(file)) {
    out.cacheNote = kept ? "the kept index is of the recording as it was before a change; built again"
                         : "the kept index is damaged or of another version; built again";
  }
  if (Status built = buildActivityIndex(path, reading, options, out.index, earlier); !built) {
    return built;
  }
  // The recording may have grown while it was read: the identity taken
  // before says what the index covers at least, and growth is read from the
  // index's last picture on.
  if (Status stored = keep(file, StoredIndex{identity, out.index}); !stored) {
    out.cacheNote = "the index was not kept: " + stored.message();
  }
  return Status::ok();
}

}  // namespace marlin::activity
