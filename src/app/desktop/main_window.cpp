#include "app/desktop/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>

#include "app/desktop/command_ids.h"
#include "app/desktop/skin/icon_cache.h"
#include "app/desktop/skin/palette.h"
#include "app/desktop/skin/picture_button.h"
#include "app/desktop/skin/skin_slider.h"
#include "app/desktop/skin/status_strip.h"
#include "app/desktop/video_view.h"
#include "app/desktop/window_layout.h"
#include "app/desktop/window_observer.h"
#include "engine/codec_names.h"
#include "engine/event_lines.h"
#include "engine/player_engine.h"
#include "platform/sdl_audio_device.h"
#include "platform/silent_audio_device.h"
#include "render/channel_label.h"
#include "render/text_painter_choice.h"

namespace marlin::desktop {

namespace {

constexpr int kGripSize = 16;

struct ButtonRow {
  int id;
  const char* icon;
  const char* toolTip;
};

// Tooltips name the shortcut, so the keyboard can be learnt from the mouse.
constexpr ButtonRow kButtons[] = {
    {kOpenFile, "open-file", "Open File (Ctrl+O)"},
    {kFastRewind, "fast-rewind", "Fast Rewind"},
    {kPlayReverse, "play-reverse", "Play Reverse"},
    {kPreviousFrame, "previous-frame", "Previous Frame (Ctrl+V, ,)"},
    {kPause, "pause", "Pause (Ctrl+P, Space)"},
    {kNextFrame, "next-frame", "Next Frame (Ctrl+N, .)"},
    {kPlay, "play", "Play (Space)"},
    {kFastForward, "fast-forward", "Fast Forward"},
    {kStillCapture, "still-capture", "Still Capture"},
    {kSplit1, "split-1", "Split 1"},
    {kSplit4, "split-4", "Split 4"},
    {kSplit9, "split-9", "Split 9"},
    {kSplit16, "split-16", "Split 16"},
    {kMute, "volume", "Mute On/Off"},
    {kConnect, "connect", "Connect"},
    {kDvrPause, "pause", "DVR Pause"},
    {kDvrRewind, "rewind", "DVR Rewind"},
    {kDvrPlay, "play", "DVR Play"},
    {kDvrFastForward, "fast-forward", "DVR Fast Forward"},
    {kDvrStop, "stop", "DVR Stop"},
    {kDvrRecord, "record", "DVR Record"},
    {kDvrChannel1, "channel-1", "Channel 1"},
    {kDvrChannel2, "channel-2", "Channel 2"},
    {kDvrChannel3, "channel-3", "Channel 3"},
    {kDvrChannel4, "channel-4", "Channel 4"},
    {kDvrSplit, "split-4", "DVR Split 4"},
    {kDvrMenu, "dvr-menu", "DVR Menu"},
    {kDvrUp, "up", "DVR Up"},
    {kDvrDown, "down", "DVR Down"},
    {kDvrSelect, "select", "DVR Select"},
    {kMinimise, "minimise", "Minimise"},
    {kCloseButton, "close", "Close"},
};

AudioCodecId buildAudioCodec(MessageSink& messages) { return resolveAudioCodecId(kBuildAudioCodecName, messages); }

}  // namespace

MainWindow::MainWindow(Setup setup, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), setup_(std::move(setup)) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(productTitle());
  setAttribute(Qt::WA_TranslucentBackground);
  setAcceptDrops(true);
  setMouseTracking(true);
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  setWindowIcon(QIcon(QStringLiteral(":/icons/marlin-viewer.svg")));
  messages_.setParent(this);

  video_ = new VideoView(this);
  painter_ = makeTextPainter();
  if (setup_.silentAudio) {
    audio_ = std::make_unique<SilentAudioDevice>();
  } else {
    audio_ = std::make_unique<SdlAudioDevice>(true);
  }
  engine_ = std::make_unique<PlayerEngine>(
      EngineServices{processPlaybackClock(), *audio_, *video_, *painter_, messages_});
  video_->setRenderer(&engine_->renderer());
  if (setup_.events != nullptr) {
    printer_ = std::make_unique<EventLinePrinter>(engine_->client(), setup_.events);
  }
  observer_ = std::make_unique<WindowObserver>(this, printer_.get(),
                                               [this](net::ClientNotice notice) { handleNotice(notice); });
  engine_->setObserver(observer_.get());
  engine_->setLiveObserver(observer_.get());
  engine_->renderer().setSplitChangedNotifier([this] { refreshControls(); });

