#pragma once

#include <QDialog>

#include "export/compression.h"

class QCheckBox;
class QLabel;
class QSlider;
class QSpinBox;
class QTreeWidget;

namespace marlin::desktop {

// The name a codec goes by in the compression chooser.
QString codecDisplayName(VideoCodec codec);

// The "Select..." chooser of an export's video compression: the codecs this
// build can write, with the quality and key frame interval of those that use them.
class CompressionDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CompressionDialog(const Compression& current, QWidget* parent = nullptr);

  Compression chosen() const;

 private:
  VideoCodec selectedCodec() const;
  void showSettingsOf(VideoCodec codec);

  QTreeWidget* codecs_;
  QCheckBox* defaultQuality_;
  QSlider* quality_;
  QLabel* qualityValue_;
  QSpinBox* keyFrameInterval_;
  int dataRate_;
};

}  // namespace marlin::desktop
