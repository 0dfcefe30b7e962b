#pragma once

#include <QImage>
#include <QWidget>

#include "export/export_preview.h"

namespace marlin::desktop {

// Shows the pictures an export writes. The export thread calls
// showExportedPicture; the picture is copied there and drawn on the UI thread.
class ExportPreviewView : public QWidget, public ExportPreview {
  Q_OBJECT

 public:
  explicit ExportPreviewView(QWidget* parent = nullptr);

  void showExportedPicture(int channel, const std::uint8_t* picture, int width, int height) override;
  void clear();
  const QImage& picture() const { return picture_; }

 signals:
  void pictureShown();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};

}  // namespace marlin::desktop
