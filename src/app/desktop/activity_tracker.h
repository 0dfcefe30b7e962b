#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "activity/activity_events.h"
#include "activity/activity_index.h"
#include "recognition/recognition.h"

namespace marlin::desktop {

// The activity of the open recording: its index, loaded from the cache or
// built on a background thread as soon as the recording opens (at a lower
// priority than playback), and the events of the cameras shown, inside the
// drawn region when there is one. What the heat strip, the event list and
// the next / previous event commands read.
class ActivityTracker : public QObject {
  Q_OBJECT

 public:
  explicit ActivityTracker(std::string cacheFolder, QObject* parent = nullptr);
  ~ActivityTracker() override;

  // A recording was opened: its index is looked for and built if needed.
  void track(const std::string& path, const RecordingReading& reading);
  // The recording closed: the work for it stops, its activity goes.
  void forget();

  bool ready() const { return index_ != nullptr; }
  // The index of the recording; only when ready().
  const activity::ActivityIndex& index() const { return *index_; }

  // Cameras shown (bit c for camera c) and the region drawn on the one
  // shown alone; events count only those.
  void setChannels(std::uint16_t channels);
  std::uint16_t channels() const { return query_.channels; }
  void setRegion(std::optional<activity::Region> region);
  const std::optional<activity::Region>& region() const { return query_.region; }
  const activity::EventQuery& query() const { return query_; }
  const std::vector<activity::ActivityEvent>& events() const { return events_; }

  // The first event to start after the second `now` (block time), and the
  // last to start before it.
  std::optional<activity::ActivityEvent> nextEvent(std::uint32_t now) const;
  std::optional<activity::ActivityEvent> previousEvent(std::uint32_t now) const;

 signals:
  // Building: the share of the recording read so far, 0..100.
  void progress(int percent);
  // The index is there (cached: kept from an earlier run) or could not be made.
  void indexReady(bool cached);
  void indexFailed(const QString& reason);
  // The events changed: a new index, other cameras, another region.
  void eventsChanged();

 private:
  void stopWorker();
  void findEvents();

  std::string cacheFolder_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  // Results of a recording that has since closed are dropped.
  std::uint64_t generation_ = 0;
  std::shared_ptr<const activity::ActivityIndex> index_;
  activity::EventQuery query_;
  std::vector<activity::ActivityEvent> events_;
};

}  // namespace marlin::desktop
