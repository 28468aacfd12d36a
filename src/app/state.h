#pragma once
// The state of one run: everything its stages hand to each other, passed
// from stage to stage by the run sequence. Every
// real starts at -999.0, every integer at -999, every array is filled with
// -999.0 when allocated; nothing tests these markers, they only make an unset
// value visible in the report.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"
#include "analysis/settings.h"
#include "bootstrap/result.h"

namespace diffboot::app {

using analysis::Acceleration;
using analysis::Experiment;

inline constexpr double unset = bootstrap::unset;
inline constexpr std::int32_t unset_count = -999;
inline constexpr std::size_t filename_length = 79;

// A sample's name as the dialogue would hold it: blank-padded to filename_length.
std::string name_field(const std::string& name);

inline constexpr numeric::SampleSummary unset_summary{unset, unset, unset, unset, unset, unset};

struct State {
  std::string filename_x = std::string(filename_length, ' ');
  std::string filename_y = std::string(filename_length, ' ');
  std::string label_x, label_y;  // short names for figures: the file, the table's column or group, or --labels
  std::string value_name;        // a table's column of the values (long form, -c), for figures; empty for none
  bool labelled_histograms = false;  // the histogram window names the samples by label, not as Sample 1 and 2
  std::string name_x, name_y;    // the samples as csv and json name them: the file, or the table and its column or group
  std::string path_x, path_y;  // the sample files as opened: the dialogue's names trimmed, the command line's as given
  std::int32_t n_x = unset_count, n_y = unset_count;
  std::int64_t missing_x = 0, missing_y = 0;  // missing values skipped in each sample
  std::int64_t pairs_dropped = 0;  // pairs of a table left out for a missing half
  bool missing_in_step = true;  // sample files whose missing values stand at the same lines
  // Samples taken from tables, whole, in place of the counting and reading
  // passes over sample files (when from_table).
  bool from_table = false;
  std::vector<double> table_x, table_y;
  analysis::Summaries summaries{unset_summary, unset_summary};
  std::int32_t nclass_x = unset_count, nclass_y = unset_count;
  Experiment experiment = Experiment::unpaired;
  double alpha = unset;

  std::int32_t B = analysis::default_replications;
  // The generator is seeded from -seed; the default draws the fixed stream.
  std::int32_t seed = analysis::fixed_seed;

  // The measures of the experiment with their results and replicates, from
  // the bootstrap on.
  std::vector<analysis::MeasureRun> measures;

  std::vector<double> x1, x2;
  std::vector<double> class_bounds_x, class_bounds_y, class_counts_x, class_counts_y;

  unsigned threads = 1;  // threads the computation may use; the results never depend on it

  // How the run meets the outside world (the dialogue: all files in the
  // working directory, the histograms shown).
  std::string output_directory;  // where the output files go; the working directory when empty
  bool write_files = true;       // the plot files and the report file
  bool show_plot = true;         // start the plotting program and wait for it
  std::string figure;            // the figure file of the run, empty for none
  std::string replicates_file;   // the file of the replicates in replication order, empty for none
  bool decimal_comma = false;    // sample files' values are written with a decimal comma
  std::vector<std::string> measures_asked;  // the measures asked for by name; none: the experiment's
  std::vector<double> quantiles_asked;       // the probabilities of the quantile measures (--quantiles)
  std::int32_t permutations = 0;            // the permutations of the p-values asked for; 0: none
  Acceleration acceleration = Acceleration::grid;  // of the unpaired differences' BCa intervals
  bool poisson = false;                     // the Poisson bootstrap in place of the resamples of draws
};

// One effect measure of the run as the state holds it.
struct MeasureOfRun {
  std::string_view name;          // "d_AVE", "AVE_d", ...
  std::string label;              // its report label, such as "d_AVE = "
  std::string words;              // such as "difference of medians"
  const analysis::MeasureRun* run;  // its results and replicates, whether it was asked for, its p-values
};

// The measures of the run in report order (AVE_d, MED_d when paired; d_AVE,
// d_MED, d_STD, d_MAD when unpaired), then the effect sizes asked for (g,
// delta, lift), then the quantile measures; none before the bootstrap.
std::vector<MeasureOfRun> measures_of(const State& s);

// "paired" or "unpaired".
std::string_view experiment_name(Experiment e);

}  // namespace diffboot::app
