// Permutation p-values against exact enumeration: every sign flip of ten
// differences, every split of six and six values; the Monte Carlo p-value
// must lie within four of its standard errors of the exact one, and be the
// same on one thread and on two. And the counts against the literal
// computation: each permutation's groups formed and summarised one by one.
#include "bootstrap/permutation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "bootstrap/effect_sizes.h"
#include "numeric/random.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

constexpr std::int32_t permutations = 9999;

double median_of(std::vector<double> v) {
  double med = 0, mad = 0;
  numeric::med_mad(v, med, mad);
  return med;
}

double mad_of(std::vector<double> v) {
  double med = 0, mad = 0;
  numeric::med_mad(v, med, mad);
  return mad;
}

// The exact p: the share of all relabellings whose |T| reaches |T| observed.
double share_reaching(const std::vector<double>& values, double observed) {
  double n = 0;
  for (double v : values) n += std::fabs(v) >= std::fabs(observed) * (1 - 1e-12);
  return n / static_cast<double>(values.size());
}

void expect_near_exact(double p, double exact, const char* what) {
  const double se = std::sqrt(exact * (1 - exact) / permutations);
  EXPECT_NEAR(p, exact, 4 * se + 1.0 / permutations) << what;
}

TEST(PermutationTest, SignFlipsOfTenDifferences) {
  const std::vector<double> x{1.9, 0.8, 1.1, 0.1, -0.1, 4.4, 5.5, 1.6, 4.6, 3.4}, y(10, 0.0);
  std::vector<double> means, medians;
  for (unsigned flips = 0; flips < 1024; ++flips) {
    std::vector<double> d(x);
    for (std::size_t i = 0; i < 10; ++i) d[i] = (flips >> i & 1) != 0 ? -d[i] : d[i];
    means.push_back(numeric::mean_and_sd(d).ave);
    medians.push_back(median_of(d));
  }
  const Statistic statistics[] = {Statistic::mean, Statistic::median};
  const double observed[] = {means[0], medians[0]};
  std::vector<double> p[2];
  for (unsigned threads : {1u, 2u}) {
    p[threads - 1] = permutation_p_values({x, y, true, statistics, observed, permutations, 7, threads});
  }
  EXPECT_EQ(p[0], p[1]) << "the same p-values on any number of threads";
  expect_near_exact(p[0][0], share_reaching(means, observed[0]), "mean");
  expect_near_exact(p[0][1], share_reaching(medians, observed[1]), "median");
}

TEST(PermutationTest, SplitsOfSixAndSix) {
  const std::vector<double> pooled{3.1, 4.5, 2.2, 5.0, 3.3, 4.1, 5.9, 6.3, 4.8, 7.0, 5.2, 6.6};
  const std::vector<double> x(pooled.begin(), pooled.begin() + 6), y(pooled.begin() + 6, pooled.end());
  std::vector<double> means, medians, mads, deltas;
  for (unsigned chosen = 0; chosen < 4096; ++chosen) {
    if (__builtin_popcount(chosen) != 6) continue;
    std::vector<double> a, b;
    for (std::size_t i = 0; i < 12; ++i) ((chosen >> i & 1) != 0 ? a : b).push_back(pooled[i]);
    means.push_back(numeric::mean_and_sd(a).ave - numeric::mean_and_sd(b).ave);
    medians.push_back(median_of(a) - median_of(b));
    mads.push_back(mad_of(a) - mad_of(b));
    deltas.push_back(cliffs_delta(a, b));
  }
  ASSERT_EQ(means.size(), 924u);
  const Statistic statistics[] = {Statistic::mean_difference, Statistic::median_difference, Statistic::mad_difference,
                                  Statistic::delta};
  const double observed[] = {numeric::mean_and_sd(x).ave - numeric::mean_and_sd(y).ave,
                             median_of(x) - median_of(y), mad_of(x) - mad_of(y), cliffs_delta(x, y)};
  const std::vector<double> p = permutation_p_values({x, y, false, statistics, observed, permutations, 11, 2});
  expect_near_exact(p[0], share_reaching(means, observed[0]), "difference of means");
  expect_near_exact(p[1], share_reaching(medians, observed[1]), "difference of medians");
  expect_near_exact(p[2], share_reaching(mads, observed[2]), "difference of MADs");
  expect_near_exact(p[3], share_reaching(deltas, observed[3]), "delta");
}

