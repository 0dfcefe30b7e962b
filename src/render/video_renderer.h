#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/calendar.h"
#include "base/status.h"
#include "platform/message_sink.h"
#include "platform/shared_mouse.h"
#include "render/avi_frame_sink.h"
#include "render/canvas.h"
#include "render/geometry.h"
#include "render/outlined_label.h"
#include "render/split_layout.h"
#include "render/text_painter.h"
#include "render/video_presenter.h"

namespace marlin {

enum class MouseButton { Left, Right };

// Buttons held during a mouse move, as the flags of the move event.
inline constexpr unsigned kLeftButtonHeld = 1;
inline constexpr unsigned kRightButtonHeld = 2;

// Shows up to 16 channels' latest pictures in a split layout with paging,
// labels each cell with its channel and picture time, and while AVI
// capture runs composes the same layout into frames for the capture.
//
// PutPicture runs on the player's worker thread, everything else on the
// window's thread; one lock guards all of it, held through conversion and
// drawing so a cell never shows half of a picture.
//
// Pictures reach the display along one of two paths. The fast path
// ("direct draw") converts a picture once into the display's own pixel
// format and scales that; the 24-bit path converts to a bottom-up 24-bit
// picture and scales while packing. Displays of 32 or 24 bits take the
// pictures of both paths converted straight into their cells, which gives
// the same pixels. The fast path is wanted by default and set up when the
// window gets its size; it is forced on while AVI frames are composed.
//
// Only the channels on the shown page are converted; the others keep their
// latest picture until their page comes up.
class VideoRenderer {
 public:
  VideoRenderer(VideoPresenter& presenter, TextPainter& painter, MessageSink& messages);
  VideoRenderer(const VideoRenderer&) = delete;
  VideoRenderer& operator=(const VideoRenderer&) = delete;

  // Stores and shows one channel's picture (planar 4:2:0). False, storing
  // nothing, for channels from channelCount on and for sizes other than
  // 320 or 640 x 112, 136, 224 or 272; false also, with the picture kept,
  // when the fast path's surfaces had to be made again.
  bool PutPicture(int channel, const CalendarTime& time, const std::uint8_t* yuv420, int width, int height);
  void Repaint();
  // page -1 pages on through the layout when cells is the current split and
  // starts at page 0 for a new one. False for cells outside 1 .. channelCount.
  bool SetSplit(int cells, int page);
  void GetSplit(int& split, int& page) const;
  // False for counts outside 1 .. 16.
  bool SetChannelCount(int count);
  // Forgets every picture and shows the empty cells.
  void ClearAll();
  // Forgets the pictures of channels: their cells show dark, labelled with
  // the channel alone, until their next picture.
  void ClearChannels(ChannelSet channels);
  // The channels whose cells the current split and page show.
  ChannelSet VisibleChannels() const;
  void SetUseDirectDraw(bool on);
  bool GetUseDirectDraw() const;
  void SetShowTime(bool on);
  bool GetShowTime() const;
  void SetLabelsOn(bool on);
  void SetTimeFormat(std::string format);
  std::string GetTimeFormat() const;
  // Colours are 0x00BBGGRR; 0 is stored as RGB(5, 5, 5).
  void SetTextColour(std::uint32_t colour);
  void SetOutlineColour(std::uint32_t colour);
  void SetFont(FontSpec font);
  // Leaves pixels of colour between the cells of a split, so that cameras
  // read as separate pictures; 0 (the default) tiles them edge to edge.
  void SetCellGap(int pixels, std::uint32_t colour);
  void SetAviCapture(bool on);
  // sink receives the composed frames; nullptr for none. It must outlive
  // its use here.
  void SetAviWriter(AviFrameSink* sink);
  // The player's AVI capture records the whole view as composed here; the
  // live view's records the stream's pictures as they come.
  void SetAviComposesView(bool composes);
  // Starts the next composed frame from black, with no channel in it yet.
  void ClearAviFrame();
  // Client mode's capture, which fills the frame itself: runs use with the
  // frame buffer (the sink's size, bottom-up B, G, R rows of width x 3
  // bytes) and the sink, under the lock. False, without running it, while
  // there is no buffer or sink.
  bool UseAviFrame(const std::function<void(std::uint8_t* frame, AviFrameSink& sink)>& use);
  // Puts what is shown on the clipboard and writes it as a bitmap file at
  // path; a failure when nothing is shown yet or the file cannot be written.
  Status SaveSnapshot(const std::string& path);
  // The last display error, for logs; never shown to the user.
  std::string lastError() const;
  bool fastPathActive() const;

