// Distribution functions against the documented values (agreeing to the
// digits given, hence the tolerances of half a unit in the last digit).
#include "numeric/distributions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
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
  EXPECT_EQ(norm_quantile(999.5 / 1999.0), 0.0) << "p0 of 999 below, one equal, 999 above";
}

// One rule for both quantile functions: the ends give the finite stand-ins
// of -infinity and +infinity; NaN and what lies outside [0, 1] are no
// probabilities.
TEST(DistributionsTest, QuantilesAtAndBeyondTheEnds) {
  const double nan = std::nan("");
  struct Case {
    double p, quantile;  // NaN: NaN
  };
  const Case cases[] = {{0.0, -1.0e38}, {1.0, 1.0e38},   {-0.0, -1.0e38}, {nan, nan},
                        {1.5, nan},     {-1e-300, nan}, {INFINITY, nan}, {-INFINITY, nan}};
  for (const Case& c : cases) {
    for (std::int64_t nu : {std::int64_t{0}, std::int64_t{3}, std::int64_t{30}}) {
      const double q = nu == 0 ? norm_quantile(c.p) : t_quantile(c.p, nu);
      if (std::isnan(c.quantile)) {
        EXPECT_TRUE(std::isnan(q)) << c.p << " nu " << nu;
      } else {
        EXPECT_EQ(q, c.quantile) << c.p << " nu " << nu;
      }
    }
  }
  EXPECT_EQ(norm_quantile(1e-21), -1.0e38) << "below the approximation's range";
  EXPECT_TRUE(std::isnan(t_quantile(0.5, 0))) << "no t distribution without a degree of freedom";
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

TEST(DistributionsTest, StudentExpansion) {
  struct Case {
    double p;
    std::int64_t nu;
    double t;
  };
  const Case cases[] = {
      {0.05, 10, -1.81245898}, {0.025, 30, -2.04227244}, {0.01, 100, -2.36421737}, {0.1, 1, -3.01193988},
      {0.05, 256, -1.65082759}, {0.05, 255, -1.65085110}, {0.05, 257, -1.65080426}, {0.05, 5, -2.01497381},
  };
  for (const auto& c : cases) EXPECT_NEAR(t_expansion(c.p, c.nu), c.t, 5e-9) << c.p << " " << c.nu;
}

// Exact lower-tail quantiles of Student's t for alpha 0.01, 0.025, 0.05, 0.1:
// bisection to 40 digits on the regularized incomplete beta function
// I_{nu/(nu+t^2)}(nu/2, 1/2)/2 = alpha (mpmath 1.3), rounded to 17 digits.
// They agree with the printed tables (12.706 at nu = 1, 2.228 at nu = 10).
constexpr double exact_t[15][4] = {
    {-31.820515953773958, -12.706204736174705, -6.3137515146750431, -3.0776835371752534},
    {-6.9645567342832742, -4.3026527297494639, -2.9199855803537257, -1.8856180831641267},
    {-4.5407028585681336, -3.1824463052837096, -2.3533634348018239, -1.6377443536962101},
    {-3.7469473879791968, -2.7764451051977944, -2.1318467863266503, -1.5332062740589439},
    {-3.3649299989072186, -2.5705818356363155, -2.0150483733330242, -1.4758840488244811},
    {-3.1426684032909834, -2.44691185114497, -1.9431802805153032, -1.4397557472651484},
    {-2.9979515668685284, -2.3646242515927853, -1.8945786050900074, -1.4149239276505085},
    {-2.8964594477096223, -2.3060041352041667, -1.8595480375308984, -1.3968153097438647},
    {-2.8214379250258088, -2.2621571627982055, -1.8331129326562372, -1.3830287383966323},
    {-2.7637694581126962, -2.2281388519862747, -1.8124611228116764, -1.3721836411103356},
    {-2.7180791838138624, -2.2009851600916399, -1.7958848187040441, -1.3634303180205406},
    {-2.6809979931209149, -2.1788128296672289, -1.7822875556493201, -1.3562173340232054},
    {-2.6503088379121915, -2.1603686564627925, -1.7709333959868729, -1.3501712887800551},
    {-2.6244940675900519, -2.1447866879178038, -1.7613101357748921, -1.3450303744546506},
    {-2.6024802950111233, -2.1314495455597757, -1.7530503556925735, -1.3406056078504556},
};
constexpr double alphas[4] = {0.01, 0.025, 0.05, 0.1};

TEST(DistributionsTest, StudentQuantileExactForSmallSamples) {
  // Every row of the table, whatever the constant says: exactness is promised
  // up to 15 degrees of freedom.
  for (std::int64_t nu = 1; nu <= static_cast<std::int64_t>(std::size(exact_t)); ++nu) {
    for (std::size_t a = 0; a < 4; ++a) {
      const double exact = exact_t[nu - 1][a];
      EXPECT_NEAR(t_quantile(alphas[a], nu), exact, 1e-12 * std::fabs(exact)) << "nu " << nu << " alpha " << alphas[a];
    }
  }
  // Beyond, the expansion's bytes stay: larger samples keep their reports.
  for (std::int64_t nu : {largest_exact_degrees + 1, std::int64_t{30}}) {
    for (double alpha : alphas) EXPECT_EQ(t_quantile(alpha, nu), t_expansion(alpha, nu)) << nu;
  }
  // The expansion at nu = 15 would still be off by more than 1e-6 somewhere.
  double worst = 0.0;
  for (std::size_t a = 0; a < 4; ++a) worst = std::max(worst, std::fabs(t_expansion(alphas[a], 15) - exact_t[14][a]));
  EXPECT_GT(worst, 1e-6);
  EXPECT_TRUE(std::isnan(t_quantile(0.05, 0))) << "no t distribution without a degree of freedom";
}

// Any other tail probability is exact at every degree of freedom: lower-tail
// quantiles at alpha 0.005, 0.0005 and 0.2 (99%, 99.9% and 60% intervals),
// found as the table above (mpmath, 40 digits).
TEST(DistributionsTest, StudentQuantileExactAtOtherLevels) {
  struct Row {
    std::int64_t nu;
    double t[3];
  };
  constexpr double ps[3] = {0.005, 0.0005, 0.2};
  constexpr Row rows[] = {
      {1, {-63.656741162871581, -636.61924876871962, -1.3763819204711735}},
      {2, {-9.9248432009182931, -31.599054576443621, -1.0606601717798213}},
      {3, {-5.8409093097333573, -12.923978636687483, -0.97847231236330444}},
      {7, {-3.4994832973504939, -5.4078825208617252, -0.89602964431376495}},
      {16, {-2.9207816224251, -4.0149963271840555, -0.86466700179829196}},
      {30, {-2.7499956535672253, -3.6459586350420218, -0.85376726147129763}},
      {120, {-2.617421145106866, -3.3734537685625004, -0.84462683774313102}},
      {1000, {-2.5807546980659511, -3.3002826484239129, -0.84198082216242856}},
  };
  for (const Row& r : rows) {
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(t_quantile(ps[k], r.nu), r.t[k], 1e-12 * std::fabs(r.t[k])) << "nu " << r.nu << " p " << ps[k];
    }
  }
}

