#pragma once
// What a run is asked to do: where its samples come from, the analysis and
// where its results go. The command line gives it whole before the run
// starts; the dialogue's answers complete it as they are given (the sample
// files first, then the experiment type and alpha). A stage reads it and
// never changes it.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/groups.h"
#include "analysis/settings.h"

namespace diffboot::app {

using analysis::Acceleration;
using analysis::Experiment;

enum class OutputFormat { text, csv, json };

struct RunConfig {
  // The samples.
  std::string sample1, sample2;      // file names as given; with --table or -c, the columns or groups
  std::string table;                 // --table FILE: sample1 and sample2 name two of its columns
  std::string column;                // -c COLUMN: the column of each of the two sample tables
  std::string by, value, id;         // long form: the group column, the value column, the pairs' id column
  std::string cluster;               // --cluster COLUMN: long form, unpaired: the column naming each row's cluster
  std::optional<char> delimiter;     // --delimiter: the tables' cell separator, else guessed
  bool decimal_comma = false;        // --decimal-comma: a comma in a value is its decimal point
  std::optional<std::pair<std::string, std::string>> labels;  // --labels A,B
  // Several groups (--control G0 or --sequential): the design and its groups
  // as named (the control first), each comparison a run of two of them; no
  // design: the two samples sample1 and sample2.
  std::optional<analysis::Design> design;
  std::vector<std::string> groups;

  // The analysis.
  std::optional<Experiment> experiment;  // when chosen
  double alpha = analysis::alpha_levels[analysis::default_level];
  double level = analysis::interval_levels[analysis::default_level];  // 1 - 2 alpha, as written in the help
  std::int32_t seed = analysis::fixed_seed;  // the generator is seeded from -seed
  std::int32_t replications = analysis::default_replications;
  std::vector<std::string> measures;  // --measures: by name; none: the experiment's
  std::vector<double> quantiles;      // --quantiles P,...: the quantile measures' probabilities
  std::int32_t permutations = 0;      // --p-values [--permutations N]: N; 0: no p-values
  Acceleration acceleration = Acceleration::grid;  // --acceleration: of the unpaired differences
  bool poisson = false;               // --poisson: the Poisson bootstrap of the measures of sums
  bool proportions = false;           // --proportions (or --counts): 0/1 values, the measures of proportions
  bool counts = false;                // --counts: the samples are SUCCESSES/TRIALS (paired: one table B/X/Y/N)
  unsigned threads = 1;               // threads the computation may use; the results never depend on it

  // Where the results go.
  OutputFormat format = OutputFormat::text;
  std::string directory;             // output directory; empty: the working directory
  bool write_files = false;          // the report and plot files: with -C, unless --no-files
  bool show_plot = false;            // start the plotting program and wait for it
  std::string figure;                // --figure FILE: empty for none
  std::optional<std::pair<double, double>> figure_size;       // --figure-size W,H in inches
  std::string unit;                   // --unit TEXT: the values' unit in the figure, empty for none
  bool log_scale = false;             // --log: the figure's data axis logarithmic
  std::string replicates;             // --replicates FILE: empty for none
};

// The dialogue's run before its questions: every file in the working
// directory, the histograms shown, computing with `threads` threads.
inline RunConfig dialogue_config(unsigned threads) {
  RunConfig c;
  c.write_files = true;
  c.show_plot = true;
  c.threads = threads;
  return c;
}

// `asked` with the experiment type and alpha settled.
inline RunConfig settled(RunConfig asked, Experiment experiment, double alpha) {
  asked.experiment = experiment;
  if (alpha != asked.alpha) asked.level = analysis::level_of_alpha(alpha);
  asked.alpha = alpha;
  return asked;
}

}  // namespace diffboot::app
