#pragma once
// The results of a run for other programs: one csv row per measure, or one
// json object with the inputs, the samples' summaries and every measure.
// Numbers are written in their shortest form that reads back as the same
// double.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bootstrap/result.h"
#include "numeric/summaries.h"

namespace diffboot::report {

// A sample's mean, sd (divisor n - 1), extremes, median and mad (scaled by 1.4826).
using SampleFacts = numeric::SampleSummary;

struct MeasureRow {
  std::string_view name;             // "d_AVE", "AVE_d", ..., "g", "delta"
  const bootstrap::Result* result;
  double p_permutation = 0.0, p_t = 0.0;  // written when the report has p-values
  double p_holm = 0.0;                    // written when the report has Holm's p-values
};

struct MachineReport {
  std::string_view version;
  std::string_view sample1, sample2;  // the file names as given
  std::int64_t n_x, n_y;
  std::int64_t missing_x, missing_y;  // missing cells (or values) skipped in each sample
  std::string_view experiment;        // "paired" or "unpaired"
  double alpha, level;                // level = 1 - 2 alpha
  std::int32_t replications;
  std::int64_t seed;                  // N of --seed N that draws the same replicates
  SampleFacts x, y;
  std::vector<MeasureRow> measures;
  std::int32_t permutations = 0;      // of the p-values; 0: none, and no p-value columns or keys
  std::int64_t pairs_dropped = 0;     // pairs left out for a missing half (written for paired runs)
  std::string_view method;            // "poisson" for the Poisson bootstrap (a method column or key); empty: none
  // With several groups: the comparison ("G1 - G0"), the first csv column and
  // a json key; empty: none.
  std::string_view comparison = {};
  bool holm = false;                  // with p-values and several groups: each measure's p_holm
  // --cluster: the cluster column (empty: none), each sample's clusters and
  // its rows left out without one (csv columns and json inputs when set).
  std::string_view cluster = {};
  std::int64_t clusters_x = 0, clusters_y = 0, no_cluster_x = 0, no_cluster_y = 0;
  // Of proportions (0/1 values): the test's p-value is named p_z or
  // p_mcnemar in place of p_t; inputs.proportions (and with counts
  // inputs.counts) is true, and each sample has its successes and proportion.
  std::string_view test = "p_t";
  bool proportions = false, counts = false;
  std::int64_t successes_x = 0, successes_y = 0;
};

// The shortest text of `v` that reads back as the same double; NaN, Inf, -Inf.
std::string shortest(double v);

// A header line and one row per measure, comma-separated, LF line ends.
// Columns: measure, estimate, se, bias, t_lower, t_upper, bca_lower,
// bca_upper, percentile_lower, percentile_upper, basic_lower, basic_upper, z0,
// acceleration, alpha, level, B, n_x, n_y, experiment, seed, missing_x,
// missing_y, for paired runs pairs_dropped, with p-values p_permutation,
// p_t, permutations, with a method, method, and last sample1, sample2
// (quoted when they hold a comma, quote or line end). Non-finite values as
// NaN, Inf, -Inf.
std::string results_csv(const MachineReport& r);

// One json object (program, version, inputs, samples, measures), ended by a
// line feed; paired runs have inputs.pairs_dropped; with p-values each
// measure has p_permutation and p_t, and the inputs the permutations (and
// the method, when set). Non-finite values as null; bytes of a file name that are not
// UTF-8 become U+FFFD.
std::string results_json(const MachineReport& r);

// One comparison of several groups: its report, or why it stopped.
struct ComparisonReport {
  std::string_view comparison;      // "G1 - G0"
  const MachineReport* report;      // nothing when it stopped
  std::string_view stopped;         // why, when it stopped
};

// The csv of several comparisons: one header line (that of their reports,
// which begins with the column comparison), then every row of each
// comparison that has results.
std::string comparisons_csv(std::span<const ComparisonReport> comparisons);

// One json object: program, version, design, groups and comparisons, an
// array holding each comparison's results_json object with its comparison
// key, or for one that stopped its comparison and stopped keys.
std::string comparisons_json(std::string_view version, std::string_view design, std::span<const std::string> groups,
                             std::span<const ComparisonReport> comparisons);

}  // namespace diffboot::report
