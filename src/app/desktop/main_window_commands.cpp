#include <QApplication>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QtConcurrent/QtConcurrentRun>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/desktop/capture_names.h"
#include "app/desktop/command_ids.h"
#include "app/desktop/main_window.h"
#include "app/desktop/skin/picture_button.h"
#include "app/desktop/skin/skin_slider.h"
#include "app/desktop/skin/status_strip.h"
#include "app/desktop/video_view.h"
#include "app/desktop/window_layout.h"
#include "engine/avi_capture.h"
#include "engine/player_engine.h"
#include "net/remote_keys.h"
#include "recognition/recognition.h"
#include "render/split_layout.h"
#include "platform/tcp_socket.h"

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

void MainWindow::runCommand(int id) {
  // While a disk wakes, a name is looked up or a range is copied, the
  // window takes no other command than leaving.
  if (busy_ && id != kExit && id != kCloseButton && id != kMinimise) {
    return;
  }
  if (const auto value = net::remoteValueForCommand(id)) {
    if (engine_->isConnected()) {
      engine_->sendRemote(*value);
    }
    return;
  }
  PlayerEngine& e = *engine_;
  switch (id) {
    case kAbout:
      showAbout();
      break;
    case kPlayerMode:
    case kClientMode:
      switchMode(id == kPlayerMode ? 1 : 2);
      break;
    case kOpenFile:
      openFile();
      break;
    case kOpenDisk:
      openDisk();
      break;
    case kCloseFile:
      closeFile();
      break;
    case kPlay:
      e.play(1.0);
      break;
    case kPlayReverse:
      e.playReverse(1.0);
      break;
    case kPause:
      e.pause();
      break;
    case kFastForward:
      e.fastForward();
      break;
    case kFastRewind:
      e.fastReverse();
      break;
    case kNextFrame:
      e.stepForward();
      break;
    case kPreviousFrame:
      e.stepBackward();
      break;
    case kSpeedNormal:
      e.adjustSpeed(1.0);
      break;
    case kSpeedDown:
      adjustSpeed(-0.1);
      break;
    case kSpeedUp:
      adjustSpeed(0.1);
      break;
    case kShowTime:
      e.setShowTime(!e.getShowTime());
      e.renderer().Repaint();
      break;
    case kMute:
      e.setMute(!e.getMute());
      break;
    case kSplit1:
      selectSplit(1);
      break;
    case kSplit4:
      selectSplit(4);
      break;
    case kSplit9:
      selectSplit(9);
      break;
    case kSplit16:
      selectSplit(16);
      break;
    case kMarkIn:
      markIn_ = e.getPosition();
      break;
    case kMarkOut:
      markOut_ = e.getPosition();
      break;
    case kExportCapture:
      if (look(kExportCapture).enabled) {
        exportRange();
      }
      break;
    case kExportAvi:
      showExportAvi();
      break;
    case kGoToTime:
      if (look(kGoToTime).enabled) {
        goToTime();
      }
      break;
    case kStillCapture:
      stillCapture();
      break;
    case kSaveAvi:
      toggleAviCapture();
      break;
    case kStartLocalRecording:
      if (look(kStartLocalRecording).enabled) {
        startLocalRecording();
      }
      break;
    case kStopLocalRecording:
      stopLocalRecording();
      break;
    case kConnect:
      connectOrDisconnect();
      break;
    case kAlwaysOnTop:
      setAlwaysOnTop(!alwaysOnTop_);
      break;
    case kNormal:
      normal_ = true;
      maximized_ = false;
      showNormal();
      break;
    case kMaximize:
      maximized_ = true;
      normal_ = false;
      showMaximized();
      break;
    case kSize640x448:
      showSizeFor(640, 448);
      break;
    case kSize640x544:
      showSizeFor(640, 544);
      break;
    case kOptions:
      showOptions();
      break;
    case kNetworkOptions:
      showNetworkOptions();
      break;
    case kMinimise:
      showMinimized();
      break;
    case kExit:
    case kCloseButton:
      close();
      break;
    default:
      break;
  }
  refreshControls();
}

void MainWindow::adjustSpeed(double delta) { engine_->adjustSpeed(engine_->getSpeed() + delta); }

void MainWindow::switchMode(int mode) {
  if (engine_->isRecording()) {
    engine_->stopRecording();
  }
  if (mode == 1) {
    sessionWanted_ = false;
    engine_->disconnect();
  }
  engine_->setMode(mode, -1);
  mode_ = mode;
  titleText_ = productTitle();
  showTitle();
  buttons_[kSaveAvi]->setText(QStringLiteral("Save AVI"));
  engine_->selectView(mode == 1 ? 4 : 1, 0);
  video_->setDragMovesWindow(mode == 1);
  layOut(QSize(kStartVideoWidth, kStartVideoHeight));
  layOut(QSize(kStartVideoWidth, kStartVideoHeight));
  refreshControls();
}

void MainWindow::selectSplit(int cells) {
  int split = 1;
  int page = 0;
  engine_->getView(split, page);
  engine_->selectView(cells, qMin(page, splitPages(cells, engine_->maxSplit()) - 1));
}

void MainWindow::setAlwaysOnTop(bool on) {
  alwaysOnTop_ = on;
  applyTopmost();
}

void MainWindow::showSizeFor(int videoWidth, int videoHeight) {
  if (isMaximized()) {
    showNormal();
  }
  layOut(QSize(videoWidth, videoHeight));
}

// ---------------------------------------------------------------- recordings

void MainWindow::openFile() {
  const QString path = setup_.prompts.openRecording(this);
  if (!path.isEmpty()) {
    openRecording(path);
  }
}

