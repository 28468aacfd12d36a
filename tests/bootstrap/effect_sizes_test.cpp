// Hedges' g and Cliff's delta against their definitions: J against exact
// values, delta and both jackknifes against counting and recomputing every
// left-out sample, on random, tied and small samples.
#include "bootstrap/effect_sizes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/summaries.h"
#include "support/samples.h"

namespace diffboot::bootstrap {
namespace {

TEST(EffectSizesTest, HedgesCorrection) {
  // Columns: m, J(m) = Γ(m/2) / (√(m/2) Γ((m − 1)/2)) from mpmath at 40 digits
  // (J(2) = 1/√π, J(3) = √(π/6), J(4) = √(2/π)).
  const std::pair<double, double> cases[] = {
      {2, 0.56418958354775629},  {3, 0.72360125455826766},  {4, 0.79788456080286536},
      {10, 0.9227456080530871},  {50, 0.9849119422955726},  {1000, 0.99924978117971637},
  };
  for (const auto& [m, j] : cases) EXPECT_NEAR(hedges_correction(m), j, 1e-15) << m;
  EXPECT_TRUE(std::isnan(hedges_correction(1.0)));
}

// P(X > Y) − P(X < Y) by counting every pair.
double delta_by_pairs(const std::vector<double>& x, const std::vector<double>& y) {
  double sum = 0;
  for (double a : x) {
    for (double b : y) sum += (a > b) - (a < b);
  }
  return sum / (static_cast<double>(x.size()) * static_cast<double>(y.size()));
}

double g_of(const std::vector<double>& x, const std::vector<double>& y) {
  const numeric::MeanSd a = numeric::mean_and_sd(x), b = numeric::mean_and_sd(y);
  return hedges_g(a.ave, a.sd, x.size(), b.ave, b.sd, y.size());
}

std::vector<double> without(const std::vector<double>& v, std::size_t i) {
  std::vector<double> w(v);
  w.erase(w.begin() + static_cast<std::ptrdiff_t>(i));
  return w;
}

TEST(EffectSizesTest, DefinitionsOnRandomTiedAndSmallSamples) {
  const std::pair<std::vector<double>, std::vector<double>> cases[] = {
      {testing::shaped_sample("random", 40, 1), testing::shaped_sample("skewed", 33, 2)},
      {{1, 2, 2, 2, 3, 3, 5}, {2, 2, 3, 4, 4}},  // ties across the samples
      {{1, 2, 3}, {2, 3, 4}},
      {{5, 5, 5}, {1, 9, 5, 5}},
  };
  // Cumulative counts of a sample sorted, value i drawn (i + shift) mod 3 times.
  const auto drawn = [](std::size_t n, std::size_t shift) {
    std::vector<std::uint32_t> below{0};
    for (std::size_t i = 0; i < n; ++i) below.push_back(below.back() + static_cast<std::uint32_t>((i + shift) % 3));
    return below;
  };
  for (const auto& [x, y] : cases) {
    EXPECT_EQ(cliffs_delta(x, y), delta_by_pairs(x, y));
    std::vector<double> sx = x, sy = y;
    std::sort(sx.begin(), sx.end());
    std::sort(sy.begin(), sy.end());
    const std::vector<std::uint32_t> cx = drawn(sx.size(), 1), cy = drawn(sy.size(), 2);
    EXPECT_EQ(cliffs_delta(delta_places(sx, sy), cx, cy), cliffs_delta(sx, cx, sy, cy)) << "places as the walk";
    const std::vector<double> dj = cliffs_delta_jackknife(x, y), gj = hedges_g_jackknife(x, y);
    ASSERT_EQ(dj.size(), x.size() + y.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
      EXPECT_NEAR(dj[i], delta_by_pairs(without(x, i), y), 1e-15) << i;
      EXPECT_NEAR(gj[i], g_of(without(x, i), y), 1e-12 * std::fabs(gj[i]) + 1e-15) << i;
    }
    for (std::size_t j = 0; j < y.size(); ++j) {
      EXPECT_NEAR(dj[x.size() + j], delta_by_pairs(x, without(y, j)), 1e-15) << j;
      EXPECT_NEAR(gj[x.size() + j], g_of(x, without(y, j)), 1e-12 * std::fabs(gj[x.size() + j]) + 1e-15) << j;
    }
  }
  // Counted values: {1, 3, 3} against {2, 3} drawn as cumulative counts of sorted values.
  const std::vector<double> sx{1, 3}, sy{2, 3, 7};
  const std::vector<std::uint32_t> cx{0, 1, 3}, cy{0, 1, 2, 2};
  EXPECT_EQ(cliffs_delta(sx, cx, sy, cy), delta_by_pairs({1, 3, 3}, {2, 3}));
}

TEST(EffectSizesTest, GAndItsJackknifeInAnyUnit) {
  // g does not change with the unit: means and standard deviations, or
  // data, times 2^515 (about 1e155: squares beyond the largest double) or
  // 2^-532 (about 1e-160: squares below the smallest) give g at unit 1.
  const std::vector<double> x = testing::shaped_sample("random", 30, 1), y = testing::shaped_sample("skewed", 25, 2);
  const numeric::MeanSd a = numeric::mean_and_sd(x), b = numeric::mean_and_sd(y);
  const double g1 = hedges_g(a.ave, a.sd, x.size(), b.ave, b.sd, y.size());
  const std::vector<double> jack1 = hedges_g_jackknife(x, y), paired1 = hedges_g_paired_jackknife(x);
  for (int e : {515, -532, 997, -997}) {
    const auto unit = [e](double v) { return std::ldexp(v, e); };
    EXPECT_NEAR(hedges_g(unit(a.ave), unit(a.sd), x.size(), unit(b.ave), unit(b.sd), y.size()), g1, 1e-12 * std::fabs(g1))
        << e;
    std::vector<double> xs = x, ys = y;
    std::ranges::transform(xs, xs.begin(), unit);
    std::ranges::transform(ys, ys.begin(), unit);
    const std::vector<double> jack = hedges_g_jackknife(xs, ys), paired = hedges_g_paired_jackknife(xs);
    for (std::size_t i = 0; i < jack.size(); ++i) EXPECT_NEAR(jack[i], jack1[i], 1e-12 * std::fabs(jack1[i])) << e << " " << i;
    for (std::size_t i = 0; i < paired.size(); ++i) {
      EXPECT_NEAR(paired[i], paired1[i], 1e-12 * std::fabs(paired1[i])) << e << " " << i;
    }
  }
  // Means whose difference overflows, over a spread that keeps g finite.
  EXPECT_NEAR(hedges_g(1.5e308, 1e308, 10, -1.5e308, 1e308, 10), 3.0 * hedges_correction(18), 1e-15);
  // Plain units keep their bits: the scaling is exact where nothing overflows.
  EXPECT_EQ(pooled_sd(3.0, 10, 4.0, 12), std::sqrt((9.0 * 9.0 + 11.0 * 16.0) / 20.0));
}

TEST(EffectSizesTest, PairedGAndItsJackknife) {
  const std::vector<double> d = testing::shaped_sample("skewed", 25, 3);
  const numeric::MeanSd m = numeric::mean_and_sd(d);
  EXPECT_DOUBLE_EQ(hedges_g_paired(m.ave, m.sd, d.size()), m.ave / m.sd * hedges_correction(24));
  const std::vector<double> jack = hedges_g_paired_jackknife(d);
  for (std::size_t i = 0; i < d.size(); ++i) {
    const numeric::MeanSd l = numeric::mean_and_sd(without(d, i));
    EXPECT_NEAR(jack[i], hedges_g_paired(l.ave, l.sd, d.size() - 1), 1e-12 * std::fabs(jack[i])) << i;
  }
}

}  // namespace
}  // namespace diffboot::bootstrap
