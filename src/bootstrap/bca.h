#pragma once
// The pieces of the bias-corrected and accelerated (BCa) percentile interval.
#include <array>
#include <span>

#include "bootstrap/leave_one_out.h"
#include "bootstrap/progress.h"

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

// Acceleration of jackknife values v in storage order: 0 when their spread
// |vmin - vmax| is at most 1.0e-12 (single precision, widened) times
// max(|vmin|, |vmax|), else
// sum (m - v)^3 / (6 * (sum (m - v)^2)^1.5) with m their mean.
double acceleration(std::span<const double> jack);

// Accelerations of d_AVE, d_MED, d_STD and d_MAD, whose jackknife value
// (i, j) is the statistic of x1 without value i minus that of x2 without
// value j, over the n_x x n_y values in storage order (i fastest). Bit-identical
// to `acceleration` on the materialised matrices.
// Counts n_x n_y units of `progress` (when given) for each of its two passes.
std::array<double, 4> unpaired_accelerations(const LeaveOneOut& x1, const LeaveOneOut& x2,
                                             Progress* progress = nullptr);

// The same accelerations by algebra, in O(n_x + n_y): with a_i = mean(u) − u_i
// and b_j = mean(v) − v_j for a measure's leave-one-out statistics u of x1
// and v of x2, the grid's deviations are a_i − b_j, so
//   sum (a_i − b_j)^2 = n_y A2 − 2 A1 B1 + n_x B2,
//   sum (a_i − b_j)^3 = n_y A3 − 3 A2 B1 + 3 A1 B2 − n_x B3,
// A_k, B_k the accurate power sums of a and b; the grid's extremes (for the
// flatness test) are min u − max v and max u − min v. At least as accurate as
// the grid's storage order, not the same bits.
std::array<double, 4> unpaired_accelerations_by_algebra(const LeaveOneOut& x1, const LeaveOneOut& x2);

// Accelerations of d_AVE, d_MED, d_STD and d_MAD by the two-sample formula
// (Efron and Tibshirani 1993, ch. 14), each sample left out in turn: with
// u the leave-one-out statistics of x1 and v those of x2,
// U_i = (n_x − 1)(mean(u) − u_i) and W_j = (n_y − 1)(v_j − mean(v)),
//   acc = (Σ U_i³/n_x³ + Σ W_j³/n_y³) / (6 (Σ U_i²/n_x² + Σ W_j²/n_y²)^1.5),
// power sums accurate. A sample whose values' spread is at most 1.0e-12
// (single precision, widened) of their magnitude adds nothing (rounding
// only); when neither adds anything, 0.
std::array<double, 4> two_sample_accelerations(const LeaveOneOut& x1, const LeaveOneOut& x2);

// The same formula for a measure of two samples given by its own jackknife
// values: the measure of x without each of its n_x values in turn, then of
// y without each of its values (the rest of `jack`), with
// U_i = (n_x − 1)(mean − value) over each sample's part (Hedges' g, Cliff's
// delta, the lift).
double two_sample_acceleration(std::span<const double> jack, std::size_t n_x);

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
