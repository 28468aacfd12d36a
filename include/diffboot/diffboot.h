#pragma once
// diffboot as a library: bootstrap confidence intervals for the effect in a
// two-sample experiment. analyse() takes the two samples and the options and
// returns, per effect measure, the estimate with its Student's t, BCa,
// percentile and basic intervals, exactly as the program's csv and json give
// them for the same values, experiment type, alpha, B and seed. It keeps no
// state between calls: calls on other threads may run at once. A Control
// follows a long run from another thread and may stop it.
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace diffboot {

enum class Experiment { paired, unpaired };

// What a NaN among the values is: an error (the program's message), or a
// missing value left out and counted, as the program does for tables.
enum class Missing { error, skip };

// The BCa acceleration of the unpaired differences (d_AVE, d_MED, d_STD,
// d_MAD): from the jackknife over every pair of a value left out of each
// sample (grid), or by the two-sample formula, one sample left out at a time
// (samples).
enum class Acceleration { grid, samples };

// The clusters of an unpaired experiment's values (users whose sessions
// are the values, orders whose items are): x[i] names the cluster of sample
// 1's i-th value, y[j] that of sample 2's j-th. The values of one key form
// one unit: the cluster bootstrap draws each sample's units with
// replacement and computes every measure on the values of the units drawn;
// the BCa acceleration leaves out one cluster at a time. Keys are compared
// as text; no key may be in both samples; each sample needs at least 3
// clusters. An empty key is a missing cluster: its value is left out and
// counted with Missing::skip, an Error otherwise. Both empty (the default):
// every value is its own unit. Keys of one value each give the plain run's
// numbers, bit for bit. No permutation p-values with clusters.
struct Clusters {
  std::vector<std::string> x, y;
};

struct Options {
  Experiment experiment = Experiment::unpaired;
  double alpha = 0.025;                 // probability beyond each bound, 0.0005 to 0.25
  std::int64_t replications = 1999;     // B
  std::optional<std::int32_t> seed;     // none: the fixed seed
  unsigned threads = 0;                 // 0: every core
  std::vector<std::string> measures;    // by name, such as {"d_AVE", "g", "delta", "lift"}; {"all"}: every one; none: the experiment's
  std::int32_t permutations = 0;        // permutation p-values from this many permutations (99 to 10^6); 0: none
  bool keep_replicates = false;         // each measure's B replicates in MeasureResult::replicates
  Missing missing = Missing::error;     // skip: NaN left out and counted (paired: the pair at that position)
  Acceleration acceleration = Acceleration::grid;  // of the unpaired differences' BCa intervals
  Clusters clusters = {};               // unpaired: the cluster bootstrap, a key per value (see Clusters)
  // Probabilities strictly between 0 and 1, at most 9: the quantile measures
  // d_Q90 (unpaired: the 0.9-quantile of x less that of y) or Q90_d (paired:
  // the 0.9-quantile of the differences), after the other measures; with
  // `measures`, those it names ("all": every one).
  std::vector<double> quantiles = {};
  // The values are 0/1 (outcomes: a success 1, a failure 0), any other
  // value an Error naming it: the measures are those of proportions, d_PROP
  // (p_x - p_y, the same numbers as d_AVE's), lift (p_x / p_y - 1) and h
  // (Cohen's h), paired PROP_d, lift and h; with permutations, p_t holds the
  // two-proportion z-test's p-value (paired: McNemar's) in place of the
  // t-test's. No quantile measures.
  bool proportions = false;
};

struct MeasureResult {
  std::string name;                     // "d_AVE", "AVE_d", ...
  double estimate, se, bias, t_lower, t_upper, bca_lower, bca_upper,
         percentile_lower, percentile_upper, basic_lower, basic_upper, z0, acceleration;
  double p_permutation, p_t;            // NaN unless asked for (p_t: the mean measures only; of proportions the z-test's or McNemar's)
  std::vector<double> replicates;       // with keep_replicates: the B replicates in replication order
  // What a reader must know to read the numbers, a line each: a lift whose
  // sign reads reversed or that is unstable, bounds at the last replicate,
  // numbers withheld for replicates that are not finite. The program says
  // them on standard error; the doors as warnings.
  std::vector<std::string> notes;
  // Of analyse_groups() with permutations: p_permutation adjusted by Holm's
  // method across the comparisons that give this measure's; NaN otherwise.
  double p_holm = std::numeric_limits<double>::quiet_NaN();
};

struct Results {
  Options options;
  std::int64_t n_x, n_y;                // the values analysed (missing ones left out)
  std::vector<MeasureResult> measures;  // as asked for; by default paired: AVE_d, MED_d; unpaired: d_AVE, d_MED, d_STD, d_MAD
  std::int64_t missing_x = 0, missing_y = 0;  // with Missing::skip, the missing values (NaN) of each sample
  std::int64_t pairs_dropped = 0;             // paired, with Missing::skip: the pairs left out for a missing half
  // With Options::clusters: the clusters analysed in each sample, and the
  // values left out for want of a key (Missing::skip).
  std::int64_t clusters_x = 0, clusters_y = 0;
  std::int64_t no_cluster_x = 0, no_cluster_y = 0;
};

// Bad input: its message is the program's (without its console framing).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A run stopped by Control::cancel(); it leaves no result.
class Cancelled : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace bootstrap {
struct Progress;
}

// Follows one run at a time from other threads: fraction() tells how far it
// has come, cancel() stops it after the replication (or block of
// permutations, or jackknife column) at hand. Both may be called from any
// thread while analyse() runs on another.
class Control {
 public:
  Control();
  ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Asks the run to stop; analyse() then throws Cancelled. Stays asked.
  void cancel() noexcept;
  // Whether cancel() has been called.
  bool cancelled() const noexcept;
  // The share of the run's work done, from 0 to 1.
  double fraction() const noexcept;

 private:
  friend struct ControlAccess;
  std::unique_ptr<bootstrap::Progress> progress_;
};

// Throws diffboot::Error (derived from std::runtime_error, with the program's message) on bad input.
Results analyse(std::span<const double> x, std::span<const double> y, const Options& options);

// As analyse() above, followed by `control`; throws Cancelled when it was cancelled.
Results analyse(std::span<const double> x, std::span<const double> y, const Options& options, Control& control);

// A sample of 0/1 outcomes by its counts: `successes` ones among `trials`
// values. Whole numbers from 0 to 2^53, trials above 0, successes at most
// the trials (an Error else, naming the sample).
struct Counts {
  double successes = 0.0, trials = 0.0;
};

// The paired outcomes' 2 x 2 table: pairs whose two values are 1, whose
// first value alone is 1, whose second alone is 1, and whose two are 0.
struct PairedTable {
  double both = 0.0, x_only = 0.0, y_only = 0.0, neither = 0.0;
};

// The analysis of proportions given by their counts, as analyse() of the
// 0/1 values written out with options.proportions, within Monte Carlo error
// (other draws: a replicate draws each count, Binomial(n, k/n), in O(1)).
// Unpaired (options.experiment must be): x against y. Paired (whatever
// options.experiment says): the table, each replicate a multinomial draw of
// its four cells. With permutations, p_t is the z-test's or McNemar's
// p-value; p_permutation is not given (NaN, with a note).
Results analyse_counts(const Counts& x, const Counts& y, const Options& options);
Results analyse_counts(const PairedTable& table, const Options& options);

}  // namespace diffboot
