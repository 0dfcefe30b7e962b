#include "app/desktop/dialogs/export_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "app/desktop/dialogs/compression_dialog.h"
#include "app/desktop/dialogs/dialog_frame.h"
#include "app/desktop/dialogs/export_preview_view.h"
#include "app/desktop/dialogs/export_range_box.h"
#include "app/desktop/dialogs/plain_message_box.h"
#include "app/desktop/skin/palette.h"
#include "base/codec_ids.h"
#include "export/compression_choice.h"
#include "source/recorded_channels.h"
#include "source/stream_source.h"

namespace marlin::desktop {

namespace {

constexpr int kProgressIntervalMs = 200;

// The channel count of a recording: 4, 9 or 16 by the highest channel its blocks were recorded with, read
// from a few hundred block headers at most; the build's four when it cannot be opened.
int recordingChannelCount(const std::string& path, bool isDisk) {
  StreamSource source;
  if (path.empty() || !source.open(path, isDisk)) {
    return kBuildChannelCount;
  }
  return channelCountForMask(source.recordedChannelMask());
}

QString compressionText(const Compression& compression) {
  if (compression.codec == VideoCodec::Uncompressed) return QStringLiteral("Full Frames (Uncompressed)");
  return QString::fromStdString(compressorDescription(compression.codec));
}

QString timeLeftText(qint64 elapsedMs, std::uint64_t done, std::uint64_t total) {
  if (done == 0 || total == 0) return QStringLiteral("Time left: --:--");
  const double fraction = static_cast<double>(done) / static_cast<double>(total);
  const int seconds = static_cast<int>(static_cast<double>(elapsedMs) / 1000.0 * (1 - fraction) / fraction + 0.5);
  return QString::asprintf("Time left: %d:%02d", seconds / 60, seconds % 60);
}

QString resultsText(const std::vector<ChannelExportResult>& results) {
  if (results.empty()) return QStringLiteral("No channel had pictures to export.");
  // Every file lies beside the output name, so the folder is named once.
  QStringList lines{
      QStringLiteral("In %1:").arg(QFileInfo(QString::fromStdString(results.front().path)).absolutePath())};
  for (const ChannelExportResult& result : results) {
    QString line = QStringLiteral("%1   %2 frames")
                       .arg(QFileInfo(QString::fromStdString(result.path)).fileName())
                       .arg(static_cast<qulonglong>(result.framesWritten));
    if (!result.failure) line += QStringLiteral(", stopped early: ") + QString::fromStdString(result.failure.message());
    lines << line;
  }
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

ExportDialog::ExportDialog(const std::string& inputPath, QWidget* parent)
    // The job's writers reset the process-wide compression choice as they are made, so the job exists before
    // "Select..." can set it.
    : QDialog(parent), job_(std::make_shared<ExportJob>()) {
  setWindowTitle(QStringLiteral("Export To AVI"));

  auto* channelBox = new QGroupBox(QStringLiteral("Channels"), this);
  auto* channelGrid = new QGridLayout(channelBox);
  for (int channel = 0; channel < ExportJob::kChannels; ++channel) {
    channels_[channel] = new QCheckBox(QString::number(channel + 1), channelBox);
    channels_[channel]->setObjectName(QStringLiteral("channel%1").arg(channel + 1));
    channelGrid->addWidget(channels_[channel], channel / 8, channel % 8);
  }
  audio_ = new QCheckBox(QStringLiteral("Audio"), channelBox);
  audio_->setObjectName(QStringLiteral("audio"));
  audio_->setChecked(true);
  channelGrid->addWidget(audio_, 0, 8, 2, 1);
  channelGrid->setColumnStretch(8, 1);

  range_ = new ExportRangeBox(this);
  range_->setObjectName(QStringLiteral("range"));

  inputPath_ = new QLineEdit(QString::fromStdString(inputPath), this);
  inputPath_->setObjectName(QStringLiteral("inputPath"));
  browseInput_ = new QPushButton(QStringLiteral("Browse..."), this);
  browseInput_->setObjectName(QStringLiteral("browseInput"));
  outputPath_ = new QLineEdit(this);
  outputPath_->setObjectName(QStringLiteral("outputPath"));
  browseOutput_ = new QPushButton(QStringLiteral("Browse..."), this);
  browseOutput_->setObjectName(QStringLiteral("browseOutput"));
  compression_ = new QLineEdit(this);
  compression_->setObjectName(QStringLiteral("compression"));
  compression_->setReadOnly(true);
  compression_->setPlaceholderText(QStringLiteral("Choose with Select..."));
  selectCompression_ = new QPushButton(QStringLiteral("Select..."), this);
  selectCompression_->setObjectName(QStringLiteral("selectCompression"));
  auto* files = new QGridLayout;
  files->addWidget(new QLabel(QStringLiteral("Input:"), this), 0, 0);
  files->addWidget(inputPath_, 0, 1);
  files->addWidget(browseInput_, 0, 2);
  files->addWidget(new QLabel(QStringLiteral("Output:"), this), 1, 0);
  files->addWidget(outputPath_, 1, 1);
  files->addWidget(browseOutput_, 1, 2);
  files->addWidget(new QLabel(QStringLiteral("Compression:"), this), 2, 0);
  files->addWidget(compression_, 2, 1);
  files->addWidget(selectCompression_, 2, 2);
  files->setColumnStretch(1, 1);

  preview_ = new ExportPreviewView(this);
  preview_->setObjectName(QStringLiteral("preview"));

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setTextVisible(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  percent_ = new QLabel(QString::asprintf("%3d%%", 0), this);
  percent_->setObjectName(QStringLiteral("percent"));
  percent_->setMinimumWidth(percent_->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
  percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setMinimumWidth(status_->fontMetrics().horizontalAdvance(QStringLiteral("Time left: 00:00")) + 8);
  auto* progressRow = new QHBoxLayout;
  progressRow->addWidget(progress_, 1);
  progressRow->addWidget(percent_);
  progressRow->addWidget(status_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  withoutIcons(*buttons);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setDefault(true);
  ok_->setEnabled(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin);
  layout->addWidget(channelBox);
  layout->addWidget(range_);
  layout->addLayout(files);
  layout->addWidget(preview_, 1);
  layout->addLayout(progressRow);
  layout->addWidget(buttons);

  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(kProgressIntervalMs);
  connect(progressTimer_, &QTimer::timeout, this, &ExportDialog::showProgress);
  connect(browseInput_, &QPushButton::clicked, this, &ExportDialog::browseInput);
  connect(browseOutput_, &QPushButton::clicked, this, &ExportDialog::browseOutput);
  connect(selectCompression_, &QPushButton::clicked, this, &ExportDialog::selectCompression);
  connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::startExport);
  connect(buttons, &QDialogButtonBox::rejected, this, &ExportDialog::reject);

  showRecording(inputPath);
  resize(640, 680);
}

ExportDialog::~ExportDialog() {
  // Stops a running export before the preview it draws into goes away.
  job_.reset();
}

void ExportDialog::setRecordingFormat(CodecVariant variant, bool isDisk) {
  variant_ = variant;
  isDisk_ = isDisk;
}

void ExportDialog::offerMarkedRange(std::uint64_t markIn, std::uint64_t markOut) {
  range_->offerMarkedRange(markIn, markOut);
}

void ExportDialog::offerCameraSpan(int camera, std::uint32_t from, std::uint32_t to) {
  range_->offerTimes(from, to);
  for (int channel = 0; channel < ExportJob::kChannels; ++channel) {
    channels_[channel]->setChecked(channel == camera);
  }
}

void ExportDialog::reject() {
  progressTimer_->stop();
  // A preparation still running holds the job until it returns; the files keep what was written.
  job_.reset();
  QDialog::reject();
}

// Every camera the recording has is ticked: leaving some out is the exception.
void ExportDialog::showRecording(const std::string& path) {
  const int channelCount = recordingChannelCount(path, isDisk_);
  for (int channel = 0; channel < ExportJob::kChannels; ++channel) {
    channels_[channel]->setVisible(channel < channelCount);
    channels_[channel]->setChecked(channel < channelCount);
  }
  if (path.empty()) return;
  auto* watcher = new QFutureWatcher<RecordingSpan>(this);
  connect(watcher, &QFutureWatcher<RecordingSpan>::finished, this, [this, watcher] {
    watcher->deleteLater();
    range_->showSpan(watcher->result());
    emit recordingShown();
  });
  watcher->setFuture(QtConcurrent::run(
      [path, layout = BlockLayout{isDisk_, isBigEndianVariant(variant_)}] { return lookUpSpan(path, layout); }));
}

std::uint16_t ExportDialog::tickedChannels() const {
  std::uint16_t mask = 0;
  for (int channel = 0; channel < ExportJob::kChannels; ++channel) {
    if (channels_[channel]->isChecked()) mask = static_cast<std::uint16_t>(mask | 1u << channel);
  }
  return mask;
}

void ExportDialog::browseInput() {
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), inputPath_->text(),
                                                    QStringLiteral("All Files (*);;QKV File Format (*.QKV *.qkv)"));
  if (path.isEmpty() || !QFileInfo::exists(path)) return;
  inputPath_->setText(path);
  showRecording(path.toStdString());
  if (outputPath_->text().isEmpty()) {
    QString output = path;
    output.replace(QStringLiteral("QKV"), QStringLiteral("AVI")).replace(QStringLiteral("qkv"), QStringLiteral("AVI"));
    outputPath_->setText(output);
  }
}

void ExportDialog::browseOutput() {
  // Starts where the output goes, else beside the recording, else in the working folder; never at the root
  // that the folder of an empty path comes out as.
  QString start = outputPath_->text();
  if (start.isEmpty() && !inputPath_->text().isEmpty()) {
    start = QFileInfo(inputPath_->text()).absoluteDir().filePath(QStringLiteral("CAPTURE.AVI"));
  }
  if (start.isEmpty()) start = QDir::current().filePath(QStringLiteral("CAPTURE.AVI"));
  const QString path =
      QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), QFileInfo(start).absoluteFilePath(),
                                   QStringLiteral("AVI File Format (*.AVI *.avi)"));
  if (!path.isEmpty()) outputPath_->setText(path);
}

void ExportDialog::selectCompression() {
  CompressionDialog chooser(compression_choice::current(), this);
  if (chooser.exec() == QDialog::Accepted) {
    compression_choice::set(chooser.chosen());
  } else {
    compression_choice::zero();
  }
  compression_->setText(compressionText(compression_choice::current()));
  if (!outputPath_->text().isEmpty()) ok_->setEnabled(true);
}

void ExportDialog::setSettingsEnabled(bool enabled) {
  for (QCheckBox* channel : channels_) channel->setEnabled(enabled);
  for (QWidget* widget : std::initializer_list<QWidget*>{audio_, range_, inputPath_, browseInput_, outputPath_,
                                                         browseOutput_, selectCompression_, ok_}) {
    widget->setEnabled(enabled);
  }
}

void ExportDialog::startExport() {
  const std::uint16_t mask = tickedChannels();
  const bool audio = audio_->isChecked();
  const std::string input = inputPath_->text().toStdString();
  const std::string output = outputPath_->text().toStdString();
  if (input.empty() || output.empty() || stage_ != Stage::Idle || !job_) return;
  const std::optional<ExportRangeChoice> range = range_->choice();
  if (!range) return;

  job_->configureForRecorder(variant_);
  job_->setChannelMask(mask);
  job_->setAudioSelected(audio);
  stage_ = Stage::Preparing;
  setSettingsEnabled(false);
  status_->setText(QStringLiteral("Preparing…"));

  // The preparation reads the whole recording once.
  auto* watcher = new QFutureWatcher<Status>(this);
  connect(watcher, &QFutureWatcher<Status>::finished, this, [this, watcher] {
    watcher->deleteLater();
    finishPreparation(watcher->result());
  });
  const BlockLayout layout{isDisk_, isBigEndianVariant(variant_)};
  watcher->setFuture(QtConcurrent::run([job = job_, input, output, layout, range = *range] {
    ByteRange bytes = range.bytes;
    if (range.kind == ExportRangeChoice::Kind::Times) {
      if (Status found = findTimeRange(input, layout, range.from, range.to, bytes); !found) return found;
    }
    if (Status opened = job->openInput(input, layout.isDisk); !opened) return opened;
    job->setRange(bytes.start, bytes.end);
    return job->prepare(output);
  }));
}

void ExportDialog::finishPreparation(const Status& prepared) {
  if (!job_) return;  // closed meanwhile
  if (!prepared) {
    stage_ = Stage::Idle;
    status_->clear();
    setSettingsEnabled(true);
    showPlainMessage(this, windowTitle(), QString::fromStdString(prepared.message()));
    return;
  }
  stage_ = Stage::Exporting;
  progress_->setRange(0, 100);
  progress_->setValue(0);
  status_->setText(timeLeftText(0, 0, 0));
  preview_->clear();
  job_->setPreview(preview_);
  elapsed_.start();
  job_->start();
  progressTimer_->start();
}

void ExportDialog::showProgress() {
  if (!job_) return;
  const std::uint64_t total = job_->total();
  const std::uint64_t position = std::min(job_->position(), total);
  const int percent = total == 0 ? 100 : static_cast<int>(position * 100 / total);
  progress_->setValue(percent);
  percent_->setText(QString::asprintf("%3d%%", percent));
  status_->setText(timeLeftText(elapsed_.elapsed(), position, total));
  if (job_->done()) finishExport();
}

void ExportDialog::finishExport() {
  progressTimer_->stop();
  job_->stop();
  const QString results = resultsText(job_->results());
  job_.reset();
  showPlainMessage(this, windowTitle(), QStringLiteral("Export Complete"), results);
  accept();
}

}  // namespace marlin::desktop
