#include "platform/shared_library.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace marlin {
namespace {

using Length = std::size_t(const char*);

TEST(SharedLibrary, ReportsALibraryThatIsMissing) {
  SharedLibrary missing("libmarlin-no-such-library.so.7");
  EXPECT_FALSE(missing.isOpen());
  EXPECT_NE(missing.error().find("libmarlin-no-such-library.so.7"), std::string::npos) << missing.error();

  // Nothing is looked up in it, and the reason stays the library's.
  Length* length = nullptr;
  EXPECT_FALSE(missing.find("strlen", length));
  EXPECT_EQ(length, nullptr);
  EXPECT_EQ(missing.symbol("strlen"), nullptr);
  EXPECT_NE(missing.error().find("libmarlin-no-such-library.so.7"), std::string::npos) << missing.error();
}

TEST(SharedLibrary, FindsFunctionsAndNamesTheOnesItLacks) {
  SharedLibrary c("libc.so.6");
  ASSERT_TRUE(c.isOpen()) << c.error();
  EXPECT_EQ(c.error(), "");

  Length* length = nullptr;
  ASSERT_TRUE(c.find("strlen", length)) << c.error();
  EXPECT_EQ(length("marlin"), 6u);

  EXPECT_FALSE(c.find("marlin_no_such_function", length));
  EXPECT_EQ(length, nullptr);
  EXPECT_NE(c.error().find("marlin_no_such_function"), std::string::npos) << c.error();
}

}  // namespace
}  // namespace marlin
