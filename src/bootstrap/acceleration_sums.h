#pragma once
// What the acceleration routines share: the scan of jackknife values for
// their spread, their power sums in storage order, the rescaling of sums
// that overflow, and accurate power sums of deviations. Internal to
// bootstrap/.
#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

namespace diffboot::bootstrap::acceleration_sums {

// 1.0e-12 held in single precision and widened to double: the relative
// spread below which jackknife values count as equal.
inline const double spread_threshold = static_cast<double>(1.0e-12f);
inline constexpr double infinity = std::numeric_limits<double>::infinity();

// Running sum, largest and smallest of jackknife values in storage order, of
// one measure (T = double) or of several side by side (a vector type).
template <typename T>
struct ScanOf {
  T sum = T{} + 0.0;
  T vmax = T{} - infinity;
  T vmin = T{} + infinity;
  void add(const T& v) {
    sum += v;
    vmax = vmax > v ? vmax : v;
    vmin = vmin < v ? vmin : v;
  }
  // Relative to the values' magnitude, so that the same data in other units
  // give the same acceleration; equal values are always flat.
  bool flat() const { return std::fabs(vmin - vmax) <= spread_threshold * std::max(std::fabs(vmin), std::fabs(vmax)); }
};

// Sums of squared and cubed deviations (mean minus value) in storage order.
template <typename T>
struct PowersOf {
  T s2 = T{} + 0.0;
  T s3 = T{} + 0.0;
  void add(const T& m, const T& v) {
    const T d = m - v;
    s2 += d * d;
    s3 += d * d * d;
  }
  double acceleration() const { return s3 / (6.0 * std::pow(s2, 1.5)); }
};

using Scan = ScanOf<double>;
using Powers = PowersOf<double>;

// The acceleration does not change when all jackknife values are multiplied
// by a power of two, except where its sums overflow. For an acceleration
// that is not finite from finite values, the exponent k such that values
// times 2^-k are at most about 2^200 (their cubes summed stay finite);
// otherwise 0, the acceleration stands.
int overflow_scale(double acc, const Scan& scan);

// The accurate power sums 1 to 3 of mean(w) − w_i.
struct PowerSums {
  double s1, s2, s3;
};

PowerSums power_sums(std::span<const double> w);

}  // namespace diffboot::bootstrap::acceleration_sums
