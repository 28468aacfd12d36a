#pragma once
// The BCa acceleration from jackknife values: of one set, and of an unpaired
// run's measures over the n_x·n_y grid (in storage order or by algebra) or by
// the two-sample formula. Each routine has its file.
#include <array>
#include <cstddef>
#include <span>

#include "bootstrap/leave_one_out.h"
#include "bootstrap/progress.h"

namespace diffboot::bootstrap {

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

// Jackknife values that take few distinct values, each with how often it
// occurs: those of measures of 0/1 values, given by their counts of ones
// and zeros whatever the number of values.
struct Repeated {
  double value;  // a jackknife value
  double count;  // how many of the jackknife values it is (0: none)
};

// `acceleration` of the values repeated as counted, in O(distinct values):
// 0 where they are flat as there (the values counted at least once), else
// sum c (m - v)^3 / (6 (sum c (m - v)^2)^1.5), m their mean, the sums in
// long double. The same number as `acceleration` of the values written out
// within rounding, not the same bits.
double acceleration_of_repeated(std::span<const Repeated> jack);

// The same from the deviations m - v themselves (`value` holding m - v),
// where they are known in closed form: 0 where every deviation counted is 0.
double acceleration_of_deviations(std::span<const Repeated> deviations);

// `two_sample_acceleration` of a measure's own jackknife values, repeated
// as counted: those of x without each of its values (`x_part`, n_x the sum
// of their counts), then of y (`y_part`).
double two_sample_acceleration_of_repeated(std::span<const Repeated> x_part, std::span<const Repeated> y_part);

}  // namespace diffboot::bootstrap
