#include "app/desktop/captures.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <cstring>
#include <utility>
#include <vector>

#include "app/desktop/capture_names.h"
#include "app/desktop/qt_message_sink.h"
#include "app/desktop/viewer_settings.h"
#include "app/desktop/window_prompts.h"
#include "engine/avi_capture.h"
#include "engine/player_engine.h"
#include "render/bitmap_file.h"

namespace marlin::desktop {

namespace {

// How often a capture of refresh pictures asks the DVR for one.
constexpr int kRefreshRequestMs = 40;

// Writes shown as a 24-bit bitmap file and puts it on the clipboard, as the
// renderer does with an unzoomed still.
Status saveShownPicture(const std::string& path, const QImage& shown) {
  const QImage bgr = shown.convertToFormat(QImage::Format_BGR888);
  const int width = bgr.width();
  const int height = bgr.height();
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> bottomUp(rowBytes * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    std::memcpy(bottomUp.data() + rowBytes * static_cast<std::size_t>(height - 1 - y), bgr.constScanLine(y), rowBytes);
  }
  QApplication::clipboard()->setImage(shown);
  return writeBitmap24(path, bottomUp.data(), width, height);
}

}  // namespace

Captures::Captures(PlayerEngine& engine, const ViewerSettings& settings, const WindowPrompts& prompts,
                   QtMessageSink& messages, std::function<QImage()> zoomedView, QWidget* window)
    : QObject(window),
      engine_(engine),
      settings_(settings),
      prompts_(prompts),
      messages_(messages),
      zoomedView_(std::move(zoomedView)),
      window_(window) {
  connect(&refreshTimer_, &QTimer::timeout, this, [this] {
    if (engine_.isAviCapturing()) {
      engine_.requestCaptureRefresh();
    }
  });
}

void Captures::stillCapture() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  Status saved = makeCaptureFolder(settings_.capturePath);
  const std::string path = stillCapturePath(settings_.capturePath, localTimeNow(), pathExists);
  if (saved) {
    const QImage zoomed = zoomedView_ ? zoomedView_() : QImage();
    saved = zoomed.isNull() ? engine_.saveSnapshot(path) : saveShownPicture(path, zoomed);
  }
  QApplication::restoreOverrideCursor();
  if (!saved) {
    messages_.showMessage("Still not saved: " + saved.message(), "");
    return;
  }
  lastStill_ = QString::fromStdString(path);
  emit confirmed(QStringLiteral("Still saved: ") + QFileInfo(lastStill_).fileName());
}

bool Captures::captureUsable() const {
  if (engine_.getMode() == EngineMode::Player) {
    return engine_.isSourceOpen();
  }
  const auto state = static_cast<net::ConnectionState>(engine_.getConnectionState());
  return state == net::ConnectionState::LoggedIn || state == net::ConnectionState::DdnsResolved;
}

void Captures::stopAviCapture() {
  refreshTimer_.stop();
  if (engine_.isAviCapturing()) {
    engine_.stopAviCapture();
  }
  emit changed();
}

void Captures::toggleAviCapture() {
  if (!captureUsable()) {
    return;
  }
  if (engine_.isAviCapturing()) {
    stopAviCapture();
    return;
  }
  engine_.pause();
  const QString path = prompts_.saveAvi(window_, lastAviName_);
  if (path.isEmpty()) {
    engine_.play(1.0);
    return;
  }
  lastAviName_ = path;
  const bool onRefresh = engine_.getMode() == EngineMode::Client && prompts_.lowSpeed(window_);
  const int result = engine_.startAviCapture(
      path.toStdString(), [this] { return prompts_.compression(window_); },
      onRefresh ? kCaptureOnRefresh : kCaptureEveryPicture);
  engine_.play(1.0);
  if (result == avi_result::kDone && onRefresh) {
    refreshTimer_.start(kRefreshRequestMs);
  }
  emit changed();
}

}  // namespace marlin::desktop
