#include "render/offscreen_presenter.h"

namespace marlin {

OffscreenPresenter::OffscreenPresenter(Size clientSize, SurfaceFormat format) : size_(clientSize), format_(format) {}

void OffscreenPresenter::present(const Canvas& back) {
  presents_.fetch_add(1, std::memory_order_relaxed);
  if (keep_) {
    presented_ = back;
  }
}

void OffscreenPresenter::copyToClipboard(std::span<const std::uint8_t> dib) {
  clipboard_.assign(dib.begin(), dib.end());
}

}  // namespace marlin
