#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/function_table.h"

namespace marlin {
namespace {

int answer() { return 42; }

struct Answers {
  int (*answer)() = nullptr;
};

std::atomic<int> foundFills{0};
Status findAnswer(Answers& functions) {
  ++foundFills;
  functions.answer = &answer;
  return Status::ok();
}

std::atomic<int> missingFills{0};
Status missAnswer(Answers&) {
  ++missingFills;
  return Status::failure(StatusCode::Unsupported, "libanswers.so.1: cannot open shared object file");
}

TEST(FunctionTable, FillsOnceForAllThreads) {
  using Table = FunctionTable<Answers, findAnswer>;
  std::vector<std::thread> callers;
  std::atomic<int> answered{0};
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&answered] {
      if (Table::load() && Table::functions().answer() == 42) ++answered;
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(answered, 4);
  EXPECT_EQ(foundFills, 1);
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
