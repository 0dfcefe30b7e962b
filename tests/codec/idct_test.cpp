#include "codec/idct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace marlin::codec {
namespace {

using Block = std::array<std::int16_t, 64>;

// ---------------------------------------------------------------------------
// IEEE 1180-1990 accuracy measurement.

// The standard's pseudo-random generator. Only the low 31 bits of randx
// matter, so 32-bit unsigned arithmetic reproduces it exactly.
class Ieee1180Random {
 public:
  long next(long low, long high) {
    randx_ = randx_ * 1103515245u + 12345u;
    const long i = static_cast<long>(randx_ & 0x7FFFFFFEu);
    double x = static_cast<double>(i) / static_cast<double>(0x7FFFFFFF);
    x *= static_cast<double>(low + high + 1);
    const long j = static_cast<long>(x);
    return j - low;
  }

 private:
  std::uint32_t randx_ = 1;
};

// Orthonormal 8-point DCT basis: c[u][x].
struct DctBasis {
  double c[8][8];
  DctBasis() {
    const double pi = std::acos(-1.0);
    for (int u = 0; u < 8; ++u) {
      const double scale = u == 0 ? std::sqrt(0.125) : 0.5;
      for (int x = 0; x < 8; ++x) {
        c[u][x] = scale * std::cos((2 * x + 1) * u * pi / 16.0);
      }
    }
  }
};

const DctBasis& basis() {
  static const DctBasis table;
  return table;
}

double roundHalfUp(double v) { return std::floor(v + 0.5); }

// F[v][u] = sum over y, x of c[v][y] c[u][x] f[y][x], rounded, clipped to
// -2048..2047.
Block forwardDctReference(const long samples[64]) {
  const DctBasis& b = basis();
  double tmp[64];
  for (int y = 0; y < 8; ++y) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int x = 0; x < 8; ++x) {
        sum += b.c[u][x] * static_cast<double>(samples[y * 8 + x]);
      }
      tmp[y * 8 + u] = sum;
    }
  }
  Block out{};
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int y = 0; y < 8; ++y) {
        sum += b.c[v][y] * tmp[y * 8 + u];
      }
      out[v * 8 + u] = static_cast<std::int16_t>(std::clamp(roundHalfUp(sum), -2048.0, 2047.0));
    }
  }
  return out;
}

// f[y][x] = sum over v, u of c[v][y] c[u][x] F[v][u], rounded, clipped to
// -256..255.
Block inverseDctReference(const Block& coefficients) {
  const DctBasis& b = basis();
  double tmp[64];
  for (int v = 0; v < 8; ++v) {
    for (int x = 0; x < 8; ++x) {
      double sum = 0;
      for (int u = 0; u < 8; ++u) {
        sum += b.c[u][x] * coefficients[v * 8 + u];
      }
      tmp[v * 8 + x] = sum;
    }
  }
  Block out{};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      double sum = 0;
      for (int v = 0; v < 8; ++v) {
        sum += b.c[v][y] * tmp[v * 8 + x];
      }
      out[y * 8 + x] = static_cast<std::int16_t>(std::clamp(roundHalfUp(sum), -256.0, 255.0));
    }
  }
  return out;
}

Block residualOf(const IdctKernel& kernel, const Block& coefficients) {
  Block scratch = coefficients;
  Block out{};
  kernel.transformResidual(scratch.data(), out.data());
  return out;
}

struct AccuracyRange {
  long low;
  long high;
};

constexpr int kAccuracyBlocks = 10000;

// The figures the standard asks for, over kAccuracyBlocks blocks.
struct AccuracyFigures {
  int peak = 0;
  double pmse[64] = {};  // per-position mean square error
  double pme[64] = {};   // per-position mean error
  double omse = 0;
  double ome = 0;

  double worstPmse() const { return *std::max_element(std::begin(pmse), std::end(pmse)); }
  double worstPme() const {
    double worst = 0;
    for (const double e : pme) {
      worst = std::max(worst, std::fabs(e));
    }
    return worst;
  }
  bool withinLimits() const {
    return peak <= 1 && worstPmse() <= 0.06 && omse <= 0.02 && worstPme() <= 0.015 && std::fabs(ome) <= 0.0015;
  }
};

using ResidualTransform = std::function<Block(const Block&)>;

