#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "render/video_presenter.h"

namespace marlin {

// A display in memory for tests and command-line tools. Its settings and
// what it kept are read and changed from one thread while no picture is
// being presented; only the present count may be read at any time.
class OffscreenPresenter final : public VideoPresenter {
 public:
  explicit OffscreenPresenter(Size clientSize = {}, SurfaceFormat format = SurfaceFormat::Rgb32);

  void setClientSize(Size size) { size_ = size; }
  void setSurfaceFormat(SurfaceFormat format) { format_ = format; }
  // Copying every presented picture would cost more than composing it, so
  // the copy is kept only when asked for.
  void setKeepPresented(bool keep) { keep_ = keep; }

  int presentCount() const { return presents_.load(std::memory_order_relaxed); }
  // The last picture presented while keeping was on.
  const Canvas& lastPresented() const { return presented_; }
  const std::vector<std::uint8_t>& clipboard() const { return clipboard_; }

  SurfaceFormat surfaceFormat() const override { return format_; }
  Size clientSize() const override { return size_; }
  void present(const Canvas& back) override;
  void copyToClipboard(std::span<const std::uint8_t> dib) override;

 private:
  Size size_;
  SurfaceFormat format_;
  bool keep_ = false;
  std::atomic<int> presents_{0};
  Canvas presented_;
  std::vector<std::uint8_t> clipboard_;
};

}  // namespace marlin
