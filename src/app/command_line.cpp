#include "app/command_line.h"

#include <CLI/CLI.hpp>
#include <array>
#include <algorithm>
#include <charconv>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "analysis/analysis.h"
#include "poisson/results.h"
#include "app/dialogue.h"
#include "app/run_files.h"
#include "numbers/free_form.h"
#include "tables/long_form.h"
#include "plot/figure.h"
#include "text/shown.h"

namespace diffboot::app {
namespace {

using analysis::interval_levels;

// The shortest text of a double that reads back as it ("0.0005", "99.9").
std::string number_text(double v) {
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed).ptr};
}

std::string description() {
  return "Bootstrap confidence intervals for the effect in a two-sample experiment:\n"
         "Student's t and BCa intervals from B bootstrap replications (" +
         std::to_string(analysis::default_replications) + " unless -B).";
}

// "0.0005 to 0.25".
std::string alpha_choices() { return number_text(analysis::min_alpha) + " to " + number_text(analysis::max_alpha); }

// "0.5 to 0.999 (default 0.95); also 50 to 99.9, 95 or 95%".
std::string level_choices() {
  const auto percent = [](double v) { return number_text(analysis::decimal15(v * 100)); };
  const double level = interval_levels[analysis::default_level];
  return number_text(analysis::min_level) + " to " + number_text(analysis::max_level) + " (default " +
         number_text(level) + "); also " + percent(analysis::min_level) + " to " + percent(analysis::max_level) + ", " +
         percent(level) + " or " + percent(level) + "%";
}

// "99 to 1000000", "1 to 2147483647".
std::string replication_range() {
  return std::to_string(analysis::min_replications) + " to " + std::to_string(analysis::max_replications);
}
std::string seed_range() { return "1 to " + std::to_string(analysis::largest_seed); }

constexpr const char* footer = R"(Effect measures (differences are sample 1 minus sample 2):
  d_AVE    unpaired: mean(x) - mean(y)
  d_MED    unpaired: median(x) - median(y)
  d_STD    unpaired: sd(x) - sd(y), standard deviations with divisor n - 1
  d_MAD    unpaired: mad(x) - mad(y), median absolute deviations times 1.4826
  AVE_d    paired: mean(d), d = x - y with values paired by position
  MED_d    paired: median(d)
  g        Hedges' g, bias-corrected: unpaired (mean(x) - mean(y)) / pooled sd;
           paired mean(d) / sd(d) (with --measures)
  delta    unpaired: Cliff's delta, P(X > Y) - P(X < Y) (with --measures)
  d_Q90    unpaired: quantile(x, 0.9) - quantile(y, 0.9) (with --quantiles 0.9;
           linear interpolation of the order statistics, numpy's and R's default)
  Q90_d    paired: quantile(d, 0.9) (with --quantiles 0.9)

Intervals, each of level 1 - 2*alpha (alpha 0.025: 95% intervals, 2.5% beyond
each bound):
  t           estimate -/+ |t quantile| * bootstrap standard error
  BCa         bias-corrected and accelerated percentile interval (Efron 1987)
  percentile  the replicates' percentiles at alpha and 1 - alpha (csv, json)
  basic       2 * estimate minus the percentile bounds (csv, json)

Without SAMPLE1 and SAMPLE2 the program asks its questions at the console.

Exit status: 0 results reported; 1 a stop explained on standard error (a
sample that cannot be read or has too few values, an output file that cannot
be written); 2 a usage error; 255 a fatal input/output error.)";

// The double a free-form value names, as the alpha question reads it.
std::optional<double> number(std::string text) {
  const numbers::FreeFormField field = numbers::parse_free_form(text, true);
  if (field.kind != numbers::FreeForm::value || field.text.size() != text.size()) return std::nullopt;
  return field.value;
}

// The alpha that `text` names, within the admissible range.
std::optional<double> alpha_value(const std::string& text) {
  const std::optional<double> v = number(text);
  if (!v || !analysis::admissible_alpha(*v)) return std::nullopt;
  return v;
}

