#pragma once
// The values a run hands from stage to stage. Each is made once, by its
// stage, and read by the stages after it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"
#include "app/run_config.h"
#include "tables/two_samples.h"

namespace diffboot::app {

inline constexpr std::size_t filename_length = 79;

// A sample's name as the dialogue would hold it: blank-padded to filename_length.
std::string name_field(const std::string& name);

// How the two samples are named.
struct SampleNames {
  std::string filename_x, filename_y;  // the report's: 79-character fields
  std::string path_x, path_y;  // the sample files as opened: the dialogue's names trimmed, the command line's as given
  std::string name_x, name_y;  // as csv and json name them: the file, or the table and its column or group
  std::string label_x, label_y;  // short names for figures: the file, the table's column or group, or --labels
  std::string value_name;        // a table's column of the values (long form, -c), for figures; empty for none
  bool labelled_histograms = false;  // the histogram window names the samples by label, not as Sample 1 and 2
};

// Where the samples come from: the files named, or the tables the run names.
struct SampleSource {
  SampleNames names;
  std::optional<tables::SampleSource> table;  // read whole, in place of the sample files
  bool decimal_comma = false;                 // sample files' values are written with a decimal comma
};

// The samples' sizes and what was left out of them.
struct SampleCounts {
  std::int32_t n_x = 0, n_y = 0;
  std::int64_t missing_x = 0, missing_y = 0;  // missing values skipped in each sample
  std::int64_t pairs_dropped = 0;  // pairs of a table left out for a missing half
  bool missing_in_step = true;     // sample files whose missing values stand at the same lines
  bool from_table = false;         // the samples come from tables
  // --cluster: each sample's clusters and its rows left out without one.
  std::int64_t clusters_x = 0, clusters_y = 0, no_cluster_x = 0, no_cluster_y = 0;
};

// The samples found, not yet read: their names and counts, and a table's
// values (read whole to be counted).
struct FoundSamples {
  SampleNames names;
  SampleCounts counts;
  std::vector<double> table_x, table_y;
  std::vector<std::uint32_t> cluster_x = {}, cluster_y = {};  // --cluster: each value's, numbered per sample
};

// The samples as read, with their names, counts and summaries.
struct Samples {
  SampleNames names;
  SampleCounts counts;
  std::vector<double> x, y;
  analysis::Summaries summaries;
  std::vector<std::uint32_t> cluster_x = {}, cluster_y = {};  // --cluster: each value's, numbered per sample
};

// A sample's histogram: k + 1 class bounds and k counts.
struct Histogram {
  std::vector<double> bounds, counts;
};
struct Histograms {
  Histogram x, y;
};

// The measures of a run with their results and replicates, in report order.
using MeasureRuns = std::vector<analysis::MeasureRun>;

// What the results are read from once the bootstrap is done.
struct RunResults {
  const RunConfig& config;  // the experiment type and alpha settled
  const Samples& samples;
  const MeasureRuns& measures;
};

// A run that reached its results: what it was asked, read and found.
struct FinishedRun {
  RunConfig config;
  Samples samples;
  MeasureRuns measures;
};

// One effect measure of a run.
struct MeasureOfRun {
  std::string_view name;          // "d_AVE", "AVE_d", ...
  std::string label;              // its report label, such as "d_AVE = "
  std::string words;              // such as "difference of medians"
  const analysis::MeasureRun* run;  // its results and replicates, whether it was asked for, its p-values
};

// The measures in report order (AVE_d, MED_d when paired; d_AVE, d_MED,
// d_STD, d_MAD when unpaired), then the effect sizes asked for (g, delta,
// lift), then the quantile measures.
std::vector<MeasureOfRun> measures_of(const MeasureRuns& measures);

// "paired" or "unpaired".
std::string_view experiment_name(Experiment e);

}  // namespace diffboot::app
