#include "engine/picture_tag.h"

namespace marlin {

PictureTag PictureTag::of(const codec::PictureHeader& header, const CalendarTime& time, std::uint64_t position) {
  return PictureTag{.channel = header.channel,
                    .dual = header.dual,
                    .firstChannel = header.firstChannel,
                    .secondChannel = header.secondChannel,
                    .firstHidden = header.firstHidden,
                    .secondHidden = header.secondHidden,
                    .time = time,
                    .position = position};
}

ChannelSet PictureTag::channels() const {
  ChannelSet set;
  if (!dual) {
    set.set(static_cast<std::size_t>(channel & 0x0F));
    return set;
  }
  if (!firstHidden) {
    set.set(static_cast<std::size_t>(firstChannel & 0x0F));
  }
  if (!secondHidden) {
    set.set(static_cast<std::size_t>(secondChannel & 0x0F));
  }
  return set;
}

}  // namespace marlin
