#include "app/desktop/dialogs/export_preview_view.h"

#include <QPainter>

#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

ExportPreviewView::ExportPreviewView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(352, 264);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ExportPreviewView::showExportedPicture(int, const std::uint8_t* picture, int width, int height) {
  const qsizetype stride = (static_cast<qsizetype>(width) * 3 + 3) & ~qsizetype{3};
  // The rows are bottom-up and only valid during this call: mirrored() makes the copy the UI thread keeps.
  QImage copy = QImage(picture, width, height, stride, QImage::Format_BGR888).mirrored(false, true);
  QMetaObject::invokeMethod(
      this,
      [this, copy = std::move(copy)] {
        picture_ = copy;
        update();
        emit pictureShown();
      },
      Qt::QueuedConnection);
}

void ExportPreviewView::clear() {
  picture_ = QImage();
  update();
}

void ExportPreviewView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), skin::kVideoGap);
  if (picture_.isNull()) return;
  const QSize fitted = picture_.size().scaled(size(), Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, picture_);
}

}  // namespace marlin::desktop
