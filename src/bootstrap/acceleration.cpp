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

}  // namespace diffboot::bootstrap
