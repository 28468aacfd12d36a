#pragma once
// The results of one effect measure: its point estimate, its Student's t and
// BCa bounds and the bootstrap quantities they were built from. Filled by the
// bootstrap, read by the report; a value not computed stays at -999.
namespace diffboot::bootstrap {

// Marker of a value that no stage has computed.
inline constexpr double unset = -999.0;

struct Result {
  double estimate = unset;      // from the samples themselves (read; paired runs write theirs)
  double t_lower = unset;       // Student's t interval: estimate -/+ |t| * se
  double t_upper = unset;
  double bca_lower = unset;     // BCa percentile interval
  double bca_upper = unset;
  double se = unset;            // standard deviation of the replicates
  double bias = unset;          // mean of the replicates minus the estimate
  double z0 = unset;            // bias correction
  double acceleration = unset;  // from the jackknife
  double percentile_lower = unset;  // the percentile rule at the plain levels (z0 = 0, acceleration 0)
  double percentile_upper = unset;
  double basic_lower = unset;       // 2 estimate - percentile_upper
  double basic_upper = unset;       // 2 estimate - percentile_lower
};

}  // namespace diffboot::bootstrap
