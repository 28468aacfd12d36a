// Resample statistics read off counts against the literal route: resample,
// then ave_var and med_mad on the resample, bit for bit, over many draws;
// beyond largest_single_deviate_resample, draws by rank against positions
// drawn one after another in the sorted sample.
#include "bootstrap/resample_stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "numeric/accurate_sum.h"
#include "numeric/quantiles.h"
#include "numeric/summaries.h"
#include "support/samples.h"

namespace diffboot::bootstrap {
namespace {

using testing::bits;

std::vector<double> sample(const std::string& shape, std::size_t n) { return testing::shaped_sample(shape, n, n * 31); }

// Whether u and v hold the same values, bit for bit (NaN included).
bool same_bits(std::span<const double> u, std::span<const double> v) {
  return std::ranges::equal(u, v, [](double p, double q) { return bits(p) == bits(q); });
}

TEST(ResampleStatsTest, CountsAgreeWithMedMadOnTheResample) {
  for (const char* shape : {"random", "tied", "skewed", "signed zeros", "nan"}) {
    for (std::size_t n : {1, 2, 3, 4, 5, 10, 11, 64, 101}) {
      const std::vector<double> x = sample(shape, n);
      ResampleCounter counter(x);
      numeric::UniformState fast, literal;
      numeric::init_uniform(fast);
      numeric::init_uniform(literal);
      std::vector<double> expected(n);
      for (int rep = 0; rep < 200; ++rep) {
        const ResampleStats s = counter.draw(fast);
        numeric::resample(literal, x, expected);
        double ave, var, med, mad;
        numeric::ave_var(expected, ave, var);
        numeric::med_mad(expected, med, mad);
        const std::string what = std::string(shape) + " n=" + std::to_string(n) + " rep " + std::to_string(rep);
        ASSERT_EQ(bits(s.ave), bits(ave)) << what;
        ASSERT_EQ(bits(s.std), bits(std::sqrt(var))) << what;
        ASSERT_EQ(bits(s.med), bits(med)) << what;
        ASSERT_EQ(bits(s.mad), bits(mad)) << what;
        const std::span<const double> out = counter.resample();
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(bits(out[i]), bits(expected[i])) << what;
      }
    }
  }
}

// The p-quantile of a sorted copy of v.
double quantile_of(std::span<const double> v, double p) {
  std::vector<double> sorted(v.begin(), v.end());
  std::sort(sorted.begin(), sorted.end());
  return numeric::quantile_of_ranks(sorted.size(), p, [&sorted](std::size_t k) { return sorted[k - 1]; });
}

TEST(ResampleStatsTest, QuantilesAgreeWithTheSortedResample) {
  // Counted, drawn by rank (beyond 131609 values) and selected (signed zeros).
  struct Case {
    const char* shape;
    std::size_t n;
    int draws;
  };
  const Case cases[] = {{"random", 2, 50},  {"random", 101, 50}, {"tied", 10, 50}, {"signed zeros", 11, 50},
                        {"random", 131610, 2}, {"tied", 131611, 2}};
  for (const Case& c : cases) {
    const std::vector<double> x = sample(c.shape, c.n);
    ResampleCounter counter(x);
    numeric::UniformState g;
    numeric::init_uniform(g);
    for (int rep = 0; rep < c.draws; ++rep) {
      counter.draw(g, {false, true, false});
      for (double p : {0.001, 0.1, 0.5, 0.9, 0.99}) {
        ASSERT_EQ(counter.quantile(p), quantile_of(counter.resample(), p)) << c.shape << " n=" << c.n << " p " << p;
      }
    }
  }
}

TEST(ResampleStatsTest, LargeSamplesCopiesAndTheMeanAndMedianAlone) {
  // Beyond 2^17 values the gathering asks for its reads ahead; a copy of a
  // counter shares its sorted order; without spread the mean and median
  // keep their bits. All against the literal route.
  for (const char* shape : {"random", "tied"}) {
    const std::vector<double> x = sample(shape, (std::size_t{1} << 17) + 3);
    const ResampleCounter original(x);
    ResampleCounter counter = original;
    numeric::UniformState fast, literal;
    numeric::init_uniform(fast);
    numeric::init_uniform(literal);
    std::vector<double> expected(x.size());
    for (bool spread : {true, false}) {
      const ResampleStats s = counter.draw(fast, {spread, true, spread});
      numeric::resample(literal, x, expected);
      double ave, var, med, mad;
      numeric::ave_var(expected, ave, var);
      numeric::med_mad(expected, med, mad);
      EXPECT_EQ(bits(s.ave), bits(ave)) << shape;
      EXPECT_EQ(bits(s.med), bits(med)) << shape;
      if (spread) {
        EXPECT_EQ(bits(s.std), bits(std::sqrt(var))) << shape;
        EXPECT_EQ(bits(s.mad), bits(mad)) << shape;
      }
      const std::span<const double> out = counter.resample();
      EXPECT_TRUE(std::equal(out.begin(), out.end(), expected.begin(), expected.end())) << shape;
    }
  }
}

TEST(ResampleStatsTest, LargeSamplesDrawByRank) {
  // The median and MAD are those of the resample of sorted values at the
  // drawn positions, bit for bit; the mean and standard deviation are the
  // counts' sums, close to exact ones and to ave_var's on that resample.
  const std::size_t n = numeric::largest_single_deviate_resample + 1;
  for (const char* shape : {"random", "tied", "skewed"}) {
    const std::vector<double> x = sample(shape, n);
    std::vector<double> sorted = x;
    std::sort(sorted.begin(), sorted.end());
    ResampleCounter counter(x);
    ASSERT_TRUE(counter.by_rank()) << shape;
    numeric::UniformState fast, literal;
    numeric::init_uniform(fast);
    numeric::init_uniform(literal);
    for (bool spread : {true, false}) {
      const ResampleStats s = counter.draw(fast, {spread, true, spread});
      std::vector<double> expected(n);
      std::vector<std::uint32_t> count(n);
      for (double& v : expected) {
        const std::uint32_t p = numeric::draw_position(literal, n);
        v = sorted[p];
        ++count[p];
      }
      double ave, var, med, mad;
      numeric::ave_var(expected, ave, var);
      numeric::med_mad(expected, med, mad);
      std::vector<std::uint32_t> below(n + 1);
      std::partial_sum(count.begin(), count.end(), below.begin() + 1);
      const numeric::MeanSd m = counted_moments(sorted, below, spread);
      EXPECT_EQ(bits(s.ave), bits(m.ave)) << shape;
      EXPECT_EQ(bits(s.std), bits(m.sd)) << shape;
      // Within 1e-13 of the mean magnitude of the accurately summed mean (the
      // in-order sum of the tied sample is off by 3e-13 of it; the counts' by 3e-14).
      double magnitude = 0.0;
      for (double v : expected) magnitude += std::fabs(v) / static_cast<double>(n);
      EXPECT_NEAR(s.ave, numeric::accurate_sum(expected).value() / static_cast<double>(n), 1e-13 * magnitude);
      EXPECT_EQ(bits(s.med), bits(med)) << shape;
      if (spread) {
        EXPECT_NEAR(s.std, std::sqrt(var), 1e-12 * std::sqrt(var)) << shape;
        EXPECT_EQ(bits(s.mad), bits(mad)) << shape;
      }
      const std::span<const double> out = counter.resample();
      EXPECT_TRUE(std::equal(out.begin(), out.end(), expected.begin(), expected.end())) << shape;
      EXPECT_EQ(fast.lcg_word, literal.lcg_word);
      EXPECT_EQ(fast.shift_word, literal.shift_word);
    }
  }
  std::vector<double> with_infinity = sample("random", n);
  with_infinity[7] = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(ResampleCounter(with_infinity).by_rank()) << "an infinity keeps the written order";
  EXPECT_FALSE(ResampleCounter(sample("equal", n)).by_rank()) << "so does one value repeated";
  EXPECT_FALSE(ResampleCounter(sample("random", n - 1)).by_rank());
}

TEST(ResampleStatsTest, CountedMoments) {
  // Against ave_var on the resample written out: 2, 2, 3, 5, 5 (mean 3.4,
  // variance 9.2 / 4); 1e300 and 1.5e300, whose squared deviations overflow
  // unless scaled (mean 1.25e300, standard deviation 0.25e300·√2).
  struct Case {
    std::vector<double> sorted;
    std::vector<std::uint32_t> below;
    std::vector<double> resample;
  };
  const Case cases[] = {
      {{1, 2, 3, 4, 5}, {0, 0, 2, 3, 3, 5}, {2, 2, 3, 5, 5}},
      {{1e300, 1.5e300}, {0, 1, 2}, {1e300, 1.5e300}},
      {{-1e300, 0.5, 1e300}, {0, 2, 2, 3}, {-1e300, -1e300, 1e300}},
  };
  for (const Case& c : cases) {
    const numeric::MeanSd m = counted_moments(c.sorted, c.below, true);
    const numeric::MeanSd expected = numeric::mean_and_sd(c.resample);
    EXPECT_DOUBLE_EQ(m.ave, expected.ave) << c.resample[0];
    EXPECT_DOUBLE_EQ(m.sd, expected.sd) << c.resample[0];
    EXPECT_EQ(counted_moments(c.sorted, c.below, false).sd, 0.0);
  }
}

TEST(ResampleStatsTest, CumulativeCountsBeyondAByte) {
  // Rank 1 drawn 300 times: its narrow count is 300 − 256 = 44, so the
  // counts add up to 256 too few and the ranks are counted again.
  for (std::uint32_t times : {255u, 256u, 300u}) {
    std::vector<std::uint32_t> ranks(times, 1);
    ranks.push_back(2);
    std::vector<std::uint8_t> narrow{0, static_cast<std::uint8_t>(times % 256), 1};
    std::vector<std::uint32_t> below(4);
    cumulative_counts(narrow, ranks, below);
    EXPECT_EQ(below, (std::vector<std::uint32_t>{0, 0, times, times + 1})) << times;
  }
}

// A companion of each value (here 3 x + 1, tied values' alike) averaged over
// the last resample's draws: by rank where the sample is counted (in the
// written order and by rank), by position where it is not (a −0).
TEST(ResampleStatsTest, CompanionMeansFollowTheDraws) {
  for (std::size_t n : {9, 200, 140000}) {
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<double>((i * 7919) % 97) / 8.0;
    if (n == 9) x[4] = -0.0;
    const ResampleCounter counter(x);
    std::vector<double> by_rank, by_position;
    for (double v : x) by_position.push_back(3.0 * v + 1.0);
    for (std::uint32_t p : counter.positions_by_rank()) by_rank.push_back(by_position[p]);
    EXPECT_EQ(by_rank.size(), n == 9 ? 0 : n);
    numeric::UniformState g;
    g.initial_seed = -5;
    numeric::init_uniform(g);
    ResampleCounter drawing = counter;
    for (int k = 0; k < 3; ++k) {
      const double mean = drawing.draw(g).ave;
      EXPECT_NEAR(drawing.companion_mean(by_rank, by_position), 3.0 * mean + 1.0, 1e-12 * (3.0 * mean + 1.0)) << n;
    }
  }
}

TEST(ResampleStatsTest, DrawBothIsTwoDrawsInTurn) {
  // Side by side or in turn (samples not counted, or too large for the
  // side-by-side sums), whatever is wanted of them, the same statistics,
  // resamples and generator state as a.draw and then b.draw wanting
  // everything. The huge values' sums overflow and are formed again.
  const std::vector<double> huge(37, 1e308);
  struct Case {
    std::vector<double> a, b;
  };
  const std::vector<Case> cases = {{sample("random", 2), sample("tied", 2)},
                                   {sample("skewed", 101), sample("random", 10)},
                                   {sample("tied", 3), sample("few values", 64)},
                                   {huge, sample("random", 40)},
                                   {sample("nan", 20), sample("random", 20)},
                                   {sample("random", (std::size_t{1} << 17) + 3), sample("tied", 5)}};
  for (const Case& c : cases) {
    for (Wanted wanted : {Wanted{}, Wanted{false, true, false}, Wanted{true, false, false}, Wanted{false, false, false}}) {
      ResampleCounter a(c.a), b(c.b), a_alone = a, b_alone = b;
      numeric::UniformState both, alone;
      numeric::init_uniform(both);
      numeric::init_uniform(alone);
      for (int rep = 0; rep < 20; ++rep) {
        const auto [s, t] = ResampleCounter::draw_both(a, b, both, wanted);
        const ResampleStats s_alone = a_alone.draw(alone);
        const ResampleStats t_alone = b_alone.draw(alone);
        const std::string what = std::to_string(c.a.size()) + "," + std::to_string(c.b.size()) + " rep " +
                                 std::to_string(rep) + " wanted " + std::to_string(wanted.sd) +
                                 std::to_string(wanted.order) + std::to_string(wanted.mad);
        for (auto [got, expected] : {std::pair{s, s_alone}, std::pair{t, t_alone}}) {
          ASSERT_EQ(bits(got.ave), bits(expected.ave)) << what;
          ASSERT_EQ(bits(got.std), bits(wanted.sd ? expected.std : 0.0)) << what;
          ASSERT_EQ(bits(got.med), bits(wanted.order ? expected.med : 0.0)) << what;
          ASSERT_EQ(bits(got.mad), bits(wanted.mad ? expected.mad : 0.0)) << what;
        }
        const auto counts = [&](const ResampleCounter& r) { return wanted.order ? r.below() : std::span<const std::uint32_t>(); };
        ASSERT_TRUE(std::ranges::equal(a.below(), counts(a_alone)) && std::ranges::equal(b.below(), counts(b_alone))) << what;
        ASSERT_TRUE(same_bits(a.resample(), a_alone.resample()) && same_bits(b.resample(), b_alone.resample())) << what;
        ASSERT_EQ(numeric::uniform_word(both, both.resampler_seed), numeric::uniform_word(alone, alone.resampler_seed)) << what;
      }
    }
  }
}

TEST(ResampleStatsTest, ReplicationsAreDrawBothInTurn) {
  // Variance sums one replication behind (samples that fit the caches, far
  // from overflow), means two replications at a time (nothing else wanted)
  // or neither (huge values, NaN, too large, no spread wanted):
  // each replication's statistics, counts at `counted` and last resamples as
  // draw_both in turn gives them.
  const std::vector<double> huge(37, 1e308);
  struct Case {
    std::vector<double> a, b;
    Wanted wanted;
    std::size_t last = 20;  // replications 3 to last − 1
  };
  const std::vector<Case> cases = {{sample("random", 2), sample("tied", 3), Wanted{}},
                                   {sample("skewed", 101), sample("random", 10), Wanted{}},
                                   {sample("tied", 64), sample("few values", 65), Wanted{true, false, false}},
                                   {sample("random", 30), sample("random", 30), Wanted{false, true, false}},
                                   {sample("random", 30), sample("tied", 41), Wanted{false, false, false}},
                                   {sample("tied", 41), sample("random", 30), Wanted{false, false, false}, 21},
                                   {huge, sample("random", 40), Wanted{}},
                                   {sample("nan", 20), sample("random", 20), Wanted{}},
                                   {sample("random", (std::size_t{1} << 17) + 3), sample("tied", 5), Wanted{}, 5}};
  for (const Case& c : cases) {
    ResampleCounter a(c.a), b(c.b), a_alone = a, b_alone = b;
    numeric::UniformState run, alone;
    numeric::init_uniform(run);
    numeric::init_uniform(alone);
    const std::size_t first = 3, last = c.last;
    std::vector<ResampleStats> expected_a, expected_b;
    std::vector<std::vector<std::uint32_t>> counts_a, counts_b;
    for (std::size_t k = first; k < last; ++k) {
      const auto [s, t] = ResampleCounter::draw_both(a_alone, b_alone, alone, c.wanted);
      expected_a.push_back(s), expected_b.push_back(t);
      counts_a.emplace_back(a_alone.below().begin(), a_alone.below().end());
      counts_b.emplace_back(b_alone.below().begin(), b_alone.below().end());
    }
    const std::string what = std::to_string(c.a.size()) + "," + std::to_string(c.b.size());
    const auto same = [&](const ResampleStats& got, const ResampleStats& expected, bool spread) {
      return bits(got.ave) == bits(expected.ave) && bits(got.med) == bits(expected.med) &&
             bits(got.mad) == bits(expected.mad) && (!spread || bits(got.std) == bits(expected.std));
    };
    std::size_t next_counted = first, next_spread = first;  // each in turn, spread(k) after counted(k)
    ResampleCounter::draw_replications(
        a, b, run, c.wanted, first, last,
        [&](std::size_t k, const ResampleStats& s, const ResampleStats& t) {
          EXPECT_EQ(k, next_counted++) << what;
          EXPECT_TRUE(same(s, expected_a[k - first], false) && same(t, expected_b[k - first], false)) << what << " " << k;
          EXPECT_TRUE(std::ranges::equal(a.below(), counts_a[k - first]) && std::ranges::equal(b.below(), counts_b[k - first]))
              << what << " " << k;
        },
        [&](std::size_t k, const ResampleStats& s, const ResampleStats& t) {
          EXPECT_EQ(k, next_spread++) << what;
          EXPECT_LT(k, next_counted) << what;
          EXPECT_TRUE(same(s, expected_a[k - first], true) && same(t, expected_b[k - first], true)) << what << " " << k;
        });
    EXPECT_EQ(next_counted, last) << what;
    EXPECT_EQ(next_spread, last) << what;
    EXPECT_TRUE(same_bits(a.resample(), a_alone.resample()) && same_bits(b.resample(), b_alone.resample())) << what;
    EXPECT_EQ(numeric::uniform_word(run, run.resampler_seed), numeric::uniform_word(alone, alone.resampler_seed)) << what;
  }
}

}  // namespace
}  // namespace diffboot::bootstrap
