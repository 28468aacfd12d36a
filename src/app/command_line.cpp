#include "app/command_line.h"

#include <CLI/CLI.hpp>
#include <array>
#include <charconv>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "analysis/analysis.h"
#include "poisson/results.h"
#include "app/dialogue.h"
#include "app/run_files.h"
#include "numbers/free_form.h"
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
                                                     const std::vector<double>& quantiles) {
  const Experiment e = paired ? Experiment::paired : Experiment::unpaired;
  if (text == "all") {
    const auto names = analysis::all_measure_names(e);
    std::vector<std::string> all(names.begin(), names.end());
    for (double p : quantiles) all.push_back(analysis::quantile_name(p, e));
    return all;
  }
  const std::vector<std::string> names = items(text);
  for (const std::string& name : names) {
    if (analysis::measures_problem({name}, Experiment::paired, quantiles) &&
        analysis::measures_problem({name}, Experiment::unpaired, quantiles)) {
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

struct RawOptions {
  bool paired = false, unpaired = false, no_files = false, show = false, p_values = false, decimal_comma = false, log_scale = false,
       poisson = false;
  std::string alpha, level, format = "text", directory, seed, replications, figure, table, column, by, value, id, delimiter, labels,
      figure_size, measures, quantiles, permutations, replicates, acceleration, unit;
  std::string sample1, sample2;
};

void define(CLI::App& app, RawOptions& raw) {
  app.description(description());
  app.footer(footer);
  app.set_help_flag("-h,--help", "Show this help and exit");
  app.set_version_flag("-V,--version", std::string("diffboot ") + program_version(), "Show the version and exit");
  CLI::Option* paired = app.add_flag("-p,--paired", raw.paired, "Paired experiment: values paired by position (equal sizes)");
  CLI::Option* unpaired = app.add_flag("-u,--unpaired", raw.unpaired, "Unpaired experiment");
  paired->excludes(unpaired);
  app.add_option("-a,--alpha", raw.alpha, "Tail probability beyond each bound: " + alpha_choices())->type_name("A");
  app.add_option("-l,--level", raw.level, "Interval level 1 - 2*alpha: " + level_choices())->type_name("L");
  app.add_option("-f,--format", raw.format, "What goes to standard output: text (default), csv or json")
      ->type_name("FORMAT");
  app.add_option("-C,--directory", raw.directory,
                 "Write diffboot.dat and the plot files in DIR (it must exist; -C . for the working directory); "
                 "without it a run writes no file but the figure")
      ->type_name("DIR");
  app.add_option("-s,--seed", raw.seed,
                 "Seed the generator from -N (" + seed_range() + ") instead of the fixed seed " +
                     std::to_string(analysis::fixed_seed))
      ->type_name("N");
  app.add_option("-B,--replications", raw.replications,
                 "Number of bootstrap replications, " + replication_range() + " (default " +
                     std::to_string(analysis::default_replications) + ")")
      ->type_name("B");
  app.add_option("--figure", raw.figure,
                 "Draw the samples and each measure's bootstrap distribution with its intervals into FILE "
                 "(.svg, .png or .pdf); FILE.gp and FILE.dat, its gnuplot script and data, are kept beside it")
      ->type_name("FILE");
  app.add_option("--figure-size", raw.figure_size,
                 "The figure's width and height in inches, from " + figure_size_range() +
                     " (default 7,5; a png has 200 pixels an inch)")
      ->type_name("W,H");
  app.add_option("--unit", raw.unit, "The values' unit, on the figure's data axis and difference axis (\"g\", \"mm Hg\")")
      ->type_name("TEXT");
  app.add_flag("--log", raw.log_scale, "Draw the figure's data axis on a log scale (every value must be positive)");
  app.add_option("--measures", raw.measures,
                 "The measures to report, by name: " + std::string(measure_choices) +
                     " (default: the experiment's own; the text report keeps its block and adds g and delta after it)")
      ->type_name("LIST");
  app.add_option("--quantiles", raw.quantiles,
                 "Add the quantile measures of the probabilities P (strictly between 0 and 1, at most " +
                     std::to_string(analysis::max_quantiles) +
                     "): d_Q90 unpaired, Q90_d paired for 0.9; --measures may name them")
      ->type_name("P,...");
  app.add_flag("--p-values", raw.p_values,
               "Two-sided permutation p-values of every measure, and the t-test's of the mean");
  app.add_option("--permutations", raw.permutations,
                 "With --p-values: the permutations, " + std::to_string(analysis::min_permutations) + " to " +
                     std::to_string(analysis::max_permutations) + " (default " +
                     std::to_string(analysis::default_permutations) + ")")
      ->type_name("N");
  app.add_option("--acceleration", raw.acceleration,
                 "The BCa acceleration of the unpaired differences: grid (default), the jackknife over every pair "
                 "of values left out of the two samples, or samples, the two-sample formula leaving out one "
                 "value of one sample at a time")
      ->type_name("METHOD");
  app.add_flag("--poisson", raw.poisson,
               "The Poisson bootstrap: each value a Poisson(1) count in each replicate, keyed by its position "
               "(measures d_AVE, d_STD, g, lift; paired AVE_d, g, lift; at least " + std::to_string(poisson::engine::min_size) +
                   " values a sample; no p-values)");
  app.add_option("--replicates", raw.replicates,
                 "Write the bootstrap replicates of every measure, a column each in replication order, to FILE (csv)")
      ->type_name("FILE");
  app.add_option("--table", raw.table,
                 "Take both samples from two columns of the table FILE: SAMPLE1 and SAMPLE2 name the columns "
                 "(by header name or number); with -p its rows are the pairs")
      ->type_name("FILE");
  app.add_option("-c,--column", raw.column,
                 "Take each sample from the column COLUMN (header name or number) of the tables SAMPLE1 and SAMPLE2")
      ->type_name("COLUMN");
  app.add_option("--by", raw.by,
                 "With --table: the rows of the groups SAMPLE1 and SAMPLE2 of the column COLUMN (long form)")
      ->type_name("COLUMN");
  app.add_option("--value", raw.value, "With --by: the column of the values (needed unless the table has two columns)")
      ->type_name("COLUMN");
  app.add_option("--delimiter", raw.delimiter,
                 "The tables' cell separator: comma, tab, semicolon or space (by default the one the header line holds "
                 "most of, outside quotes; space when it holds none and its first row as many blank-separated fields)")
      ->type_name("CHAR");
  app.add_flag("--decimal-comma", raw.decimal_comma,
               "Read a comma in a value as a decimal point (5,1 is 5.1): in sample files, and in tables not "
               "separated by commas (tables separated by semicolons always are)");
  app.add_option("--labels", raw.labels, "Name the samples A and B in the figure")->type_name("A,B");
  app.add_option("--id", raw.id, "With --by and -p: pair the two groups' rows by the id in COLUMN")->type_name("COLUMN");
  app.add_flag("--no-files", raw.no_files, "Write no report or plot file, even with -C");
  app.add_flag("--show", raw.show, "Show the histograms in a plot window, as the dialogue does");
  app.add_option("SAMPLE1", raw.sample1, "Sample 1 (x): a file of one number per line")->required();
  app.add_option("SAMPLE2", raw.sample2, "Sample 2 (y)")->required();
  app.get_formatter()->column_width(30);
  app.allow_extras();
}

// The options that take a value: an empty value is a usage error, not the default.
constexpr const char* valued_options[] = {"--alpha",  "--level",  "--format", "--directory", "--seed", "--replications",
                                          "--figure", "--table",  "--column", "--by",        "--value", "--id", "--delimiter", "--labels",
                                          "--figure-size", "--measures", "--quantiles", "--permutations", "--replicates",
                                          "--acceleration", "--unit"};

// A problem CLI11 lets through: an option given an empty value, or more than
// two sample names (after "--" every argument is one).
std::optional<std::string> unparsed(const CLI::App& app, const RawOptions& raw) {
  for (const char* name : valued_options) {
    const CLI::Option* option = app.get_option(name);
    if (option->count() > 0 && option->as<std::string>().empty()) return std::string(name) + " needs a value";
  }
  std::vector<std::string> extra = app.remaining();
  const bool separated = std::erase(extra, "--") > 0;
  for (const std::string& word : extra) {
    if (!separated && word.size() > 1 && word[0] == '-') return "The following argument was not expected: " + word;
  }
  if (extra.empty()) return std::nullopt;
  extra.insert(extra.begin(), {raw.sample1, raw.sample2});
  std::string list;
  for (const std::string& name : extra) list += (list.empty() ? "\"" : ", \"") + name + "\"";
  return std::to_string(extra.size()) + " samples named (" + list + "), but two are compared";
}

// Checks the values CLI11 took as text; returns the problem, or nothing.
std::optional<std::string> interpret(const RawOptions& raw, BatchOptions& o) {
  o.sample1 = raw.sample1;
  o.sample2 = raw.sample2;
  if (raw.paired) o.experiment = Experiment::paired;
  if (raw.unpaired) o.experiment = Experiment::unpaired;
  std::optional<double> a, l;
  if (!raw.alpha.empty() && !(a = alpha_value(raw.alpha))) {
    return "--alpha \"" + raw.alpha + "\" is not a number from " + alpha_choices();
  }
  if (!raw.level.empty() && !(l = level_value(raw.level))) {
    return "--level \"" + raw.level + "\" is not a level from " + level_choices();
  }
  if (a && l && *a != analysis::alpha_of_level(*l)) {
    return "--alpha " + raw.alpha + " and --level " + raw.level + " disagree (the level is 1 - 2*alpha)";
  }
  if (a) o.alpha = *a, o.level = analysis::level_of_alpha(*a);
  if (l) o.alpha = analysis::alpha_of_level(*l), o.level = *l;
  if (raw.format == "text") o.format = OutputFormat::text;
  else if (raw.format == "csv") o.format = OutputFormat::csv;
  else if (raw.format == "json") o.format = OutputFormat::json;
  else return "--format \"" + raw.format + "\" is not one of text, csv, json";
  std::error_code error;
  if (!raw.directory.empty() && !std::filesystem::is_directory(raw.directory, error)) {
    return "--directory \"" + raw.directory + "\" is not an existing directory";
  }
  o.directory = raw.directory;
  if (!raw.seed.empty()) {
    const std::optional<std::int32_t> seed = whole_number(raw.seed, 1, analysis::largest_seed);
    if (!seed) return "--seed \"" + raw.seed + "\" is not a whole number from " + seed_range();
    o.seed = *seed;
  }
  if (!raw.replications.empty()) {
    const std::optional<std::int32_t> b =
        whole_number(raw.replications, analysis::min_replications, analysis::max_replications);
    if (!b) return "--replications \"" + raw.replications + "\" is not a whole number from " + replication_range();
    o.replications = *b;
  }
  // Files only where a directory is named for them.
  o.write_files = !raw.no_files && !raw.directory.empty();
  o.show_plot = raw.show;
  if (raw.show && !o.write_files) return "--show needs the plot files: name their directory with -C DIR";
  if (!raw.figure.empty() && !plot::figure_format(raw.figure)) {
    return "--figure \"" + raw.figure + "\" does not end in .svg, .png or .pdf";
  }
  o.figure = raw.figure;
  o.poisson = raw.poisson;
  if (raw.poisson && raw.p_values) return "--p-values are not part of the Poisson bootstrap (--poisson)";
  if (!raw.quantiles.empty()) {
    if (raw.poisson) return "--quantiles are not part of the Poisson bootstrap (--poisson), which weighs sums";
    std::variant<std::vector<double>, std::string> p = quantile_list(raw.quantiles);
    if (std::string* problem = std::get_if<std::string>(&p)) return *problem;
    o.quantiles = std::get<std::vector<double>>(std::move(p));
  }
  if (raw.poisson && !raw.measures.empty()) {
    o.measures = poisson_measure_list(raw.measures, raw.paired);
  } else if (!raw.measures.empty()) {
    const std::optional<std::vector<std::string>> names = measure_list(raw.measures, raw.paired, o.quantiles);
    if (!names) {
      return "--measures \"" + raw.measures + "\" is not a list of " + measure_choices +
             (o.quantiles.empty() ? "" : " and the names of the quantiles asked for");
    }
    o.measures = *names;
  }
  if (!raw.permutations.empty() && !raw.p_values) return "--permutations goes with --p-values";
  if (raw.p_values) {
    o.permutations = analysis::default_permutations;
    if (!raw.permutations.empty()) {
      const std::optional<std::int32_t> n =
          whole_number(raw.permutations, analysis::min_permutations, analysis::max_permutations);
      if (!n) {
        return "--permutations \"" + raw.permutations + "\" is not a whole number from " +
               std::to_string(analysis::min_permutations) + " to " + std::to_string(analysis::max_permutations);
      }
      o.permutations = *n;
    }
  }
  o.replicates = raw.replicates;
  if (raw.poisson && !raw.acceleration.empty()) {
    return "--acceleration is not part of the Poisson bootstrap (--poisson), whose BCa acceleration is its own";
  }
  if (raw.acceleration == "samples") {
    o.acceleration = Acceleration::samples;
  } else if (!raw.acceleration.empty() && raw.acceleration != "grid") {
    return "--acceleration \"" + raw.acceleration + "\" is not grid or samples";
  }
  if (!raw.figure_size.empty()) {
    o.figure_size = figure_size(raw.figure_size);
    if (!o.figure_size) return "--figure-size \"" + raw.figure_size + "\" is not a width and height W,H in inches from " + figure_size_range();
    if (raw.figure.empty()) return "--figure-size goes with --figure FILE";
  }
  if ((!raw.unit.empty() || raw.log_scale) && raw.figure.empty()) {
    return std::string(raw.log_scale ? "--log" : "--unit") + " goes with --figure FILE";
  }
  o.unit = raw.unit;
  o.log_scale = raw.log_scale;
  if (!raw.table.empty() && !raw.column.empty()) return "--table and --column name columns in two ways: give one";
  if (!raw.by.empty() && raw.table.empty()) return "--by picks rows of a table: it goes with --table FILE";
  if ((!raw.value.empty() || !raw.id.empty()) && raw.by.empty()) return "--value and --id go with --by COLUMN";
  if (!raw.id.empty() && !raw.paired) return "--id pairs rows: it goes with --paired";
  o.table = raw.table;
  o.column = raw.column;
  o.by = raw.by;
  o.value = raw.value;
  o.id = raw.id;
  if (!raw.labels.empty()) {
    const auto comma = raw.labels.find(',');
    // Two names, neither empty: an empty one would leave a sample unnamed in the figure.
    if (comma == std::string::npos || comma == 0 || comma + 1 == raw.labels.size() ||
        raw.labels.find(',', comma + 1) != std::string::npos) {
      return "--labels \"" + raw.labels + "\" is not two names A,B";
    }
    o.labels = std::pair{raw.labels.substr(0, comma), raw.labels.substr(comma + 1)};
  }
  if (!raw.delimiter.empty()) {
    const std::string d = raw.delimiter;
    if (d == "," || d == "comma") o.delimiter = ',';
    else if (d == "\t" || d == "tab" || d == "\\t") o.delimiter = '\t';
    else if (d == ";" || d == "semicolon") o.delimiter = ';';
    else if (d == " " || d == "space") o.delimiter = ' ';
    else return "--delimiter \"" + d + "\" is not one of comma, tab, semicolon, space";
    if (raw.table.empty() && raw.column.empty()) return "--delimiter goes with --table or --column";
  }
  o.decimal_comma = raw.decimal_comma;
  if (o.decimal_comma && o.delimiter == ',') return "--decimal-comma reads commas in values: cells separated by commas cannot hold them";
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
std::optional<std::string> shared_output(const BatchOptions& o) {
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
  CLI::App app{"", "diffboot"};
  RawOptions raw;
  define(app, raw);
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
  BatchOptions options;
  if (const std::optional<std::string> problem = unparsed(app, raw)) return {std::nullopt, usage_status, "", usage_error(*problem)};
  if (const std::optional<std::string> problem = interpret(raw, options)) {
    return {std::nullopt, usage_status, "", usage_error(*problem)};
  }
  if (const std::optional<std::string> problem = shared_output(options)) {
    return {std::nullopt, usage_status, "", usage_error(*problem)};
  }
  result.options = options;
  return result;
}

}  // namespace diffboot::app
