#include "app/desktop/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScreen>

#include "app/desktop/activity_browser.h"
#include "app/desktop/background_task.h"
#include "app/desktop/captures.h"
#include "app/desktop/client_session.h"
#include "app/desktop/event_list_panel.h"
#include "app/desktop/options_editor.h"
#include "app/desktop/player_session.h"
#include "app/desktop/skin/heat_strip.h"
#include "app/desktop/skin/picture_button.h"
#include "app/desktop/skin/skin_slider.h"
#include "app/desktop/skin/status_strip.h"
#include "app/desktop/video_view.h"
#include "app/desktop/window_chrome.h"
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

struct ButtonRow {
  CommandId id;
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
    {kStillCapture, "still-capture", "Still Capture (Ctrl+S)"},
    {kPreviousEvent, "previous-event", "Previous Event (Page Up)"},
    {kEventList, "event-list", "Event List (E)"},
    {kNextEvent, "next-event", "Next Event (Page Down)"},
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
  engine_ =
      std::make_unique<PlayerEngine>(EngineServices{processPlaybackClock(), *audio_, *video_, *painter_, messages_});
  video_->setRenderer(&engine_->renderer());
  if (setup_.events != nullptr) {
    printer_ = std::make_unique<EventLinePrinter>(engine_->client(), setup_.events);
    messages_.setShownListener([printer = printer_.get()](const QString& title, const QString& text) {
      printer->print(messageEventLine(title.toStdString(), text.toStdString()));
    });
  }
  settings_ = loadSettings(setup_.settingsPath);
  createParts();
  observer_ = std::make_unique<WindowObserver>(
      this, printer_.get(), [client = client_](net::ClientNotice notice) { client->handleNotice(notice); });
  engine_->setObserver(observer_.get());
  engine_->setLiveObserver(observer_.get());

  createControls();
  createActions();
  createMenus();
  engine_->renderer().setSplitChangedNotifier([this] { viewChanged(); });

  engine_->configure(resolveCodecVariant(kBuildVideoCodecName, messages_), buildAudioCodec(messages_),
                     kBuildChannelCount, kBuildSampleRate);
  engine_->setFont(FontSpec{16, 0, 500, false, "Arial"});
  engine_->setTextColour(0x0080FFFF);
  engine_->setOutlineColour(0);
  engine_->renderer().SetCellGap(2, rgbColour(0x0B, 0x0C, 0x0E));

  player_->setRecentFiles(loadRecentFiles(setup_.settingsPath));
  applySettingsToEngine();
  volume_->setRange(0, 65535);
  volume_->setValue(static_cast<int>(engine_->getVolume()));
  titleText_ = productTitle();
  showTitle();
  chrome_->setAlwaysOnTop(settings_.alwaysOnTop);

  layOut(QSize(kStartVideoWidth, kStartVideoHeight));
  connect(&pollTimer_, &QTimer::timeout, this, &MainWindow::tick);
  pollTimer_.start();

  switchMode(EngineMode::Player);
  if (!setup_.commandLine.recordingPath.empty()) {
    openRecording(QString::fromStdString(setup_.commandLine.recordingPath));
  }
  if (setup_.commandLine.autoConnect()) {
    QTimer::singleShot(0, this, [this] {
      switchMode(EngineMode::Client);
      client_->connectTo(setup_.commandLine.ip, std::atoi(setup_.commandLine.port.c_str()));
    });
  }
  qApp->installEventFilter(this);
  connect(video_, &VideoView::firstPicturePainted, this, &MainWindow::firstPictureShown);
}

MainWindow::~MainWindow() {
  qApp->removeEventFilter(this);
  // A range being copied reads through the engine.
  task_->finish();
  // The engine's threads report to the window until they stop.
  engine_.reset();
}

