#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "app/cli/serve_dvr/live_producer.h"
#include "platform/wake_signal.h"

namespace marlin::cli::serve_dvr {

// One client's share of the live feed: the pieces it has yet to send, at
// most kBacklogBytes of them, so that a client slower than the stream costs
// bounded memory and holds no one else up. A piece that does not fit is
// dropped, and so are the pictures after a dropped one up to the next
// refresh picture, as they are coded against it; a new viewer likewise
// starts from a refresh picture.
class FeedViewer {
 public:
  static constexpr std::size_t kBacklogBytes = std::size_t{4} << 20;

  // ready is poked whenever a piece is added.
  explicit FeedViewer(WakeSignal& ready) : ready_(ready) {}

  // From the feed's thread.
  void offer(const std::shared_ptr<const LiveItem>& item);
  // The pieces added since the last call, oldest first.
  std::vector<std::shared_ptr<const LiveItem>> take();

 private:
  WakeSignal& ready_;
  std::mutex lock_;
  std::vector<std::shared_ptr<const LiveItem>> items_;
  std::size_t bytes_ = 0;
  bool needsRefresh_ = true;
};

}  // namespace marlin::cli::serve_dvr
