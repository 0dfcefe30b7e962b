#include "app/cli/serve_dvr/live_feed.h"

#include <algorithm>
#include <utility>

namespace marlin::cli::serve_dvr {

LiveFeed::LiveFeed(LiveProducer& producer, WakeSignal& finishedSignal)
    : producer_(producer),
      finishedSignal_(finishedSignal),
      cameraMask_(producer.cameraMask()),
      lastSequence_(producer.lastSequence()),
      thread_([this] { run(); }) {}

LiveFeed::~LiveFeed() {
  {
    std::lock_guard guard(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void LiveFeed::join(FeedViewer& viewer) {
  {
    std::lock_guard guard(mutex_);
    viewers_.push_back(&viewer);
    refreshWanted_ = true;
  }
  changed_.notify_all();
}

void LiveFeed::leave(FeedViewer& viewer) {
  {
    std::lock_guard guard(mutex_);
    std::erase(viewers_, &viewer);
  }
  changed_.notify_all();
}

bool LiveFeed::finished() const {
  std::lock_guard guard(mutex_);
  return finished_;
}

void LiveFeed::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    // The next piece is made as soon as the last one went out, watched or
    // not: the end of the recording is known when its last piece has gone,
    // even if its viewer leaves at once.
    changed_.wait(lock, [this] { return stopping_ || (!finished_ && (!next_ || !viewers_.empty())); });
    if (stopping_) {
      return;
    }
    if (!next_) {
      // Making a piece takes a decode and an encode: viewers may come and go meanwhile.
      const bool refresh = std::exchange(refreshWanted_, false);
      lock.unlock();
      if (refresh) {
        producer_.refreshNext();
      }
      std::optional<LiveItem> item = producer_.next();
      lock.lock();
      if (!item) {
        finished_ = true;
        finishedSignal_.poke();
        continue;
      }
      next_ = std::make_shared<const LiveItem>(std::move(*item));
      lastSequence_ = producer_.lastSequence();
      continue;
    }
    if (refreshWanted_ && next_->kind == LiveItem::Kind::Picture && !next_->refresh) {
      // A viewer that just joined has nothing to apply a conditional picture
      // to: it is made again as a refresh picture.
      next_.reset();
      continue;
    }
    if (!origin_) {
      // Nobody watched the time since the last piece: the stream goes on from here.
      origin_ = Clock::now() - next_->due;
    }
    if (changed_.wait_until(lock, *origin_ + next_->due, [this] { return stopping_ || viewers_.empty(); })) {
      origin_.reset();
      continue;
    }
    for (FeedViewer* viewer : viewers_) {
      viewer->offer(next_);
    }
    next_.reset();
  }
}

void FeedMembership::leave() {
  if (std::exchange(joined_, false)) {
    feed_.leave(viewer_);
  }
}

}  // namespace marlin::cli::serve_dvr
