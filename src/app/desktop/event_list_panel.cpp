#include "app/desktop/event_list_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QVBoxLayout>

#include "app/desktop/skin/palette.h"
#include "app/desktop/thumbnail_maker.h"
#include "base/calendar.h"

namespace marlin::desktop {

namespace {

constexpr int kThumbnailWidth = 96;

QString timeText(std::uint32_t time) {
  return QString::fromStdString(formatCalendarTime(calendarFromTimestamp(time, 0)));
}

QString lengthText(std::uint32_t seconds) {
  if (seconds < 60) {
    return QStringLiteral("%1 s").arg(seconds);
  }
  return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
}

}  // namespace

EventListPanel::EventListPanel(ThumbnailMaker& thumbnails, QWidget* parent)
    : QWidget(parent), thumbnails_(thumbnails), note_(new QLabel(this)), list_(new QListWidget(this)) {
  setObjectName(QStringLiteral("eventListPanel"));
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, skin::kWindow);
  setPalette(colours);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  auto* title = new QLabel(QStringLiteral("Activity"), this);
  QFont bold = title->font();
  bold.setWeight(QFont::DemiBold);
  title->setFont(bold);
  note_->setStyleSheet(QStringLiteral("color: #9AA1AC;"));
  note_->setWordWrap(true);
  list_->setObjectName(QStringLiteral("eventList"));
  list_->setIconSize(QSize(kThumbnailWidth, kThumbnailWidth * 7 / 10));
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->setUniformItemSizes(true);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setTextElideMode(Qt::ElideRight);
  list_->setStyleSheet(
      QStringLiteral("QListWidget { background: #15171C; border: none; }"
                     "QListWidget::item { padding: 3px; }"
                     "QListWidget::item:selected { background: #2A2F38; }"));
  layout->addWidget(title);
  layout->addWidget(note_);
  layout->addWidget(list_, 1);
  connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const int row = list_->row(item);
    if (row >= 0 && row < static_cast<int>(events_.size())) {
      emit chosen(events_[static_cast<std::size_t>(row)]);
    }
  });
  connect(list_, &QListWidget::customContextMenuRequested, this, &EventListPanel::showMenu);
  connect(&thumbnails_, &ThumbnailMaker::ready, this, [this](quint64 number, const QImage& picture) {
    if (!waiting_ || number != waitingFor_) {
      return;
    }
    if (QListWidgetItem* item = list_->item(*waiting_); item != nullptr && !picture.isNull()) {
      item->setIcon(QIcon(
          QPixmap::fromImage(picture.scaled(list_->iconSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation))));
    }
    waiting_.reset();
    askNextThumbnail();
  });
}

void EventListPanel::setEvents(const std::vector<activity::ActivityEvent>& events) {
  events_ = events;
  list_->clear();
  QPixmap dark(list_->iconSize());
  dark.fill(skin::kVideoGap);
  for (const activity::ActivityEvent& event : events_) {
    // The time first, then how long; the day below, as a long recording spans days.
    const QString start = timeText(event.start);
    auto* item = new QListWidgetItem(QIcon(dark), QStringLiteral("Camera %1\n%2  ·  %3\n%4")
                                                      .arg(event.channel + 1)
                                                      .arg(start.mid(11))
                                                      .arg(lengthText(event.end - event.start))
                                                      .arg(start.left(10)));
    item->setToolTip(QStringLiteral("Peak %1% at %2").arg(qRound(event.peak * 100)).arg(timeText(event.peakTime)));
    list_->addItem(item);
  }
  waiting_.reset();
  askNextThumbnail();
}

void EventListPanel::setNote(const QString& note) { note_->setText(note); }

// The rows' pictures are made one after another, from the top.
void EventListPanel::askNextThumbnail() {
  if (waiting_) {
    return;
  }
  for (int row = 0; row < static_cast<int>(events_.size()); ++row) {
    const activity::ActivityEvent& event = events_[static_cast<std::size_t>(row)];
    // The refresh picture the event's first picture builds on: one picture
    // to decode per row.
    const std::vector<ThumbnailMaker::Shot> shot{
        {event.channel, event.refreshPosition == activity::kNoPosition ? event.position : event.refreshPosition}};
    const QImage kept = thumbnails_.cached(shot);
    QListWidgetItem* item = list_->item(row);
    if (!kept.isNull()) {
      if (item->data(Qt::UserRole).toBool()) {
        continue;
      }
      item->setIcon(
          QIcon(QPixmap::fromImage(kept.scaled(list_->iconSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation))));
      item->setData(Qt::UserRole, true);
      continue;
    }
    waiting_ = row;
    waitingFor_ = thumbnails_.request(shot);
    item->setData(Qt::UserRole, true);
    return;
  }
}

void EventListPanel::follow(std::uint32_t now) {
  for (int row = 0; row < static_cast<int>(events_.size()); ++row) {
    const activity::ActivityEvent& event = events_[static_cast<std::size_t>(row)];
    if (event.start <= now && now < event.end) {
      if (list_->currentRow() != row) {
        list_->setCurrentRow(row);
      }
      return;
    }
  }
}

void EventListPanel::showMenu(const QPoint& at) {
  const int row = list_->row(list_->itemAt(at));
  if (row < 0 || row >= static_cast<int>(events_.size())) {
    return;
  }
  const activity::ActivityEvent event = events_[static_cast<std::size_t>(row)];
  QMenu menu(this);
  QAction* exportEvent = menu.addAction(QStringLiteral("&Export this event…"));
  QAction* evidence = menu.addAction(QStringLiteral("Export e&vidence of this event…"));
  QAction* copyTime = menu.addAction(QStringLiteral("&Copy time"));
  QAction* picked = menu.exec(list_->viewport()->mapToGlobal(at));
  if (picked == exportEvent || picked == evidence) {
    emit exportWanted(event, picked == evidence ? ExportKind::Evidence : ExportKind::Files);
  } else if (picked == copyTime) {
    const QString time = timeText(event.start);
    QApplication::clipboard()->setText(time);
    emit timeCopied(time);
  }
}

}  // namespace marlin::desktop
