// The cluster bootstrap: its draws against the plain run's and against a
// replication written out literally, its leave-one-cluster-out jackknife
// against the definition, and its standard error against an independent
// cluster bootstrap.
#include "bootstrap/clusters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "bootstrap/effect_sizes.h"
#include "numeric/quantiles.h"
#include "numeric/random.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

constexpr double quantile_p[] = {0.1, 0.75};

// Every measure a run forms: the four differences, g, delta, the lift and
// two quantile differences, each with its replicates in replication order.
struct AllMeasures {
  static constexpr std::size_t count = 9;
  explicit AllMeasures(std::size_t b) {
    for (std::size_t k = 0; k < count; ++k) {
      boot[k].assign(b, 0.0), in_order[k].assign(b, 0.0);
      measures.push_back(Measure{results[k], -2.0, boot[k], in_order[k]});
    }
  }
  std::array<Result, count> results{};
  std::array<std::vector<double>, count> boot, in_order;
  std::vector<Measure> measures;
  numeric::UniformState g;

  std::array<Measure, 4> four() { return {measures[0], measures[1], measures[2], measures[3]}; }
  EffectSizes effects() {
    return {&measures[4], &measures[5], &measures[6], {quantile_p, std::span<Measure>(measures).subspan(7, 2)}};
  }
  void estimates(std::span<const double> x, std::span<const double> y) {
    const numeric::SampleSummary a = numeric::summarize(x), b = numeric::summarize(y);
    results[0].estimate = a.ave - b.ave, results[1].estimate = a.med - b.med;
    results[2].estimate = a.std - b.std, results[3].estimate = a.mad - b.mad;
    results[4].estimate = hedges_g(a.ave, a.std, x.size(), b.ave, b.std, y.size());
    results[5].estimate = cliffs_delta(x, y);
    results[6].estimate = lift(a.ave, b.ave);
  }
};

std::vector<double> sample(std::size_t n, unsigned seed, double shift) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> normal(shift, 1.0);
  std::vector<double> v(n);
  for (double& a : v) a = std::round(normal(gen) * 8.0) / 4.0;  // ties, as real data have
  return v;
}

std::vector<std::uint32_t> one_each(std::size_t n) {
  std::vector<std::uint32_t> c(n);
  for (std::size_t i = 0; i < n; ++i) c[i] = static_cast<std::uint32_t>(i);
  return c;
}

// Clusters of 1 to `most` values, numbered in the order of their first value
// but their values interleaved with those of other clusters.
std::vector<std::uint32_t> clusters(std::size_t n, std::size_t most, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint32_t> c;
  std::uint32_t next = 0;
  while (c.size() < n) {
    const std::size_t size = std::min<std::size_t>(1 + gen() % most, n - c.size());
    c.insert(c.end(), size, next++);
  }
  // Swap neighbours of different clusters where that keeps first appearances in order.
  for (std::size_t i = 1; i + 1 < n; i += 3) {
    if (c[i] < c[i + 1] && std::find(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(i), c[i + 1]) != c.begin() + static_cast<std::ptrdiff_t>(i)) {
      std::swap(c[i], c[i + 1]);
    }
  }
  return c;
}

// The same double, or both NaN.
bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

TEST(ClustersTest, ClustersOfOneValueAreThePlainRunReplicateForReplicate) {
  struct Case {
    std::vector<double> x, y;
  };
  std::vector<double> with_zero = sample(23, 5, 0.0);
  with_zero[4] = -0.0;  // no plain order: the medians by selection
  const Case cases[] = {{sample(30, 1, 0.5), sample(41, 2, 0.0)}, {with_zero, sample(17, 6, 1.0)}, {sample(3, 3, 0.0), sample(5, 4, 0.0)}};
  for (const Case& c : cases) {
    for (AccelerationMethod method : {AccelerationMethod::grid, AccelerationMethod::samples}) {
      AllMeasures plain(199), clustered(199);
      plain.estimates(c.x, c.y), clustered.estimates(c.x, c.y);
      std::vector<double> r1(c.x.size()), r2(c.y.size());
      auto m_plain = plain.four();
      bootstrap_unpaired({c.x, c.y, r1, r2}, m_plain, 0.025, plain.g, 1, nullptr, plain.effects(), JackknifeSums::by_algebra, method);
      const std::vector<std::uint32_t> cx = one_each(c.x.size()), cy = one_each(c.y.size());
      auto m_clustered = clustered.four();
      bootstrap_clusters({c.x, cx}, {c.y, cy}, m_clustered, 0.025, clustered.g, 1, nullptr, clustered.effects(),
                         JackknifeSums::by_algebra, method);
      for (std::size_t k = 0; k < AllMeasures::count; ++k) {
        SCOPED_TRACE(k);
        for (std::size_t i = 0; i < 199; ++i) ASSERT_TRUE(same(plain.in_order[k][i], clustered.in_order[k][i])) << i;
        const Result &a = plain.results[k], &b = clustered.results[k];
        for (double Result::*field : {&Result::estimate, &Result::se, &Result::percentile_lower,
                                      &Result::percentile_upper, &Result::basic_lower, &Result::z0}) {
          EXPECT_TRUE(same(a.*field, b.*field)) << a.*field << " " << b.*field;
        }
        // The jackknife's sums: the plain run's and the clusters' own, the same within rounding.
        EXPECT_NEAR(a.acceleration, b.acceleration, 1e-12 + 1e-9 * std::fabs(a.acceleration));
      }
      EXPECT_EQ(plain.g.lcg_word, clustered.g.lcg_word);  // the stream left where the plain run leaves it
    }
  }
}

