// The generator stream from the fixed seed: the values below are the
// documented seeding deviate, state words, next deviates and resample
// positions of the run's stream.
#include "numeric/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace diffboot::numeric {
namespace {

std::vector<std::int64_t> positions(UniformState& g, std::int64_t n) {
  std::vector<std::int64_t> out;
  for (std::int64_t i = 0; i < n; ++i) out.push_back(resample_position(uniform_deviate(g, g.resampler_seed), n));
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
    EXPECT_EQ(uniform_deviate(g, g.resampler_seed), expected);
  }
  EXPECT_EQ(g.resampler_seed, 1);
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
  EXPECT_EQ(a.resampler_seed, 2) << "the generator initialised from resampler_seed = 1";
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

// Odd combined words m (bit 0 is always set) from m_low on whose deviate,
// times n and truncated, reaches position j: the deviate is monotone in m.
std::uint64_t first_word_at(std::uint64_t j, std::uint64_t n, std::uint64_t m_low) {
  const float scale = std::nextafter(1.0f, 0.0f) * 0x1p-31f;
  std::uint64_t lo = m_low / 2, hi = std::uint64_t{1} << 30;  // odd words 2k + 1, k < 2^30
  while (lo < hi) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    const auto m = static_cast<std::uint32_t>(2 * mid + 1);
    if (static_cast<std::uint64_t>(resample_position(scale * static_cast<float>(m), static_cast<std::int64_t>(n)) - 1) >= j) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return 2 * lo;
}

// The largest relative distance of a position's probability from 1/n when
// each position comes from one deviate, counted exactly over the 2^30 odd words.
double worst_single_deviate_spread(std::uint64_t n) {
  const double expected = static_cast<double>(std::uint64_t{1} << 30) / static_cast<double>(n);
  double worst = 0.0;
  std::uint64_t start = 0;
  for (std::uint64_t j = 0; j < n; ++j) {
    const std::uint64_t next = j + 1 < n ? first_word_at(j + 1, n, start) : std::uint64_t{1} << 31;
    worst = std::max(worst, std::fabs(static_cast<double>(next - start) / 2.0 / expected - 1.0));
    start = next;
  }
  return worst;
}

TEST(RandomTest, SingleDeviateResamplesUpToTheLimit) {
  EXPECT_LE(worst_single_deviate_spread(largest_single_deviate_resample), 0.01);
  EXPECT_GT(worst_single_deviate_spread(largest_single_deviate_resample + 1), 0.01);
  EXPECT_EQ(resample_deviates(largest_single_deviate_resample), largest_single_deviate_resample);
  EXPECT_EQ(resample_deviates(largest_single_deviate_resample + 1), 2 * largest_single_deviate_resample + 2);
}

TEST(RandomTest, ExactDrawsAboveTheLimit) {
  // 2^60 mod 3 = 1: the bits 0 are rejected, the others pick floor(3 bits / 2^60).
  const std::uint64_t top = (std::uint64_t{1} << 60) - 1;
  EXPECT_EQ(position_of_bits(0, 3), std::nullopt);
  EXPECT_EQ(position_of_bits(1, 3), 0u);
  EXPECT_EQ(position_of_bits(top / 3 + 1, 3), 1u);
  EXPECT_EQ(position_of_bits(top, 3), 2u);
  EXPECT_EQ(position_of_bits(top, 4294967295u), 4294967294u);
  // Ten million draws among 200003 positions (50 a position): every one
  // drawn, and the counts' chi-square within five standard deviations of
  // its mean n - 1. The stream is fixed, so this is not a matter of luck.
  const std::size_t n = 200003, rounds = 50;
  UniformState g;
  init_uniform(g);
  UniformState skipped = g;
  const PositionDrawer drawer(n);
  std::vector<std::uint32_t> drawn(n);
  std::vector<double> counts(n, 0.0);
  for (std::size_t r = 0; r < rounds; ++r) {
    drawer.draw(g, drawn);
    for (std::uint32_t p : drawn) counts[p] += 1.0;
  }
  skip_deviates(skipped, rounds * resample_deviates(n));
  EXPECT_EQ(g.lcg_word, skipped.lcg_word) << "two deviates a draw";
  EXPECT_EQ(std::count(counts.begin(), counts.end(), 0.0), 0);
  double chi_square = 0.0;
  for (double c : counts) chi_square += (c - 50.0) * (c - 50.0) / 50.0;
  const double mean = static_cast<double>(n - 1);
  EXPECT_LT(std::fabs(chi_square - mean), 5.0 * std::sqrt(2.0 * mean)) << chi_square;
}

// One word a draw up to 2^20 positions, two beyond (neither rejected at
// these sizes: 2^30 mod 2^20 = 0, and 2^60 mod (2^20 + 1) is below 2^21);
// among 1000 positions, 100 000 draws' chi-square within five standard
// deviations of its mean 999.
TEST(RandomTest, ExactUniformPositions) {
  UniformState g;
  init_uniform(g);
  for (const std::size_t n : {std::size_t{1} << 20, (std::size_t{1} << 20) + 1}) {
    UniformState drawn = g, skipped = g;
    EXPECT_LT(exact_uniform_position(drawn, n), n);
    skip_deviates(skipped, n > std::size_t{1} << 20 ? 2 : 1);
    EXPECT_EQ(drawn.lcg_word, skipped.lcg_word) << n;
  }
  std::vector<double> counts(1000, 0.0);
  for (int i = 0; i < 100000; ++i) counts[exact_uniform_position(g, counts.size())] += 1.0;
  double chi_square = 0.0;
  for (double c : counts) chi_square += (c - 100.0) * (c - 100.0) / 100.0;
  EXPECT_LT(std::fabs(chi_square - 999.0), 5.0 * std::sqrt(2.0 * 999.0)) << chi_square;
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
      for (; done < target; ++done) uniform_deviate(stepped, stepped.resampler_seed);
      UniformState skipped;
      skipped.initial_seed = seed;
      init_uniform(skipped);
      skip_deviates(skipped, target);
      EXPECT_EQ(skipped.lcg_word, stepped.lcg_word) << seed << " " << target;
      EXPECT_EQ(skipped.shift_word, stepped.shift_word) << seed << " " << target;
      EXPECT_EQ(uniform_deviate(skipped, skipped.resampler_seed), uniform_deviate(stepped, stepped.resampler_seed));
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
    for (std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{15}, std::size_t{16},
                          std::size_t{17}, std::size_t{31}, std::size_t{32}, std::size_t{33}, std::size_t{100},
                          std::size_t{1001}, std::size_t{65537}, largest_single_deviate_resample,
                          largest_single_deviate_resample + 1, std::size_t{2000003}}) {
      const PositionDrawer drawer(n);
      for (int round = 0; round < (n > 100000 ? 1 : 3); ++round) {
        std::vector<std::uint32_t> got(n);
        drawer.draw(lanes, got);
        std::vector<std::uint32_t> expected(n);
        for (std::uint32_t& p : expected) p = draw_position(scalar, n);
        ASSERT_EQ(got, expected) << "seed " << seed << " n " << n;
        ASSERT_EQ(lanes.lcg_word, scalar.lcg_word) << n;
        ASSERT_EQ(lanes.shift_word, scalar.shift_word) << n;
      }
    }
  }
  // Runs of draws whose ranges shrink and start again (partial shuffles of
  // `cycle` draws among `first`), and a run of signs; the last run is drawn
  // one after another, for some of its ranges take two deviates.
  struct Run {
    std::size_t count, first, cycle;
  };
  for (const Run r : {Run{33, 10, 4}, Run{3000, 60, 30}, Run{65536, 2, 1}, Run{20001, 6000, 3000},
                      Run{40, largest_single_deviate_resample + 2, 3}}) {
    const PositionDrawer drawer(r.count, r.first, r.cycle);
    std::vector<std::uint32_t> got(r.count), expected(r.count);
    drawer.draw(lanes, got);
    for (std::size_t t = 0; t < r.count; ++t) expected[t] = draw_position(scalar, r.first - t % r.cycle);
    ASSERT_EQ(got, expected) << r.count << " among " << r.first << " cycle " << r.cycle;
    ASSERT_EQ(lanes.lcg_word, scalar.lcg_word);
  }
  for (const std::size_t count : {std::size_t{5}, std::size_t{100}, std::size_t{4099}}) {
    std::vector<std::uint32_t> got(count), expected(count);
    WordDrawer(count).draw(lanes, got);
    for (std::uint32_t& m : expected) m = uniform_word(scalar, scalar.resampler_seed);
    ASSERT_EQ(got, expected) << count << " words";
  }
  UniformState jumped = scalar;
  Jump(12345).apply(jumped);
  skip_deviates(scalar, 12345);
  EXPECT_EQ(jumped.lcg_word, scalar.lcg_word);
  EXPECT_EQ(jumped.shift_word, scalar.shift_word);
}

}  // namespace
}  // namespace diffboot::numeric
