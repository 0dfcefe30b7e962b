#pragma once

#include <cstdint>
#include <span>

#include "codec/colour_convert.h"
#include "render/canvas.h"
#include "render/geometry.h"

namespace marlin {

// The display the renderer draws for: a window on the desktop, or memory in
// tests and command-line tools. Apart from copyToClipboard, the renderer
// calls it with its lock held, from the window's thread or from the thread
// that delivers pictures, so it must not call back into the renderer.
class VideoPresenter {
 public:
  virtual ~VideoPresenter() = default;

  // The display's pixel format; the renderer composes in it so that showing
  // a picture needs no conversion.
  virtual SurfaceFormat surfaceFormat() const = 0;
  // The drawing area; 0 x 0 while there is no window.
  virtual Size clientSize() const = 0;
  // Shows the composed picture of the whole drawing area.
  virtual void present(const Canvas& back) = 0;
  // Shows the composed picture where only area changed since the last
  // present; a display that copies pictures may copy just that.
  virtual void presentArea(const Canvas& back, const Rect& area) {
    static_cast<void>(area);
    present(back);
  }
  // A still of what is shown, as a 24-bit device-independent bitmap: a
  // 40-byte info header and bottom-up B, G, R rows padded to 4 bytes.
  virtual void copyToClipboard(std::span<const std::uint8_t> dib) = 0;
};

}  // namespace marlin
