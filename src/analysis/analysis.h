#pragma once
// One analysis of two samples: the summaries and point estimates, the
// bootstrap replicates of the experiment's measures and their intervals.
// Everything it needs is passed in and it keeps nothing between calls, so
// analyses may run at once on other threads. The program's run and the
// library's analyse() both go through here.
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/measure.h"
#include "bootstrap/bootstrap.h"
#include "bootstrap/progress.h"
#include "bootstrap/result.h"
#include "analysis/settings.h"
#include "numeric/summaries.h"

namespace diffboot::analysis {

struct Settings {
  Experiment experiment = Experiment::unpaired;
  double alpha = 0.025;
  std::int32_t replications = 1999;  // B
  std::int32_t seed = 286761062;     // the generator is seeded from -seed
  unsigned threads = 1;
  std::vector<MeasureKind> measures;  // the measures asked for (see parse_measures); none: the experiment's
  std::vector<double> quantiles = {};  // the probabilities of the quantile measures asked for, besides `measures`
  std::int32_t permutations = 0;      // permutation p-values from this many permutations; 0: none
  bool replication_order = false;     // keep each measure's replicates in replication order too
  bootstrap::JackknifeSums jackknife = bootstrap::JackknifeSums::by_size;  // by_algebra: at any size (tests)
  Acceleration acceleration = Acceleration::grid;  // of the unpaired differences
  // Unpaired: the cluster of each value of x and of y, numbered from 0 per
  // sample (bootstrap::ClusteredSample), for the cluster bootstrap; empty:
  // each value is its own unit. Clusters of one value each are the plain run.
  std::span<const std::uint32_t> clusters_x = {}, clusters_y = {};
  // `measures` are exactly the measures named, even none (only quantile
  // measures named): the experiment's own are then not chosen.
  bool measures_named = false;
  // The values are 0/1 (see binary_problem): the measures are those of
  // proportions (proportion_measure_names; d_PROP and PROP_d are the runs of
  // d_AVE and AVE_d under their own names), and the p-values' test is the
  // two-proportion z-test or McNemar's in place of the t-test.
  bool proportions = false;
};

// The bootstrap's method for the acceleration the settings ask for.
bootstrap::AccelerationMethod acceleration_method(const Settings& settings);

// Summaries of both samples, formed side by side where both hold values.
struct Summaries {
  numeric::SampleSummary x, y;
};
Summaries summarise(std::span<const double> x, std::span<const double> y);

// Student's t quantiles for alpha and n_x + n_y - 2, n_x + n_y - 4 and n_x - 1
// degrees of freedom.
struct TQuantiles {
  double means, spreads, paired;  // unpaired locations, unpaired spreads, paired
};
TQuantiles t_quantiles(double alpha, std::int64_t n_x, std::int64_t n_y);

// The names of an experiment's measures in report order: AVE_d, MED_d
// (paired); d_AVE, d_MED, d_STD, d_MAD (unpaired).
std::span<const std::string_view> measure_names(Experiment e);

// Every measure an experiment can be asked for: its measures, then Hedges'
// g, then (unpaired) Cliff's delta.
std::span<const std::string_view> all_measure_names(Experiment e);

// What keeps `names` from being the measures of an experiment of type e
// ("delta is not a measure of a paired experiment", "\"cohen\" is not a
// measure; the measures of ... are ..."), or nothing.
std::optional<std::string> measures_problem(const std::vector<std::string>& names, Experiment e,
                                           std::span<const double> quantiles = {}, bool proportions = false);

// One measure of an analysis: its results and its B replicates, sorted.
struct MeasureRun {
  MeasureKind kind = MeasureKind::d_AVE;
  std::string name;                  // info(kind).name; a quantile measure's quantile_name
  double probability = std::numeric_limits<double>::quiet_NaN();  // a quantile measure's
  bootstrap::Result result;
  std::vector<double> replicates;
  bool chosen = true;                // asked for: in csv, json, the figure and the replicates file
  std::vector<double> in_order;      // the replicates in replication order, when kept
  double p_permutation = std::numeric_limits<double>::quiet_NaN();  // when p-values are asked for
  double p_t = std::numeric_limits<double>::quiet_NaN();            // Welch's or the paired t-test's (means only);
                                                                    // of proportions the z-test's or McNemar's
  std::vector<std::string> notes;    // what a user must know to read its numbers, a line each (no line end)
};

// The bootstrap of the measures of settings.experiment (always, in report
// order, chosen where asked for), of the effect sizes asked for after them
// and then of the quantile measures asked for, with the estimates of the unpaired measures from `summaries` (the
// paired ones from the differences); with settings.permutations, the
// p-values of every measure. Each measure's notes say where its numbers
// are not what they seem: replicates that are not finite numbers (its
// intervals NaN), replicates all equal to the estimate (intervals without
// width), a t-test that cannot be formed (p_t NaN), a quantile measure's
// permutation p-value that is not given. x and y must suit the
// experiment (see problem()). A stop asked of `progress` ends the run with
// bootstrap::Stopped.
std::vector<MeasureRun> run_bootstrap(std::span<const double> x, std::span<const double> y,
                                      const Summaries& summaries, const Settings& settings,
                                      bootstrap::Progress* progress);

// The runs of the measures `settings` ask for, in report order, their B
// replicates unset: what run_bootstrap fills (and the counts' bootstrap).
std::vector<MeasureRun> runs_of_measures(const Settings& settings);

// Notes on a measure's replicates once its intervals are formed: some not
// finite numbers (`cause` says why), all equal to the estimate (as
// `samples`, "the 12 pairs", would have it), bounds beyond their levels.
void notes_on_replicates(MeasureRun& run, const std::string& samples, std::string_view cause, double alpha);

// The name of the p-value of the test beside the permutation test: p_t
// (Welch's or the paired t-test), of proportions p_z (the two-proportion
// z-test) or p_mcnemar (McNemar's test).
std::string_view test_name(bool proportions, Experiment e);

// The two-sided p-value of the two-proportion z-test of k_x successes of
// n_x against k_y of n_y, the proportions pooled under the null hypothesis:
// z = (p_x - p_y) / sqrt(p (1 - p) (1/n_x + 1/n_y)), p = (k_x + k_y) /
// (n_x + n_y); NaN where every value is 0 or every one is 1.
double z_test_p(double k_x, double n_x, double k_y, double n_y);

// The two-sided p-value of McNemar's test (McNemar 1947) of the discordant
// pairs b (x's value 1 only) and c (y's only), without continuity
// correction: (b - c)^2 / (b + c) against chi-squared of 1 degree of
// freedom; NaN where no pair is discordant.
double mcnemar_p(double b, double c);

// The first value of a sample that is not 0 or 1, as the program names it:
// "sample 1 holds 2, at position 5, which is not 0 or 1 (--proportions)"
// (NaN, a missing value, is passed over); nothing when every value is.
std::optional<std::string> binary_problem(std::span<const double> values, std::string_view sample);

// The program's message for samples too small for the experiment ("Too few
// values for an unpaired experiment: each sample needs at least 3"), or nothing.
std::optional<std::string> too_few_values(std::int64_t n_x, std::int64_t n_y, Experiment e);

// "samples of equal size, but sample 1 has N values and sample 2 has M".
std::string unequal_sizes(std::int64_t n_x, std::int64_t n_y);

// What keeps these sizes and settings from an analysis, in the program's
// words ("Too few values for an unpaired experiment: each sample needs at
// least 3"), or nothing.
std::optional<std::string> problem(std::size_t n_x, std::size_t n_y, const Settings& settings);

}  // namespace diffboot::analysis
