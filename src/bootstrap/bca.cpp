#include "bootstrap/bca.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "numeric/distributions.h"

namespace diffboot::bootstrap {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

// The distance within which a replicate counts as equal to the estimate;
// where |estimate| + se is beyond the largest double, the two scaled apart
// (an infinite distance would make every replicate equal).
double tie_distance(double estimate, double se) {
  const double scale = std::fabs(estimate) + se;
  return std::isfinite(scale) ? tie_tolerance * scale : tie_tolerance * std::fabs(estimate) + tie_tolerance * se;
}

bool equal_to(double r, double estimate, double tie) { return r == estimate || std::fabs(r - estimate) <= tie; }

}  // namespace

double bias_correction(std::span<const double> replicates, double estimate, double se) {
  if (!std::isfinite(estimate)) return std::numeric_limits<double>::quiet_NaN();
  const double tie = tie_distance(estimate, se);
  std::int64_t equal = 0;
  std::int64_t less = 0;
  for (double r : replicates) {
    if (equal_to(r, estimate, tie)) {
      ++equal;
    } else if (r < estimate) {
      ++less;
    }
  }
  const auto replications = static_cast<double>(replicates.size());
  const double p0 = (0.5 * static_cast<double>(equal) + static_cast<double>(less)) / replications;
  return numeric::norm_quantile(p0);
}

bool all_equal_to_estimate(std::span<const double> replicates, double estimate, double se) {
  const double tie = tie_distance(estimate, se);
  return std::all_of(replicates.begin(), replicates.end(), [&](double r) { return equal_to(r, estimate, tie); });
}

Levels bca_levels(double z0, double acc, double z_alpha) {
  const double w_lower = z0 + z_alpha;
  const double w_upper = z0 - z_alpha;
  return {numeric::norm_cdf(z0 + w_lower / (1.0 - acc * w_lower)),
          numeric::norm_cdf(z0 + w_upper / (1.0 - acc * w_upper))};
}

double percentile(std::span<const double> s, double p) {
  if (std::isnan(p)) return p;
  const auto count = static_cast<std::int64_t>(s.size());
  const double places = static_cast<double>(count) + 1.0;  // B + 1: s(k) sits at level k/(B + 1)
  const auto k = static_cast<std::int64_t>(std::clamp(p * places, 0.0, places + 1.0));
  const std::int64_t lo = std::clamp<std::int64_t>(k, 1, count);
  const std::int64_t hi = std::min<std::int64_t>(k + 1, count);
  const double low = s[static_cast<std::size_t>(lo - 1)], high = s[static_cast<std::size_t>(hi - 1)];
  const double width = places * (high - low);
  const double frac = p - static_cast<double>(lo) / places;
  if (std::isinf(width) && std::isfinite(low) && std::isfinite(high)) {
    // Neighbours so far apart that the width overflows: the same point
    // between them as a weighted mean, whose terms stay within the double range.
    const double t = frac * places;
    return (1.0 - t) * low + t * high;
  }
  return low + frac * width;
}

bool beyond_replicates(double p, std::size_t replications) {
  const double places = static_cast<double>(replications) + 1.0;
  const double position = p * places;
  return position < 1.0 - 1e-3 || position > places - 1.0 + 1e-3;
}

double replications_reaching(double p) {
  const double tail = std::min(p, 1.0 - p);
  if (!(tail > 0.0)) return infinity;
  // A level a rounding above a whole number of places needs no replicate more.
  const double places = 1.0 / tail - 1.0;
  return std::ceil(places - 1e-9 * places);
}

PlainBounds plain_bounds(std::span<const double> sorted, double estimate, double z_alpha) {
  const Levels plain = bca_levels(0.0, 0.0, z_alpha);
  const double lower = percentile(sorted, plain.lower);
  const double upper = percentile(sorted, plain.upper);
  return {lower, upper, 2.0 * estimate - upper, 2.0 * estimate - lower};
}

}  // namespace diffboot::bootstrap