// The level that `text` names: 0.99, or in percent 99 or 99%; within
// [min_level, max_level].
std::optional<double> level_value(std::string text) {
  const bool percent = !text.empty() && text.back() == '%';
  if (percent) text.pop_back();
  std::optional<double> v = number(text);
  if (v && (percent || *v > 1.0)) v = analysis::decimal15(*v / 100.0);
  if (!v || !(*v >= analysis::min_level && *v <= analysis::max_level)) return std::nullopt;
  return v;
}

// A whole number written with digits only, within [low, high].
std::optional<std::int32_t> whole_number(const std::string& text, std::int32_t low, std::int32_t high) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const long long v = std::stoll(text);
  if (v < low || v > high) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

// The figure sizes the command line takes, in inches.
constexpr double smallest_figure = 2.0, largest_figure = 40.0;

std::string figure_size_range() { return "2 to 40"; }

// A figure's width and height "W,H" in inches, each within the range.
std::optional<std::pair<double, double>> figure_size(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  const std::optional<double> w = number(text.substr(0, comma)), h = number(text.substr(comma + 1));
  const auto fits = [](const std::optional<double>& v) { return v && *v >= smallest_figure && *v <= largest_figure; };
  if (!fits(w) || !fits(h)) return std::nullopt;
  return std::pair{*w, *h};
}

std::string permutation_range() {
  return std::to_string(analysis::min_permutations) + " to " + std::to_string(analysis::max_permutations);
}

// The output format a name gives.
std::optional<OutputFormat> output_format(const std::string& text) {
  if (text == "text") return OutputFormat::text;
  if (text == "csv") return OutputFormat::csv;
  if (text == "json") return OutputFormat::json;
  return std::nullopt;
}

// The cell separator a name or the character itself gives.
std::optional<char> delimiter(const std::string& d) {
  if (d == "," || d == "comma") return ',';
  if (d == "\t" || d == "tab" || d == "\\t") return '\t';
  if (d == ";" || d == "semicolon") return ';';
  if (d == " " || d == "space") return ' ';
  return std::nullopt;
}

// Two names "A,B", neither empty: an empty one would leave a sample unnamed in the figure.
std::optional<std::pair<std::string, std::string>> two_names(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == text.size() || text.find(',', comma + 1) != std::string::npos) {
    return std::nullopt;
  }
  return std::pair{text.substr(0, comma), text.substr(comma + 1)};
}

// Every measure the command line can name, of either experiment.
constexpr const char* measure_choices = "d_AVE, d_MED, d_STD, d_MAD, g, delta (unpaired), AVE_d, MED_d, g (paired), lift, all";

// The items of a comma-separated list, empty ones too.
std::vector<std::string> items(const std::string& text) {
  std::vector<std::string> out(1);
  for (char c : text) {
    if (c == ',') out.emplace_back();
    else out.back() += c;
  }
  return out;
}

// The measures "LIST" names, "all" for every measure of either type and the
// quantile measures of `quantiles`; nothing when a name is none of them.
std::optional<std::vector<std::string>> measure_list(const std::string& text, bool paired,
                                                     const std::vector<double>& quantiles, bool proportions) {
  const Experiment e = paired ? Experiment::paired : Experiment::unpaired;
  if (text == "all" && proportions) {
    const auto names = analysis::proportion_measure_names(e);
    return std::vector<std::string>(names.begin(), names.end());
  }
  if (text == "all") {
    const auto names = analysis::all_measure_names(e);
    std::vector<std::string> all(names.begin(), names.end());
    for (double p : quantiles) all.push_back(analysis::quantile_name(p, e));
    return all;
  }
  const std::vector<std::string> names = items(text);
  for (const std::string& name : names) {
    if (analysis::measures_problem({name}, Experiment::paired, quantiles, proportions) &&
        analysis::measures_problem({name}, Experiment::unpaired, quantiles, proportions)) {
      return std::nullopt;
    }
  }
  return names;
}

