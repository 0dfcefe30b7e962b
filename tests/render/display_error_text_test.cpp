#include <gtest/gtest.h>

#include <string>

#include "render/display_error_text.h"

namespace marlin {
namespace {

TEST(DisplayErrorText, KnownCodesAndTheFallback) {
  EXPECT_STREQ(DisplayErrorText(0), "The request completed successfully.");
  EXPECT_STREQ(DisplayErrorText(static_cast<std::int32_t>(0x8007000E)),
               "DirectDraw does not have enough memory to perform the operation.");
  EXPECT_STREQ(DisplayErrorText(static_cast<std::int32_t>(0x887601C2)),
               "Access to the surface is refused because the surface memory is gone. The DirectDrawSurface object "
               "representing this surface should have the IDirectDrawSurface3::Restore method called on it.");
  EXPECT_STREQ(DisplayErrorText(static_cast<std::int32_t>(0x8876024B)),
               "This surface cannot be restored because it was created in a different mode.");
  EXPECT_STREQ(DisplayErrorText(static_cast<std::int32_t>(0x88760001)), "Recieved an error not part of DirectX 5");
}

}  // namespace
}  // namespace marlin
