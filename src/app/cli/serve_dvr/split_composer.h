#pragma once

#include "codec/yuv_picture.h"
#include "render/split_layout.h"

namespace marlin::cli::serve_dvr {

// The picture a DVR shows on its own monitor and sends to a client: its
// cameras' latest pictures side by side in a split (2x2, 3x3, 4x4), or one
// camera alone across the whole picture. Each camera's picture is scaled into
// its cell and stays there until that camera's next picture replaces it.
class SplitComposer {
 public:
  // split cells per page as render's layout places them; page chooses which
  // cameras show (page c of a split of 1 is camera c alone).
  SplitComposer(Size area, int split, int page);

  // Scales picture into camera's cell; false when camera has no cell here.
  bool place(int camera, const YuvPicture& picture);
  const YuvPicture& picture() const { return canvas_; }

 private:
  SplitLayout layout_;
  YuvPicture canvas_;
};

// The split a DVR with this many cameras shows them all in: 4, 9 or 16.
int splitForCameras(int cameras);

}  // namespace marlin::cli::serve_dvr