// The probabilities "P,P,..." names, or the problem with them.
std::variant<std::vector<double>, std::string> quantile_list(const std::string& text) {
  std::vector<double> p;
  for (const std::string& item : items(text)) {
    const std::optional<double> v = number(item);
    if (!v) return "--quantiles \"" + text + "\": \"" + item + "\" is not a number";
    p.push_back(*v);
  }
  if (const std::optional<std::string> problem = analysis::quantiles_problem(p)) return "--quantiles: " + *problem;
  return p;
}

// The measures "LIST" names for --poisson, "all" for every measure of the
// Poisson bootstrap; the names are checked once the experiment is known.
std::vector<std::string> poisson_measure_list(const std::string& text, bool paired) {
  if (text == "all") {
    const auto names = poisson::engine::measure_names(paired ? Experiment::paired : Experiment::unpaired);
    return std::vector<std::string>(names.begin(), names.end());
  }
  return items(text);
}

// --measures: the names LIST gives for the experiment, the quantiles and the
// bootstrap the other options chose.
std::optional<std::string> set_measures(const std::string& text, RunConfig& o) {
  const bool paired = o.experiment == Experiment::paired;
  if (o.poisson) {
    o.measures = poisson_measure_list(text, paired);
    return std::nullopt;
  }
  const std::optional<std::vector<std::string>> names = measure_list(text, paired, o.quantiles, o.proportions);
  if (!names && o.proportions) {
    return "--measures \"" + text + "\" is not a list of the measures of proportions d_PROP, h (unpaired), PROP_d, h "
           "(paired), lift, all";
  }
  if (!names) {
    return "--measures \"" + text + "\" is not a list of " + measure_choices +
           (o.quantiles.empty() ? "" : " and the names of the quantiles asked for");
  }
  o.measures = *names;
  return std::nullopt;
}

using Problem = std::optional<std::string>;

// A value refused with its option's own words (OptionSpec::refusal).
const Problem refused = std::string();

// Sets an option's value in the options; the problem with the value, or nothing.
using Setter = std::function<Problem(const std::string& text, RunConfig& o)>;

// One option of the command line, as parsing, --help and the manual page
// (help2man makes it of --help) know it.
struct OptionSpec {
  std::string names;     // as CLI11 takes them: "-a,--alpha"
  std::string value;     // the value's name in the help ("A"); empty for a flag
  std::string help;      // its line in the help
  Setter set;            // what its value (a flag's: empty) sets
  std::string refusal{};  // the words after --NAME "VALUE" for a refused value: "is not a number from ..."
  bool late = false;     // set after every other option, whose values it reads

  std::string name() const { return names.substr(names.rfind(',') + 1); }  // "--alpha"
};

// Setters of one field.
Setter store(std::string RunConfig::*field) {
  return [field](const std::string& text, RunConfig& o) { return o.*field = text, Problem(); };
}
Setter raise(bool RunConfig::*field) {
  return [field](const std::string&, RunConfig& o) { return o.*field = true, Problem(); };
}
// A value `v` that holds is applied by `apply`; one that does not is refused.
template <typename T, typename F>
Problem apply_if(const std::optional<T>& v, F apply) {
  if (!v) return refused;
  apply(*v);
  return std::nullopt;
}

