// The generator stream from the fixed seed: the values below are the
// documented seeding deviate, state words, next deviates and resample
// positions of the run's stream.
#include "numeric/random.h"

#include <gtest/gtest.h>

#include <vector>

namespace diffboot::numeric {
namespace {

std::vector<std::int64_t> positions(UniformState& g, std::int64_t n) {
  std::vector<std::int64_t> out;
  for (std::int64_t i = 0; i < n; ++i) out.push_back(resample_position(uniform_deviate(g, g.ran_seed), n));
  return out;
}

TEST(RandomTest, SeedingDeviateAndState) {
  UniformState g;
  std::int32_t seed = fixed_seed;
  EXPECT_EQ(uniform_deviate(g, seed), 0.784068823f);
  EXPECT_EQ(g.lcg_word, 1525703282);
  EXPECT_EQ(g.shift_word, -1096008641);
  EXPECT_EQ(seed, 286761063);
}

TEST(RandomTest, NextFiveDeviates) {
  UniformState g;
  init_uniform(g);
  for (float expected : {0.559464991f, 0.397665501f, 0.45472756f, 0.0548686348f, 0.976943195f}) {
    EXPECT_EQ(uniform_deviate(g, g.ran_seed), expected);
  }
  EXPECT_EQ(g.ran_seed, 1);
}

TEST(RandomTest, ResamplePositions) {
  UniformState g;
  init_uniform(g);
  init_uniform(g);  // a second call consumes nothing
  EXPECT_EQ(positions(g, 10), (std::vector<std::int64_t>{6, 4, 5, 1, 10, 5, 1, 8, 7, 2}));
  EXPECT_EQ(positions(g, 10), (std::vector<std::int64_t>{5, 8, 10, 7, 2, 9, 10, 2, 3, 6}));
}

TEST(RandomTest, ResampleCopiesTheDrawnValues) {
  UniformState g;
  init_uniform(g);
  const std::vector<double> src{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  std::vector<double> dst(10);
  resample(g, src, dst);
  EXPECT_EQ(dst, (std::vector<double>{6, 4, 5, 1, 10, 5, 1, 8, 7, 2}));
}

TEST(RandomTest, UninitialisedResampleSeedsFromRanSeed) {
  UniformState a;
  std::vector<double> dst(1);
  resample(a, std::vector<double>{4.0}, dst);
  EXPECT_EQ(dst[0], 4.0);
  EXPECT_EQ(a.ran_seed, 2) << "the generator initialised from ran_seed = 1";
  UniformState b;
  resample(b, std::vector<double>{}, dst);
  EXPECT_EQ(b.lcg_word, -1) << "n = 0 draws nothing";
}

TEST(RandomTest, PositionCapAndExtremeDeviates) {
  const float largest = 1.0f - 0x1p-24f;
  EXPECT_EQ(resample_position(largest, 10), 10);
  EXPECT_EQ(resample_position(largest, 1 << 20), 1 << 20);
  EXPECT_EQ(resample_position(largest, (1 << 24) + 1), 1 << 24) << "n is not exact in single precision";
  EXPECT_EQ(resample_position(4.6566126e-10f, 10), 1);
}

TEST(RandomTest, MostNegativeSeedDoesNotOverflow) {
  UniformState g;
  std::int32_t seed = -2147483647 - 1;
  const float u = uniform_deviate(g, seed);
  EXPECT_GT(u, 0.0f);
  EXPECT_LT(u, 1.0f);
}

TEST(RandomTest, SkippingEqualsStepping) {
  for (std::int32_t seed : {fixed_seed, -1, -2147483647}) {
    UniformState stepped;
    stepped.initial_seed = seed;
    init_uniform(stepped);
    std::uint64_t done = 0;
    for (std::uint64_t target : {0ull, 1ull, 2ull, 31ull, 1000ull, 123457ull, 2000000ull}) {
      for (; done < target; ++done) uniform_deviate(stepped, stepped.ran_seed);
      UniformState skipped;
      skipped.initial_seed = seed;
      init_uniform(skipped);
      skip_deviates(skipped, target);
      EXPECT_EQ(skipped.lcg_word, stepped.lcg_word) << seed << " " << target;
      EXPECT_EQ(skipped.shift_word, stepped.shift_word) << seed << " " << target;
      EXPECT_EQ(uniform_deviate(skipped, skipped.ran_seed), uniform_deviate(stepped, stepped.ran_seed));
      ++done;
    }
  }
}

// Positions from the lanes against one deviate after another, for seeds
// including one whose congruential word starts at 2^31 - 1 (its residue is 0
// from then on), and sizes around the lanes' parts up to two million.
TEST(RandomTest, LanesOfPositionsEqualOneChain) {
  UniformState scalar, lanes;
  const std::int32_t seeds[] = {fixed_seed, -1, -(0x7FFFFFFF ^ 888889999)};
  for (const std::int32_t seed : seeds) {
    scalar = lanes = UniformState{};
    scalar.initial_seed = lanes.initial_seed = seed;
    init_uniform(scalar);
    init_uniform(lanes);
    for (std::size_t n : {1, 2, 3, 15, 16, 17, 31, 32, 33, 100, 1001, 65537, 2000003}) {
      const PositionDrawer drawer(n);
      for (int round = 0; round < (n > 100000 ? 1 : 3); ++round) {
        std::vector<std::uint32_t> got(n);
        drawer.draw(lanes, got);
        std::vector<std::uint32_t> expected(n);
        for (std::uint32_t& p : expected) {
          p = static_cast<std::uint32_t>(
              resample_position(uniform_deviate(scalar, scalar.ran_seed), static_cast<std::int64_t>(n)) - 1);
        }
        ASSERT_EQ(got, expected) << "seed " << seed << " n " << n;
        ASSERT_EQ(lanes.lcg_word, scalar.lcg_word) << n;
        ASSERT_EQ(lanes.shift_word, scalar.shift_word) << n;
      }
    }
  }
  UniformState jumped = scalar;
  Jump(12345).apply(jumped);
  skip_deviates(scalar, 12345);
  EXPECT_EQ(jumped.lcg_word, scalar.lcg_word);
  EXPECT_EQ(jumped.shift_word, scalar.shift_word);
}

}  // namespace
}  // namespace diffboot::numeric
