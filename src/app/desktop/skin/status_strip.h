#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

namespace marlin::desktop {

// The line under the video: what the player is doing on the left, the time
// of the picture on the right in figures of even width, so that it does not
// jitter while it counts, and background work in the middle. A notice (what an action did) takes the time's
// place for a few seconds. Repaints only when a text changes.
class StatusStrip : public QWidget {
  Q_OBJECT

 public:
  explicit StatusStrip(QWidget* parent = nullptr);

  void setTexts(const QString& status, const QString& time);
  QString statusText() const { return status_; }
  QString timeText() const { return time_; }
  void showNotice(const QString& text);
  QString noticeText() const { return notice_; }
  // Background work and how far it got, in the middle; empty for none.
  void setTask(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString status_;
  QString time_;
  QString notice_;
  QString task_;
  QTimer noticeTimer_;
};

}  // namespace marlin::desktop
