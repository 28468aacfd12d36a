// Distribution functions against the documented values (agreeing to the
// digits given, hence the tolerances of half a unit in the last digit).
#include "numeric/distributions.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace diffboot::numeric {
namespace {

TEST(DistributionsTest, NormalQuantile) {
  const std::pair<double, double> cases[] = {
      {0.05, -1.64485364}, {0.95, 1.64485364},  {0.025, -1.95996400}, {0.01, -2.32634788},
      {0.1, -1.28155156},  {1.0e-20, -9.26234007},
  };
  for (const auto& [p, z] : cases) EXPECT_NEAR(norm_quantile(p), z, 5e-9) << p;
  EXPECT_EQ(norm_quantile(0.5), 0.0);
  EXPECT_EQ(norm_quantile(0.0), -1.0e38);
  EXPECT_EQ(norm_quantile(1.5), 1.0e38);
  EXPECT_EQ(norm_quantile(1.0), 1.0e38);
  EXPECT_EQ(norm_quantile(std::nan("")), -1.0e38);
  EXPECT_EQ(norm_quantile(999.5 / 1999.0), 0.0) << "p0 of 999 below, one equal, 999 above";
}

TEST(DistributionsTest, NormalDistributionFunction) {
  const std::pair<double, double> cases[] = {
      {0.0, 0.499999985}, {1.96, 0.97500211}, {-1.96, 0.02499789}, {1.0, 0.84134474}};
  for (const auto& [x, p] : cases) EXPECT_NEAR(norm_cdf(x), p, 5e-9) << x;
  EXPECT_EQ(norm_cdf(9.0), 1.0);
  EXPECT_EQ(norm_cdf(std::numeric_limits<double>::infinity()), 1.0);
  EXPECT_EQ(norm_cdf(-std::numeric_limits<double>::infinity()), 0.0);
}

TEST(DistributionsTest, ErfcSymmetry) {
  for (double x : {0.3, 1.0, 2.5, 7.0}) EXPECT_EQ(erfc_approx(-x), 2.0 - erfc_approx(x)) << x;
  EXPECT_NEAR(erfc_approx(0.0), 1.00000003, 5e-9);
}

TEST(DistributionsTest, PolynomialSchemes) {
  const std::array<double, 3> short_poly{1.0, 2.0, 3.0};
  EXPECT_EQ(poly_eval(2.0, short_poly), 17.0);
  EXPECT_EQ(poly_eval(2.0, std::span<const double>{}), 0.0);
  const std::array<double, 10> ten{1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_EQ(poly_eval(2.0, ten), 1023.0);
  const std::array<double, 9> nine{1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(poly_eval(1.0, nine), 45.0);
}

TEST(DistributionsTest, StudentQuantile) {
  struct Case {
    double p;
    std::int64_t nu;
    double t;
  };
  const Case cases[] = {
      {0.05, 10, -1.81245898}, {0.025, 30, -2.04227244}, {0.01, 100, -2.36421737}, {0.1, 1, -3.01193988},
      {0.05, 256, -1.65082759}, {0.05, 255, -1.65085110}, {0.05, 257, -1.65080426}, {0.05, 5, -2.01497381},
  };
  for (const auto& c : cases) EXPECT_NEAR(t_quantile(c.p, c.nu), c.t, 5e-9) << c.p << " " << c.nu;
  EXPECT_FALSE(std::isfinite(t_quantile(0.05, 0))) << "no test of nu, no trap";
}

}  // namespace
}  // namespace diffboot::numeric
