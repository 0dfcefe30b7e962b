#include "app/cli/serve_dvr/feed_viewer.h"

#include <utility>

namespace marlin::cli::serve_dvr {

void FeedViewer::offer(const std::shared_ptr<const LiveItem>& item) {
  {
    std::lock_guard guard(lock_);
    const bool picture = item->kind == LiveItem::Kind::Picture;
    if (picture && needsRefresh_ && !item->refresh) {
      return;
    }
    if (bytes_ + item->bytes.size() > kBacklogBytes) {
      needsRefresh_ = needsRefresh_ || picture;
      return;
    }
    if (picture) {
      needsRefresh_ = false;
    }
    bytes_ += item->bytes.size();
    items_.push_back(item);
  }
  ready_.poke();
}

std::vector<std::shared_ptr<const LiveItem>> FeedViewer::take() {
  std::lock_guard guard(lock_);
  bytes_ = 0;
  return std::exchange(items_, {});
}

}  // namespace marlin::cli::serve_dvr
