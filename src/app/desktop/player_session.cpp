#include "app/desktop/player_session.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>

#include "app/desktop/background_task.h"
#include "app/desktop/dialogs/export_dialog.h"
#include "app/desktop/dialogs/go_to_time_dialog.h"
#include "app/desktop/qt_message_sink.h"
#include "app/desktop/settings.h"
#include "app/desktop/window_prompts.h"
#include "engine/player_engine.h"
#include "recognition/recognition.h"
#include "render/channel_label.h"

namespace marlin::desktop {

namespace {

// Reads the first block, which wakes a disk that was asleep.
void wakeDevice(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return;
  }
  char block[4096];
  [[maybe_unused]] const ssize_t got = ::pread(fd, block, sizeof block, 0);
  ::close(fd);
}

}  // namespace

PlayerSession::PlayerSession(PlayerEngine& engine, const WindowPrompts& prompts, QtMessageSink& messages,
                             BackgroundTask& task, QWidget* window)
    : QObject(window), engine_(engine), prompts_(prompts), messages_(messages), task_(task), window_(window) {}

void PlayerSession::setRecentFiles(std::vector<std::string> files) {
  recentFiles_ = std::move(files);
  emit recentFilesChanged();
}

void PlayerSession::openFile() {
  const QString path = prompts_.openRecording(window_);
  if (!path.isEmpty()) {
    openRecording(path);
  }
}

bool PlayerSession::openRecording(const QString& path) { return openSource(path, false); }

void PlayerSession::openDisk() {
  const QString device = prompts_.openDisk(window_);
  if (device.isEmpty()) {
    return;
  }
  // A disk that sleeps takes seconds to spin up: it wakes on a thread of
  // its own while the window keeps painting, then opens.
  emit working(QStringLiteral("OPENING DISK"), device);
  task_.run([path = device.toStdString()] { wakeDevice(path); }, [this, device] { openSource(device, true); });
}

bool PlayerSession::openSource(const QString& path, bool isDisk) {
  // A disk chosen as a disk is read as one; anything else as it shows itself.
  ForcedReading forced;
  if (isDisk) {
    forced.byteOrder = BlockByteOrder::Disk;
  }
  const std::string file = path.toStdString();
  // Looked at before the open recording closes: a failed attempt leaves the
  // window as it was.
  const BlockByteOrder order =
      recogniseRecording(file, forced, {BlockByteOrder::File, engine_.config().videoFormat}).reading.byteOrder;
  if (const Status playable = checkPlayable(file, order); !playable) {
    messages_.showMessage("Open Error\n\n" + playable.message(), "");
    return false;
  }
  closeFile();
  markIn_ = 0;
  markOut_ = 0;
  const bool opened = engine_.openRecognised(file, forced) == 1;
  if (opened) {
    emit confirmed(QStringLiteral("Read as ") + QString::fromStdString(describeRecognition(engine_.lastRecognition())));
  }
  // The engine names the recording by its path; the title strip has room
  // for its file name.
  const QString name = QString::fromStdString(engine_.getSourceName());
  const QString title = QFileInfo(name.isEmpty() ? path : name).fileName();
  if (opened) {
    sourcePath_ = path.toStdString();
    sourceIsDisk_ = isDisk;
    if (!isDisk) {
      setRecentFiles(withRecentFile(recentFiles_, QFileInfo(path).absoluteFilePath().toStdString()));
    }
    // A recorder of more than four cameras shows all of them at first.
    if (engine_.maxSplit() > 4) {
      engine_.selectView(engine_.maxSplit(), 0);
    }
  }
  emit sourceChanged(title, path, opened);
  return opened;
}

void PlayerSession::closeFile() {
  engine_.closeSource();
  engine_.disconnect();
  sourcePath_.clear();
  emit sourceChanged(productTitle(), QString(), false);
}

QString PlayerSession::shownTime() const {
  return QString::fromStdString(formatPictureTime(engine_.getCurrentFrameTime(), engine_.getTimeFormat()));
}

void PlayerSession::markInHere() {
  markIn_ = engine_.getPosition();
  emit confirmed(QStringLiteral("Mark In: ") + shownTime());
}

void PlayerSession::markOutHere() {
  markOut_ = engine_.getPosition();
  emit confirmed(QStringLiteral("Mark Out: ") + shownTime());
}

void PlayerSession::copyMarkedRange() {
  const QString path = prompts_.saveRange(window_);
  if (path.isEmpty()) {
    return;
  }
  // Up to 650 MiB: copied on a thread of its own while the window goes on.
  emit working(QStringLiteral("SAVING RANGE"), QFileInfo(path).fileName());
  task_.run([engine = &engine_, in = markIn_, out = markOut_,
             target = path.toStdString()] { return engine->saveRange(in, out, target); },
            [this, name = QFileInfo(path).fileName()](int result) {
              if (result != 1) {
                messages_.showMessage(engine_.lastSaveRangeFailure().message(), "");
                return;
              }
              emit confirmed(QStringLiteral("Range saved: ") + name);
            });
}

void PlayerSession::goToTime() {
  GoToTimeDialog dialog(sourcePath_, sourceIsDisk_, engine_.config().videoFormat, engine_.getCurrentFrameTime(),
                        window_);
  if (dialog.exec() == QDialog::Accepted) {
    engine_.jumpTo(dialog.position());
  }
}

void PlayerSession::showExport() {
  ExportDialog dialog(sourceIsDisk_ ? std::string() : sourcePath_, window_);
  dialog.setRecordingFormat(engine_.config().videoFormat, false);
  dialog.offerMarkedRange(markIn_, markOut_);
  dialog.exec();
}

void PlayerSession::showEvidenceExport() {
  ExportDialog dialog(sourceIsDisk_ ? std::string() : sourcePath_, window_);
  dialog.setRecordingFormat(engine_.config().videoFormat, false);
  dialog.offerMarkedRange(markIn_, markOut_);
  dialog.chooseEvidence();
  dialog.exec();
}

void PlayerSession::showExportOf(int camera, std::uint32_t from, std::uint32_t to, ExportKind kind) {
  ExportDialog dialog(sourceIsDisk_ ? std::string() : sourcePath_, window_);
  dialog.setRecordingFormat(engine_.config().videoFormat, false);
  dialog.offerMarkedRange(markIn_, markOut_);
  dialog.offerCameraSpan(camera, from, to);
  if (kind == ExportKind::Evidence) dialog.chooseEvidence();
  dialog.exec();
}

}  // namespace marlin::desktop
