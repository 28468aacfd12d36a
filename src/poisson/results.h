#pragma once
// The measures of the Poisson bootstrap from a sample's whole sums: their
// estimates, replicates and intervals, the BCa acceleration from the
// empirical influence values of each measure, whose power sums are the
// samples' power sums.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bootstrap/bootstrap.h"
#include "bootstrap/experiment.h"
#include "bootstrap/result.h"
#include "poisson/sums.h"

namespace diffboot::poisson::engine {

using bootstrap::Experiment;

// The measures of an experiment the Poisson bootstrap gives, in report order.
std::span<const std::string_view> measure_names(Experiment e);

// The measures a run gives when none is asked for: d_AVE, d_STD (paired: AVE_d).
// (A paired lift takes the sums of the pairs' second halves besides.)
std::span<const std::string_view> default_measures(Experiment e);

// What keeps `names` from being measures of the Poisson bootstrap of an
// experiment of type e ("d_MED needs order statistics across parts ..."),
// or nothing.
std::optional<std::string> measures_problem(const std::vector<std::string>& names, Experiment e);

// One measure's results and its B replicates, sorted (and in replication
// order where kept).
struct MeasureRun {
  std::string_view name;
  bootstrap::Result result;
  std::vector<double> replicates, in_order;
  std::vector<std::string> notes;  // why a number is missing, a line a note
};

// Whether the measures `names` (none: the defaults) of an experiment of type
// e need the sums of the pairs' second halves: a paired lift.
bool needs_second_halves(const std::vector<std::string>& names, Experiment e);

// The measures `names` (valid ones; none: the defaults) in report order
// from the whole sums of x and y (paired: the differences' in x, and in y
// the second halves' of second_half_sums where needs_second_halves, else
// y ignored). A lift without an estimate (mean(y) 0) is NaN throughout,
// with a note; its bounds are clipped to `lift_range` (lift_range_of the
// samples' signs). Notes say where a lift reads reversed or is unstable and
// where a bound lies beyond the replicates.
std::vector<MeasureRun> measure_runs(const Sums& x, const Sums& y, Experiment e, double alpha,
                                     const std::vector<std::string>& names, bool keep_replicates,
                                     bootstrap::Range lift_range = {});

// The range of the lift as far as the frames of the sums tell the samples'
// smallest values: unpaired those of x and y; paired (x the differences', y
// the second halves') min(d) + min(y) stands for the first halves' smallest,
// a bound from below, so that a paired lift is clipped only where that
// bound shows every first half >= 0.
bootstrap::Range lift_range_of_frames(const Sums& x, const Sums& y, Experiment e);

// The BCa acceleration of a measure whose empirical influence value at a
// value z of sample k is a_k (z − μ_k) + b_k ((z − μ_k)² − σ_k²), from the
// samples' central power sums m[k][j] = Σ (z − μ_k)^j, j = 0..6 (m[k][0] the
// count): (Σ_k Σ l³/n_k³) / (6 (Σ_k Σ l²/n_k²)^1.5); 0 where that is not a
// finite number (no spread).
double influence_acceleration(std::span<const std::array<long double, 7>> m, std::span<const double> a,
                              std::span<const double> b);

}  // namespace diffboot::poisson::engine
