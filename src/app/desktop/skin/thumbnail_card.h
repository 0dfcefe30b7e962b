#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace marlin::desktop {

// The card above the position slider while the pointer rests on it: the
// pictures at that position and their time in tabular digits. Until the
// pictures for the position are there it shows a dark placeholder, never
// the pictures of another position.
class ThumbnailCard : public QWidget {
  Q_OBJECT

 public:
  explicit ThumbnailCard(QWidget* parent = nullptr);

  // Places the card's bottom middle at anchor (in the parent's
  // coordinates), kept inside the parent; placeholder is the pictures' size
  // until they come.
  void showFor(QPoint anchor, const QString& time, QSize placeholder);
  void setPicture(const QImage& picture);
  const QImage& picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void place();

  QPoint anchor_;
  QString time_;
  QImage picture_;
  QSize pictureSize_;
};

}  // namespace marlin::desktop
