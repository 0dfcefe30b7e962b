#pragma once

#include <string>

#include "activity/index_builder.h"
#include "activity/index_file.h"

namespace marlin::activity {

// $XDG_CACHE_HOME/marlin-viewer/index (~/.cache/... without it): indexes
// never go next to a recording, which may be a disk or on read-only media.
std::string indexCacheFolder();

// The cache file of a recording: named by what cannot change while it
// grows (which file or disk, how it is read, its first block).
std::string indexCachePath(const std::string& folder, const RecordingIdentity& identity);

enum class IndexOrigin {
  Built,   // read the whole recording
  Cached,  // the kept index, the recording unchanged since
  Grown,   // the kept index, and what the recording gained since
};

struct IndexLoad {
  ActivityIndex index;
  IndexOrigin origin = IndexOrigin::Built;
  // Why the kept index was not used, or not kept; empty when it was.
  std::string cacheNote;
};

// The recording's index from the cache folder when one is kept for it as it
// is now, grown where the recording grew, else built; what was built is
// kept. An empty folder neither reads nor keeps one. A kept file that is
// damaged, truncated, of another version or of another recording is built
// again, never trusted.
Status loadOrBuildIndex(const std::string& path, const RecordingReading& reading, const BuildOptions& options,
                        const std::string& folder, IndexLoad& out);

}  // namespace marlin::activity