// Every option, in the help's order.
std::vector<OptionSpec> option_table() {
  using S = const std::string&;
  using O = RunConfig&;
  const std::string whole = "is not a whole number from ";
  return {
      {"-p,--paired", "", "Paired experiment: values paired by position (equal sizes)",
       [](S, O o) { return o.experiment = Experiment::paired, Problem(); }},
      {"-u,--unpaired", "", "Unpaired experiment", [](S, O o) { return o.experiment = Experiment::unpaired, Problem(); }},
      {"-a,--alpha", "A", "Tail probability beyond each bound: " + alpha_choices(),
       [](S t, O o) { return apply_if(alpha_value(t), [&](double a) { o.alpha = a, o.level = analysis::level_of_alpha(a); }); },
       "is not a number from " + alpha_choices()},
      {"-l,--level", "L", "Interval level 1 - 2*alpha: " + level_choices(),
       [](S t, O o) { return apply_if(level_value(t), [&](double l) { o.alpha = analysis::alpha_of_level(l), o.level = l; }); },
       "is not a level from " + level_choices()},
      {"-f,--format", "FORMAT", "What goes to standard output: text (default), csv or json",
       [](S t, O o) { return apply_if(output_format(t), [&](OutputFormat f) { o.format = f; }); },
       "is not one of text, csv, json"},
      {"-C,--directory", "DIR",
       "Write diffboot.dat and the plot files in DIR (it must exist; -C . for the working directory); "
       "without it a run writes no file but the figure",
       [](S t, O o) {
         std::error_code error;
         if (!std::filesystem::is_directory(t, error)) return refused;
         return o.directory = t, o.write_files = true, Problem();
       },
       "is not an existing directory"},
      {"-s,--seed", "N",
       "Seed the generator from -N (" + seed_range() + ") instead of the fixed seed " + std::to_string(analysis::fixed_seed),
       [](S t, O o) { return apply_if(whole_number(t, 1, analysis::largest_seed), [&](std::int32_t s) { o.seed = s; }); },
       whole + seed_range()},
      {"-B,--replications", "B",
       "Number of bootstrap replications, " + replication_range() + " (default " +
           std::to_string(analysis::default_replications) + ")",
       [](S t, O o) {
         return apply_if(whole_number(t, analysis::min_replications, analysis::max_replications),
                         [&](std::int32_t b) { o.replications = b; });
       },
       whole + replication_range()},
      {"--figure", "FILE",
       "Draw the samples and each measure's bootstrap distribution with its intervals into FILE "
       "(.svg, .png or .pdf); FILE.gp and FILE.dat, its gnuplot script and data, are kept beside it",
       [](S t, O o) { return plot::figure_format(t) ? (o.figure = t, Problem()) : refused; },
       "does not end in .svg, .png or .pdf"},
      {"--figure-size", "W,H",
       "The figure's width and height in inches, from " + figure_size_range() + " (default 7,5; a png has 200 pixels an inch)",
       [](S t, O o) { return apply_if(figure_size(t), [&](std::pair<double, double> size) { o.figure_size = size; }); },
       "is not a width and height W,H in inches from " + figure_size_range()},
      {"--unit", "TEXT", "The values' unit, on the figure's data axis and difference axis (\"g\", \"mm Hg\")",
       store(&RunConfig::unit)},
      {"--log", "", "Draw the figure's data axis on a log scale (every value must be positive)",
       raise(&RunConfig::log_scale)},
      {"--measures", "LIST",
       "The measures to report, by name: " + std::string(measure_choices) + " (default: the experiment's own)",
       set_measures, "", true},
      {"--quantiles", "P,...",
       "Add the quantile measures of the probabilities P (strictly between 0 and 1, at most " +
           std::to_string(analysis::max_quantiles) + "): d_Q90 unpaired, Q90_d paired for 0.9; --measures may name them",
       [](S t, O o) -> Problem {
         std::variant<std::vector<double>, std::string> p = quantile_list(t);
         if (std::string* problem = std::get_if<std::string>(&p)) return *problem;
         return o.quantiles = std::get<std::vector<double>>(std::move(p)), Problem();
       }},
      {"--p-values", "", "Two-sided permutation p-values of every measure, and the t-test's of the mean",
       [](S, O o) { return o.permutations = analysis::default_permutations, Problem(); }},
      {"--permutations", "N",
       "With --p-values: the permutations, " + permutation_range() + " (default " +
           std::to_string(analysis::default_permutations) + ")",
       [](S t, O o) {
         return apply_if(whole_number(t, analysis::min_permutations, analysis::max_permutations),
                         [&](std::int32_t n) { o.permutations = n; });
       },
       whole + permutation_range()},
      {"--acceleration", "METHOD",
       "The BCa acceleration of the unpaired differences: grid (default), the jackknife over every pair "
       "of values left out of the two samples, or samples, the two-sample formula leaving out one "
       "value of one sample at a time",
       [](S t, O o) {
         if (t != "grid" && t != "samples") return refused;
         return o.acceleration = t == "samples" ? Acceleration::samples : Acceleration::grid, Problem();
       },
       "is not grid or samples"},
      {"--poisson", "",
       "The Poisson bootstrap: each value a Poisson(1) count in each replicate, keyed by its position "
       "(measures d_AVE, d_STD, g, lift; paired AVE_d, g, lift; at least " +
           std::to_string(poisson::engine::min_size) + " values a sample; no p-values)",
       raise(&RunConfig::poisson)},
      {"--proportions", "",
       "The values are 0/1 outcomes (in tables also TRUE/FALSE, true/false, yes/no): measures d_PROP "
       "(p_x - p_y), lift and Cohen's h (paired PROP_d, lift, h); with --p-values the z-test "
       "(paired: McNemar's) in place of the t-test",
       raise(&RunConfig::proportions)},
      {"--counts", "",
       "The samples are counts SUCCESSES/TRIALS (412/10000 455/10000), or with one argument the paired "
       "table BOTH/X_ONLY/Y_ONLY/NEITHER; implies --proportions",
       [](S, O o) { return o.counts = o.proportions = true, Problem(); }},
      {"--replicates", "FILE",
       "Write the bootstrap replicates of every measure, a column each in replication order, to FILE (csv)",
       store(&RunConfig::replicates)},
      {"--table", "FILE",
       "Take both samples from two columns of the table FILE: SAMPLE1 and SAMPLE2 name the columns "
       "(by header name or number); with -p its rows are the pairs",
       store(&RunConfig::table)},
      {"-c,--column", "COLUMN",
       "Take each sample from the column COLUMN (header name or number) of the tables SAMPLE1 and SAMPLE2",
       store(&RunConfig::column)},
      {"--by", "COLUMN", "With --table: the rows of the groups SAMPLE1 and SAMPLE2 of the column COLUMN (long form)",
       store(&RunConfig::by)},
      {"--value", "COLUMN", "With --by: the column of the values (needed unless the table has two columns)",
       store(&RunConfig::value)},
      {"--delimiter", "CHAR",
       "The tables' cell separator: comma, tab, semicolon or space (by default the one the header line holds "
       "most of, outside quotes; space when it holds none and its first row as many blank-separated fields)",
       [](S t, O o) { return apply_if(delimiter(t), [&](char d) { o.delimiter = d; }); },
       "is not one of comma, tab, semicolon, space"},
      {"--decimal-comma", "",
       "Read a comma in a value as a decimal point (5,1 is 5.1): in sample files, and in tables not "
       "separated by commas (tables separated by semicolons always are)",
       raise(&RunConfig::decimal_comma)},
      {"--labels", "A,B", "Name the samples A and B in the figure",
       [](S t, O o) { return apply_if(two_names(t), [&](std::pair<std::string, std::string> n) { o.labels = n; }); },
       "is not two names A,B"},
      {"--id", "COLUMN", "With --by and -p: pair the two groups' rows by the id in COLUMN", store(&RunConfig::id)},
      {"--cluster", "COLUMN",
       "With --by: the rows of one value of COLUMN (a user, an order) are one unit, and the bootstrap draws "
       "units, each sample's from its own, computing every measure on the rows of the units drawn (unpaired; "
       "at least 3 units a sample; rows without one are left out and counted)",
       [](S t, O o) {
         if (!o.experiment) o.experiment = Experiment::unpaired;  // a unit is randomised to one arm
         return o.cluster = t, Problem();
       }},
      {"--control", "G0",
       "Compare each group named after the options with the control G0 (groups of --by, columns of --table, "
       "or files): G1 - G0, G2 - G0, ..., each the run of its two samples; with --p-values, Holm's p_holm too",
       [](S t, O o) { return o.design = analysis::Design::control, o.groups = {t}, Problem(); }},
      {"--sequential", "",
       "Compare each group named with the one before it: G1 - G0, G2 - G1, ... (a dose series, a time course)",
       [](S, O o) { return o.design = analysis::Design::sequential, Problem(); }},
      {"--no-files", "", "Write no report or plot file, even with -C",
       [](S, O o) { return o.write_files = false, Problem(); }},
      {"--show", "", "Show the histograms in a plot window, as the dialogue does", raise(&RunConfig::show_plot)},
  };
}