  // Window events. Points are in client coordinates.
  void resize();
  void mouseMove(Point point, unsigned heldButtons);
  void buttonDown(MouseButton button, Point point);
  void buttonUp(MouseButton button, Point point);
  // A left double-click toggles between one channel alone and the split it
  // was picked from, then tells the notifier.
  void doubleClick(MouseButton button, Point point);
  // Called on the window's thread after a double-click changed the split,
  // with the lock released, so the split controls can be refreshed.
  void setSplitChangedNotifier(std::function<void()> notify);

  // The last mouse event inside the view, for the DVR's remote control: the
  // network client reads it from its own thread.
  SharedMouse& mouse() { return mouse_; }
  const SharedMouse& mouse() const { return mouse_; }

 private:
  enum class Path { Fast, Bgr24 };

  bool composingAvi() const;
  // A sink is set and its frame fits the capture buffer (none before the
  // first capture).
  bool aviFrameFits() const;
  Size drawingArea() const;
  // The cells of the view on the display, the gap taken off between them.
  SplitLayout viewLayout() const;
  // Records an event at point with state (or the state kept); false, and
  // nothing recorded, outside the view.
  bool recordMouse(Point point, std::optional<int> state);
  bool setSplitLocked(int cells, int page);
  void repaintLocked();
  void setUpFastPath();
  void releaseSurfaces();
  bool prepareBgr24Back();
  bool convertForFastPath(int channel, const std::uint8_t* yuv420);
  // Readies the channel's picture yuv420 (the one just put, or the one kept
  // in yuv_) for drawPicture along path: formats the
  // picture converts straight into need nothing, the others a conversion
  // into video_ (fast path) or rgbBuffer_ (24-bit path). False when the
  // fast path's surface could not be made.
  bool preparePicture(int channel, Path path, const std::uint8_t* yuv420);
  void drawPicture(Canvas& target, const Rect& cell, Path path, int channel, const std::uint8_t* yuv420);
  // Whether a repaint blacks out a visible cell that has no picture.
  bool coversEmptyCell() const;
  void paintGaps(const SplitLayout& layout);
  void drawLabel(Canvas& target, const Rect& cell, int channel);
  void composeAvi(int channel, Path path, const std::uint8_t* yuv420);
  void present();

  VideoPresenter& presenter_;
  TextPainter& painter_;
  MessageSink& messages_;
  mutable std::mutex lock_;

  int channelCount_ = 1;
  int page_ = 0;
  int split_ = 1;
  int lastSplit_ = 1;
  int lastPage_ = 0;
  bool showTime_ = true;
  bool labelsOn_ = false;
  SharedMouse mouse_;
  Size client_;
  std::function<void()> splitChanged_;

  bool fastPathWanted_ = true;
  bool fastPathActive_ = false;
  bool rebuildRequested_ = true;
  bool blankCells_ = false;
  Canvas back_;
  Canvas video_;
  Canvas avi_;
  std::array<bool, kMaxChannels> hasPicture_{};

  bool aviCapture_ = false;
  bool aviComposesView_ = false;
  AviFrameSink* aviSink_ = nullptr;
  std::uint32_t aviMask_ = 0;
  std::vector<std::uint8_t> aviBuffer_;

  std::uint32_t outlineColour_ = rgbColour(20, 20, 20);
  std::uint32_t textColour_ = rgbColour(255, 255, 128);
  FontSpec font_;
  int cellGap_ = 0;
  std::uint32_t gapColour_ = 0;
  std::string timeFormat_ = "%Y/%m/%d %H:%M:%S";
  std::string lastError_;

  std::vector<std::uint8_t> rgbBuffer_;
  std::array<std::vector<std::uint8_t>, kMaxChannels> yuv_;
  // Each channel's label, kept so that an unchanged one redraws quickly.
  std::array<OutlinedLabel, kMaxChannels> labels_;
  std::array<CalendarTime, kMaxChannels> pictureTime_{};
  std::array<Size, kMaxChannels> pictureSize_{};
};

}  // namespace marlin