void MainWindow::createParts() {
  task_ = new BackgroundTask(this);
  chrome_ = new WindowChrome(this);
  player_ = new PlayerSession(*engine_, setup_.prompts, messages_, *task_, this);
  client_ = new ClientSession(*engine_, settings_, setup_.prompts, messages_, *task_, this);
  captures_ = new Captures(
      *engine_, settings_, setup_.prompts, messages_, [this] { return video_->zoomedPicture(); }, this);
  options_ = new OptionsEditor(*engine_, settings_, *chrome_, this);

  connect(task_, &BackgroundTask::busyChanged, this, &MainWindow::showBusy);
  connect(chrome_, &WindowChrome::resizedByHand, this, [this] { layOut(std::nullopt); });
  connect(player_, &PlayerSession::sourceChanged, this, &MainWindow::showSource);
  connect(player_, &PlayerSession::recentFilesChanged, this, &MainWindow::rebuildRecentMenu);
  connect(client_, &ClientSession::clientModeWanted, this, [this] {
    if (mode_ != EngineMode::Client) {
      switchMode(EngineMode::Client);
    }
  });
  connect(client_, &ClientSession::sessionEnding, this, [this] {
    if (mode_ == EngineMode::Client) {
      captures_->stopAviCapture();
    }
  });
  connect(client_, &ClientSession::changed, this, &MainWindow::refreshControls);
  connect(captures_, &Captures::changed, this, &MainWindow::refreshControls);
  const auto showWork = [this](const QString& text, const QString& detail) { status_->setTexts(text, detail); };
  connect(player_, &PlayerSession::working, this, showWork);
  connect(player_, &PlayerSession::confirmed, this, &MainWindow::confirm);
  connect(client_, &ClientSession::confirmed, this, &MainWindow::confirm);
  connect(captures_, &Captures::confirmed, this, &MainWindow::confirm);
  connect(client_, &ClientSession::working, this, showWork);
}

void MainWindow::createControls() {
  for (const ButtonRow& entry : kButtons) {
    auto* button =
        new PictureButton(entry.id, QString::fromLatin1(entry.icon), QString::fromLatin1(entry.toolTip), this);
    buttons_[entry.id] = button;
    controls_[entry.id] = button;
  }
  buttons_[kCloseButton]->setDanger(true);
  buttons_[kMute]->setCheckable(true);
  for (CommandId id : {kSplit1, kSplit4, kSplit9, kSplit16}) {
    buttons_[id]->setCheckable(true);
  }
  const auto segment = [this](CommandId id, const char* icon, const char* text, const char* tip) {
    auto* button = new PictureButton(id, QString::fromLatin1(icon), QString::fromLatin1(tip), this);
    button->setText(QString::fromLatin1(text));
    button->setStyle(PictureButton::Style::Segment);
    button->setCheckable(true);
    buttons_[id] = button;
    controls_[id] = button;
  };
  segment(kPlayerMode, "player-mode", "Player", "Player mode: play recordings");
  segment(kClientMode, "client-mode", "Client", "Client mode: watch a DVR live");
  auto* saveAvi =
      new PictureButton(kSaveAvi, QStringLiteral("save-avi"), QStringLiteral("Save what is shown as AVI"), this);
  saveAvi->setText(QStringLiteral("Save AVI"));
  saveAvi->setStyle(PictureButton::Style::Text);
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
  controls_[kPositionSlider] = position_;
  // The card above the slider shows the pictures and the time under the pointer.
  activity_ = new ActivityBrowser(*engine_, *position_, this);
  controls_[kHeatStrip] = activity_->strip();
  connect(position_, &SkinSlider::hovered, activity_, &ActivityBrowser::hoverSlider);
  connect(position_, &SkinSlider::hoverEnded, activity_, &ActivityBrowser::endHover);
  connect(position_, &SkinSlider::moved, activity_, &ActivityBrowser::endHover);
  connect(activity_, &ActivityBrowser::confirmed, this, &MainWindow::confirm);
  connect(activity_, &ActivityBrowser::working, status_, &StatusStrip::setTask);
  connect(activity_, &ActivityBrowser::changed, this, &MainWindow::refreshControls);
  connect(activity_, &ActivityBrowser::listToggled, this, [this] { layOut(std::nullopt); });
  connect(activity_, &ActivityBrowser::exportWanted, player_, &PlayerSession::showExportOf);
  connect(player_, &PlayerSession::sourceChanged, activity_,
          [this](const QString&, const QString& path, bool opened) { activity_->sourceChanged(path, opened); });
  connect(video_, &VideoView::regionDrawn, activity_, &ActivityBrowser::drawRegion);
  connect(activity_, &ActivityBrowser::regionCleared, video_, &VideoView::clearRegion);
  connect(video_, &VideoView::zoomChanged, this, [this](double factor) {
    confirm(factor > 1.0 ? QStringLiteral("Zoom × %1").arg(factor, 0, 'f', 1) : QStringLiteral("Zoom off"));
  });
  volume_ = new SkinSlider(kVolumeSlider, this);
  volume_->setObjectName(QStringLiteral("volumeSlider"));
  volume_->setToolTip(QStringLiteral("Volume"));
  controls_[kVolumeSlider] = volume_;
  connect(position_, &SkinSlider::moved, this, [this](int, int value) {
    if (static_cast<std::uint64_t>(value) != engine_->getPosition() / 4096) {
      engine_->jumpTo(static_cast<std::uint64_t>(value) * 4096);
    }
  });
  const auto setVolume = [this](int, int value) { engine_->setVolume(static_cast<std::uint32_t>(value)); };
  connect(volume_, &SkinSlider::moved, this, setVolume);
  connect(volume_, &SkinSlider::released, this, setVolume);
}

