#pragma once

#include <cstdint>

#include "base/calendar.h"
#include "codec/picture_header.h"
#include "render/split_layout.h"

namespace marlin {

// What a decoded picture puts on screen and when: its channel, or for a dual
// picture each of its two that is not hidden, the time of its block and the
// read position after it.
struct PictureTag {
  int channel = 0;
  bool dual = false;
  int firstChannel = 0;
  int secondChannel = 0;
  bool firstHidden = false;
  bool secondHidden = false;
  CalendarTime time;
  std::uint64_t position = 0;

  static PictureTag of(const codec::PictureHeader& header, const CalendarTime& time, std::uint64_t position);
  ChannelSet channels() const;
};

}  // namespace marlin
