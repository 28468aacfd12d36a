#include "numeric/distributions.h"

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/gamma.hpp>

namespace diffboot::numeric {
namespace {

constexpr double lower_limit = 1.0e-20;
constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();
constexpr double sqrt2 = 1.4142135623730951;

// Odeh and Evans (1974), Applied Statistics 23, 96-97: the rational function
// of y = sqrt(ln(1/q^2)) for the tail probability q.
double odeh_evans(double q) {
  constexpr double p0 = -0.322232431088, p1 = -1.0, p2 = -0.342242088547, p3 = -0.0204231210245,
                   p4 = -4.53642210148e-5;
  constexpr double q0 = 0.099348462606, q1 = 0.588581570495, q2 = 0.531103462366, q3 = 0.10353775285,
                   q4 = 0.0038560700634;
  const double y = std::sqrt(std::log(1.0 / (q * q)));
  const double num = (((p4 * y + p3) * y + p2) * y + p1) * y + p0;
  const double den = (((q4 * y + q3) * y + q2) * y + q1) * y + q0;
  return num / den + y;
}

// Coefficients of the erfc fit, constant term first (Press et al., Numerical
// Recipes, 2nd ed., section 6.2, erfcc).
constexpr std::array<double, 10> erfc_coefficients{-1.26551223, 1.00002368, 0.37409196,  0.09678418, -0.18628806,
                                                   0.27886807,  -1.13520398, 1.48851587, -0.82215223, 0.17087277};

// x^n for n >= 1 by repeated squaring from the low bit upward.
double power_by_squaring(double x, int n) {
  double result = (n % 2 == 1) ? x : 1.0;
  while ((n >>= 1) != 0) {
    x = x * x;
    if (n % 2 == 1) result = result * x;
  }
  return result;
}

}  // namespace

double norm_quantile(double p) {
  if (!(p >= 0.0 && p <= 1.0)) return not_a_number;
  if (p < lower_limit) return -infinite_quantile;
  if (p == 1.0) return infinite_quantile;
  if (p == 0.5) return 0.0;
  if (p < 0.5) return -odeh_evans(p);
  return odeh_evans(1.0 - p);
}

double erfc_approx(double x) {
  const double z = std::fabs(x);
  const double t = 1.0 / (1.0 + 0.5 * z);
  const double r = std::exp(poly_eval(t, erfc_coefficients) - z * z) * t;
  return x < 0 ? 2.0 - r : r;
}

double norm_cdf(double x) { return 1.0 - 0.5 * erfc_approx(x / sqrt2); }

double poly_eval(double x, std::span<const double> c) {
  std::size_t n = c.size();
  if (n == 0) return 0.0;
  if (n < 8) {
    double r = c[n - 1];
    for (std::size_t i = n - 1; i-- > 0;) r = x * r + c[i];
    return r;
  }
  std::vector<double> v(c.begin(), c.end());
  v.push_back(0.0);
  double w = x;
  for (;;) {
    v[n] = 0.0;
    const std::size_t m = (n + 1) / 2;
    for (std::size_t i = 0; i < m; ++i) v[i] = v[2 * i] + w * v[2 * i + 1];
    if (m == 1) return v[0];
    w = w * w;
    n = m;
  }
}

bool expanded_probability(double p) { return p == 0.01 || p == 0.025 || p == 0.05 || p == 0.1; }

double t_quantile(double p, std::int64_t degrees) {
  if (degrees < 1 || !(p >= 0.0 && p <= 1.0)) return not_a_number;
  if (p == 0.0 || p == 1.0) return p == 0.0 ? -infinite_quantile : infinite_quantile;
  if (degrees > largest_exact_degrees && expanded_probability(p)) return t_expansion(p, degrees);
  return boost::math::quantile(boost::math::students_t(static_cast<double>(degrees)), p);
}

double t_two_sided_p(double t, double nu) {
  if (std::isnan(t) || !(nu > 0.0) || !std::isfinite(nu)) return std::numeric_limits<double>::quiet_NaN();
  if (std::isinf(t)) return 0.0;
  return 2.0 * boost::math::cdf(boost::math::complement(boost::math::students_t(nu), std::fabs(t)));
}

double gamma_half_ratio(double a) {
  if (!(a > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  return 1.0 / boost::math::tgamma_delta_ratio(a, 0.5);
}

double t_expansion(double p, std::int64_t degrees) {
  const double z = norm_quantile(p);
  const double z3 = (z * z) * z;
  const double z5 = (((z * z) * z) * z) * z;
  const double z7 = power_by_squaring(z, 7);
  const double z9 = power_by_squaring(z, 9);
  const auto nu = static_cast<double>(degrees);
  const double nu2 = nu * nu;
  const double nu3 = nu2 * nu;
  const double nu4 = nu2 * nu2;
  double t = 0.25 * (z3 + z) / nu + z;
  t = (1.0 / 96.0) * ((5.0 * z5 + 16.0 * z3) + 3.0 * z) / nu2 + t;
  t = (1.0 / 384.0) * (((3.0 * z7 + 19.0 * z5) + 17.0 * z3) - 15.0 * z) / nu3 + t;
  t = (1.0 / 92160.0) * ((((79.0 * z9 + 776.0 * z7) + 1482.0 * z5) - 1920.0 * z3) - 945.0 * z) / nu4 + t;
  return t;
}

}  // namespace diffboot::numeric