  createControls();
  createActions();
  createMenus();

  engine_->configure(resolveCodecVariant(kBuildVideoCodecName, messages_), buildAudioCodec(messages_),
                     kBuildChannelCount, kBuildSampleRate, 4);
  engine_->setFont(FontSpec{16, 0, 500, false, "Arial"});
  engine_->setTextColour(0x0080FFFF);
  engine_->setOutlineColour(0);
  engine_->renderer().SetCellGap(2, rgbColour(0x0B, 0x0C, 0x0E));

  settings_ = loadSettings(setup_.settingsPath);
  recentFiles_ = loadRecentFiles(setup_.settingsPath);
  rebuildRecentMenu();
  applySettingsToEngine();
  volume_->setRange(0, 65535);
  volume_->setValue(static_cast<int>(engine_->getVolume()));
  titleText_ = productTitle();
  showTitle();
  alwaysOnTop_ = settings_.alwaysOnTop != 0;

  layOut(QSize(kStartVideoWidth, kStartVideoHeight));
  connect(&secondTimer_, &QTimer::timeout, this, [this] { tick(false); });
  connect(&statusTimer_, &QTimer::timeout, this, [this] { tick(false); });
  connect(&captureTimer_, &QTimer::timeout, this, [this] { tick(true); });
  secondTimer_.start(1000);
  statusTimer_.start(300);
  captureTimer_.start(40);

  switchMode(1);
  if (!setup_.commandLine.recordingPath.empty()) {
    openRecording(QString::fromStdString(setup_.commandLine.recordingPath));
  }
  autoConnect_ = setup_.commandLine.autoConnect();
  qApp->installEventFilter(this);
  connect(video_, &VideoView::firstPicturePainted, this, &MainWindow::firstPictureShown);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  rangeCopy_.waitForFinished();
  // The engine's threads report to the window until they stop.
  engine_.reset();
}

void MainWindow::createControls() {
  for (const ButtonRow& entry : kButtons) {
    auto* button = new PictureButton(entry.id, QString::fromLatin1(entry.icon), QString::fromLatin1(entry.toolTip), this);
    connect(button, &QAbstractButton::clicked, this, [this, id = entry.id] { runCommand(id); });
    buttons_[entry.id] = button;
    controls_[entry.id] = button;
  }
  buttons_[kCloseButton]->setDanger(true);
  buttons_[kMute]->setCheckable(true);
  for (int id : {kSplit1, kSplit4, kSplit9, kSplit16}) {
    buttons_[id]->setCheckable(true);
  }
  // Checkable buttons are checked by the window, not by a click.
  for (auto& [id, button] : buttons_) {
    if (button->isCheckable()) {
      connect(button, &QAbstractButton::clicked, button, [this, id = id] { refreshControls(); });
    }
  }
  const auto segment = [this](int id, const char* icon, const char* text, const char* tip) {
    auto* button = new PictureButton(id, QString::fromLatin1(icon), QString::fromLatin1(tip), this);
    button->setText(QString::fromLatin1(text));
    button->setStyle(PictureButton::Style::Segment);
    button->setCheckable(true);
    connect(button, &QAbstractButton::clicked, this, [this, id] { runCommand(id); });
    buttons_[id] = button;
    controls_[id] = button;
  };
  segment(kPlayerMode, "player-mode", "Player", "Player mode: play recordings");
  segment(kClientMode, "client-mode", "Client", "Client mode: watch a DVR live");
  auto* saveAvi = new PictureButton(kSaveAvi, QStringLiteral("save-avi"), QStringLiteral("Save what is shown as AVI"), this);
  saveAvi->setText(QStringLiteral("Save AVI"));
  saveAvi->setStyle(PictureButton::Style::Text);
  connect(saveAvi, &QAbstractButton::clicked, this, [this] { runCommand(kSaveAvi); });
  buttons_[kSaveAvi] = saveAvi;
  controls_[kSaveAvi] = saveAvi;

  skinIcon_ = new QLabel(this);
  skinIcon_->setPixmap(QIcon(QStringLiteral(":/icons/marlin-viewer.svg")).pixmap(16, 16));
  skinIcon_->setToolTip(QStringLiteral("Menu (double-click to close)"));
  skinIcon_->installEventFilter(this);
  controls_[kSkinIcon] = skinIcon_;

  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("titleLabel"));
  QFont titleFont = title_->font();
  titleFont.setPointSizeF(9.0);
  titleFont.setWeight(QFont::DemiBold);
  title_->setFont(titleFont);
  title_->setStyleSheet(QStringLiteral("color: #E6E9EE;"));
  controls_[kTitleLabel] = title_;

  status_ = new StatusStrip(this);
  controls_[kStatusStrip] = status_;

  position_ = new SkinSlider(kPositionSlider, this);
  position_->setToolTip(QString());
  position_->setHoverText([this](int value) {
    CalendarTime time{};
    if (!engine_->isSourceOpen() || !engine_->blockTimeAt(static_cast<std::uint64_t>(value) * 4096, time)) {
      return QString();
    }
    return QString::fromStdString(formatPictureTime(time, engine_->getTimeFormat()));
  });
  controls_[kPositionSlider] = position_;
  volume_ = new SkinSlider(kVolumeSlider, this);
  volume_->setToolTip(QStringLiteral("Volume"));
  controls_[kVolumeSlider] = volume_;
  const auto slid = [this](int id, int value) {
    if (id == kVolumeSlider) {
      engine_->setVolume(static_cast<std::uint32_t>(value));
    } else if (static_cast<std::uint64_t>(value) != engine_->getPosition() / 4096) {
      engine_->jumpTo(static_cast<std::uint64_t>(value) * 4096);
    }
  };
  connect(position_, &SkinSlider::moved, this, slid);
  connect(volume_, &SkinSlider::moved, this, slid);
  connect(volume_, &SkinSlider::released, this, slid);
}

