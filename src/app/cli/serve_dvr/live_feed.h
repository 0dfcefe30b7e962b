#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/cli/serve_dvr/feed_viewer.h"
#include "app/cli/serve_dvr/live_producer.h"
#include "platform/wake_signal.h"

namespace marlin::cli::serve_dvr {

// The DVR's one live stream, as every logged-in client sees it: the
// producer's pieces, each handed to every viewer at its time, from a thread
// of its own, so no client's pace is another's. The stream's clock runs only
// while someone watches: it goes on where the last viewer left it, and a
// viewer that joins gets a refresh picture next.
class LiveFeed {
 public:
  // The producer is the feed's alone from now on. finishedSignal is poked
  // once the whole recording has gone out.
  LiveFeed(LiveProducer& producer, WakeSignal& finishedSignal);
  ~LiveFeed();
  LiveFeed(const LiveFeed&) = delete;
  LiveFeed& operator=(const LiveFeed&) = delete;

  // The viewer gets pieces from now until it leaves.
  void join(FeedViewer& viewer);
  void leave(FeedViewer& viewer);

  // Without loop: the whole recording has gone to the viewers.
  bool finished() const;
  // The cameras of the recording, one bit each.
  std::uint16_t cameraMask() const { return cameraMask_; }
  // The sequence number of the last picture made.
  std::uint16_t lastSequence() const { return lastSequence_.load(); }

 private:
  using Clock = std::chrono::steady_clock;

  void run();

  LiveProducer& producer_;
  WakeSignal& finishedSignal_;
  const std::uint16_t cameraMask_;
  std::atomic<std::uint16_t> lastSequence_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<FeedViewer*> viewers_;
  // The next piece, made and waiting for its time.
  std::shared_ptr<const LiveItem> next_;
  // When the stream's time 0 was, for the viewers watching now; none while nobody watches.
  std::optional<Clock::time_point> origin_;
  bool refreshWanted_ = false;
  bool finished_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

// A client's place among the feed's viewers, given up at the latest when it goes.
class FeedMembership {
 public:
  FeedMembership(LiveFeed& feed, FeedViewer& viewer) : feed_(feed), viewer_(viewer) { feed_.join(viewer_); }
  ~FeedMembership() { leave(); }
  FeedMembership(const FeedMembership&) = delete;
  FeedMembership& operator=(const FeedMembership&) = delete;

  void leave();

 private:
  LiveFeed& feed_;
  FeedViewer& viewer_;
  bool joined_ = true;
};

}  // namespace marlin::cli::serve_dvr
