#include "render/pixel_picking.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace marlin {
namespace {

class PickingKernelGuard {
 public:
  PickingKernelGuard() : saved_(picking::activeKernel()) {}
  ~PickingKernelGuard() { picking::selectKernel(saved_); }

 private:
  const picking::Kernel& saved_;
};

// Every count up to a few vector widths, so each version's whole steps and
// its leftover pixels are both met; the bytes past count stay untouched.
TEST(PixelPicking, EveryVersionPicksTheEvenPixelsAsThePortableOneDoes) {
  PickingKernelGuard guard;
  std::vector<std::uint8_t> row(8 * 40);
  for (std::size_t i = 0; i < row.size(); ++i) {
    row[i] = static_cast<std::uint8_t>(i * 37 + 11);
  }
  for (const picking::Kernel* kernel : picking::supportedKernels()) {
    for (int count = 0; count <= 40; ++count) {
      std::vector<std::uint8_t> picked(4 * 41, 0xA5);
      kernel->everyOtherPixel32(picked.data(), row.data(), count);
      std::vector<std::uint8_t> expected(4 * 41, 0xA5);
      for (int i = 0; i < count; ++i) {
        for (int b = 0; b < 4; ++b) {
          expected[4 * i + b] = row[8 * i + b];
        }
      }
      EXPECT_EQ(picked, expected) << kernel->name << " picking " << count;
    }
  }
}

}  // namespace
}  // namespace marlin
