#include "source/local_time.h"

#include <gtest/gtest.h>

namespace marlin {
namespace {

TEST(LocalTime, TypedTimesAndBlockTimesMeetInLocalStandardTime) {
  const std::optional<CalendarTime> typed = parseCalendarTime("2010-01-01 12:00:05");
  ASSERT_TRUE(typed);
  const std::optional<std::uint32_t> stamp = blockTimeFromLocal(*typed);
  ASSERT_TRUE(stamp);
  EXPECT_EQ(localTimeText(*stamp), "2010-01-01 12:00:05");
  EXPECT_FALSE(blockTimeFromLocal(*parseCalendarTime("2010-02-30 00:00:00")));
}

TEST(LocalTime, TimesOutsideTheRecordingNameTheEndTheyMissed) {
  const std::uint32_t stamp = *blockTimeFromLocal(*parseCalendarTime("2010-01-01 12:00:00"));
  EXPECT_EQ(outsideRecordingText({TimeMatch::AtOrAfter, 4096, stamp, 3}), "");
  EXPECT_EQ(outsideRecordingText({TimeMatch::BeforeOldest, 0, stamp, 3}),
            " is before the recording, which starts at 2010-01-01 12:00:00");
  EXPECT_EQ(outsideRecordingText({TimeMatch::AfterNewest, 8192, stamp + 10, 3}),
            " is after the recording, which ends at 2010-01-01 12:00:10");
  EXPECT_EQ(outsideRecordingText({TimeMatch::NoValidBlock, 0, 0, 3}),
            ": the recording holds no block with a valid time");
}

}  // namespace
}  // namespace marlin
