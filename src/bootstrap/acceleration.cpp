// The acceleration of one set of jackknife values, and the pieces the
// other acceleration routines share.
#include "bootstrap/acceleration.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bootstrap/acceleration_sums.h"
#include "numeric/accurate_sum.h"

namespace diffboot::bootstrap {

namespace acceleration_sums {

int overflow_scale(double acc, const Scan& scan) {
  if (std::isfinite(acc) || !std::isfinite(scan.vmin) || !std::isfinite(scan.vmax)) return 0;
  const int k = std::ilogb(std::max(std::fabs(scan.vmin), std::fabs(scan.vmax))) - 200;
  return k > 0 ? k : 0;
}

PowerSums power_sums(std::span<const double> w) {
  const numeric::AccurateSum::Mean mean = numeric::accurate_sum(w).mean(static_cast<double>(w.size()));
  numeric::AccurateSum s1, s2, s3;
  for (double v : w) {
    const double d = (mean.high - v) + mean.low;
    s1.add(d), s2.add(d * d), s3.add(d * d * d);
  }
  return {s1.value(), s2.value(), s3.value()};
}

}  // namespace acceleration_sums

using namespace acceleration_sums;

double acceleration(std::span<const double> jack) {
  Scan scan;
  for (double v : jack) scan.add(v);
  if (scan.flat()) return 0.0;
  const double m = scan.sum / static_cast<double>(jack.size());
  Powers powers;
  for (double v : jack) powers.add(m, v);
  const double acc = powers.acceleration();
  const int k = overflow_scale(acc, scan);
  if (k == 0) return acc;
  std::vector<double> scaled(jack.begin(), jack.end());
  for (double& v : scaled) v = std::ldexp(v, -k);
  return acceleration(scaled);
}

namespace {

// The weighted mean of repeated values, and their sums of squared and cubed
// deviations from it (mean minus value), in long double.
struct RepeatedSums {
  long double n = 0.0L, mean = 0.0L, s2 = 0.0L, s3 = 0.0L;
  bool flat = true;
};

RepeatedSums repeated_sums(std::span<const Repeated> jack) {
  RepeatedSums r;
  Scan scan;
  long double sum = 0.0L;
  for (const Repeated& j : jack) {
    if (!(j.count > 0.0)) continue;
    scan.add(j.value);
    r.n += j.count;
    sum += static_cast<long double>(j.count) * j.value;
  }
  r.flat = r.n == 0.0L || scan.flat();
  if (r.flat) return r;
  r.mean = sum / r.n;
  for (const Repeated& j : jack) {
    if (!(j.count > 0.0)) continue;
    const long double d = r.mean - j.value;
    r.s2 += j.count * d * d;
    r.s3 += j.count * d * d * d;
  }
  return r;
}

double of_sums(long double s2, long double s3) {
  return static_cast<double>(s3 / (6.0L * std::pow(s2, 1.5L)));
}

}  // namespace

double acceleration_of_repeated(std::span<const Repeated> jack) {
  for (const Repeated& j : jack) {
    if (j.count > 0.0 && std::isnan(j.value)) return std::nan("");
  }
  const RepeatedSums r = repeated_sums(jack);
  return r.flat ? 0.0 : of_sums(r.s2, r.s3);
}

double acceleration_of_deviations(std::span<const Repeated> deviations) {
  long double s2 = 0.0L, s3 = 0.0L;
  for (const Repeated& j : deviations) {
    if (!(j.count > 0.0)) continue;
    const long double d = j.value;
    s2 += j.count * d * d;
    s3 += j.count * d * d * d;
  }
  return s2 == 0.0L ? 0.0 : of_sums(s2, s3);
}

double two_sample_acceleration_of_repeated(std::span<const Repeated> x_part, std::span<const Repeated> y_part) {
  long double squares = 0.0L, cubes = 0.0L;
  for (const std::span<const Repeated> part : {x_part, y_part}) {
    for (const Repeated& j : part) {
      if (j.count > 0.0 && std::isnan(j.value)) return std::nan("");
    }
    const RepeatedSums r = repeated_sums(part);
    if (r.flat) continue;
    const long double f = (r.n - 1.0L) / r.n;  // U = (n - 1)(mean - value), over n
    squares += f * f * r.s2;
    cubes += f * f * f * r.s3;
  }
  return squares == 0.0L ? 0.0 : of_sums(squares, cubes);
}

}  // namespace diffboot::bootstrap
