#include "app/counts.h"

#include <array>
#include <string>
#include <tuple>
#include <string>
#include <variant>
#include <vector>

#include "analysis/counts.h"
#include "app/command_line.h"
#include "app/groups.h"
#include "app/run.h"
#include "app/run_end.h"
#include "app/run_values.h"
#include "plot/figure.h"
#include "plot/figure_run.h"
#include "report/machine_report.h"
#include "report/replicates.h"
#include "report/report.h"
#include "staging/staging.h"
#include "text/line_feed_stream.h"
#include "text/shown.h"
#include "text/units.h"

namespace diffboot::app {
namespace {

[[noreturn]] void stop(const std::string& problem) {
  throw RunEnd{stop_status, "diffboot: " + text::shown(problem) + "\n"};
}

// The numbers of a count argument, `expected` of them.
std::vector<double> numbers_of(const std::string& text, std::size_t expected, const char* form) {
  std::variant<std::vector<double>, std::string> read = analysis::count_numbers(text);
  if (const std::string* problem = std::get_if<std::string>(&read)) stop("--counts \"" + text + "\": " + *problem);
  std::vector<double> v = std::get<std::vector<double>>(std::move(read));
  if (v.size() != expected) stop("--counts \"" + text + "\" is not " + form);
  return v;
}

template <typename T>
T checked(std::variant<T, std::string> v) {
  if (const std::string* problem = std::get_if<std::string>(&v)) stop(*problem);
  return std::get<T>(std::move(v));
}

// The run of the counts, its results in the chosen format.
void counts_run(const RunConfig& asked, const text::ConsoleStreams& results) {
  const bool paired = asked.sample2.empty();
  if (paired && asked.experiment == Experiment::unpaired) {
    stop("--unpaired counts are two samples SUCCESSES/TRIALS; one argument is the paired table BOTH/X_ONLY/Y_ONLY/NEITHER");
  }
  if (!paired && asked.experiment == Experiment::paired) {
    stop("--paired counts are one table BOTH/X_ONLY/Y_ONLY/NEITHER, not two samples SUCCESSES/TRIALS");
  }
  RunConfig o = asked;
  o.experiment = paired ? Experiment::paired : Experiment::unpaired;
  analysis::ParsedMeasures asked_measures = analysis::parse_measures(o.measures, *o.experiment, {}, true);
  if (asked_measures.problem) throw RunEnd{usage_status, usage_error("--measures: " + *asked_measures.problem)};
  analysis::Settings settings{*o.experiment, o.alpha, o.replications, o.seed, 1, std::move(asked_measures.kinds), {},
                              o.permutations, !o.replicates.empty() || !o.figure.empty()};
  settings.acceleration = o.acceleration;
  settings.measures_named = asked_measures.named;
  settings.proportions = true;
  std::int64_t n_x = 0, n_y = 0, k_x = 0, k_y = 0;
  std::vector<analysis::MeasureRun> runs;
  if (paired) {
    const std::vector<double> v = numbers_of(o.sample1, 4, "a paired table BOTH/X_ONLY/Y_ONLY/NEITHER");
    const analysis::PairedCounts table = checked(analysis::paired_counts_of({v[0], v[1], v[2], v[3]}));
    n_x = n_y = numeric::total(table);
    k_x = table.both + table.x_only, k_y = table.both + table.y_only;
    if (const auto problem = analysis::counts_problem(n_x, n_y, settings)) stop(*problem);
    runs = analysis::bootstrap_paired_counts(table, settings);
  } else {
    const std::vector<double> a = numbers_of(o.sample1, 2, "SUCCESSES/TRIALS");
    const std::vector<double> b = numbers_of(o.sample2, 2, "SUCCESSES/TRIALS");
    const analysis::Counts x = checked(analysis::counts_of(a[0], a[1], "sample 1"));
    const analysis::Counts y = checked(analysis::counts_of(b[0], b[1], "sample 2"));
    n_x = x.trials, n_y = y.trials, k_x = x.successes, k_y = y.successes;
    if (const auto problem = analysis::counts_problem(n_x, n_y, settings)) stop(*problem);
    runs = analysis::bootstrap_counts(x, y, settings);
  }
  for (const analysis::MeasureRun& m : runs) {
    if (!m.chosen) continue;
    for (const std::string& note : m.notes) text::error_stream() << note << "\r\n";
  }
  text::error_stream().flush();
  const std::string name_y = paired ? o.sample1 : o.sample2;
  const std::vector<MeasureOfRun> measures = measures_of(runs);
  if (o.format == OutputFormat::text) {
    const std::string field_x = name_field(o.sample1), field_y = name_field(name_y);
    report::Report r{field_x, field_y, n_x, n_y, *o.experiment, o.alpha, o.replications, {}, o.permutations};
    r.test = analysis::test_name(true, *o.experiment);
    for (const MeasureOfRun& m : measures) {
      if (m.run->chosen) {
        r.rows.push_back({m.label, &m.run->result, m.run->p_permutation, m.run->p_t,
                          m.name == "d_PROP" || m.name == "PROP_d", m.name == "lift" ? 100.0 : 1.0});
      }
    }
    const text::ConsoleRedirect to_results(results);
    report::list_report(r);
  } else {
    report::MachineReport r{program_version(), o.sample1, name_y, n_x, n_y, 0, 0, experiment_name(*o.experiment),
                            o.alpha, o.level, o.replications, o.seed, analysis::summary_of_counts(k_x, n_x),
                            analysis::summary_of_counts(k_y, n_y), {}, o.permutations, 0, {}};
    for (const MeasureOfRun& m : measures) {
      if (m.run->chosen) r.measures.push_back({m.name, &m.run->result, m.run->p_permutation, m.run->p_t});
    }
    r.test = analysis::test_name(true, *o.experiment);
    r.proportions = r.counts = true;
    r.successes_x = k_x, r.successes_y = k_y;
    write_results(*results.out, o.format == OutputFormat::csv ? report::results_csv(r) : report::results_json(r));
  }
  if (!o.replicates.empty()) {
    std::vector<report::ReplicateColumn> columns;
    for (const MeasureOfRun& m : measures) {
      if (m.run->chosen) columns.push_back({m.name, m.run->in_order});
    }
    const std::string csv = report::replicates_csv(columns, o.replications);
    if (const std::string problem = staging::write_whole_file(o.replicates, csv); !problem.empty()) {
      stop("cannot write the replicates \"" + o.replicates + "\": " + problem);
    }
  }
  if (!o.figure.empty()) {  // each sample's proportion on its Wilson interval, and the measures
    plot::Figure f{o.figure, *plot::figure_format(o.figure), paired, analysis::decimal15(o.level * 100),
                   o.replications, {"x", {}, 0, 0, 0}, {"y", {}, 0, 0, 0}, {}};
    f.proportions = std::array{plot::Figure::Counts{k_x, n_x}, plot::Figure::Counts{k_y, n_y}};
    if (o.figure_size) std::tie(f.width, f.height) = *o.figure_size;
    f.unit = o.unit;
    draw_with_measures(std::move(f), measures, o.figure);
  }
}

}  // namespace

int run_counts(const RunConfig& options) {
  const text::ConsoleStreams streams = text::console_streams();
  text::LineFeedStream err(*streams.err);
  const text::ConsoleRedirect messages({streams.in, &err, &err});
  const text::ConsoleStreams results = messages.previous();
  return run_to_end([&] { counts_run(options, results); });
}

}  // namespace diffboot::app
