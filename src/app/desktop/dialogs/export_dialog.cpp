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
#include <atomic>

#include "app/desktop/dialogs/compression_dialog.h"
#include "app/desktop/dialogs/dialog_frame.h"
#include "app/desktop/dialogs/export_preview_view.h"
#include "app/desktop/dialogs/export_range_box.h"
#include "app/desktop/dialogs/plain_message_box.h"
#include "app/desktop/dialogs/recording_times.h"
#include "app/desktop/skin/palette.h"
#include "base/codec_ids.h"
#include "engine/evidence_export.h"
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

QString evidenceText(const std::string& folder, const EvidenceFolder& made, bool signedIt) {
  QStringList lines{QStringLiteral("In %1:").arg(QString::fromStdString(folder))};
  for (const auto& [name, digest] : made.digests) lines << QString::fromStdString(name);
  lines << QStringLiteral("SHA256SUMS") << QString();
  const QString check = QStringLiteral("Check it with: marlin verify '%1'").arg(QString::fromStdString(folder));
  lines << (signedIt ? QStringLiteral("The manifest is signed. ") + check : check);
  return lines.join(QLatin1Char('\n'));
}

QString stageText(EvidenceStage stage) {
  switch (stage) {
    case EvidenceStage::Copying:
      return QStringLiteral("Copying the blocks…");
    case EvidenceStage::Exporting:
      return QStringLiteral("Working copies…");
    case EvidenceStage::Hashing:
      return QStringLiteral("Hashing…");
    case EvidenceStage::Signing:
      break;
  }
  return QStringLiteral("Signing…");
}

}  // namespace

// An evidence folder being made on Qt's thread pool; the dialog polls it.
struct ExportDialog::EvidenceRun {
  std::atomic<EvidenceStage> stage{EvidenceStage::Copying};
  std::atomic<std::uint64_t> done{0};
  std::atomic<std::uint64_t> total{0};
  std::atomic<bool> stop{false};
  std::atomic<bool> finished{false};
  // Read once finished is set.
  Status result;
  EvidenceFolder made;
  QFuture<void> work;

  ~EvidenceRun() {
    stop = true;
    work.waitForFinished();
  }
};

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
  channelGrid->addWidget(audio_, 0, 8);
  evidenceKind_ = new QCheckBox(QStringLiteral("Evidence folder"), channelBox);
  evidenceKind_->setObjectName(QStringLiteral("evidence"));
  evidenceKind_->setToolTip(
      QStringLiteral("The original blocks, an MP4 working copy per channel, a manifest and SHA-256 hashes"));
  channelGrid->addWidget(evidenceKind_, 1, 8);
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
  signingKey_ = new QLineEdit(this);
  signingKey_->setObjectName(QStringLiteral("signingKey"));
  signingKey_->setPlaceholderText(QStringLiteral("Optional: an Ed25519 private key (PEM)"));
  browseKey_ = new QPushButton(QStringLiteral("Browse..."), this);
  browseKey_->setObjectName(QStringLiteral("browseKey"));
  auto* signLabel = new QLabel(QStringLiteral("Sign with:"), this);
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
  files->addWidget(signLabel, 3, 0);
  files->addWidget(signingKey_, 3, 1);
  files->addWidget(browseKey_, 3, 2);
  files->setColumnStretch(1, 1);
  for (QWidget* signing : std::initializer_list<QWidget*>{signLabel, signingKey_, browseKey_}) {
    connect(evidenceKind_, &QCheckBox::toggled, signing, &QWidget::setVisible);
    signing->setVisible(false);
  }

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
  connect(browseKey_, &QPushButton::clicked, this, &ExportDialog::browseKey);
  connect(evidenceKind_, &QCheckBox::toggled, this, &ExportDialog::showEvidenceKind);
  connect(outputPath_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (evidenceKind_->isChecked()) ok_->setEnabled(!text.isEmpty());
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &ExportDialog::startExport);
  connect(buttons, &QDialogButtonBox::rejected, this, &ExportDialog::reject);

  showRecording(inputPath);
  resize(640, 680);
}

ExportDialog::~ExportDialog() {
  // Stops a running export before the preview it draws into goes away.
  job_.reset();
  evidence_.reset();
}

void ExportDialog::chooseEvidence() { evidenceKind_->setChecked(true); }