// The loader has kept every number within its range.
void MainWindow::applySettingsToEngine() {
  engine_->setShowTime(settings_.showTime != 0);
  engine_->setRepeat(settings_.repeat != 0);
  engine_->setTimeFormat(settings_.timeFormat);
  engine_->setVolume(static_cast<std::uint32_t>(settings_.volume));
  engine_->setMute(settings_.mute != 0);
  engine_->setFastPath(settings_.useDDraw != 0);
  engine_->setAutoReconnect(settings_.autoReconnection != 0);
  engine_->setTimeout(static_cast<std::uint32_t>(settings_.timeoutMs));
  engine_->setMouseRemoteMode(static_cast<net::MouseRemoteMode>(settings_.mouseMode));
}

void MainWindow::collectSettingsFromEngine() {
  settings_.showTime = engine_->getShowTime() ? 1 : 0;
  settings_.repeat = engine_->getRepeat() ? 1 : 0;
  settings_.timeFormat = engine_->getTimeFormat();
  settings_.volume = static_cast<int>(engine_->getVolume());
  settings_.mute = engine_->getMute() ? 1 : 0;
  settings_.useDDraw = engine_->getFastPath() ? 1 : 0;
  settings_.autoReconnection = engine_->getAutoReconnect() ? 1 : 0;
  settings_.timeoutMs = static_cast<int>(engine_->getTimeout());
  settings_.alwaysOnTop = alwaysOnTop_ ? 1 : 0;
}

PictureButton* MainWindow::button(int id) const {
  const auto found = buttons_.find(id);
  return found == buttons_.end() ? nullptr : found->second;
}

QAction* MainWindow::action(int id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

QMenu* MainWindow::contextMenu(int mode) const { return mode == 2 ? clientMenu_ : playerMenu_; }

WindowFacts MainWindow::facts() const {
  WindowFacts f;
  f.mode = mode_;
  f.state = engine_->getState();
  f.sourceOpen = engine_->isSourceOpen();
  f.markIn = markIn_;
  f.markOut = markOut_;
  f.muted = engine_->getMute();
  f.showTime = engine_->getShowTime();
  f.alwaysOnTop = alwaysOnTop_;
  f.normal = normal_;
  f.maximized = maximized_;
  const ControlRect area = videoArea(width(), height());
  f.videoWidth = area.width;
  f.videoHeight = area.height;
  f.connected = engine_->isConnected();
  f.localRecording = engine_->isRecording();
  return f;
}

// ---------------------------------------------------------------- layout

void MainWindow::layOut(std::optional<QSize> videoSize) {
  if (videoSize) {
    const ControlRect window = windowForVideo(videoSize->width(), videoSize->height());
    QRect frame(0, 0, qMax(window.width, kMinimumWidth), qMax(window.height, kMinimumHeight));
    if (const QScreen* screen = this->screen()) {
      frame.moveCenter(screen->availableGeometry().center());
    }
    setGeometry(frame);
  }
  const ControlRect area = videoArea(width(), height());
  video_->setGeometry(area.x, area.y, area.width, area.height);
  applyTopmost();
  for (const PlacedControl& placed : layoutControls(width(), height(), mode_, engine_->maxSplit())) {
    const auto found = controls_.find(placed.id);
    if (found == controls_.end()) {
      continue;
    }
    found->second->setGeometry(placed.rect.x, placed.rect.y, placed.rect.width, placed.rect.height);
    found->second->setVisible(placed.visible);
  }
  showTitle();
  update();
  layoutDone_ = true;
}

void MainWindow::showTitle() {
  title_->setText(title_->fontMetrics().elidedText(titleText_, Qt::ElideMiddle, title_->width()));
}

void MainWindow::applyTopmost() {
  const bool isOnTop = (windowFlags() & Qt::WindowStaysOnTopHint) != 0;
  if (isOnTop == alwaysOnTop_) {
    return;
  }
  const bool wasVisible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, alwaysOnTop_);
  if (wasVisible) {
    show();
  }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (layoutDone_) {
    // Placing the controls at once keeps a resize by the window system smooth.
    layOut(std::nullopt);
  }
}

