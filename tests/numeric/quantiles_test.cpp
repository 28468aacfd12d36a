// The quantile definition: numpy's default (linear interpolation of the
// order statistics) on random and tied samples of 2 to 1000 values, and the
// median's own bits at p = 1/2.
#include "numeric/quantiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "numeric/summaries.h"

namespace diffboot::numeric {
namespace {

// The samples quantiles_table.py computes numpy's quantiles of.
std::vector<double> sample(std::size_t n, bool tied) {
  std::uint64_t s = 88172645463325252ull + n;
  std::vector<double> out;
  for (std::size_t i = 0; i < n; ++i) {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    out.push_back(tied ? static_cast<double>((s >> 33) % 5) : static_cast<double>(s >> 11) * 0x1p-53 * 200.0 - 100.0);
  }
  return out;
}

double quantile_of(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return quantile_of_ranks(v.size(), p, [&v](std::size_t k) { return v[k - 1]; });
}

TEST(QuantilesTest, AgreeWithNumpysDefault) {
  struct Row {
    std::size_t n;
    bool tied;
    double p, numpy;
  };
  const Row rows[] = {
#include "numeric/quantiles_numpy.inc"
  };
  for (const Row& r : rows) {
    EXPECT_NEAR(quantile_of(sample(r.n, r.tied), r.p), r.numpy, 1e-12 * std::max(1.0, std::fabs(r.numpy)))
        << "n " << r.n << (r.tied ? " tied" : "") << " p " << r.p;
  }
}

TEST(QuantilesTest, HalfIsTheMedianAndEndsStayFinite) {
  for (std::size_t n : {1, 2, 3, 10, 11, 1000}) {
    std::vector<double> v = sample(n, false);
    const double q = quantile_of(v, 0.5);
    EXPECT_EQ(q, median_by_select(v)) << n;
  }
  // b − a beyond the largest double, a = b, and the nearer end.
  EXPECT_DOUBLE_EQ(between(-1.5e308, 1.5e308, 0.25), -0.75e308);
  EXPECT_EQ(between(1.7e308, 1.7e308, 0.3), 1.7e308);
  EXPECT_DOUBLE_EQ(between(0.0, 1.0, 0.9), 0.9);
}

}  // namespace
}  // namespace diffboot::numeric
