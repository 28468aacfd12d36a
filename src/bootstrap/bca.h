#pragma once
// The pieces of the bias-corrected and accelerated (BCa) percentile interval.
#include <cstddef>
#include <span>

#include "bootstrap/acceleration.h"

namespace diffboot::bootstrap {

// Relative distance within which a replicate counts as equal to the estimate:
// the rounding of sums that are mathematically equal stays far below it.
inline constexpr double tie_tolerance = 1e-12;

// z0 = norm_quantile((0.5 * #equal + #less) / B) over the B replicates,
// replicates equal to the estimate counting half below it. A replicate r is
// equal when r = estimate or |r - estimate| <= 1e-12 (|estimate| + se), se
// the replicates' standard error; NaN is neither equal nor less. NaN when
// the estimate is not a finite number.
double bias_correction(std::span<const double> replicates, double estimate, double se);

// Whether every replicate is equal to the estimate as bias_correction counts
// equality (the intervals then have no width).
bool all_equal_to_estimate(std::span<const double> replicates, double estimate, double se);

struct Levels {
  double lower, upper;
};

// Adjusted percentile levels norm_cdf(z0 + w / (1 - acc * w)) for
// w = z0 + z_alpha (lower) and w = z0 - z_alpha (upper).
Levels bca_levels(double z0, double acc, double z_alpha);

// Linear interpolation in the B sorted replicates with s(k) at level
// k/(B + 1): below 1/(B + 1) gives s(1), from B/(B + 1) on gives s(B); NaN
// gives NaN.
double percentile(std::span<const double> sorted, double p);

// Whether level p lies beyond the B sorted replicates the percentile rule
// reads: p (B + 1) below 1 or above B, where the rule gives the smallest or
// the largest replicate whatever p is (a thousandth of a place is allowed
// for the rounding of the levels' approximations). NaN is not beyond.
bool beyond_replicates(double p, std::size_t replications);

// The fewest replications B at which level p lies within the replicates:
// the least B with p (B + 1) >= 1 and (1 - p) (B + 1) >= 1; infinite for p
// of 0 or 1.
double replications_reaching(double p);

struct PlainBounds {
  double percentile_lower, percentile_upper;
  double basic_lower, basic_upper;
};

// The percentile interval (the percentile rule at the levels z0 = 0 and
// acceleration 0 give) of the sorted replicates, and the basic interval
// 2 estimate - percentile_upper, 2 estimate - percentile_lower.
PlainBounds plain_bounds(std::span<const double> sorted, double estimate, double z_alpha);

}  // namespace diffboot::bootstrap
