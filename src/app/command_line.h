#pragma once
// The command line of a batch run: `diffboot [OPTIONS] SAMPLE1 SAMPLE2`.
// Parsing needs no files; what depends on the samples (their sizes) is
// checked by the run itself.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analysis/settings.h"
#include "app/run_end.h"

namespace diffboot::app {

using analysis::Acceleration;
using analysis::Experiment;

enum class OutputFormat { text, csv, json };

struct BatchOptions {
  std::string sample1, sample2;      // file names as given
  std::optional<Experiment> experiment;  // when chosen
  double alpha = analysis::alpha_levels[analysis::default_level];
  double level = analysis::interval_levels[analysis::default_level];  // 1 - 2 alpha, as written in the help
  OutputFormat format = OutputFormat::text;
  std::string directory;             // output directory; empty: the working directory
  bool write_files = false;          // the report and plot files: with -C, unless --no-files
  bool show_plot = false;
  std::int32_t seed = analysis::fixed_seed;  // the generator is seeded from -seed
  std::int32_t replications = analysis::default_replications;
  std::string figure;                // --figure FILE: empty for none
  std::string table;                 // --table FILE: sample1 and sample2 name two of its columns
  std::string column;                // -c COLUMN: the column of each of the two sample tables
  std::string by, value, id;         // long form: the group column, the value column, the pairs' id column
  std::optional<char> delimiter;     // --delimiter: the tables' cell separator, else guessed
  bool decimal_comma = false;        // --decimal-comma: a comma in a value is its decimal point
  std::optional<std::pair<std::string, std::string>> labels;  // --labels A,B
  std::optional<std::pair<double, double>> figure_size;       // --figure-size W,H in inches
  std::string unit;                   // --unit TEXT: the values' unit in the figure, empty for none
  bool log_scale = false;             // --log: the figure's data axis logarithmic
  std::vector<std::string> measures;  // --measures: by name; none: the experiment's
  std::vector<double> quantiles;      // --quantiles P,...: the quantile measures' probabilities
  std::int32_t permutations = 0;      // --p-values [--permutations N]: N; 0: no p-values
  std::string replicates;             // --replicates FILE: empty for none
  Acceleration acceleration = Acceleration::grid;  // --acceleration: of the unpaired differences
  bool poisson = false;               // --poisson: the Poisson bootstrap of the measures of sums
};

// What the command line asks for: a batch run, or an end right away with a
// status and text for standard output (help, version) or error (usage).
struct ParsedCommandLine {
  std::optional<BatchOptions> options;
  int status = 0;
  std::string out, err;
};

// The program's version, as set in the build.
const char* program_version();

// Parses `args` (without the program name). A usage error gives one line
// naming the problem, then "Try 'diffboot --help'.", status 2.
ParsedCommandLine parse_command_line(std::span<const std::string> args);

// The text of a usage error: "diffboot: <problem>" and the hint line.
std::string usage_error(const std::string& problem);

}  // namespace diffboot::app