// What the command line gave: each option's value (a flag's: empty) by its long name.
using Given = std::map<std::string, std::string>;

// A rule between options: what is wrong with the options given, or nothing.
using Rule = std::function<Problem(const Given& given, const RunConfig& o)>;

// `option` needs one of `others`.
Rule needs(std::string option, std::vector<std::string> others, std::string message) {
  return [=](const Given& given, const RunConfig&) -> Problem {
    if (!given.contains(option) || std::ranges::any_of(others, [&](const std::string& o) { return given.contains(o); })) {
      return std::nullopt;
    }
    return message;
  };
}

// `one` and `other` cannot be given together.
Rule excludes(std::string one, std::string other, std::string message) {
  return [=](const Given& given, const RunConfig&) -> Problem {
    return given.contains(one) && given.contains(other) ? Problem(message) : std::nullopt;
  };
}

// The rules between options, checked once every value is set.
std::vector<Rule> option_rules() {
  const std::string poisson = " not part of the Poisson bootstrap (--poisson)";
  return {
      [](const Given& given, const RunConfig& o) -> Problem {
        if (!given.contains("--alpha") || !given.contains("--level") || alpha_value(given.at("--alpha")) == o.alpha) {
          return std::nullopt;
        }
        return "--alpha " + given.at("--alpha") + " and --level " + given.at("--level") +
               " disagree (the level is 1 - 2*alpha)";
      },
      [](const Given&, const RunConfig& o) -> Problem {
        if (!o.show_plot || o.write_files) return std::nullopt;
        return "--show needs the plot files: name their directory with -C DIR";
      },
      excludes("--poisson", "--p-values", "--p-values are" + poisson),
      excludes("--poisson", "--quantiles", "--quantiles are" + poisson + ", which weighs sums"),
      excludes("--poisson", "--acceleration", "--acceleration is" + poisson + ", whose BCa acceleration is its own"),
      needs("--permutations", {"--p-values"}, "--permutations goes with --p-values"),
      [](const Given& given, const RunConfig& o) -> Problem {
        if (!o.proportions) return std::nullopt;
        const char* which = given.contains("--counts") ? "--counts" : "--proportions";
        for (const char* option : {"--poisson", "--quantiles"}) {
          if (given.contains(option)) return std::string(option) + " does not go with " + which;
        }
        if (!o.counts) return std::nullopt;
        for (const char* option : {"--table", "--column", "--by", "--directory", "--show", "--log", "--control",
                                   "--sequential", "--delimiter", "--decimal-comma"}) {
          if (given.contains(option)) return std::string(option) + " is for samples of values, not for --counts";
        }
        return std::nullopt;
      },
      needs("--figure-size", {"--figure"}, "--figure-size goes with --figure FILE"),
      needs("--unit", {"--figure"}, "--unit goes with --figure FILE"),
      needs("--log", {"--figure"}, "--log goes with --figure FILE"),
      excludes("--table", "--column", "--table and --column name columns in two ways: give one"),
      needs("--by", {"--table"}, "--by picks rows of a table: it goes with --table FILE"),
      needs("--value", {"--by"}, "--value and --id go with --by COLUMN"),
      needs("--id", {"--by"}, "--value and --id go with --by COLUMN"),
      needs("--id", {"--paired"}, "--id pairs rows: it goes with --paired"),
      needs("--cluster", {"--by"}, "--cluster groups the rows of a long table: it goes with --table FILE --by COLUMN"),
      excludes("--cluster", "--paired",
               "--cluster with --paired: the pair is already the unit resampled (pair the rows with --id)"),
      excludes("--cluster", "--p-values",
               "--p-values permute values one at a time, not clusters: they are not given with --cluster"),
      excludes("--cluster", "--poisson", "--cluster is not part of the Poisson bootstrap (--poisson)"),
      excludes("--cluster", "--counts", "--cluster groups rows of values: counts (--counts) have none"),
      excludes("--cluster", "--proportions",
               "--cluster with --proportions: the cluster bootstrap does not form Cohen's h of the clusters drawn"),
      excludes("--cluster", "--control", "--cluster is for a run of two samples, not for the comparisons of --control"),
      excludes("--cluster", "--sequential",
               "--cluster is for a run of two samples, not for the comparisons of --sequential"),
      excludes("--control", "--sequential", "--control and --sequential are two designs: give one"),
      [](const Given& given, const RunConfig& o) -> Problem {
        if (!o.design) return std::nullopt;
        const char* design = given.contains("--control") ? "--control" : "--sequential";
        for (const char* option : {"--directory", "--show", "--replicates", "--labels", "--log"}) {
          if (given.contains(option)) {
            return std::string(option) + " is for a run of two samples, not for the comparisons of " + design;
          }
        }
        const analysis::SameGroup same = [](std::string_view a, std::string_view b) { return tables::same_group(a, b); };
        return analysis::groups_problem(o.groups, *o.design, o.by.empty() ? analysis::SameGroup() : same);
      },
      needs("--delimiter", {"--table", "--column"}, "--delimiter goes with --table or --column"),
      [](const Given&, const RunConfig& o) -> Problem {
        if (!o.decimal_comma || o.delimiter != ',') return std::nullopt;
        return "--decimal-comma reads commas in values: cells separated by commas cannot hold them";
      },
  };
}