// The mean, sd, median and MAD of a resample of clusters written out: the
// positions drawn one by one, the clusters' values gathered in draw order.
struct Literal {
  double ave, sd, med, mad;
};
Literal literal_draw(numeric::UniformState& g, std::span<const double> v, std::span<const std::uint32_t> c,
                     std::size_t m) {
  std::vector<double> resample;
  for (std::size_t i = 0; i < m; ++i) {
    const std::uint32_t u = numeric::draw_position(g, m);
    for (std::size_t j = 0; j < v.size(); ++j) {
      if (c[j] == u) resample.push_back(v[j]);
    }
  }
  double ave = 0.0, var = 0.0, med = 0.0, mad = 0.0;
  numeric::ave_var(resample, ave, var);
  numeric::med_mad(resample, med, mad);
  return {ave, std::sqrt(var), med, mad};
}

TEST(ClustersTest, ReplicatesAreThoseOfTheResamplesWrittenOut) {
  const std::vector<double> x = sample(60, 11, 0.0), y = sample(45, 12, 0.3);
  const std::vector<std::uint32_t> cx = clusters(60, 7, 13), cy = clusters(45, 4, 14);
  const std::size_t mx = cluster_count({x, cx}), my = cluster_count({y, cy});
  for (unsigned threads : {1u, 3u}) {
    AllMeasures r(99);
    r.estimates(x, y);
    auto m = r.four();
    bootstrap_clusters({x, cx}, {y, cy}, m, 0.025, r.g, threads, nullptr, {});
    numeric::UniformState g;
    numeric::init_uniform(g);
    for (std::size_t i = 0; i < 99; ++i) {
      const Literal a = literal_draw(g, x, cx, mx), b = literal_draw(g, y, cy, my);
      ASSERT_EQ(r.in_order[0][i], a.ave - b.ave) << i;
      ASSERT_EQ(r.in_order[1][i], a.med - b.med) << i;
      ASSERT_EQ(r.in_order[2][i], a.sd - b.sd) << i;
      ASSERT_EQ(r.in_order[3][i], a.mad - b.mad) << i;
    }
  }
}

// The sample without cluster u, in its order.
std::vector<double> without(std::span<const double> v, std::span<const std::uint32_t> c, std::uint32_t u) {
  std::vector<double> out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (c[i] != u) out.push_back(v[i]);
  }
  return out;
}

TEST(ClustersTest, LeaveOneClusterOutByItsDefinition) {
  struct Case {
    std::vector<double> v;
    std::vector<std::uint32_t> c;
  };
  std::vector<double> zeros = sample(40, 21, 0.0);
  zeros[3] = -0.0, zeros[9] = 0.0;
  const Case cases[] = {{sample(50, 22, 3.0), clusters(50, 9, 23)},
                        {zeros, clusters(40, 3, 24)},
                        {{1, 2, 2, 2, 3, 9, 9, 4}, {0, 1, 1, 1, 2, 0, 3, 2}},
                        {{5, 5, 5, 5, 5, 5}, {0, 0, 1, 1, 2, 2}},
                        {{1e300, -1e300, 3e300, 2, 7, 1}, {0, 1, 1, 2, 3, 3}}};
  for (const Case& k : cases) {
    const LeaveOneOut j = leave_one_cluster_out({k.v, k.c}, Spread::with);
    for (std::uint32_t u = 0; u < cluster_count({k.v, k.c}); ++u) {
      SCOPED_TRACE(u);
      const std::vector<double> column = without(k.v, k.c, u);
      double ave = 0.0, var = 0.0, med = 0.0, mad = 0.0;
      numeric::ave_var(column, ave, var);
      numeric::med_mad(column, med, mad);
      const double sd = std::sqrt(var);
      EXPECT_NEAR(j.ave[u], ave, 1e-14 * std::fabs(ave) + 1e-300);
      if (std::isfinite(sd)) {
        EXPECT_NEAR(j.std[u], sd, 1e-12 * sd + 1e-15);
      }
      EXPECT_EQ(j.med[u], med + 0.0);
      EXPECT_EQ(j.mad[u], mad);
      for (double p : quantile_p) {
        std::vector<double> sorted = column;
        for (double& a : sorted) a += 0.0;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(leave_one_cluster_out_quantiles({k.v, k.c}, p)[u],
                  numeric::quantile_of_ranks(sorted.size(), p, [&](std::size_t r) { return sorted[r - 1]; }));
      }
    }
  }
}

