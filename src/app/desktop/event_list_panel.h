#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "activity/activity_events.h"
#include "app/desktop/export_kind.h"

class QLabel;
class QListWidget;

namespace marlin::desktop {

class ThumbnailMaker;

// The panel at the right of the picture that lists the activity events of
// the cameras shown: a row per event with its picture, camera, start time
// and length. A click jumps to the event; its menu exports it or copies its
// time. The row of the event being played is the current one.
class EventListPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 264;

  EventListPanel(ThumbnailMaker& thumbnails, QWidget* parent = nullptr);

  void setEvents(const std::vector<activity::ActivityEvent>& events);
  // The line above the list: how the index came to be, or why there is none.
  void setNote(const QString& note);
  // Makes the event playing at now (block time) the current row.
  void follow(std::uint32_t now);
  QListWidget* list() const { return list_; }

 signals:
  void chosen(const activity::ActivityEvent& event);
  void exportWanted(const activity::ActivityEvent& event, ExportKind kind);
  void timeCopied(const QString& time);

 private:
  void askNextThumbnail();
  void showMenu(const QPoint& at);

  ThumbnailMaker& thumbnails_;
  QLabel* note_;
  QListWidget* list_;
  std::vector<activity::ActivityEvent> events_;
  // The row whose picture is being made.
  std::optional<int> waiting_;
  quint64 waitingFor_ = 0;
};

}  // namespace marlin::desktop