void ExportDialog::showEvidenceKind(bool evidence) {
  setWindowTitle(evidence ? QStringLiteral("Export Evidence") : QStringLiteral("Export To AVI"));
  outputPath_->setPlaceholderText(evidence ? QStringLiteral("A new or empty folder") : QString());
  // The compression chosen stays for the next export; evidence has its own.
  compression_->setEnabled(!evidence);
  compression_->setPlaceholderText(evidence ? QStringLiteral("H.264 working copies (MP4)")
                                            : QStringLiteral("Choose with Select..."));
  if (evidence) compression_->clear();
  selectCompression_->setEnabled(!evidence);
  ok_->setEnabled(evidence && !outputPath_->text().isEmpty());
}

void ExportDialog::browseKey() {
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Signing Key"), signingKey_->text(),
                                                    QStringLiteral("PEM Keys (*.pem);;All Files (*)"));
  if (!path.isEmpty()) signingKey_->setText(path);
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
  // A folder stopped half made is removed again.
  evidence_.reset();
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
  if (evidenceKind_->isChecked()) {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Evidence Folder"), QFileInfo(start).absolutePath());
    if (!folder.isEmpty()) outputPath_->setText(folder);
    return;
  }
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
  for (QWidget* widget :
       std::initializer_list<QWidget*>{audio_, evidenceKind_, range_, inputPath_, browseInput_, outputPath_,
                                       browseOutput_, selectCompression_, signingKey_, browseKey_, ok_}) {
    widget->setEnabled(enabled);
  }
  if (enabled && evidenceKind_->isChecked()) selectCompression_->setEnabled(false);
}

void ExportDialog::startExport() {
  const std::uint16_t mask = tickedChannels();
  const bool audio = audio_->isChecked();
  const std::string input = inputPath_->text().toStdString();
  const std::string output = outputPath_->text().toStdString();
  if (input.empty() || output.empty() || stage_ != Stage::Idle || !job_) return;
  const std::optional<ExportRangeChoice> range = range_->choice();
  if (!range) return;
  if (evidenceKind_->isChecked()) {
    startEvidence(mask, input, output, *range);
    return;
  }

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

void ExportDialog::startEvidence(std::uint16_t mask, const std::string& input, const std::string& folder,
                                 const ExportRangeChoice& range) {
  stage_ = Stage::Exporting;
  setSettingsEnabled(false);
  status_->setText(stageText(EvidenceStage::Copying));
  evidence_ = std::make_shared<EvidenceRun>();
  EvidenceRequest request;
  request.recordingPath = input;
  request.isDisk = isDisk_;
  request.variant = variant_;
  request.folder = folder;
  request.channelMask = mask;
  request.signingKey = signingKey_->text().toStdString();
  evidence_->work = QtConcurrent::run([run = evidence_.get(), request, range]() mutable {
    ByteRange bytes = range.bytes;
    run->result = Status::ok();
    if (range.kind == ExportRangeChoice::Kind::Times) {
      run->result =
          findTimeRange(request.recordingPath, BlockLayout{request.isDisk, isBigEndianVariant(request.variant)},
                        range.from, range.to, bytes);
    }
    if (run->result) {
      request.start = bytes.start;
      request.end = bytes.end;
      const auto progress = [run](const EvidenceProgress& step) {
        run->stage = step.stage;
        run->done = step.done;
        run->total = step.total;
      };
      run->result = makeEvidenceFolder(request, progress, run->stop, run->made);
    }
    run->finished = true;
  });
  progressTimer_->start();
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
  if (evidence_) {
    const std::uint64_t total = evidence_->total;
    const int percent = total == 0 ? 0 : static_cast<int>(std::min(evidence_->done.load(), total) * 100 / total);
    progress_->setValue(percent);
    percent_->setText(QString::asprintf("%3d%%", percent));
    status_->setText(stageText(evidence_->stage));
    if (!evidence_->finished) return;
    progressTimer_->stop();
    const std::shared_ptr<EvidenceRun> run = std::move(evidence_);
    stage_ = Stage::Idle;
    if (!run->result) {
      status_->clear();
      setSettingsEnabled(true);
      showPlainMessage(this, windowTitle(), QString::fromStdString(run->result.message()));
      return;
    }
    showPlainMessage(this, windowTitle(), QStringLiteral("Evidence Complete"),
                     evidenceText(outputPath_->text().toStdString(), run->made, !signingKey_->text().isEmpty()));
    accept();
    return;
  }
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