// One run of the procedure (one range, one sign) applied to several
// transforms on the same input blocks.
std::vector<AccuracyFigures> measureAccuracy(const AccuracyRange& range, int sign,
                                             const std::vector<ResidualTransform>& transforms) {
  std::vector<std::array<long long, 64>> sums(transforms.size());
  std::vector<std::array<long long, 64>> squares(transforms.size());
  std::vector<AccuracyFigures> figures(transforms.size());
  Ieee1180Random random;  // randx starts at 1 for every run
  for (int n = 0; n < kAccuracyBlocks; ++n) {
    long samples[64];
    for (long& s : samples) {
      s = sign * random.next(range.low, range.high);
    }
    const Block coefficients = forwardDctReference(samples);
    const Block reference = inverseDctReference(coefficients);
    for (std::size_t k = 0; k < transforms.size(); ++k) {
      const Block test = transforms[k](coefficients);
      for (int i = 0; i < 64; ++i) {
        const int e = test[i] - reference[i];
        sums[k][i] += e;
        squares[k][i] += static_cast<long long>(e) * e;
        figures[k].peak = std::max(figures[k].peak, std::abs(e));
      }
    }
  }
  for (std::size_t k = 0; k < transforms.size(); ++k) {
    long long total = 0;
    long long totalSquares = 0;
    for (int i = 0; i < 64; ++i) {
      figures[k].pmse[i] = static_cast<double>(squares[k][i]) / kAccuracyBlocks;
      figures[k].pme[i] = static_cast<double>(sums[k][i]) / kAccuracyBlocks;
      total += sums[k][i];
      totalSquares += squares[k][i];
    }
    figures[k].omse = static_cast<double>(totalSquares) / (64.0 * kAccuracyBlocks);
    figures[k].ome = static_cast<double>(total) / (64.0 * kAccuracyBlocks);
  }
  return figures;
}

class IdctAccuracy : public ::testing::TestWithParam<AccuracyRange> {};

TEST_P(IdctAccuracy, MeetsIeee1180LimitsInEveryVersion) {
  const AccuracyRange range = GetParam();
  const auto kernels = supportedIdcts();
  ASSERT_FALSE(kernels.empty());
  std::vector<ResidualTransform> transforms;
  for (const IdctKernel* kernel : kernels) {
    transforms.push_back([kernel](const Block& b) { return residualOf(*kernel, b); });
  }
  for (const int sign : {1, -1}) {
    const std::vector<AccuracyFigures> figures = measureAccuracy(range, sign, transforms);
    for (std::size_t k = 0; k < kernels.size(); ++k) {
      const AccuracyFigures& f = figures[k];
      const char* name = kernels[k]->name;
      for (int i = 0; i < 64; ++i) {
        EXPECT_LE(f.pmse[i], 0.06) << name << " position " << i;
        EXPECT_LE(std::fabs(f.pme[i]), 0.015) << name << " position " << i;
      }
      EXPECT_LE(f.peak, 1) << name;
      EXPECT_LE(f.omse, 0.02) << name;
      EXPECT_LE(std::fabs(f.ome), 0.0015) << name;

      char line[256];
      std::snprintf(line, sizeof line,
                    "%-8s L=%-3ld H=%-3ld sign=%+d  peak=%d  worst pmse=%.4f  "
                    "omse=%.5f  worst |pme|=%.4f  ome=%+.6f",
                    name, range.low, range.high, sign, f.peak, f.worstPmse(), f.omse, f.worstPme(), f.ome);
      std::cout << "[ IEEE1180 ] " << line << "\n";
      RecordProperty(std::string(name) + (sign > 0 ? "_plus" : "_minus"), line);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Ranges, IdctAccuracy,
                         ::testing::Values(AccuracyRange{256, 255}, AccuracyRange{5, 5}, AccuracyRange{300, 300}),
                         [](const ::testing::TestParamInfo<AccuracyRange>& param) {
                           return "L" + std::to_string(param.param.low) + "H" + std::to_string(param.param.high);
                         });

TEST(IdctAccuracyProcedure, RejectsTransformsThatAreBiasedOrMisoriented) {
  // The measurement itself must be able to fail: the exact transform passes
  // with no error at all, one that truncates instead of rounding fails the
  // mean error limits, and one that swaps rows and columns fails the peak.
  const ResidualTransform exact = inverseDctReference;
  const ResidualTransform truncating = [](const Block& coefficients) {
    const DctBasis& b = basis();
    Block out{};
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        double sum = 0;
        for (int v = 0; v < 8; ++v) {
          for (int u = 0; u < 8; ++u) {
            sum += b.c[v][y] * b.c[u][x] * coefficients[v * 8 + u];
          }
        }
        out[y * 8 + x] = static_cast<std::int16_t>(std::clamp(std::floor(sum), -256.0, 255.0));
      }
    }
    return out;
  };
  const ResidualTransform transposed = [](const Block& coefficients) {
    Block swapped{};
    for (int i = 0; i < 64; ++i) {
      swapped[(i % 8) * 8 + i / 8] = coefficients[i];
    }
    return inverseDctReference(swapped);
  };
  const std::vector<AccuracyFigures> figures = measureAccuracy({256, 255}, 1, {exact, truncating, transposed});
  EXPECT_EQ(figures[0].peak, 0);
  EXPECT_TRUE(figures[0].withinLimits());
  EXPECT_FALSE(figures[1].withinLimits());
  EXPECT_GT(std::fabs(figures[1].ome), 0.0015);
  EXPECT_FALSE(figures[2].withinLimits());
  EXPECT_GT(figures[2].peak, 1);
}

