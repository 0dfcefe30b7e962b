#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "codec/colour_convert.h"
#include "codec/idct.h"
#include "platform/cpu_features.h"
#include "startcode/start_code_search.h"
#ifdef MARLIN_ARCH_X86_64
#include "codec/x86/colour_convert_init.h"
#include "codec/x86/idct_init.h"
#include "startcode/x86/start_code_search_init.h"
#endif

namespace marlin {
namespace {

#ifdef MARLIN_ARCH_X86_64
// Every vector version of the architecture, whether or not this processor
// has it, must be refused by select.
template <class Kernel, class Select>
void expectEveryVectorVersionRefused(void (*archInit)(std::vector<const Kernel*>&, CpuFlags), Select select) {
  std::vector<const Kernel*> vectorVersions;
  archInit(vectorVersions, kCpuAllFlags);
  EXPECT_FALSE(vectorVersions.empty());
  for (const Kernel* kernel : vectorVersions) {
    EXPECT_THROW(select(*kernel), std::invalid_argument) << kernel->name;
  }
}
#endif

// The only test of its program: the mask has to be set before any hot path
// has made its choice.
TEST(CpuFlagsMask, ZeroLeavesEveryHotPathPortableForGood) {
  setCpuFlagsMask(0);
  EXPECT_EQ(cpuFlags(), 0u);

  EXPECT_EQ(startcode::supportedKernels().size(), 1u);
  EXPECT_EQ(&startcode::activeKernels(), &startcode::portableKernels());
  EXPECT_EQ(codec::supportedIdcts().size(), 1u);
  EXPECT_EQ(&codec::activeIdct(), &codec::portableIdct());
  EXPECT_EQ(colour::supportedKernels().size(), 1u);
  EXPECT_EQ(&colour::activeKernel(), &colour::portableKernel());

#ifdef MARLIN_ARCH_X86_64
  expectEveryVectorVersionRefused(startcode::startCodeSearchInitX86, startcode::selectKernels);
  expectEveryVectorVersionRefused(codec::idctInitX86, codec::selectIdct);
  expectEveryVectorVersionRefused(colour::colourConvertInitX86, colour::selectKernel);
#endif

  // The choices are made; a wider mask now would contradict them.
  EXPECT_THROW(setCpuFlagsMask(kCpuAllFlags), std::logic_error);
  EXPECT_EQ(cpuFlags(), 0u);
  EXPECT_EQ(&codec::activeIdct(), &codec::portableIdct());
}

}  // namespace
}  // namespace marlin
