#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "activity/activity_events.h"
#include "app/desktop/export_kind.h"
#include "app/desktop/thumbnail_maker.h"

class QWidget;

namespace marlin {
class PlayerEngine;
}

namespace marlin::desktop {

class ActivityTracker;
class EventListPanel;
class HeatStrip;
class SkinSlider;
class ThumbnailCard;

// Finding the moment in Player mode's recording: the activity strip above
// the slider, the pictures shown while the pointer rests on the slider, the
// event list, the next and previous event, and the search region drawn on
// a camera shown alone. It owns the recording's activity and keeps all of
// these to the cameras shown.
class ActivityBrowser : public QObject {
  Q_OBJECT

 public:
  ActivityBrowser(PlayerEngine& engine, SkinSlider& slider, QWidget* window);
  ~ActivityBrowser() override;

  HeatStrip* strip() const { return strip_; }
  EventListPanel* panel() const { return panel_; }
  ThumbnailCard* card() const { return card_; }
  const ActivityTracker& tracker() const { return *tracker_; }
  bool ready() const;
  bool listShown() const { return listShown_; }
  bool regionDrawn() const;
  // The cameras shown now, in split order.
  std::vector<int> shownCameras() const;

 public slots:
  // Player mode opened a recording (opened) or closed it (path empty).
  void sourceChanged(const QString& path, bool opened);
  // The split or its page changed.
  void viewChanged();
  void nextEvent();
  void previousEvent();
  void toggleEventList();
  // A region drawn on the camera shown alone, in its picture's 0..1 units.
  void drawRegion(const QRectF& area);
  void clearRegion();
  void hoverSlider(int value, QPoint global);
  void endHover();
  // Called as the window polls: the list follows what plays.
  void follow();

 signals:
  void confirmed(const QString& text);
  // Background work for the status strip; empty when it ended.
  void working(const QString& task);
  // The list was shown or hidden: the window lays out again.
  void listToggled(bool shown);
  // What the commands offer changed.
  void changed();
  void regionCleared();
  // A camera's span of block times [from, to] to export.
  void exportWanted(int camera, std::uint32_t from, std::uint32_t to, ExportKind kind);

 private:
  void showEvents();
  void jumpTo(const activity::ActivityEvent& event, const QString& how);
  std::optional<std::uint32_t> shownTime() const;
  // The second the next and previous events are counted from.
  std::optional<std::uint32_t> referenceTime() const;
  std::vector<ThumbnailMaker::Shot> shotsAt(std::uint64_t position, const std::vector<int>& cameras) const;

  PlayerEngine& engine_;
  SkinSlider& slider_;
  QWidget* window_;
  ActivityTracker* tracker_;
  HeatStrip* strip_;
  ThumbnailCard* card_;
  ThumbnailMaker* hoverPictures_;
  ThumbnailMaker* listPictures_;
  EventListPanel* panel_;
  bool listShown_ = false;
  quint64 hoverRequest_ = 0;
  // The start of the event last jumped to, and since when.
  std::optional<std::uint32_t> jumpedTo_;
  QElapsedTimer sinceJump_;
  QString indexNote_;
};

}  // namespace marlin::desktop
