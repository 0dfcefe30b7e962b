#include "app/desktop/dialogs/compression_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/desktop/dialogs/dialog_frame.h"
#include "app/desktop/skin/palette.h"
#include "export/export_timing.h"

namespace marlin::desktop {

namespace {

constexpr int kCodecRole = Qt::UserRole;
// An exported file's pictures come at the recorder's rate, 30 a second unless its timing says otherwise.
constexpr int kFramesInASecond = static_cast<int>(StreamRate{}.rate);

// Uncompressed frames have no encoder; FFV1 is lossless, so only the distance between key frames means anything.
bool usesQuality(VideoCodec codec) { return codec != VideoCodec::Uncompressed && codec != VideoCodec::Ffv1; }
bool usesKeyFrames(VideoCodec codec) { return codec != VideoCodec::Uncompressed; }

}  // namespace

QString codecDisplayName(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::Uncompressed:
      return QStringLiteral("Full Frames (Uncompressed)");
    case VideoCodec::Mjpeg:
      return QStringLiteral("Motion JPEG");
    case VideoCodec::Mpeg4:
      return QStringLiteral("MPEG-4 Video");
    case VideoCodec::Ffv1:
      return QStringLiteral("FFV1 (Lossless)");
    case VideoCodec::H264:
      return QStringLiteral("H.264");
  }
  return {};
}

CompressionDialog::CompressionDialog(const Compression& current, QWidget* parent)
    : QDialog(parent), dataRate_(current.dataRate) {
  setWindowTitle(QStringLiteral("Video Compression"));

  codecs_ = new QTreeWidget(this);
  codecs_->setObjectName(QStringLiteral("codecs"));
  codecs_->setColumnCount(2);
  codecs_->setHeaderLabels({QStringLiteral("Compressor"), QStringLiteral("Description")});
  codecs_->setRootIsDecorated(false);
  codecs_->setAllColumnsShowFocus(true);
  codecs_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  codecs_->header()->setStretchLastSection(true);
  for (const VideoCodec codec : offeredVideoCodecs()) {
    auto* item =
        new QTreeWidgetItem(codecs_, {codecDisplayName(codec), QString::fromStdString(compressorDescription(codec))});
    item->setData(0, kCodecRole, static_cast<int>(codec));
    if (codec == current.codec) codecs_->setCurrentItem(item);
  }
  if (codecs_->currentItem() == nullptr && codecs_->topLevelItemCount() > 0) {
    codecs_->setCurrentItem(codecs_->topLevelItem(0));
  }

  defaultQuality_ = new QCheckBox(QStringLiteral("Encoder default"), this);
  defaultQuality_->setObjectName(QStringLiteral("defaultQuality"));
  defaultQuality_->setChecked(current.quality < 0);
  quality_ = new QSlider(Qt::Horizontal, this);
  quality_->setObjectName(QStringLiteral("quality"));
  quality_->setRange(0, 10000);
  quality_->setPageStep(500);
  quality_->setValue(current.quality < 0 ? 7500 : current.quality);
  qualityValue_ = new QLabel(this);
  qualityValue_->setMinimumWidth(qualityValue_->fontMetrics().horizontalAdvance(QStringLiteral("10000")));
  qualityValue_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  qualityValue_->setNum(quality_->value());
  auto* qualityRow = new QHBoxLayout;
  qualityRow->addWidget(quality_, 1);
  qualityRow->addWidget(qualityValue_);
  qualityRow->addWidget(defaultQuality_);

  keyFrameInterval_ = new QSpinBox(this);
  keyFrameInterval_->setObjectName(QStringLiteral("keyFrameInterval"));
  keyFrameInterval_->setRange(1, 1000);
  keyFrameInterval_->setSuffix(QStringLiteral(" frames"));
  // A key frame a second keeps seeking quick without the size of every frame being one.
  keyFrameInterval_->setValue(current.keyFrameInterval > 1 ? current.keyFrameInterval : kFramesInASecond);
  keyFrameInterval_->setToolTip(QStringLiteral("%1 frames is about one second of video").arg(kFramesInASecond));

  auto* settings = new QFormLayout;
  settings->addRow(QStringLiteral("Quality:"), qualityRow);
  settings->addRow(QStringLiteral("Key frame every:"), keyFrameInterval_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  withoutIcons(*buttons);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin);
  layout->addWidget(codecs_, 1);
  layout->addLayout(settings);
  layout->addWidget(buttons);

  connect(codecs_, &QTreeWidget::currentItemChanged, this, [this] { showSettingsOf(selectedCodec()); });
  connect(defaultQuality_, &QCheckBox::toggled, this, [this] { showSettingsOf(selectedCodec()); });
  connect(quality_, &QSlider::valueChanged, qualityValue_, qOverload<int>(&QLabel::setNum));
  showSettingsOf(selectedCodec());
  resize(520, 320);
}

VideoCodec CompressionDialog::selectedCodec() const {
  const QTreeWidgetItem* item = codecs_->currentItem();
  return item ? static_cast<VideoCodec>(item->data(0, kCodecRole).toInt()) : VideoCodec::Uncompressed;
}

void CompressionDialog::showSettingsOf(VideoCodec codec) {
  defaultQuality_->setEnabled(usesQuality(codec));
  quality_->setEnabled(usesQuality(codec) && !defaultQuality_->isChecked());
  qualityValue_->setEnabled(quality_->isEnabled());
  keyFrameInterval_->setEnabled(usesKeyFrames(codec));
}

Compression CompressionDialog::chosen() const {
  const VideoCodec codec = selectedCodec();
  if (!usesKeyFrames(codec)) return Compression::uncompressedDefault();
  Compression compression;
  compression.codec = codec;
  compression.keyFrameInterval = keyFrameInterval_->value();
  compression.quality = usesQuality(codec) && !defaultQuality_->isChecked() ? quality_->value() : -1;
  compression.dataRate = usesQuality(codec) ? dataRate_ : 0;
  return compression;
}

}  // namespace marlin::desktop
