#include "app/desktop/activity_tracker.h"

#include <sys/resource.h>

#include <QMetaObject>
#include <algorithm>
#include <chrono>

#include "activity/index_cache.h"

namespace marlin::desktop {

namespace {

// The index is built beside playback, which must keep its pace: the
// builder's workers take what the pictures leave over.
void lowerThisThreadsPriority() { ::setpriority(PRIO_PROCESS, 0, 10); }

}  // namespace

ActivityTracker::ActivityTracker(std::string cacheFolder, QObject* parent)
    : QObject(parent), cacheFolder_(std::move(cacheFolder)) {}

ActivityTracker::~ActivityTracker() { stopWorker(); }

void ActivityTracker::stopWorker() {
  stop_ = true;
  if (worker_.joinable()) {
    worker_.join();
  }
  stop_ = false;
}

void ActivityTracker::forget() {
  stopWorker();
  ++generation_;
  index_.reset();
  events_.clear();
  query_.region.reset();
  emit eventsChanged();
}

void ActivityTracker::track(const std::string& path, const RecordingReading& reading) {
  forget();
  const std::uint64_t generation = generation_;
  worker_ = std::thread([this, path, reading, generation] {
    lowerThisThreadsPriority();
    activity::BuildOptions options;
    options.threads = std::max(1u, std::thread::hardware_concurrency());
    options.stop = &stop_;
    auto lastTold = std::chrono::steady_clock::now();
    options.progress = [&](std::uint64_t done, std::uint64_t total) {
      const auto now = std::chrono::steady_clock::now();
      if (total == 0 || now - lastTold < std::chrono::milliseconds(100)) {
        return;
      }
      lastTold = now;
      const int percent = static_cast<int>(done * 100 / total);
      QMetaObject::invokeMethod(
          this,
          [this, generation, percent] {
            if (generation == generation_) {
              emit progress(percent);
            }
          },
          Qt::QueuedConnection);
    };
    auto load = std::make_shared<activity::IndexLoad>();
    const Status made = activity::loadOrBuildIndex(path, reading, options, cacheFolder_, *load);
    if (made.code() == StatusCode::Cancelled) {
      return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, generation, made, load] {
          if (generation != generation_) {
            return;
          }
          if (!made) {
            emit indexFailed(QString::fromStdString(made.message()));
            return;
          }
          index_ = std::shared_ptr<const activity::ActivityIndex>(load, &load->index);
          findEvents();
          emit indexReady(load->origin != activity::IndexOrigin::Built);
        },
        Qt::QueuedConnection);
  });
}

void ActivityTracker::setChannels(std::uint16_t channels) {
  if (channels == query_.channels) {
    return;
  }
  query_.channels = channels;
  findEvents();
}

void ActivityTracker::setRegion(std::optional<activity::Region> region) {
  query_.region = region;
  findEvents();
}

void ActivityTracker::findEvents() {
  if (index_) {
    activity::findEvents(*index_, query_, events_);
  } else {
    events_.clear();
  }
  emit eventsChanged();
}

std::optional<activity::ActivityEvent> ActivityTracker::nextEvent(std::uint32_t now) const {
  const auto found = std::find_if(events_.begin(), events_.end(),
                                  [now](const activity::ActivityEvent& event) { return event.start > now; });
  return found == events_.end() ? std::nullopt : std::optional(*found);
}

std::optional<activity::ActivityEvent> ActivityTracker::previousEvent(std::uint32_t now) const {
  const auto found = std::find_if(events_.rbegin(), events_.rend(),
                                  [now](const activity::ActivityEvent& event) { return event.start < now; });
  return found == events_.rend() ? std::nullopt : std::optional(*found);
}

}  // namespace marlin::desktop