TEST(DistributionsTest, TwoSidedTPValuesAndGammaRatio) {
  // Columns: t, degrees of freedom, 2 P(T > |t|): mpmath's regularised
  // incomplete beta I_{nu/(nu + t^2)}(nu/2, 1/2) at 40 digits.
  const std::tuple<double, double, double> cases[] = {
      {2.0, 10.0, 0.073388034770740366},  {-3.5, 4.5, 0.020541689969385574}, {0.3, 30.25, 0.7662290879911701},
      {8.0, 2.0, 0.015268072165338138},   {1e-3, 1.0, 0.99936338043983888},
  };
  for (const auto& [t, nu, p] : cases) EXPECT_NEAR(t_two_sided_p(t, nu), p, 1e-14) << t << ", " << nu;
  EXPECT_TRUE(std::isnan(t_two_sided_p(1.0, 0.0)));
  EXPECT_TRUE(std::isnan(t_two_sided_p(std::nan(""), 3.0)));
  EXPECT_EQ(t_two_sided_p(INFINITY, 3.0), 0.0);
  // Γ(a + 1/2) / Γ(a): Γ(1)/Γ(1/2) = 1/√π; Γ(3/2)/Γ(1) = √π/2.
  EXPECT_NEAR(gamma_half_ratio(0.5), 1.0 / std::sqrt(M_PI), 2e-16);
  EXPECT_NEAR(gamma_half_ratio(1.0), std::sqrt(M_PI) / 2.0, 2e-16);
}

}  // namespace
}  // namespace diffboot::numeric
