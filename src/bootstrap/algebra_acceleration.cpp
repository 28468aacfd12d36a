// The unpaired accelerations of the n_x·n_y grid by algebra on each
// sample's power sums, in O(n_x + n_y).
#include "bootstrap/acceleration.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bootstrap/acceleration_sums.h"

namespace diffboot::bootstrap {
namespace {

using namespace acceleration_sums;

// The acceleration of the grid u_i − v_j, by its power sums.
double grid_acceleration(std::span<const double> u, std::span<const double> v) {
  const auto [u_min, u_max] = std::minmax_element(u.begin(), u.end());
  const auto [v_min, v_max] = std::minmax_element(v.begin(), v.end());
  const auto nan = [](double w) { return std::isnan(w); };
  if (std::any_of(u.begin(), u.end(), nan) || std::any_of(v.begin(), v.end(), nan)) return std::nan("");
  const Scan scan{0.0, *u_max - *v_min, *u_min - *v_max};
  if (scan.flat()) return 0.0;
  const PowerSums a = power_sums(u), b = power_sums(v);
  const auto nx = static_cast<double>(u.size()), ny = static_cast<double>(v.size());
  const double s2 = ny * a.s2 - 2.0 * a.s1 * b.s1 + nx * b.s2;
  const double s3 = ny * a.s3 - 3.0 * a.s2 * b.s1 + 3.0 * a.s1 * b.s2 - nx * b.s3;
  const double acc = Powers{s2, s3}.acceleration();
  const int k = overflow_scale(acc, scan);
  if (k == 0) return acc;
  std::vector<double> su(u.begin(), u.end()), sv(v.begin(), v.end());
  for (double& w : su) w = std::ldexp(w, -k);
  for (double& w : sv) w = std::ldexp(w, -k);
  return grid_acceleration(su, sv);
}

}  // namespace

std::array<double, 4> unpaired_accelerations_by_algebra(const LeaveOneOut& x1, const LeaveOneOut& x2) {
  return {grid_acceleration(x1.ave, x2.ave), grid_acceleration(x1.med, x2.med), grid_acceleration(x1.std, x2.std),
          grid_acceleration(x1.mad, x2.mad)};
}

}  // namespace diffboot::bootstrap