// The loader has kept every number within its range.
void MainWindow::applySettingsToEngine() {
  engine_->setShowTime(settings_.showTime);
  engine_->setRepeat(settings_.repeat);
  engine_->setTimeFormat(settings_.timeFormat);
  engine_->setVolume(static_cast<std::uint32_t>(settings_.volume));
  engine_->setMute(settings_.mute);
  engine_->setFastPath(settings_.useDDraw);
  engine_->setAutoReconnect(settings_.autoReconnection);
  engine_->setTimeout(static_cast<std::uint32_t>(settings_.timeoutMs));
  engine_->setMouseRemoteMode(static_cast<net::MouseRemoteMode>(settings_.mouseMode));
}

void MainWindow::collectSettingsFromEngine() {
  settings_.showTime = engine_->getShowTime();
  settings_.repeat = engine_->getRepeat();
  settings_.timeFormat = engine_->getTimeFormat();
  settings_.volume = static_cast<int>(engine_->getVolume());
  settings_.mute = engine_->getMute();
  settings_.useDDraw = engine_->getFastPath();
  settings_.autoReconnection = engine_->getAutoReconnect();
  settings_.timeoutMs = static_cast<int>(engine_->getTimeout());
  settings_.alwaysOnTop = chrome_->alwaysOnTop();
}

std::uint64_t MainWindow::markIn() const { return player_->markIn(); }

std::uint64_t MainWindow::markOut() const { return player_->markOut(); }

bool MainWindow::openRecording(const QString& path) { return player_->openRecording(path); }

PictureButton* MainWindow::button(CommandId id) const {
  const auto found = buttons_.find(id);
  return found == buttons_.end() ? nullptr : found->second;
}

