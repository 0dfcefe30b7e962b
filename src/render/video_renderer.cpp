#include "render/video_renderer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/log.h"
#include "codec/colour_convert.h"
#include "render/channel_label.h"
#include "render/copy_past_caches.h"
#include "render/dib_snapshot.h"

namespace marlin {

namespace {

constexpr int kMaxPictureWidth = 640;
constexpr int kMaxPictureHeight = 272;
constexpr std::size_t kYuvBytes = std::size_t{kMaxPictureWidth} * kMaxPictureHeight * 3 / 2;
constexpr std::size_t kRgbBytes = std::size_t{kMaxPictureWidth} * kMaxPictureHeight * 3;
// Large enough for a full PAL frame, the largest the capture writes.
constexpr std::size_t kAviBufferBytes = std::size_t{720} * 576 * 3;

constexpr std::uint32_t kBlack = 0;
// New surfaces start a shade above black, so an area no picture reached
// yet can be told from a black picture.
constexpr std::uint32_t kSurfaceFill = rgbColour(10, 10, 10);
// Black is the display surfaces' transparent colour, so label colours
// asked to be black are kept just above it.
constexpr std::uint32_t kNearBlack = rgbColour(5, 5, 5);

bool isPictureSize(int width, int height) {
  return (width == 320 || width == 640) && (height == 112 || height == 136 || height == 224 || height == 272);
}

using SurfaceConverter = void (*)(std::uint8_t*, const std::uint8_t*, int, int);

SurfaceConverter converterFor(SurfaceFormat format) {
  switch (format) {
    case SurfaceFormat::Rgb555:
      return ToRgb555;
    case SurfaceFormat::Rgb565:
      return ToRgb565;
    case SurfaceFormat::Bgr565:
      return ToBgr565;
    case SurfaceFormat::Rgb24:
      return ToRgb24Surface;
    case SurfaceFormat::Rgb32:
      break;
  }
  return ToRgb32;
}

bool createSurface(Canvas& surface, Size size, SurfaceFormat format) {
  if (!surface.reset(size.width, size.height, format)) {
    return false;
  }
  surface.fillAll(kSurfaceFill);
  return true;
}

std::uint32_t labelColour(std::uint32_t colour) { return colour == 0 ? kNearBlack : colour; }

}  // namespace

VideoRenderer::VideoRenderer(VideoPresenter& presenter, TextPainter& painter, MessageSink& messages)
    : presenter_(presenter), painter_(painter), messages_(messages), rgbBuffer_(kRgbBytes) {
  for (auto& buffer : yuv_) {
    try {
      buffer.assign(kYuvBytes, 0);
    } catch (const std::bad_alloc&) {
      buffer.clear();
      messages_.showMessage("Yuv Buf Allocation Failed!", "");
      break;
    }
  }
  pictureSize_.fill({kMaxPictureWidth, 224});
  // A window reports its first size as it is created.
  resize();
}

bool VideoRenderer::composingAvi() const { return aviCapture_ && aviComposesView_; }

Size VideoRenderer::drawingArea() const { return fastPathActive_ ? back_.size() : client_; }

SplitLayout VideoRenderer::viewLayout() const {
  const Size area = drawingArea();
  SplitLayout layout = layoutSplit(area, split_, page_, channelCount_);
  if (cellGap_ <= 0 || split_ <= 1) {
    return layout;
  }
  for (Rect& cell : layout.cells) {
    if (cell.right < area.width) {
      cell.right = std::max(cell.left + 1, cell.right - cellGap_);
    }
    if (cell.bottom < area.height) {
      cell.bottom = std::max(cell.top + 1, cell.bottom - cellGap_);
    }
  }
  return layout;
}

void VideoRenderer::releaseSurfaces() {
  video_.release();
  back_.release();
}

void VideoRenderer::setUpFastPath() {
  if (!fastPathWanted_) {
    fastPathActive_ = false;
    return;
  }
  if (!rebuildRequested_ && !fastPathActive_) {
    return;
  }
  releaseSurfaces();
  if (client_.empty()) {
    return;
  }
  rebuildRequested_ = false;
  fastPathActive_ = false;
  const SurfaceFormat format = presenter_.surfaceFormat();
  if (!createSurface(video_, {kMaxPictureWidth, kMaxPictureHeight}, format)) {
    lastError_ = "Failed to create video surface.";
    return;
  }
  if (!createSurface(back_, client_, format)) {
    lastError_ = "Failed to create back surface.";
    return;
  }
  fastPathActive_ = true;
}

// The 24-bit path draws straight into what the window shows, which keeps
// its content until the window's size or format changes.
bool VideoRenderer::prepareBgr24Back() {
  if (client_.empty()) {
    return false;
  }
  const SurfaceFormat format = presenter_.surfaceFormat();
  if (back_.size() == client_ && back_.format() == format) {
    return true;
  }
  if (!back_.reset(client_.width, client_.height, format)) {
    lastError_ = "Failed to create back surface.";
    return false;
  }
  return true;
}

bool VideoRenderer::convertForFastPath(int channel, const std::uint8_t* yuv420) {
  const Size size = pictureSize_[channel];
  // The conversion covers the whole surface, so a new one needs no fill.
  if (video_.size() != size && !video_.reset(size.width, size.height, back_.format())) {
    return false;
  }
  converterFor(video_.format())(video_.data(), yuv420, size.width, size.height);
  return true;
}

bool VideoRenderer::preparePicture(int channel, Path path, const std::uint8_t* yuv420) {
  if (Canvas::drawsYuv420(back_.format())) {
    return true;
  }
  if (path == Path::Fast) {
    return convertForFastPath(channel, yuv420);
  }
  ToDib24(rgbBuffer_.data(), yuv420, pictureSize_[channel].width, pictureSize_[channel].height);
  return true;
}

void VideoRenderer::drawPicture(Canvas& target, const Rect& cell, Path path, int channel, const std::uint8_t* yuv420) {
  const Size size = pictureSize_[channel];
  if (Canvas::drawsYuv420(target.format())) {
    target.stretchYuv420(cell, yuv420, size.width, size.height);
  } else if (path == Path::Fast) {
    target.stretch(cell, video_);
  } else {
    target.stretchBgr24BottomUp(cell, rgbBuffer_.data(), size.width, size.height);
  }
}

void VideoRenderer::drawLabel(Canvas& target, const Rect& cell, int channel) {
  const CalendarTime* time = showTime_ && hasPicture_[channel] ? &pictureTime_[channel] : nullptr;
  std::string text = channelLabel(channel, time, timeFormat_);
  const int x = cell.left + 4;
  // A cell too narrow for the time keeps at least its channel readable.
  if (time != nullptr && x + 1 + painter_.measureText(text, font_).width > cell.right) {
    text = channelLabel(channel, nullptr, timeFormat_);
  }
  labels_[channel].draw(target, x, cell.top + 2, text, textColour_, outlineColour_, font_, painter_);
}

bool VideoRenderer::aviFrameFits() const {
  if (aviSink_ == nullptr) {
    return false;
  }
  const Size frame{aviSink_->frameWidth(), aviSink_->frameHeight()};
  return !frame.empty() && static_cast<std::size_t>(frame.width) * frame.height * 3 <= aviBuffer_.size();
}

// A frame goes out when a channel comes round again, so each frame holds
// the latest picture of every channel on the page.
void VideoRenderer::composeAvi(int channel, Path path, const std::uint8_t* yuv420) {
  if (!composingAvi() || !aviFrameFits()) {
    return;
  }
  const Size frame{aviSink_->frameWidth(), aviSink_->frameHeight()};
  if (avi_.size() != frame || avi_.format() != back_.format()) {
    if (!createSurface(avi_, frame, back_.format())) {
      lastError_ = "Failed to create AVI surface.";
      return;
    }
  }
  const std::uint32_t bit = 1u << channel;
  if (aviMask_ & bit) {
    surfaceToBgr24BottomUp(aviBuffer_.data(), avi_.data(), frame.width, frame.height, avi_.format());
    aviSink_->writeFrame(aviBuffer_.data());
    aviMask_ = 0;
  }
  const Rect cell = layoutSplit(frame, split_, page_, channelCount_).cells[channel];
  drawPicture(avi_, cell, path, channel, yuv420);
  drawLabel(avi_, cell, channel);
  aviMask_ |= bit;
}

void VideoRenderer::present() { presenter_.present(back_); }

bool VideoRenderer::PutPicture(int channel, const CalendarTime& time, const std::uint8_t* yuv420, int width,
                               int height) {
  std::lock_guard guard(lock_);
  if (composingAvi() && !fastPathWanted_) {
    fastPathWanted_ = true;
    rebuildRequested_ = true;
    setUpFastPath();
  }
  if (channel < 0 || channel >= channelCount_ || !isPictureSize(width, height) || yuv_[channel].empty()) {
    return false;
  }
  pictureSize_[channel] = {width, height};
  copyPastCaches(yuv_[channel].data(), yuv420, static_cast<std::size_t>(width) * height * 3 / 2);
  hasPicture_[channel] = true;
  pictureTime_[channel] = time;

  const Path path = fastPathActive_ ? Path::Fast : Path::Bgr24;
  if (path == Path::Fast && (back_.empty() || video_.empty())) {
    releaseSurfaces();
    setUpFastPath();
    return false;
  }
  if (path == Path::Bgr24 && !prepareBgr24Back()) {
    return true;
  }
  const SplitLayout layout = viewLayout();
  // A hidden channel's picture waits in yuv_ until its page is shown.
  if (!layout.visible[channel]) {
    return true;
  }
  // The caller's picture is still in the caches; the kept copy is not.
  if (!preparePicture(channel, path, yuv420)) {
    lastError_ = "Failed to create channel surface.";
    return false;
  }
  const Rect& cell = layout.cells[channel];
  drawPicture(back_, cell, path, channel, yuv420);
  if (labelsOn_) {
    drawLabel(back_, cell, channel);
  }
  presenter_.presentArea(back_, cell);
  composeAvi(channel, path, yuv420);
  return true;
}

void VideoRenderer::Repaint() {
  std::lock_guard guard(lock_);
  repaintLocked();
}

void VideoRenderer::repaintLocked() {
  if (client_.empty()) {
    return;
  }
  if ((fastPathActive_ || (rebuildRequested_ && fastPathWanted_)) && (video_.empty() || back_.empty())) {
    setUpFastPath();
  }
  if (!fastPathActive_ && !prepareBgr24Back()) {
    return;
  }
  const SplitLayout layout = viewLayout();
  if (cellGap_ > 0 && split_ > 1) {
    paintGaps(layout);
  }
  const bool composing = composingAvi() && !avi_.empty();
  SplitLayout aviLayout;
  if (composing) {
    aviLayout = layoutSplit(avi_.size(), split_, page_, channelCount_);
    avi_.fillAll(kBlack);
  }
  for (int i = 0; i < channelCount_; ++i) {
    if (!layout.visible[i]) {
      continue;
    }
    const Rect& cell = layout.cells[i];
    if (hasPicture_[i]) {
      // Once the fast path fails, this and the remaining cells go the 24-bit way.
      if (fastPathActive_ && !preparePicture(i, Path::Fast, yuv_[i].data())) {
        lastError_ = "Failed to create video surface.";
        fastPathActive_ = false;
      }
      const Path path = fastPathActive_ ? Path::Fast : Path::Bgr24;
      if (path == Path::Bgr24) {
        preparePicture(i, path, yuv_[i].data());
      }
      drawPicture(back_, cell, path, i, yuv_[i].data());
      if (composing) {
        drawPicture(avi_, aviLayout.cells[i], path, i, yuv_[i].data());
      }
    } else if (coversEmptyCell()) {
      back_.fill(cell, kBlack);
    }
    if (labelsOn_) {
      drawLabel(back_, cell, i);
    }
    if (composing) {
      drawLabel(avi_, aviLayout.cells[i], i);
    }
  }
  present();
}

bool VideoRenderer::coversEmptyCell() const { return !fastPathActive_ || blankCells_; }

// The cells about to be drawn over are left out: the gap colour goes only
// on the strips between cells, on the cells a repaint leaves alone and on
// the places of the page that have no channel.
void VideoRenderer::paintGaps(const SplitLayout& layout) {
  const SplitLayout places = layoutSplit(back_.size(), split_, 0, split_);
  for (int place = 0; place < split_; ++place) {
    const Rect& slot = places.cells[place];
    const int channel = page_ * split_ + place;
    if (channel >= channelCount_ || !(hasPicture_[channel] || coversEmptyCell())) {
      back_.fill(slot, gapColour_);
      continue;
    }
    const Rect& cell = layout.cells[channel];
    back_.fill({cell.right, slot.top, slot.right, slot.bottom}, gapColour_);
    back_.fill({slot.left, cell.bottom, cell.right, slot.bottom}, gapColour_);
  }
}

bool VideoRenderer::setSplitLocked(int cells, int page) {
  if (cells < 1 || cells > channelCount_) {
    return false;
  }
  if (page >= 0) {
    page_ = page;
  } else if (cells == split_) {
    page_ = page_ + 1 < splitPages(cells, channelCount_) ? page_ + 1 : 0;
  } else {
    page_ = 0;
  }
  split_ = cells;
  if (cells != 1) {
    lastSplit_ = cells;
    lastPage_ = page_;
  }
  setUpFastPath();
  repaintLocked();
  return true;
}

bool VideoRenderer::SetSplit(int cells, int page) {
  std::lock_guard guard(lock_);
  return setSplitLocked(cells, page);
}

void VideoRenderer::GetSplit(int& split, int& page) const {
  std::lock_guard guard(lock_);
  split = split_;
  page = page_;
}

bool VideoRenderer::SetChannelCount(int count) {
  if (count < 1 || count > kMaxChannels) {
    return false;
  }
  std::lock_guard guard(lock_);
  channelCount_ = count;
  return true;
}

void VideoRenderer::ClearAll() { ClearChannels(ChannelSet().set()); }

void VideoRenderer::ClearChannels(ChannelSet channels) {
  std::lock_guard guard(lock_);
  blankCells_ = true;
  for (int i = 0; i < kMaxChannels; ++i) {
    if (channels[static_cast<std::size_t>(i)]) {
      hasPicture_[i] = false;
      aviMask_ &= ~(1u << i);
    }
  }
  repaintLocked();
  blankCells_ = false;
}

ChannelSet VideoRenderer::VisibleChannels() const {
  std::lock_guard guard(lock_);
  return channelsOnPage(split_, page_, channelCount_);
}

void VideoRenderer::SetUseDirectDraw(bool on) {
  std::lock_guard guard(lock_);
  fastPathWanted_ = on;
  if (on) {
    rebuildRequested_ = true;
    setUpFastPath();
  } else {
    // What is shown stays; the 24-bit path goes on drawing over it.
    fastPathActive_ = false;
    video_.release();
  }
}

bool VideoRenderer::GetUseDirectDraw() const {
  std::lock_guard guard(lock_);
  return fastPathWanted_;
}

void VideoRenderer::SetShowTime(bool on) {
  std::lock_guard guard(lock_);
  showTime_ = on;
}

bool VideoRenderer::GetShowTime() const {
  std::lock_guard guard(lock_);
  return showTime_;
}

void VideoRenderer::SetLabelsOn(bool on) {
  std::lock_guard guard(lock_);
  labelsOn_ = on;
}

void VideoRenderer::SetTimeFormat(std::string format) {
  std::lock_guard guard(lock_);
  timeFormat_ = std::move(format);
}

std::string VideoRenderer::GetTimeFormat() const {
  std::lock_guard guard(lock_);
  return timeFormat_;
}

void VideoRenderer::SetTextColour(std::uint32_t colour) {
  std::lock_guard guard(lock_);
  textColour_ = labelColour(colour);
}

void VideoRenderer::SetOutlineColour(std::uint32_t colour) {
  std::lock_guard guard(lock_);
  outlineColour_ = labelColour(colour);
}

void VideoRenderer::SetFont(FontSpec font) {
  std::lock_guard guard(lock_);
  font_ = std::move(font);
}

void VideoRenderer::SetCellGap(int pixels, std::uint32_t colour) {
  std::lock_guard guard(lock_);
  cellGap_ = std::clamp(pixels, 0, 8);
  gapColour_ = colour;
  repaintLocked();
}

void VideoRenderer::SetAviCapture(bool on) {
  std::lock_guard guard(lock_);
  aviCapture_ = on;
  if (on) {
    aviBuffer_.assign(kAviBufferBytes, 0);
  }
}

void VideoRenderer::SetAviWriter(AviFrameSink* sink) {
  std::lock_guard guard(lock_);
  aviSink_ = sink;
}

void VideoRenderer::ClearAviFrame() {
  std::lock_guard guard(lock_);
  aviMask_ = 0;
  if (!avi_.empty()) {
    avi_.fillAll(kBlack);
  }
}

bool VideoRenderer::UseAviFrame(const std::function<void(std::uint8_t* frame, AviFrameSink& sink)>& use) {
  std::lock_guard guard(lock_);
  if (!aviFrameFits()) {
    return false;
  }
  use(aviBuffer_.data(), *aviSink_);
  return true;
}

void VideoRenderer::SetAviComposesView(bool composes) {
  std::lock_guard guard(lock_);
  aviComposesView_ = composes;
}

Status VideoRenderer::SaveSnapshot(const std::string& path) {
  std::vector<std::uint8_t> dib;
  {
    std::lock_guard guard(lock_);
    if (back_.empty()) {
      return Status::failure(StatusCode::NotFound, "no picture is shown yet");
    }
    dib = canvasToDib24(back_);
  }
  presenter_.copyToClipboard(dib);
  return writeDibFile(path, dib);
}

std::string VideoRenderer::lastError() const {
  std::lock_guard guard(lock_);
  return lastError_;
}

bool VideoRenderer::fastPathActive() const {
  std::lock_guard guard(lock_);
  return fastPathActive_;
}

void VideoRenderer::resize() {
  std::lock_guard guard(lock_);
  client_ = presenter_.clientSize();
  if (client_.empty()) {
    return;
  }
  setUpFastPath();
  repaintLocked();
}

bool VideoRenderer::recordMouse(Point point, std::optional<int> state) {
  if (!Rect{0, 0, client_.width, client_.height}.contains(point)) {
    return false;
  }
  MouseFields fields = mouse_.peek();
  fields.x = point.x;
  fields.y = point.y;
  fields.viewWidth = client_.width;
  fields.viewHeight = client_.height;
  fields.state = state.value_or(fields.state);
  mouse_.record(fields);
  return true;
}

void VideoRenderer::mouseMove(Point point, unsigned heldButtons) {
  std::lock_guard guard(lock_);
  // Moves with both buttons or a modifier held keep the state they had.
  const bool plain = heldButtons == 0 || heldButtons == kLeftButtonHeld || heldButtons == kRightButtonHeld;
  recordMouse(point, plain ? std::optional<int>(static_cast<int>(heldButtons)) : std::nullopt);
}

void VideoRenderer::buttonDown(MouseButton button, Point point) {
  std::lock_guard guard(lock_);
  recordMouse(point, button == MouseButton::Left ? MouseFields::kLeftDown : MouseFields::kRightDown);
}

void VideoRenderer::buttonUp(MouseButton, Point point) {
  std::lock_guard guard(lock_);
  // A release only counts after a press: one after a double-click is not sent.
  if (mouse_.peek().buttonDown()) {
    recordMouse(point, MouseFields::kReleased);
  }
}

void VideoRenderer::doubleClick(MouseButton button, Point point) {
  std::function<void()> notify;
  {
    std::lock_guard guard(lock_);
    if (!recordMouse(point,
                     button == MouseButton::Right ? MouseFields::kRightDoubleClick : MouseFields::kLeftDoubleClick)) {
      return;
    }
    if (button == MouseButton::Right) {
      return;
    }
    if (split_ == 4 || split_ == 9 || split_ == 16) {
      const SplitLayout layout = viewLayout();
      for (int i = 0; i < channelCount_; ++i) {
        if (layout.visible[i] && layout.cells[i].contains(point)) {
          setSplitLocked(1, i);
          break;
        }
      }
    } else {
      setSplitLocked(lastSplit_, lastPage_);
    }
    notify = splitChanged_;
  }
  if (notify) {
    notify();
  }
}

void VideoRenderer::setSplitChangedNotifier(std::function<void()> notify) {
  std::lock_guard guard(lock_);
  splitChanged_ = std::move(notify);
}

}  // namespace marlin
