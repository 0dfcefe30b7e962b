#include "app/desktop/activity_browser.h"

#include <QWidget>
#include <algorithm>

#include "activity/index_cache.h"
#include "app/desktop/activity_tracker.h"
#include "app/desktop/event_list_panel.h"
#include "app/desktop/skin/heat_strip.h"
#include "app/desktop/skin/skin_slider.h"
#include "app/desktop/skin/thumbnail_card.h"
#include "app/desktop/thumbnail_maker.h"
#include "base/calendar.h"
#include "engine/player_engine.h"
#include "render/channel_label.h"
#include "render/split_layout.h"

namespace marlin::desktop {

namespace {

constexpr std::uint64_t kSliderUnit = 4096;
// An event exported from the list keeps a little of what led to it.
constexpr std::uint32_t kExportMarginSeconds = 3;
constexpr int kCardCameras = 4;
// A jump settles (the engine reads back to the camera's refresh picture and
// decodes on to the event) well within this time; until then the time shown
// is not yet the event's.
constexpr qint64 kSettlingMs = 1500;
// How near an event the time shown still counts as at it: a picture of
// another camera may be up to this much earlier, or a second later.
constexpr std::uint32_t kNearSeconds = 2;

QString eventCount(std::size_t count) {
  return count == 1 ? QStringLiteral("1 event") : QStringLiteral("%1 events").arg(count);
}

}  // namespace

ActivityBrowser::ActivityBrowser(PlayerEngine& engine, SkinSlider& slider, QWidget* window)
    : QObject(window),
      engine_(engine),
      slider_(slider),
      window_(window),
      tracker_(new ActivityTracker(activity::indexCacheFolder(), this)),
      strip_(new HeatStrip(*tracker_, slider, window)),
      card_(new ThumbnailCard(window)),
      hoverPictures_(new ThumbnailMaker(this)),
      listPictures_(new ThumbnailMaker(this)),
      panel_(new EventListPanel(*listPictures_, window)) {
  panel_->hide();
  connect(tracker_, &ActivityTracker::progress, this,
          [this](int percent) { emit working(QStringLiteral("Finding activity… %1%").arg(percent)); });
  connect(tracker_, &ActivityTracker::indexReady, this, [this](bool cached) {
    indexNote_ = cached ? QStringLiteral("Index kept from an earlier opening.") : QStringLiteral("Index made now.");
    // The strip and the list show it; the line keeps what opening said.
    showEvents();
    emit working(QString());
    emit changed();
  });
  connect(tracker_, &ActivityTracker::indexFailed, this, [this](const QString& reason) {
    indexNote_ = QStringLiteral("No activity index: ") + reason;
    emit working(QString());
    emit confirmed(indexNote_);
  });
  connect(tracker_, &ActivityTracker::eventsChanged, this, &ActivityBrowser::showEvents);
  connect(hoverPictures_, &ThumbnailMaker::ready, this, [this](quint64 request, const QImage& picture) {
    // Only the pictures of where the pointer is now.
    if (request == hoverRequest_ && card_->isVisible()) {
      card_->setPicture(picture);
    }
  });
  connect(panel_, &EventListPanel::chosen, this,
          [this](const activity::ActivityEvent& event) { jumpTo(event, QStringLiteral("Event")); });
  connect(panel_, &EventListPanel::exportWanted, this, [this](const activity::ActivityEvent& event, ExportKind kind) {
    // The margins stay within what the camera recorded: a time outside the recording is refused.
    std::uint32_t first = event.start;
    std::uint32_t last = event.end;
    if (tracker_->ready()) {
      const auto& seconds = tracker_->index().channels[static_cast<std::size_t>(event.channel)].seconds;
      if (!seconds.empty()) {
        first = std::min(first, seconds.front().time);
        last = std::max(last, seconds.back().time);
      }
    }
    const std::uint32_t from = event.start - std::min(kExportMarginSeconds, event.start - first);
    const std::uint32_t to = event.end + std::min(kExportMarginSeconds, last - event.end);
    emit exportWanted(event.channel, from, to, kind);
  });
  connect(panel_, &EventListPanel::timeCopied, this,
          [this](const QString& time) { emit confirmed(QStringLiteral("Copied: ") + time); });
}

ActivityBrowser::~ActivityBrowser() = default;

bool ActivityBrowser::ready() const { return tracker_->ready(); }

bool ActivityBrowser::regionDrawn() const { return tracker_->region().has_value(); }

std::vector<int> ActivityBrowser::shownCameras() const {
  int split = 1;
  int page = 0;
  engine_.getView(split, page);
  const ChannelSet shown = channelsOnPage(split, page, engine_.maxSplit());
  std::vector<int> cameras;
  for (int camera = 0; camera < static_cast<int>(shown.size()); ++camera) {
    if (shown.test(static_cast<std::size_t>(camera))) {
      cameras.push_back(camera);
    }
  }
  return cameras;
}

void ActivityBrowser::sourceChanged(const QString& path, bool opened) {
  endHover();
  jumpedTo_.reset();
  sinceJump_.invalidate();
  if (!opened || path.isEmpty() || !engine_.isSourceOpen()) {
    tracker_->forget();
    hoverPictures_->close();
    listPictures_->close();
    strip_->setRecordingSize(0);
    indexNote_.clear();
    emit working(QString());
    emit changed();
    return;
  }
  const std::string file = path.toStdString();
  const RecordingReading reading = engine_.lastRecognition().reading;
  hoverPictures_->open(file, reading);
  listPictures_->open(file, reading);
  strip_->setRecordingSize(engine_.getSourceSize());
  indexNote_ = QStringLiteral("Finding activity…");
  tracker_->track(file, reading);
  viewChanged();
  emit changed();
}

void ActivityBrowser::viewChanged() {
  const std::vector<int> cameras = shownCameras();
  std::uint16_t mask = 0;
  for (const int camera : cameras) {
    mask = static_cast<std::uint16_t>(mask | (1u << camera));
  }
  // A region belongs to the camera it was drawn on.
  if (cameras.size() != 1 && tracker_->region()) {
    clearRegion();
  }
  strip_->setCameras(cameras, cameras.size() >= 16);
  tracker_->setChannels(mask);
}

void ActivityBrowser::showEvents() {
  strip_->refresh();
  panel_->setEvents(tracker_->events());
  QString note = indexNote_;
  if (tracker_->ready()) {
    note = QStringLiteral("%1 of the cameras shown%2. %3")
               .arg(eventCount(tracker_->events().size()))
               .arg(tracker_->region() ? QStringLiteral(" in the region") : QString())
               .arg(indexNote_);
  }
  panel_->setNote(note);
  emit changed();
}

std::optional<std::uint32_t> ActivityBrowser::shownTime() const {
  CalendarTime time{};
  if (engine_.getFrameTime(time) != 1) {
    return std::nullopt;
  }
  return timestampFromCalendar(time, 0);
}

// Right after a jump, and while what is shown is that event's moment, the
// event's start is where the user is: pressing Page Down twice quickly goes
// two events on, and the time of another camera's picture does not lead back
// to the same event.
std::optional<std::uint32_t> ActivityBrowser::referenceTime() const {
  const std::optional<std::uint32_t> shown = shownTime();
  if (!jumpedTo_) {
    return shown;
  }
  const bool settling = sinceJump_.isValid() && sinceJump_.elapsed() < kSettlingMs;
  const bool atEvent = shown && *shown + kNearSeconds >= *jumpedTo_ && *shown <= *jumpedTo_ + 1;
  return settling || atEvent || !shown ? jumpedTo_ : shown;
}

void ActivityBrowser::jumpTo(const activity::ActivityEvent& event, const QString& how) {
  jumpedTo_ = event.start;
  sinceJump_.start();
  engine_.jumpTo(event.position);
  emit confirmed(QStringLiteral("%1: camera %2 at %3")
                     .arg(how)
                     .arg(event.channel + 1)
                     .arg(QString::fromStdString(formatCalendarTime(calendarFromTimestamp(event.start, 0)))));
}

void ActivityBrowser::nextEvent() {
  if (!tracker_->ready()) {
    return;
  }
  const std::uint32_t now = referenceTime().value_or(0);
  if (const auto event = tracker_->nextEvent(now)) {
    jumpTo(*event, QStringLiteral("Next event"));
  } else {
    emit confirmed(QStringLiteral("No later event"));
  }
}

void ActivityBrowser::previousEvent() {
  if (!tracker_->ready()) {
    return;
  }
  const std::uint32_t now = referenceTime().value_or(0xFFFFFFFF);
  if (const auto event = tracker_->previousEvent(now)) {
    jumpTo(*event, QStringLiteral("Previous event"));
  } else {
    emit confirmed(QStringLiteral("No earlier event"));
  }
}

void ActivityBrowser::toggleEventList() {
  listShown_ = !listShown_;
  panel_->setVisible(listShown_);
  emit listToggled(listShown_);
  emit changed();
}

void ActivityBrowser::drawRegion(const QRectF& area) {
  const std::vector<int> cameras = shownCameras();
  if (cameras.size() != 1 || !tracker_->ready()) {
    return;
  }
  const activity::ChannelActivity& channel = tracker_->index().channels[static_cast<std::size_t>(cameras.front())];
  const double width = channel.columns * 16.0;
  const double height = channel.rows * 16.0;
  activity::Region region;
  region.x = static_cast<int>(area.left() * width);
  region.y = static_cast<int>(area.top() * height);
  region.width = std::max(1, static_cast<int>(area.width() * width));
  region.height = std::max(1, static_cast<int>(area.height() * height));
  tracker_->setRegion(region);
  emit confirmed(QStringLiteral("Region: %1 inside").arg(eventCount(tracker_->events().size())));
}

void ActivityBrowser::clearRegion() {
  if (!tracker_->region()) {
    return;
  }
  tracker_->setRegion(std::nullopt);
  emit regionCleared();
  emit confirmed(QStringLiteral("Region cleared"));
}

void ActivityBrowser::hoverSlider(int value, QPoint global) {
  CalendarTime time{};
  const std::uint64_t position = static_cast<std::uint64_t>(value) * kSliderUnit;
  if (!engine_.isSourceOpen() || !engine_.blockTimeAt(position, time)) {
    endHover();
    return;
  }
  std::vector<int> cameras = shownCameras();
  cameras.resize(std::min<std::size_t>(cameras.size(), kCardCameras));
  const QPoint anchor = window_->mapFromGlobal(
      QPoint(global.x(), slider_.mapToGlobal(QPoint(0, 0)).y() - 4 - (strip_->isVisible() ? strip_->height() : 0)));
  const int width = ThumbnailMaker::kWidth * static_cast<int>(std::max<std::size_t>(1, cameras.size()));
  card_->showFor(anchor, QString::fromStdString(formatPictureTime(time, engine_.getTimeFormat())),
                 QSize(width, ThumbnailMaker::kWidth * 7 / 10));
  const std::vector<ThumbnailMaker::Shot> shots = shotsAt(position, cameras);
  const QImage kept = hoverPictures_->cached(shots);
  if (!kept.isNull()) {
    hoverRequest_ = 0;
    card_->setPicture(kept);
    return;
  }
  hoverRequest_ = hoverPictures_->request(shots);
}

// Where the index knows each camera's refresh picture before position,
// pointing anywhere from it to the next one asks for the same picture, made
// once.
std::vector<ThumbnailMaker::Shot> ActivityBrowser::shotsAt(std::uint64_t position,
                                                           const std::vector<int>& cameras) const {
  std::vector<ThumbnailMaker::Shot> shots;
  for (const int camera : cameras) {
    ThumbnailMaker::Shot shot{camera, position};
    if (tracker_->ready()) {
      const auto& seconds = tracker_->index().channels[static_cast<std::size_t>(camera)].seconds;
      const auto after = std::upper_bound(
          seconds.begin(), seconds.end(), position,
          [](std::uint64_t at, const activity::SecondActivity& second) { return at < second.firstPosition; });
      if (after != seconds.begin() && std::prev(after)->refreshPosition != activity::kNoPosition) {
        shot.position = std::prev(after)->refreshPosition;
      }
    }
    shots.push_back(shot);
  }
  return shots;
}

void ActivityBrowser::endHover() {
  hoverRequest_ = 0;
  card_->hide();
}

void ActivityBrowser::follow() {
  if (listShown_) {
    if (const auto now = shownTime()) {
      panel_->follow(*now);
    }
  }
}

}  // namespace marlin::desktop