TEST(ClustersTest, EffectSizeJackknivesByTheirDefinition) {
  const std::vector<double> x = sample(30, 31, 2.8), y = sample(26, 32, 2.0);
  const std::vector<std::uint32_t> cx = clusters(30, 5, 33), cy = clusters(26, 6, 34);
  const std::vector<double> g = hedges_g_cluster_jackknife({x, cx}, {y, cy});
  const std::vector<double> d = cliffs_delta_cluster_jackknife({x, cx}, {y, cy});
  const std::vector<double> l = lift_cluster_jackknife({x, cx}, {y, cy});
  const std::size_t mx = cluster_count({x, cx}), my = cluster_count({y, cy});
  ASSERT_EQ(g.size(), mx + my);
  const auto g_of = [](const std::vector<double>& a, const std::vector<double>& b) {
    const numeric::MeanSd s = numeric::mean_and_sd(a), t = numeric::mean_and_sd(b);
    return hedges_g(s.ave, s.sd, a.size(), t.ave, t.sd, b.size());
  };
  const auto lift_of = [](const std::vector<double>& a, const std::vector<double>& b) {
    return lift(numeric::mean_and_sd(a).ave, numeric::mean_and_sd(b).ave);
  };
  const std::vector<double> all_x(x), all_y(y);
  for (std::size_t k = 0; k < mx + my; ++k) {
    const bool of_x = k < mx;
    const auto u = static_cast<std::uint32_t>(of_x ? k : k - mx);
    const std::vector<double> a = of_x ? without(x, cx, u) : all_x, b = of_x ? all_y : without(y, cy, u);
    EXPECT_NEAR(g[k], g_of(a, b), 1e-13);
    EXPECT_DOUBLE_EQ(d[k], cliffs_delta(a, b));
    EXPECT_NEAR(l[k], lift_of(a, b), 1e-13);
  }
}

// An independent cluster bootstrap of d_AVE's standard error: clusters
// drawn by the standard library's generator, each replicate's means formed
// from the values of the clusters drawn.
double independent_se(const std::vector<std::vector<double>>& x, const std::vector<std::vector<double>>& y, int b) {
  std::mt19937_64 gen(20240601);
  std::vector<double> reps;
  const auto mean_of_draw = [&gen](const std::vector<std::vector<double>>& units) {
    std::uniform_int_distribution<std::size_t> pick(0, units.size() - 1);
    double sum = 0.0, n = 0.0;
    for (std::size_t i = 0; i < units.size(); ++i) {
      for (double v : units[pick(gen)]) sum += v, n += 1.0;
    }
    return sum / n;
  };
  for (int i = 0; i < b; ++i) {
    const double a = mean_of_draw(x);
    reps.push_back(a - mean_of_draw(y));
  }
  return numeric::mean_and_sd(reps).sd;
}

TEST(ClustersTest, StandardErrorAsAnIndependentClusterBootstrapsWithinMonteCarloError) {
  // 40 users an arm with 1 to 12 values each, half the variance between users.
  std::mt19937 gen(7);
  std::normal_distribution<double> normal(0.0, 1.0);
  const auto arm = [&](std::vector<double>& v, std::vector<std::uint32_t>& c, std::vector<std::vector<double>>& units) {
    for (std::uint32_t u = 0; u < 40; ++u) {
      const double level = normal(gen);
      units.emplace_back();
      for (unsigned i = 0; i < 1 + gen() % 12; ++i) {
        v.push_back(level + normal(gen)), c.push_back(u), units.back().push_back(v.back());
      }
    }
  };
  std::vector<double> x, y;
  std::vector<std::uint32_t> cx, cy;
  std::vector<std::vector<double>> ux, uy;
  arm(x, cx, ux), arm(y, cy, uy);
  constexpr int b = 4000;
  AllMeasures clustered(b), rows(b);
  clustered.estimates(x, y), rows.estimates(x, y);
  auto m = clustered.four();
  bootstrap_clusters({x, cx}, {y, cy}, m, 0.025, clustered.g, 2);
  std::vector<double> r1(x.size()), r2(y.size());
  auto m_rows = rows.four();
  bootstrap_unpaired({x, y, r1, r2}, m_rows, 0.025, rows.g, 2);
  const double expected = independent_se(ux, uy, b);
  // Two estimates from 4000 replicates each: their ratio's sd is about 1.6%.
  EXPECT_NEAR(clustered.results[0].se / expected, 1.0, 0.06);
  EXPECT_LT(rows.results[0].se, 0.8 * expected);  // the rows' se is too small: the values are not independent
}

}  // namespace
}  // namespace diffboot::bootstrap