TEST(Idct, ZeroBlockGivesZeroResidualAndBlackPixels) {
  for (const IdctKernel* kernel : supportedIdcts()) {
    const Block zero{};
    EXPECT_EQ(residualOf(*kernel, zero), zero) << kernel->name;
    Block scratch{};
    std::uint8_t pixels[64];
    std::fill(std::begin(pixels), std::end(pixels), 0xAA);
    kernel->transform(scratch.data(), pixels, 8);
    for (const std::uint8_t p : pixels) {
      ASSERT_EQ(p, 0) << kernel->name;
    }
  }
}

TEST(Idct, LoneDcCoefficientGivesTheFlatBlockMean) {
  // A DC value v x 8 is the block whose every sample is v.
  for (const IdctKernel* kernel : supportedIdcts()) {
    for (const int v : {0, 1, 100, 200, 255}) {
      Block block{};
      block[0] = static_cast<std::int16_t>(v * 8);
      std::uint8_t pixels[64];
      kernel->transform(block.data(), pixels, 8);
      for (const std::uint8_t p : pixels) {
        ASSERT_EQ(p, v) << kernel->name;
      }
    }
  }
}

TEST(Idct, MatchesTheExactTransformWithinOneOnDecodableBlocks) {
  // Blocks the decoder can produce: DC 0..2040 and dequantised AC values in
  // -2048..2047, sparse as real content is. Pixels are clamped to 0..255.
  std::mt19937 random(11);
  std::uniform_int_distribution<int> dc(0, 255);
  std::uniform_int_distribution<int> ac(-300, 300);
  std::uniform_int_distribution<int> position(1, 63);
  for (int n = 0; n < 2000; ++n) {
    Block block{};
    block[0] = static_cast<std::int16_t>(dc(random) * 8);
    const int count = 1 + n % 12;
    for (int i = 0; i < count; ++i) {
      block[position(random)] = static_cast<std::int16_t>(ac(random));
    }
    const Block exact = inverseDctReference(block);
    for (const IdctKernel* kernel : supportedIdcts()) {
      Block scratch = block;
      std::uint8_t pixels[64];
      kernel->transform(scratch.data(), pixels, 8);
      for (int i = 0; i < 64; ++i) {
        const int expected = std::clamp<int>(exact[i], 0, 255);
        ASSERT_LE(std::abs(pixels[i] - expected), 1) << kernel->name << " block " << n << " sample " << i;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Agreement between the versions.

// Runs both entry points of kernel on block. Pixels go to an 8x8 area of a
// wider buffer so that writes outside it show up.
struct KernelOutput {
  Block residual{};
  std::array<std::uint8_t, 64> pixels{};
  bool strayWrite = false;
};

KernelOutput runKernel(const IdctKernel& kernel, const Block& block) {
  constexpr std::ptrdiff_t kStride = 24;
  constexpr std::uint8_t kGuard = 0x5C;
  KernelOutput out;
  Block scratch = block;
  kernel.transformResidual(scratch.data(), out.residual.data());
  scratch = block;
  std::array<std::uint8_t, kStride * 10> area;
  area.fill(kGuard);
  std::uint8_t* dest = area.data() + kStride + 8;  // one guard row above, 8 guard columns left
  kernel.transform(scratch.data(), dest, kStride);
  for (std::ptrdiff_t i = 0; i < static_cast<std::ptrdiff_t>(area.size()); ++i) {
    const std::ptrdiff_t offset = i - (kStride + 8);
    const std::ptrdiff_t row = offset >= 0 ? offset / kStride : -1;
    const std::ptrdiff_t column = offset >= 0 ? offset % kStride : -1;
    if (row >= 0 && row < 8 && column >= 0 && column < 8) {
      out.pixels[static_cast<std::size_t>(row * 8 + column)] = area[static_cast<std::size_t>(i)];
    } else if (area[static_cast<std::size_t>(i)] != kGuard) {
      out.strayWrite = true;
    }
  }
  return out;
}

void expectAllVersionsAgree(const Block& block, const char* what, int index) {
  const KernelOutput expected = runKernel(portableIdct(), block);
  ASSERT_FALSE(expected.strayWrite) << "portable " << what << " " << index;
  // The pixel output is the residual clamped further to 0..255.
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(expected.pixels[i], std::clamp<int>(expected.residual[i], 0, 255)) << what << " " << index;
  }
  for (const IdctKernel* kernel : supportedIdcts()) {
    const KernelOutput got = runKernel(*kernel, block);
    ASSERT_FALSE(got.strayWrite) << kernel->name << " " << what << " " << index;
    ASSERT_EQ(got.residual, expected.residual) << kernel->name << " residual, " << what << " " << index;
    ASSERT_EQ(got.pixels, expected.pixels) << kernel->name << " pixels, " << what << " " << index;
  }
}

TEST(IdctVersions, AgreeWithThePortableOneOnRandomBlocks) {
  std::mt19937 random(2024);
  std::uniform_int_distribution<int> dc(0, 2040);
  std::uniform_int_distribution<int> ac(-2048, 2047);
  std::uniform_int_distribution<int> small(-40, 40);
  std::uniform_int_distribution<int> position(0, 63);
  for (int n = 0; n < 20000; ++n) {
    Block block{};
    block[0] = static_cast<std::int16_t>(dc(random));
    const int count = n % 65;
    for (int i = 0; i < count; ++i) {
      block[position(random)] = static_cast<std::int16_t>(n % 3 == 0 ? ac(random) : small(random));
    }
    expectAllVersionsAgree(block, "random block", n);
  }
}

TEST(IdctVersions, AgreeWithThePortableOneOnExtremeDecodableBlocks) {
  // The vector versions regroup the products of the transform; these blocks
  // drive its sums to their largest sizes for decodable coefficients.
  int index = 0;
  // A lone coefficient at its extremes, at every position.
  for (int position = 0; position < 64; ++position) {
    for (const int value : {-2048, 2047, -1, 1}) {
      Block block{};
      block[position] = static_cast<std::int16_t>(value);
      expectAllVersionsAgree(block, "lone coefficient", index++);
    }
  }
  // Every coefficient at -2048 or 2047, each sign pattern chosen so that one
  // output sample (and its row-pass values) takes the largest possible sum.
  const DctBasis& b = basis();
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      for (const int sign : {1, -1}) {
        Block block{};
        for (int v = 0; v < 8; ++v) {
          for (int u = 0; u < 8; ++u) {
            const bool up = sign * b.c[v][y] * b.c[u][x] >= 0;
            block[v * 8 + u] = static_cast<std::int16_t>(up ? 2047 : -2048);
          }
        }
        expectAllVersionsAgree(block, "aligned extremes", index++);
      }
    }
  }
  // Random mixes of the two extremes, zero and the DC range's ends.
  std::mt19937 random(7);
  const std::int16_t values[] = {-2048, 2047, 0, 2040};
  std::uniform_int_distribution<int> pick(0, 3);
  for (int n = 0; n < 1000; ++n) {
    Block block{};
    for (auto& c : block) {
      c = values[pick(random)];
    }
    expectAllVersionsAgree(block, "mixed extremes", index++);
  }
}

TEST(IdctVersions, AgreeWithThePortableOneOnHostileBlocks) {
  // Coefficients anywhere in the 16-bit range drive the 32-bit intermediates
  // past their range; every version must wrap the same way (and the portable
  // one without undefined behaviour).
  std::mt19937 random(99);
  std::uniform_int_distribution<int> any(-32768, 32767);
  std::uniform_int_distribution<int> position(0, 63);
  const std::int16_t extremes[] = {-32768, 32767, -32767, 0, -1, 1, 16384, -16385};
  std::uniform_int_distribution<int> pickExtreme(0, 7);
  for (int n = 0; n < 20000; ++n) {
    Block block{};
    switch (n % 6) {
      case 0:  // every coefficient anywhere
        for (auto& c : block) {
          c = static_cast<std::int16_t>(any(random));
        }
        break;
      case 1:  // only extreme values
        for (auto& c : block) {
          c = extremes[pickExtreme(random)];
        }
        break;
      case 2:  // only row 0: every column takes the DC-only path of the column
               // pass
        for (int i = 0; i < 8; ++i) {
          block[i] = static_cast<std::int16_t>(any(random));
        }
        break;
      case 3:  // only column 0: every row takes the DC-only path of the row pass
        for (int i = 0; i < 8; ++i) {
          block[i * 8] = static_cast<std::int16_t>(any(random));
        }
        break;
      case 4:  // a few large coefficients
        for (int i = 0; i < 1 + n % 5; ++i) {
          block[position(random)] = extremes[pickExtreme(random)];
        }
        break;
      default:  // mixed rows: some DC-only, some full
        for (int row = 0; row < 8; ++row) {
          block[row * 8] = static_cast<std::int16_t>(any(random));
          if (random() & 1) {
            for (int i = 1; i < 8; ++i) {
              block[row * 8 + i] = static_cast<std::int16_t>(any(random));
            }
          }
        }
        break;
    }
    expectAllVersionsAgree(block, "hostile block", n);
  }
}

// ---------------------------------------------------------------------------
// The shortcuts for blocks with one row or one column.

using PixelTransform = void (*)(const std::int16_t*, std::uint8_t*, std::ptrdiff_t);

// Pixels of the shortcut against the portable version's, both written into
// an 8x8 area of a wider buffer so that writes outside it show up.
void expectShortcutAgrees(PixelTransform shortcut, const Block& block, const char* what, int index) {
  constexpr std::ptrdiff_t kStride = 24;
  constexpr std::ptrdiff_t kCorner = kStride + 8;  // one guard row above, 8 guard columns left
  using Area = std::array<std::uint8_t, kStride * 10>;
  Area expected;
  expected.fill(0x5C);
  Area got = expected;
  Block scratch = block;
  portableIdct().transform(scratch.data(), expected.data() + kCorner, kStride);
  const Block input = block;
  shortcut(input.data(), got.data() + kCorner, kStride);
  ASSERT_EQ(input, block) << what << " " << index << ": the block was written";
  ASSERT_EQ(got, expected) << what << " " << index;
}

TEST(IdctShortcuts, AgreeWithThePortableTransformOnEveryLoneDcValue) {
  // Every 16-bit value, the decodable range 0..2040 included: a lone DC
  // coefficient is both a one-column and a one-row block.
  for (int dc = -32768; dc <= 32767; ++dc) {
    Block block{};
    block[0] = static_cast<std::int16_t>(dc);
    expectShortcutAgrees(transformFirstColumnOnly, block, "column, DC", dc);
    expectShortcutAgrees(transformFirstRowOnly, block, "row, DC", dc);
  }
}

TEST(IdctShortcuts, AgreeWithThePortableTransformOnBlocksOfOneRowOrColumn) {
  int index = 0;
  // One coefficient besides the DC at each place of the row or column, at
  // every decodable value.
  for (int place = 1; place < 8; ++place) {
    for (int value = -2048; value <= 2047; ++value) {
      Block row{};
      row[0] = 1000;
      row[place] = static_cast<std::int16_t>(value);
      expectShortcutAgrees(transformFirstRowOnly, row, "row, one AC", index);
      Block column{};
      column[0] = 1000;
      column[8 * place] = static_cast<std::int16_t>(value);
      expectShortcutAgrees(transformFirstColumnOnly, column, "column, one AC", index++);
    }
  }
  // Random rows and columns: decodable values, then any 16-bit ones, which
  // drive the 32-bit intermediates past their range.
  std::mt19937 random(31);
  std::uniform_int_distribution<int> dc(0, 2040);
  std::uniform_int_distribution<int> ac(-2048, 2047);
  std::uniform_int_distribution<int> any(-32768, 32767);
  for (int n = 0; n < 20000; ++n) {
    const bool hostile = n % 2 == 1;
    Block row{};
    Block column{};
    for (int i = 0; i < 8; ++i) {
      const int value = hostile ? any(random) : (i == 0 ? dc(random) : (random() % 3 == 0 ? 0 : ac(random)));
      row[i] = static_cast<std::int16_t>(value);
      column[8 * i] = static_cast<std::int16_t>(value);
    }
    expectShortcutAgrees(transformFirstRowOnly, row, "random row", n);
    expectShortcutAgrees(transformFirstColumnOnly, column, "random column", n);
  }
}

}  // namespace
}  // namespace marlin::codec