bool MainWindow::inResizeGrip(const QPoint& point) const {
  return point.x() >= width() - kGripSize && point.y() >= height() - kGripSize;
}

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool rounded = !isMaximized() && !isFullScreen();
  const qreal radius = rounded ? skin::kCornerRadius : 0;
  QPainterPath outline;
  outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  painter.fillPath(outline, skin::kWindow);
  painter.setPen(QPen(skin::kBorder, 1));
  painter.drawPath(outline);
  // The title strip sits a shade apart from the controls below the video.
  painter.setPen(QPen(QColor(0x20, 0x23, 0x2A), 1));
  painter.drawLine(QPointF(1, 24.5), QPointF(width() - 1, 24.5));
  // The resize grip: three dots rising to the corner.
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x4A, 0x50, 0x5B));
  const QPointF corner(width() - 5.0, height() - 5.0);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column <= row; ++column) {
      painter.drawEllipse(corner - QPointF(column * 4.0, (row - column) * 4.0), 1.0, 1.0);
    }
  }
}

// ---------------------------------------------------------------- pointer

void MainWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  pressPoint_ = event->globalPosition().toPoint();
  if (inResizeGrip(event->position().toPoint())) {
    if (windowHandle() == nullptr || !windowHandle()->startSystemResize(Qt::BottomEdge | Qt::RightEdge)) {
      resizing_ = true;
      dragOffset_ = QPoint(width(), height()) - event->position().toPoint();
    }
    return;
  }
  if (windowHandle() == nullptr || !windowHandle()->startSystemMove()) {
    moving_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  }
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  setCursor(inResizeGrip(event->position().toPoint()) || resizing_ ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
  if (resizing_) {
    const QPoint corner = event->position().toPoint() + dragOffset_;
    resize(qMax(kMinimumWidth, corner.x()), qMax(kMinimumHeight, corner.y()));
    layOut(std::nullopt);
  } else if (moving_) {
    move(event->globalPosition().toPoint() - dragOffset_);
  }
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  resizing_ = false;
  moving_ = false;
  QWidget::mouseReleaseEvent(event);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || inResizeGrip(event->position().toPoint())) {
    return;
  }
  const QScreen* screen = this->screen();
  if (!isMaximized() && (screen == nullptr || width() < screen->availableGeometry().width())) {
    runCommand(kMaximize);
  } else {
    runCommand(kNormal);
  }
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  updateActions();
  contextMenu(mode_)->popup(event->globalPos());
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) {
    update();
  }
  QWidget::changeEvent(event);
}

// ---------------------------------------------------------------- files

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) {
    return;
  }
  event->acceptProposedAction();
  if (mode_ != 1) {
    switchMode(1);
  }
  openRecording(urls.front().toLocalFile());
}

void MainWindow::closeEvent(QCloseEvent* event) {
  exitApplication();
  event->accept();
}

void MainWindow::exitApplication() {
  // A range being copied reads through the engine: it ends first.
  rangeCopy_.waitForFinished();
  if (engine_->isRecording()) {
    engine_->stopRecording();
  }
  if (engine_->isAviCapturing()) {
    engine_->stopAviCapture();
  }
  sessionWanted_ = false;
  engine_->closeSource();
  engine_->disconnect();
  collectSettingsFromEngine();
  saveSettings(setup_.settingsPath, settings_);
  saveRecentFiles(setup_.settingsPath, recentFiles_);
  secondTimer_.stop();
  statusTimer_.stop();
  captureTimer_.stop();
}

}  // namespace marlin::desktop
