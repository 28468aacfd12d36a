// Permutation p-values against exact enumeration: every sign flip of ten
// differences, every split of six and six values; the Monte Carlo p-value
// must lie within four of its standard errors of the exact one, and be the
// same on one thread and on two.
#include "bootstrap/permutation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bootstrap/effect_sizes.h"
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

}  // namespace
}  // namespace diffboot::bootstrap