QAction* MainWindow::action(CommandId id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

QMenu* MainWindow::contextMenu(EngineMode mode) const { return mode == EngineMode::Client ? clientMenu_ : playerMenu_; }

WindowFacts MainWindow::facts() const {
  WindowFacts f;
  f.mode = mode_;
  f.busy = task_->busy();
  f.state = engine_->getState();
  f.sourceOpen = engine_->isSourceOpen();
  f.markIn = player_->markIn();
  f.markOut = player_->markOut();
  f.muted = engine_->getMute();
  f.showTime = engine_->getShowTime();
  f.alwaysOnTop = chrome_->alwaysOnTop();
  f.splitLimit = engine_->maxSplit();
  f.normal = chrome_->normal();
  f.maximized = chrome_->maximized();
  const ControlRect area = videoArea(width(), height());
  f.videoWidth = area.width;
  f.videoHeight = area.height;
  f.connected = engine_->isConnected();
  f.localRecording = engine_->isRecording();
  f.activityReady = activity_->ready();
  f.eventListShown = activity_->listShown();
  f.regionDrawn = activity_->regionDrawn();
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
  ControlRect area = videoArea(width(), height());
  // The event list takes the right of the video area.
  const bool listShown = mode_ == EngineMode::Player && activity_->listShown();
  if (listShown) {
    area.width -= EventListPanel::kWidth;
    activity_->panel()->setGeometry(area.x + area.width, area.y, EventListPanel::kWidth, area.height);
  }
  activity_->panel()->setVisible(listShown);
  video_->setGeometry(area.x, area.y, area.width, area.height);
  chrome_->applyTopmost();
  for (const PlacedControl& placed : layoutControls(width(), height(), mode_, engine_->maxSplit())) {
    const auto found = controls_.find(static_cast<CommandId>(placed.id));
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

void MainWindow::showVideoSize(int videoWidth, int videoHeight) {
  if (isMaximized()) {
    showNormal();
  }
  layOut(QSize(videoWidth, videoHeight));
}

void MainWindow::showTitle() {
  title_->setText(title_->fontMetrics().elidedText(titleText_, Qt::ElideMiddle, title_->width()));
}

void MainWindow::showSource(const QString& title, const QString& path, bool opened) {
  titleText_ = title;
  showTitle();
  // The task bar and the window switcher name the recording too.
  setWindowTitle(title);
  title_->setToolTip(path);
  const std::uint64_t size = opened ? engine_->getSourceSize() : 0;
  position_->setRange(0, size <= 1 ? 0 : static_cast<int>(qMin<std::uint64_t>(size / 4096, INT32_MAX)));
  position_->setValue(0);
  if (opened) {
    layOut(std::nullopt);
    refreshControls();
  }
  video_->setHint(viewHint());
  viewChanged();
  update();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (layoutDone_) {
    // Placing the controls at once keeps a resize by the window system smooth.
    layOut(std::nullopt);
  }
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
  refreshControls();
  contextMenu(mode_)->popup(event->globalPos());
}

// ---------------------------------------------------------------- commands

void MainWindow::switchMode(EngineMode mode) {
  if (engine_->isRecording()) {
    engine_->stopRecording();
  }
  if (mode == EngineMode::Player) {
    client_->endSession();
  } else if (engine_->isSourceOpen()) {
    // The recording's title, time and place on the slider would stay
    // behind the live view.
    player_->closeFile();
  }
  engine_->setMode(mode, -1);
  mode_ = mode;
  titleText_ = productTitle();
  showTitle();
  engine_->selectView(mode == EngineMode::Player ? 4 : 1, 0);
  video_->setDragMovesWindow(mode == EngineMode::Player);
  layOut(QSize(kStartVideoWidth, kStartVideoHeight));
  layOut(QSize(kStartVideoWidth, kStartVideoHeight));
  viewChanged();
  video_->setHint(viewHint());
}

// The split or its page changed (by a button, a key, a double-click or a
// recording of more cameras opening).
void MainWindow::viewChanged() {
  int split = 1;
  int page = 0;
  engine_->getView(split, page);
  // A closer look and a search region belong to one camera's picture.
  const bool single = mode_ == EngineMode::Player && split == 1 && engine_->isSourceOpen();
  video_->setZoomAllowed(single);
  video_->setRegionDrawingAllowed(single);
  activity_->viewChanged();
  refreshControls();
}

void MainWindow::selectSplit(int cells) {
  int split = 1;
  int page = 0;
  engine_->getView(split, page);
  engine_->selectView(cells, qMin(page, splitPages(cells, engine_->maxSplit()) - 1));
  viewChanged();
}

void MainWindow::confirm(const QString& text) {
  status_->showNotice(text);
  if (printer_) {
    printer_->print(statusEventLine(text.toStdString()));
  }
}

void MainWindow::adjustSpeed(double delta) { engine_->adjustSpeed(engine_->getSpeed() + delta); }

void MainWindow::showBusy(bool busy) {
  if (busy) {
    setCursor(Qt::BusyCursor);
  } else {
    unsetCursor();
  }
  refreshControls();
}

// ---------------------------------------------------------------- files

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile() || task_->busy()) {
    return;
  }
  event->acceptProposedAction();
  if (mode_ != EngineMode::Player) {
    switchMode(EngineMode::Player);
  }
  openRecording(urls.front().toLocalFile());
}

void MainWindow::closeEvent(QCloseEvent* event) {
  exitApplication();
  event->accept();
}

void MainWindow::exitApplication() {
  task_->finish();
  if (engine_->isRecording()) {
    engine_->stopRecording();
  }
  captures_->stopAviCapture();
  client_->endSession();
  engine_->closeSource();
  collectSettingsFromEngine();
  saveSettings(setup_.settingsPath, settings_);
  saveRecentFiles(setup_.settingsPath, player_->recentFiles());
  pollTimer_.stop();
}

}  // namespace marlin::desktop