bool MainWindow::openRecording(const QString& path) { return openSource(path, false); }

void MainWindow::openDisk() {
  const QString device = setup_.prompts.openDisk(this);
  if (device.isEmpty()) {
    return;
  }
  // A disk that sleeps takes seconds to spin up: wake it on a thread of its
  // own so the window keeps painting, then open it.
  busy_ = true;
  setCursor(Qt::BusyCursor);
  status_->setTexts(QStringLiteral("OPENING DISK"), device);
  auto* watcher = new QFutureWatcher<void>(this);
  connect(watcher, &QFutureWatcher<void>::finished, this, [this, watcher, device] {
    watcher->deleteLater();
    busy_ = false;
    unsetCursor();
    openSource(device, true);
  });
  watcher->setFuture(QtConcurrent::run([path = device.toStdString()] { wakeDevice(path); }));
}

bool MainWindow::openSource(const QString& path, bool isDisk) {
  closeFile();
  markIn_ = 0;
  markOut_ = 0;
  // A disk chosen as a disk is read as one; anything else as it shows itself.
  ForcedReading forced;
  if (isDisk) {
    forced.byteOrder = BlockByteOrder::Disk;
  }
  const bool opened = engine_->openRecognised(path.toStdString(), forced) == 1;
  status_->setToolTip(QString::fromStdString(describeRecognition(engine_->lastRecognition())));
  // The engine names the recording by its path; the strip has room for its
  // file name, and the tooltip gives the whole path.
  const QString name = QString::fromStdString(engine_->getSourceName());
  titleText_ = QFileInfo(name.isEmpty() ? path : name).fileName();
  showTitle();
  title_->setToolTip(path);
  if (!opened) {
    position_->setRange(0, 0);
    position_->setValue(0);
    return false;
  }
  const std::uint64_t size = engine_->getSourceSize();
  position_->setRange(0, size <= 1 ? 0 : static_cast<int>(qMin<std::uint64_t>(size / 4096, INT32_MAX)));
  sourcePath_ = path.toStdString();
  sourceIsDisk_ = isDisk;
  if (!isDisk) {
    addRecentFile(QFileInfo(path).absoluteFilePath());
  }
  // A recorder of more than four cameras shows all of them at first.
  if (engine_->maxSplit() > 4) {
    engine_->selectView(engine_->maxSplit(), 0);
  }
  layOut(std::nullopt);
  refreshControls();
  return true;
}

void MainWindow::closeFile() {
  engine_->closeSource();
  engine_->disconnect();
  position_->setRange(0, 0);
  position_->setValue(0);
  titleText_ = productTitle();
  showTitle();
  title_->setToolTip(QString());
  sourcePath_.clear();
  update();
}

void MainWindow::addRecentFile(const QString& path) {
  recentFiles_ = withRecentFile(recentFiles_, path.toStdString());
  rebuildRecentMenu();
}

// ---------------------------------------------------------------- captures

void MainWindow::stillCapture() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  makeCaptureFolder(settings_.capturePath);
  const std::string path = stillCapturePath(settings_.capturePath, localTimeNow(), pathExists);
  engine_->saveSnapshot(path);
  QApplication::restoreOverrideCursor();
  lastStill_ = QString::fromStdString(path);
}

void MainWindow::exportRange() {
  const QString path = setup_.prompts.saveRange(this);
  if (path.isEmpty()) {
    return;
  }
  // Up to 650 MiB: copied on a thread of its own while the window goes on.
  busy_ = true;
  setCursor(Qt::BusyCursor);
  status_->setTexts(QStringLiteral("SAVING RANGE"), QFileInfo(path).fileName());
  auto* watcher = new QFutureWatcher<int>(this);
  connect(watcher, &QFutureWatcher<int>::finished, this, [this, watcher] {
    watcher->deleteLater();
    busy_ = false;
    unsetCursor();
    if (watcher->result() != 1) {
      messages_.showMessage(engine_->lastSaveRangeFailure().message(), "");
    }
  });
  rangeCopy_ = QtConcurrent::run([engine = engine_.get(), in = markIn_, out = markOut_, target = path.toStdString()] {
    return engine->saveRange(in, out, target);
  });
  watcher->setFuture(rangeCopy_);
}

void MainWindow::toggleAviCapture() {
  const bool usable = mode_ == 1 ? engine_->isSourceOpen()
                                 : (engine_->getConnectionState() == static_cast<int>(net::ConnectionState::LoggedIn) ||
                                    engine_->getConnectionState() == static_cast<int>(net::ConnectionState::DdnsResolved));
  if (!usable) {
    return;
  }
  if (engine_->isAviCapturing()) {
    engine_->stopAviCapture();
    aviCaptureMode_ = kCaptureEveryPicture;
    buttons_[kSaveAvi]->setText(QStringLiteral("Save AVI"));
    return;
  }
  engine_->pause();
  const QString path = setup_.prompts.saveAvi(this, lastAviName_);
  if (path.isEmpty()) {
    engine_->play(1.0);
    return;
  }
  lastAviName_ = path;
  aviCaptureMode_ = kCaptureEveryPicture;
  if (mode_ == 2) {
    aviCaptureMode_ = setup_.prompts.lowSpeed(this) ? kCaptureOnRefresh : kCaptureEveryPicture;
  }
  const int result = engine_->startAviCapture(
      path.toStdString(), [this] { return setup_.prompts.compression(this); }, aviCaptureMode_);
  engine_->play(1.0);
  if (result == avi_result::kDone) {
    buttons_[kSaveAvi]->setText(QStringLiteral("Stop AVI"));
  } else {
    aviCaptureMode_ = kCaptureEveryPicture;
  }
}

}  // namespace marlin::desktop
