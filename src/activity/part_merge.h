#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "activity/activity_index.h"
#include "activity/range_scanner.h"
#include "base/status.h"

namespace marlin::activity {

// One camera's parts, merged in the order of the recording onto what an
// earlier index of it holds. Whether the camera's changes come from
// conditional pictures is known only once one is seen: until then each
// second keeps the changes its conditional pictures showed aside, ready to
// take their place.
class ChannelMerge {
 public:
  explicit ChannelMerge(ChannelActivity& out);

  // partsLeft: how many parts are still to come after this one, to make
  // room for them at once.
  void add(ChannelPart& part, std::size_t partsLeft);
  // Each second's last refresh picture at or before its first picture.
  void finish();

 private:
  void becomeConditional();
  void append(const SecondActivity& second, const PictureActivity& coded);

  ChannelActivity& out_;
  bool conditional_;
  // While the camera has shown no conditional picture: the changes its
  // conditional pictures would give out_.seconds[asideFrom_...].
  std::size_t asideFrom_;
  std::vector<PictureActivity> codedAside_;
  std::vector<std::uint64_t> refreshPositions_;
};

// Merges the ranges' parts in the order of the recording as they are read,
// each as soon as the ones before it are in: a part's memory goes back to
// the workers for the next ranges instead of waiting for the last one, and
// fresh memory, which costs a page fault per page, is asked for once.
class PartMerge {
 public:
  // out holds what an earlier index held (nothing for a new build).
  PartMerge(ActivityIndex& out, std::size_t parts);
  PartMerge(const PartMerge&) = delete;
  PartMerge& operator=(const PartMerge&) = delete;

  // From any worker, once per part.
  void add(std::size_t index, RangePart part);
  // Once every part was added: the first failure of a part, in the order of
  // the recording, or the merged index.
  Status finish();

 private:
  void merge(RangePart& part, std::size_t partsLeft);

  ActivityIndex& out_;
  std::mutex lock_;
  std::vector<std::optional<RangePart>> waiting_;
  std::size_t next_ = 0;
  bool merging_ = false;  // a worker is merging the parts from next_ on
  // Only the merging worker touches these until finish.
  std::vector<ChannelMerge> channels_;
  Status failure_;
};

}  // namespace marlin::activity