// Where CLI11 puts what it parses: a value or a flag for each option of the table.
struct Texts {
  explicit Texts(std::size_t options) : values(options), flags(options) {}
  std::vector<std::string> values;
  std::deque<bool> flags;
  std::string sample1, sample2;
};

// The help's usage lines: two samples, or the groups of a design.
class HelpFormat : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App*, std::string) const override {
    return "Usage: diffboot [OPTIONS] SAMPLE1 SAMPLE2\n"
           "       diffboot [OPTIONS] --counts SUCCESSES/TRIALS SUCCESSES/TRIALS\n"
           "       diffboot [OPTIONS] --counts BOTH/X_ONLY/Y_ONLY/NEITHER\n"
           "       diffboot [OPTIONS] --control G0 G1 [G2 ...]\n"
           "       diffboot [OPTIONS] --sequential G0 G1 [G2 ...]\n";
  }
};

void define(CLI::App& app, const std::vector<OptionSpec>& table, Texts& texts) {
  app.formatter(std::make_shared<HelpFormat>());
  app.description(description());
  app.footer(footer);
  app.set_help_flag("-h,--help", "Show this help and exit");
  app.set_version_flag("-V,--version", std::string("diffboot ") + program_version(), "Show the version and exit");
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].value.empty()) {
      app.add_flag(table[i].names, texts.flags[i], table[i].help);
    } else {
      app.add_option(table[i].names, texts.values[i], table[i].help)->type_name(table[i].value);
    }
  }
  app.get_option("--paired")->excludes(app.get_option("--unpaired"));
  // Required unless the run compares groups (checked once the options are known).
  app.add_option("SAMPLE1", texts.sample1, "Sample 1 (x): a file of one number per line");
  app.add_option("SAMPLE2", texts.sample2, "Sample 2 (y)");
  app.get_formatter()->column_width(30);
  app.allow_extras();
}

