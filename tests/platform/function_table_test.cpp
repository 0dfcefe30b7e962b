#include "platform/function_table.h"

#include <gtest/gtest.h>

#include <atomic>

namespace marlin {
namespace {

struct Answers {
  int (*answer)() = nullptr;
};

std::atomic<int> missingFills{0};
Status missAnswer(Answers&) {
  ++missingFills;
  return Status::failure(StatusCode::Unsupported, "libanswers.so.1: cannot open shared object file");
}

TEST(FunctionTable, KeepsTheFailureAndRefusesToHandOutTheFunctions) {
  using Table = FunctionTable<Answers, missAnswer>;
  EXPECT_EQ(Table::load().message(), "libanswers.so.1: cannot open shared object file");
  EXPECT_FALSE(Table::load());
  EXPECT_EQ(missingFills, 1);
  EXPECT_DEATH(Table::functions(), "libanswers.so.1: cannot open shared object file");
}

}  // namespace
}  // namespace marlin
