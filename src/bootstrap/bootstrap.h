#pragma once
// Bootstrap replication of the effect measures with their Student's t and
// BCa intervals. The draws come from one stream in a fixed order, so the
// same samples always give the same replicates and bounds.
#include <array>
#include <span>

#include "bootstrap/bca.h"
#include "numeric/random.h"

namespace diffboot::bootstrap {

// The four bounds of a measure; -999 until computed.
struct Interval {
  double t_lower = -999.0;
  double t_upper = -999.0;
  double bca_lower = -999.0;
  double bca_upper = -999.0;
};

// One effect measure of a run.
struct Measure {
  double estimate;            // point estimate from the samples themselves
  double t_quant;             // Student's t quantile of its interval (negative)
  std::span<double> boot;     // B replicates: replication order, sorted on return
  Interval interval;          // written by the bootstrap
};

struct UnpairedSamples {
  std::span<const double> x1, x2;
  std::span<double> x1_resample, x2_resample;  // hold the last replication's resamples on return
};

struct PairedSamples {
  std::span<const double> x1, x2;              // of equal size
  std::span<double> x3, x3_resample;           // paired differences and their last resample
};

// Unpaired run: measures d_AVE, d_MED, d_STD, d_MAD in that order. Each
// replication resamples x1 (n_x draws) then x2 (n_y draws). A zero variance
// of a measure's replicates ends the run through `moment`; samples of one
// value end it in the jackknife ("select args"). With `threads` > 1 the
// jackknife runs beside the replications; the results are the same bits.
void bootstrap_unpaired(const UnpairedSamples& s, std::array<Measure, 4>& measures, double alpha,
                        numeric::UniformState& g, unsigned threads);

// Paired run: measures AVE_d, MED_d. Fills x3 = x1 - x2 and returns MED_d,
// the median of x3 (the estimate of measures[1] is set to it first).
double bootstrap_paired(const PairedSamples& s, std::array<Measure, 2>& measures, double alpha,
                        numeric::UniformState& g);

}  // namespace diffboot::bootstrap
