#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <array>
#include <memory>
#include <string>

#include "base/codec_ids.h"
#include "base/status.h"
#include "export/export_job.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace marlin::desktop {

class ExportPreviewView;
class ExportRangeBox;
struct ExportRangeChoice;

// "Export To AVI": one file per ticked channel, with or without the sound, in
// the compression chosen through "Select...". Or, with "Evidence folder"
// ticked, an evidence folder of the ticked channels (makeEvidenceFolder):
// the original blocks, MP4 working copies, the manifest and its hashes,
// signed with a key when one is given. The preparation pass and the
// writing run off the UI thread; closing the dialog stops the writing.
class ExportDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ExportDialog(const std::string& inputPath, QWidget* parent = nullptr);
  ~ExportDialog() override;

  // How the recording is stored: the build's recorder in a file unless told otherwise.
  void setRecordingFormat(CodecVariant variant, bool isDisk);
  // The range marked in the player, offered and chosen when it holds anything.
  void offerMarkedRange(std::uint64_t markIn, std::uint64_t markOut);
  // One camera's span of block times [from, to] (an activity event's),
  // chosen with that camera alone ticked.
  void offerCameraSpan(int camera, std::uint32_t from, std::uint32_t to);
  // Ticks "Evidence folder": the output becomes a new folder.
  void chooseEvidence();

  void reject() override;

 signals:
  // The recording's channels and times are shown, after its input was chosen.
  void recordingShown();

 private:
  enum class Stage { Idle, Preparing, Exporting };

  void browseInput();
  void browseOutput();
  void selectCompression();
  void startExport();
  void startEvidence(std::uint16_t mask, const std::string& input, const std::string& folder,
                     const ExportRangeChoice& range);
  void showEvidenceKind(bool evidence);
  void browseKey();
  void finishPreparation(const Status& prepared);
  void showProgress();
  void finishExport();
  void setSettingsEnabled(bool enabled);
  void showRecording(const std::string& path);
  std::uint16_t tickedChannels() const;

  struct EvidenceRun;

  std::shared_ptr<ExportJob> job_;
  std::shared_ptr<EvidenceRun> evidence_;
  Stage stage_ = Stage::Idle;
  CodecVariant variant_ = kVariantQkt2;
  bool isDisk_ = false;

  std::array<QCheckBox*, ExportJob::kChannels> channels_{};
  QCheckBox* audio_;
  QCheckBox* evidenceKind_;
  QLineEdit* signingKey_;
  QPushButton* browseKey_;
  ExportRangeBox* range_;
  QLineEdit* inputPath_;
  QPushButton* browseInput_;
  QLineEdit* outputPath_;
  QPushButton* browseOutput_;
  QLineEdit* compression_;
  QPushButton* selectCompression_;
  ExportPreviewView* preview_;
  QProgressBar* progress_;
  QLabel* percent_;
  QLabel* status_;
  QPushButton* ok_;
  QTimer* progressTimer_;
  QElapsedTimer elapsed_;
};

}  // namespace marlin::desktop
