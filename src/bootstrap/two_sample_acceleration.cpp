// The two-sample acceleration: each sample left out one value at a time.
#include "bootstrap/acceleration.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bootstrap/acceleration_sums.h"

namespace diffboot::bootstrap {
namespace {

using namespace acceleration_sums;

// The sums Σ U³/n³ and Σ U²/n² of one sample's influence values
// U_i = sign (n − 1)(mean(w) − w_i); none when its spread is rounding only.
struct InfluenceSums {
  double cubes = 0.0, squares = 0.0;
};

InfluenceSums influence_sums(std::span<const double> w, double sign) {
  Scan scan;
  for (double v : w) scan.add(v);
  if (scan.flat()) return {};
  const PowerSums p = power_sums(w);
  const auto n = static_cast<double>(w.size());
  const double f = (n - 1.0) / n;
  return {sign * (f * f * f) * p.s3, (f * f) * p.s2};
}

// The two-sample acceleration from each sample's leave-one-out values: u of
// sample 1, v of sample 2, whose influence counts with sign_v (-1 where v
// are a statistic of sample 2 that the measure subtracts, +1 where they are
// the measure's own jackknife values).
double two_sample_acceleration(std::span<const double> u, std::span<const double> v, double sign_v) {
  const auto nan = [](double w) { return std::isnan(w); };
  if (std::any_of(u.begin(), u.end(), nan) || std::any_of(v.begin(), v.end(), nan)) return std::nan("");
  const InfluenceSums a = influence_sums(u, 1.0), b = influence_sums(v, sign_v);
  if (a.squares == 0.0 && b.squares == 0.0) return 0.0;
  const double acc = Powers{a.squares + b.squares, a.cubes + b.cubes}.acceleration();
  const auto [u_min, u_max] = std::minmax_element(u.begin(), u.end());
  const auto [v_min, v_max] = std::minmax_element(v.begin(), v.end());
  const int k = overflow_scale(acc, Scan{0.0, std::max(*u_max, *v_max), std::min(*u_min, *v_min)});
  if (k == 0) return acc;
  std::vector<double> su(u.begin(), u.end()), sv(v.begin(), v.end());
  for (double& w : su) w = std::ldexp(w, -k);
  for (double& w : sv) w = std::ldexp(w, -k);
  return two_sample_acceleration(su, sv, sign_v);
}

}  // namespace

std::array<double, 4> two_sample_accelerations(const LeaveOneOut& x1, const LeaveOneOut& x2) {
  return {two_sample_acceleration(x1.ave, x2.ave, -1.0), two_sample_acceleration(x1.med, x2.med, -1.0),
          two_sample_acceleration(x1.std, x2.std, -1.0), two_sample_acceleration(x1.mad, x2.mad, -1.0)};
}

double two_sample_acceleration(std::span<const double> jack, std::size_t n_x) {
  return two_sample_acceleration(jack.first(n_x), jack.subspan(n_x), 1.0);
}

}  // namespace diffboot::bootstrap
