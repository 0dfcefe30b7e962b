#include "platform/kernel_choice.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace marlin {
namespace {

struct Version {
  const char* name;
};

const Version kPortable{"portable"};
const Version kSse2{"sse2"};
const Version kAvx2{"avx2"};

std::vector<const Version*> climbX86Ladder(CpuFlags flags) {
  std::vector<const Version*> versions;
  climbVersionLadder<Version>(versions, flags, {{kCpuSse2, kSse2}, {kCpuAvx2, kAvx2}});
  return versions;
}

TEST(VersionLadder, TakesEachVersionOnlyOnTopOfTheOnesBelowIt) {
  EXPECT_EQ(climbX86Ladder(kCpuSse2 | kCpuAvx2), (std::vector<const Version*>{&kSse2, &kAvx2}));
  EXPECT_EQ(climbX86Ladder(kCpuSse2), (std::vector<const Version*>{&kSse2}));
  EXPECT_TRUE(climbX86Ladder(kCpuAvx2).empty());
  EXPECT_TRUE(climbX86Ladder(0).empty());
}

TEST(KernelChoice, UsesTheFastestVersionAndSelectsOnlySupportedOnes) {
  KernelChoice<Version> choice(kPortable,
                               [](std::vector<const Version*>& versions, CpuFlags) { versions.push_back(&kSse2); });
  ASSERT_EQ(choice.supported().size(), 2u);
  EXPECT_EQ(choice.supported()[0], &kPortable);
  EXPECT_EQ(&choice.active(), &kSse2);

  choice.select(kPortable);
  EXPECT_EQ(&choice.active(), &kPortable);
  EXPECT_THROW(choice.select(kAvx2), std::invalid_argument);
  EXPECT_EQ(&choice.active(), &kPortable);
}

}  // namespace
}  // namespace marlin
