#pragma once
// Bootstrap replication of the effect measures with their Student's t and
// BCa intervals. The draws come from one stream in a fixed order, so the
// same samples always give the same replicates and bounds. A Progress, when
// given, counts the work done as it goes, and a stop asked of it ends the
// run with Stopped after the replication or jackknife column at hand.
#include <array>
#include <limits>
#include <span>

#include "bootstrap/bca.h"
#include "bootstrap/progress.h"
#include "bootstrap/result.h"
#include "numeric/random.h"

namespace diffboot::bootstrap {

// The values a measure can take (Cliff's delta: [-1, 1]); every bound of
// its intervals is clipped to them.
struct Range {
  double lower = -std::numeric_limits<double>::infinity();
  double upper = std::numeric_limits<double>::infinity();
};

// The values a lift, mean(x)/mean(y) − 1, takes where no value of sample 1
// is negative and every value of sample 2 is positive: every resample's
// means are then of those signs too. Elsewhere it is unbounded (a sample 2
// of negative mean, or resample means of either sign, give lifts below −1).
inline constexpr Range lift_range{-1.0, std::numeric_limits<double>::infinity()};

// The range of the lift of samples whose smallest values are min_x and
// min_y (paired: of the pairs' first and second halves): lift_range where
// min_x >= 0 and min_y > 0, else unbounded.
Range lift_range_of(double min_x, double min_y);
Range lift_range_of(std::span<const double> x, std::span<const double> y);

// One effect measure of a run. When one of its replicates is not a finite
// number, everything the replicates decide (se, bias, z0 and every bound) is
// NaN: the finite ones are not the bootstrap distribution.
struct Measure {
  Result& result;             // estimate read (paired MED_d: written), the rest written
  double t_quant;             // Student's t quantile of its interval (negative)
  std::span<double> boot;     // its B replicates, B = boot.size(): replication order, sorted (NaN last) on return
  std::span<double> in_order = {};  // when not empty, given the B replicates in replication order
  Range range = {};
  bool drawn = true;  // false: a measure nobody asked for; its replicates are NaN, all it decides NaN
};

// How the BCa acceleration of an unpaired run's measures is formed. grid:
// the differences (d_AVE, d_MED, d_STD, d_MAD and the quantile differences)
// from the jackknife over the n_x·n_y pairs of a value left out of each
// sample (unpaired_accelerations), g, delta and the lift from their
// jackknife values of both samples pooled as one set. samples: every
// measure by the two-sample formula over each sample's leave-one-out values
// in turn (two_sample_accelerations, two_sample_acceleration).
enum class AccelerationMethod { grid, samples };

// Quantile measures: measures[k] of probability p[k], unpaired the
// p-quantile of x1 less that of x2, paired the p-quantile of the
// differences, by numeric::quantile_of_ranks. Their estimates are set by the
// run, their replicates read off the resamples' counts as the medians are,
// their accelerations from leave_one_out_quantiles (unpaired: as the
// method and the sums take d_MED's).
struct QuantileMeasures {
  std::span<const double> p;
  std::span<Measure> measures;
};

// The effect sizes a run computes besides its measures, from the same
// resamples (no deviate more or less is drawn); their estimates are set
// before the replications, each with the jackknife of its own acceleration.
struct EffectSizes {
  Measure* g = nullptr;       // Hedges' g
  Measure* delta = nullptr;   // Cliff's delta, unpaired runs only
  Measure* lift = nullptr;    // the lift of the means; without an estimate (mean(y) = 0) its bounds are NaN
  QuantileMeasures quantiles = {};
  Measure* h = nullptr;       // Cohen's h of the means (of 0/1 values: of the proportions); paired: set by the run
};

// How the jackknife's sums are formed: in their written order (the unpaired
// grid's n_x·n_y values, each leave-one-out column's own sum: O(n²)), or by
// algebra in O(n log n) (leave_one_out_by_algebra,
// unpaired_accelerations_by_algebra). By size: the unpaired grid by algebra
// from about 1000 values a sample (the algebra is faster at every size, and
// the written order's cost grows as n_x·n_y; small samples keep their bits),
// the paired columns beyond largest_written_paired pairs (the written
// order's n² additions; doc/performance.md gives how the two compare).
enum class JackknifeSums { by_size, by_algebra, in_order };  // in_order: the written order at any size (tests)
inline constexpr std::uint64_t largest_written_grid = 1000000;  // n_x·n_y
inline constexpr std::size_t largest_written_paired = 87000;  // n

// The intervals of a measure whose estimate and B replicates (in
// replication order) are set: its t interval (and its replicates copied to
// in_order where asked for), then the replicates sorted, the bias correction
// and, with acceleration `acc`, the BCa, percentile and basic intervals.
void measure_intervals(Measure& m, double acc, double alpha);

// Everything the replicates decide (se, bias, z0, every bound) and the
// acceleration set to NaN: a measure without an estimate to centre them on.
void without_intervals(Result& r);

// Whether a jackknife of these sizes forms its sums by algebra.
bool by_algebra(std::size_t n_x, std::size_t n_y, bool paired, JackknifeSums sums);

struct UnpairedSamples {
  std::span<const double> x1, x2;
  std::span<double> x1_resample, x2_resample;  // hold the last replication's resamples on return
};

struct PairedSamples {
  std::span<const double> x1, x2;              // of equal size
  std::span<double> differences, differences_resample;  // x1 - x2 and its last resample
};

// Unpaired run: measures d_AVE, d_MED, d_STD, d_MAD in that order. Each
// replication resamples x1 (n_x draws) then x2 (n_y draws). Samples of one
// value end the run in the jackknife ("select args"). With `threads` > 1 the
// replications run in blocks on that many threads and the jackknife beside
// them; the results are the same bits as from one thread.
void bootstrap_unpaired(const UnpairedSamples& s, std::array<Measure, 4>& measures, double alpha,
                        numeric::UniformState& g, unsigned threads, Progress* progress = nullptr,
                        const EffectSizes& effect_sizes = {}, JackknifeSums sums = JackknifeSums::by_size,
                        AccelerationMethod method = AccelerationMethod::grid);

// Paired run: measures AVE_d, MED_d. Fills differences = x1 - x2 and sets the
// estimates to the mean (as ave_var sums it) and the median of the differences before the
// replications, which run on
// up to `threads` threads with the same bits as from one.
void bootstrap_paired(const PairedSamples& s, std::array<Measure, 2>& measures, double alpha,
                      numeric::UniformState& g, unsigned threads, Progress* progress = nullptr,
                      const EffectSizes& effect_sizes = {}, JackknifeSums sums = JackknifeSums::by_size);

// The units of work `progress` counts for these samples and B replications:
// n draws a replication, and 2 n_x n_y jackknife pairs when unpaired, of the
// grid's acceleration and formed in their written order.
std::uint64_t work_units(std::size_t n_x, std::size_t n_y, std::size_t replications, bool paired,
                         JackknifeSums sums = JackknifeSums::by_size,
                         AccelerationMethod method = AccelerationMethod::grid);

}  // namespace diffboot::bootstrap