// The samples or groups named (after "--" every argument is one), or the
// problem with them: an unknown option, which CLI11 lets through; two
// samples missing or more than two named, unless the run compares groups.
std::variant<std::vector<std::string>, std::string> named_samples(const CLI::App& app, const Texts& texts, bool groups,
                                                                 bool counts) {
  std::vector<std::string> extra = app.remaining();
  const bool separated = std::erase(extra, "--") > 0;
  if (counts && app.get_option("SAMPLE1")->count() > 0 && app.get_option("SAMPLE2")->count() == 0 && extra.empty()) {
    return std::vector<std::string>{texts.sample1};  // a paired table
  }
  if (!groups) {
    for (const char* sample : {"SAMPLE1", "SAMPLE2"}) {
      if (app.get_option(sample)->count() == 0) return std::string(sample) + " is required";
    }
  }
  for (const std::string& word : extra) {
    if (!separated && word.size() > 1 && word[0] == '-') return "The following argument was not expected: " + word;
  }
  std::vector<std::string> named;
  if (app.get_option("SAMPLE1")->count() > 0) named.push_back(texts.sample1);
  if (app.get_option("SAMPLE2")->count() > 0) named.push_back(texts.sample2);
  named.insert(named.end(), extra.begin(), extra.end());
  if (groups || named.size() == 2) return named;
  std::string list;
  for (const std::string& name : named) list += (list.empty() ? "\"" : ", \"") + name + "\"";
  return std::to_string(named.size()) + " samples named (" + list + "), but two are compared";
}