// x's members among n pooled values in a random half evened out to n_x.
std::vector<bool> evened_half(numeric::UniformState& g, numeric::UniformState evening, std::size_t n, std::size_t n_x) {
  std::vector<bool> in_x(n);
  std::uint32_t word = 0;
  std::size_t members = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i % 30 == 0) word = numeric::uniform_word(g, g.resampler_seed);
    in_x[i] = (word >> (1 + i % 30) & 1) != 0;
    members += in_x[i];
  }
  while (members != n_x) {
    const std::size_t p = numeric::exact_uniform_position(evening, n);
    if (in_x[p] == (members < n_x)) continue;
    in_x[p] = members < n_x;
    members += in_x[p] ? 1 : -1;
  }
  return in_x;
}

// The p-values as written: the permutation's stream drawn one deviate after
// another; the groups, unpaired within a factor two of each other, the
// pooled sorted values whose bit (thirty a word) is set, evened out by
// exactly uniform positions from the permutation's part of the evening
// stream; other unpaired, a partial shuffle of the sorted pooled values,
// the smaller group first; paired, the differences, each flipped where its
// bit is set; summarised by mean_and_sd, med_mad and cliffs_delta.
std::vector<double> literal_p_values(const PermutationTest& t) {
  numeric::UniformState g = permutation_stream(t.seed, permutation_stream_offset);
  std::vector<double> pooled(t.x.begin(), t.x.end());
  pooled.insert(pooled.end(), t.y.begin(), t.y.end());
  std::sort(pooled.begin(), pooled.end());
  const bool halves = std::max(t.x.size(), t.y.size()) <= 2 * std::min(t.x.size(), t.y.size());
  std::vector<double> reached(t.statistics.size(), 1.0);
  for (std::int32_t p = 0; p < t.permutations; ++p) {
    std::vector<double> a, b, second;  // paired: the differences, and the pairs' second halves once flipped
    if (t.paired) {
      std::uint32_t word = 0;
      for (std::size_t i = 0; i < t.x.size(); ++i) {
        if (i % 30 == 0) word = numeric::uniform_word(g, g.resampler_seed);
        const bool flip = (word >> (1 + i % 30) & 1) != 0;
        a.push_back((t.x[i] - t.y[i]) * (flip ? -1 : 1));
        second.push_back(flip ? t.x[i] : t.y[i]);
      }
    } else if (halves) {
      const std::vector<bool> in_x =
          evened_half(g, permutation_stream(t.seed, evening_stream_offset + p * evening_deviates), pooled.size(), t.x.size());
      for (std::size_t i = 0; i < pooled.size(); ++i) (in_x[i] ? a : b).push_back(pooled[i]);
    } else {
      std::vector<double> v(pooled);
      const std::size_t m = std::min(t.x.size(), t.y.size());
      for (std::size_t k = 0; k < m; ++k) std::swap(v[k], v[k + numeric::draw_position(g, v.size() - k)]);
      std::vector<double>& first = m == t.x.size() ? a : b;
      first.assign(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(m));
      (m == t.x.size() ? b : a).assign(v.begin() + static_cast<std::ptrdiff_t>(m), v.end());
    }
    const numeric::MeanSd ma = numeric::mean_and_sd(a), mb = t.paired ? ma : numeric::mean_and_sd(b);
    for (std::size_t k = 0; k < t.statistics.size(); ++k) {
      double value = 0;
      switch (t.statistics[k]) {
        case Statistic::mean: value = ma.ave; break;
        case Statistic::median: value = median_of(a); break;
        case Statistic::mean_difference: value = ma.ave - mb.ave; break;
        case Statistic::median_difference: value = median_of(a) - median_of(b); break;
        case Statistic::sd_difference: value = ma.sd - mb.sd; break;
        case Statistic::mad_difference: value = mad_of(a) - mad_of(b); break;
        case Statistic::delta: value = cliffs_delta(a, b); break;
        case Statistic::lift:
          value = t.paired ? ma.ave / numeric::mean_and_sd(second).ave : ma.ave / mb.ave - 1.0;
          break;
        case Statistic::g:
          value = t.paired ? hedges_g_paired(ma.ave, ma.sd, a.size())
                           : hedges_g(ma.ave, ma.sd, a.size(), mb.ave, mb.sd, b.size());
          break;
        case Statistic::h: {
          const double mean_y = t.paired ? numeric::mean_and_sd(second).ave : mb.ave;
          value = cohens_h(t.paired ? ma.ave + mean_y : ma.ave, mean_y);
          break;
        }
        case Statistic::quantile:
        case Statistic::quantile_difference: value = std::nan(""); break;  // not tested by permutation
      }
      reached[k] += std::isnan(value) || std::fabs(value) >= std::fabs(t.observed[k]) * (1 - 1e-12);
    }
  }
  for (double& r : reached) r /= t.permutations + 1;
  return reached;
}

// Random and tied samples whose groups differ a little, so that the
// p-values lie inside (0, 1), of sizes that are odd, even and unequal
// (halves, and shuffles of x and of y), with the groups written out and
// (beyond 2048 pooled values) selected, on one thread, so that the larger
// runs span several chunks of draws.
TEST(PermutationTest, CountsEqualTheLiteralComputation) {
  struct Case {
    std::size_t n_x, n_y;
    bool paired, tied;
  };
  const Statistic unpaired[] = {Statistic::mean_difference, Statistic::median_difference, Statistic::sd_difference,
                                Statistic::mad_difference, Statistic::g, Statistic::delta};
  const Statistic paired[] = {Statistic::mean, Statistic::median, Statistic::g};
  std::mt19937_64 rng(5);
  for (const Case c : {Case{7, 9, false, false}, Case{40, 33, false, true}, Case{120, 120, false, false},
                       Case{1100, 1000, false, false}, Case{25, 9, false, true}, Case{300, 2000, false, false}, Case{10, 10, true, false}, Case{41, 41, true, true},
                       Case{3000, 3000, true, false}}) {
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> x(c.n_x), y(c.n_y);
    for (double& v : x) v = c.tied ? std::round(2 * normal(rng) + 0.4) : normal(rng) + 0.25;
    for (double& v : y) v = c.tied ? std::round(2 * normal(rng)) : 1.2 * normal(rng);
    const std::span<const Statistic> statistics = c.paired ? std::span<const Statistic>(paired) : unpaired;
    // Thresholds among the permutations' values, so that the counts are neither 0 nor all.
    std::vector<double> observed(statistics.size());
    for (std::size_t k = 0; k < statistics.size(); ++k) {
      observed[k] = (0.3 + 0.3 * static_cast<double>(k % 3)) / std::sqrt(static_cast<double>(c.n_x));
    }
    const PermutationTest t{x, y, c.paired, statistics, observed, 999, 3, 1};
    EXPECT_EQ(permutation_p_values(t), literal_p_values(t)) << c.n_x << " " << c.n_y << (c.paired ? " paired" : "");
  }
}

// The lift of permuted groups (unpaired) and of pairs whose halves swap
// (paired), on data of means well away from 0, counted as the literal
// computation counts them.
TEST(PermutationTest, LiftCountsEqualTheLiteralComputation) {
  struct Case {
    std::size_t n_x, n_y;
    bool paired;
  };
  const Statistic lift[] = {Statistic::lift};
  std::mt19937_64 rng(11);
  for (const Case c : {Case{9, 7, false}, Case{200, 150, false}, Case{12, 12, true}, Case{95, 95, true}}) {
    std::normal_distribution<double> normal(10.0, 1.0);
    std::vector<double> x(c.n_x), y(c.n_y);
    for (double& v : x) v = normal(rng) + 0.3;
    for (double& v : y) v = normal(rng);
    const double observed[] = {0.3 / std::sqrt(static_cast<double>(c.n_x)) / 10.0};
    const PermutationTest t{x, y, c.paired, lift, observed, 999, 3, 1};
    const std::vector<double> p = permutation_p_values(t);
    EXPECT_EQ(p, literal_p_values(t)) << c.n_x << " " << c.n_y << (c.paired ? " paired" : "");
    EXPECT_GT(p[0], 0.01);
    EXPECT_LT(p[0], 0.99);
  }
}

}  // namespace
}  // namespace diffboot::bootstrap