// The options the parsed texts ask for: each value set in the table's order
// (the late ones last), then the rules between them; the first problem, or nothing.
std::optional<std::string> interpret(const CLI::App& app, const std::vector<OptionSpec>& table, const Texts& texts,
                                     RunConfig& o) {
  Given given;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (app.get_option(table[i].name())->count() == 0) continue;
    if (!table[i].value.empty() && texts.values[i].empty()) return table[i].name() + " needs a value";  // not the default
    given[table[i].name()] = texts.values[i];
  }
  std::variant<std::vector<std::string>, std::string> named =
      named_samples(app, texts, given.contains("--control") || given.contains("--sequential"), given.contains("--counts"));
  if (const std::string* problem = std::get_if<std::string>(&named)) return *problem;
  o.sample1 = texts.sample1, o.sample2 = texts.sample2;
  const std::vector<std::string>& groups = std::get<std::vector<std::string>>(named);
  for (const bool late : {false, true}) {
    for (const OptionSpec& option : table) {
      const auto text = given.find(option.name());
      if (option.late != late || text == given.end()) continue;
      if (const Problem problem = option.set(text->second, o)) {
        return problem->empty() ? option.name() + " \"" + text->second + "\" " + option.refusal : *problem;
      }
    }
  }
  if (o.design) o.groups.insert(o.groups.end(), groups.begin(), groups.end());
  for (const Rule& rule : option_rules()) {
    if (const Problem problem = rule(given, o)) return problem;
  }
  return std::nullopt;
}

// The file a path names, for comparing outputs: links and "." and ".."
// resolved as far as the path exists.
std::filesystem::path file_key(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return std::filesystem::path(path).lexically_normal();
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : resolved;
}

// Two outputs of the run that name one file: the one would overwrite the other.
std::optional<std::string> shared_output(const RunConfig& o) {
  const std::vector<RunOutput> outputs = run_outputs(o.write_files, o.directory, o.figure, o.replicates);
  std::vector<std::filesystem::path> keys;
  for (const RunOutput& output : outputs) keys.push_back(file_key(output.path));
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    for (std::size_t j = i + 1; j < outputs.size(); ++j) {
      if (keys[i] == keys[j]) return outputs[i].what + " and " + outputs[j].what + " name one file";
    }
  }
  return std::nullopt;
}

}  // namespace

const char* program_version() { return DIFFBOOT_VERSION; }

std::string usage_error(const std::string& problem) {
  return "diffboot: " + text::shown(problem) + "\nTry 'diffboot --help'.\n";
}

ParsedCommandLine parse_command_line(std::span<const std::string> args) {
  static const std::vector<OptionSpec> table = option_table();
  CLI::App app{"", "diffboot"};
  Texts texts(table.size());
  define(app, table, texts);
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes the arguments last first
  ParsedCommandLine result;
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    result.out = app.help();
    return result;
  } catch (const CLI::CallForVersion&) {
    result.out = std::string("diffboot ") + program_version() + "\n";
    return result;
  } catch (const CLI::ParseError& e) {
    return {std::nullopt, usage_status, "", usage_error(e.what())};
  }
  RunConfig options;
  if (const std::optional<std::string> problem = interpret(app, table, texts, options)) {
    return {std::nullopt, usage_status, "", usage_error(*problem)};
  }
  if (const std::optional<std::string> problem = shared_output(options)) {
    return {std::nullopt, usage_status, "", usage_error(*problem)};
  }
  result.options = options;
  return result;
}

}  // namespace diffboot::app
