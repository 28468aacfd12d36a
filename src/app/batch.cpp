#include "app/batch.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <ostream>
#include <tuple>

#include "analysis/analysis.h"
#include "app/run.h"
#include "app/run_end.h"
#include "app/stages.h"
#include "app/run_values.h"
#include "app/groups.h"
#include "app/counts.h"
#include "input/sample_files.h"
#include "poisson/results.h"
#include "plot/figure_run.h"
#include "report/machine_report.h"
#include "report/replicates.h"
#include "report/report.h"
#include "staging/staging.h"
#include "tables/two_samples.h"
#include "text/line_feed_stream.h"
#include "text/shown.h"
#include "text/stops.h"
#include "text/units.h"

namespace diffboot::app {
namespace {

// A sample that cannot be read stops the run with the name and the reason.
void check_readable(const std::string& name, const char* which) {
  if (const std::optional<std::string> reason = input::unreadable(name)) {
    throw RunEnd{stop_status, "diffboot: " + text::shown(std::string("cannot read ") + which + " \"" + name + "\": " + *reason) + "\n"};
  }
}

[[noreturn]] void usage_stop(const std::string& problem) { throw RunEnd{usage_status, usage_error(problem)}; }

// The experiment type the options and the sizes give.
Experiment batch_experiment(const RunConfig& o, std::int32_t n_x, std::int32_t n_y) {
  if (n_x != n_y) {
    if (o.experiment == Experiment::paired) {
      usage_stop("--paired needs " + analysis::unequal_sizes(n_x, n_y));
    }
    return Experiment::unpaired;
  }
  if (!o.experiment) {
    usage_stop("both samples have " + std::to_string(n_x) +
               " values: say --paired or --unpaired (pairing is a property of the design)");
  }
  return *o.experiment;
}

}  // namespace

report::MachineReport machine_report(const RunResults& run) {
  const RunConfig& o = run.config;
  const Samples& s = run.samples;
  report::MachineReport r{program_version(), s.names.name_x, s.names.name_y, s.counts.n_x, s.counts.n_y,
                          s.counts.missing_x, s.counts.missing_y, experiment_name(*o.experiment), o.alpha, o.level,
                          o.replications, o.seed, s.summaries.x, s.summaries.y, {}, 0, 0, {}};
  for (const MeasureOfRun& m : measures_of(run.measures)) {
    if (m.run->chosen) r.measures.push_back({m.name, &m.run->result, m.run->p_permutation, m.run->p_t});
  }
  r.permutations = o.permutations;
  r.pairs_dropped = s.counts.pairs_dropped;
  if (o.proportions) {
    r.test = analysis::test_name(true, *o.experiment);
    r.proportions = true;
    r.successes_x = std::ranges::count(s.x, 1.0), r.successes_y = std::ranges::count(s.y, 1.0);
  }
  if (o.poisson) r.method = "poisson";
  if (!o.cluster.empty()) {
    r.cluster = o.cluster;
    r.clusters_x = s.counts.clusters_x, r.clusters_y = s.counts.clusters_y;
    r.no_cluster_x = s.counts.no_cluster_x, r.no_cluster_y = s.counts.no_cluster_y;
  }
  return r;
}

void write_results(std::ostream& out, const std::string& text) {
  out << text;
  out.flush();
  if (!out) text::fatal_io_error("Output error: cannot write standard output");
}

namespace {

// The results in the chosen format on `results`, while messages go to the
// console's error stream.
void print_results(const RunResults& run, const text::ConsoleStreams& results) {
  if (run.config.format == OutputFormat::text) {
    const text::ConsoleRedirect to_results(results);
    report::list_report(report_of(run));
    return;
  }
  const report::MachineReport r = machine_report(run);
  write_results(*results.out, run.config.format == OutputFormat::csv ? report::results_csv(r) : report::results_json(r));
}

// Draws the figure the options ask for; a figure that cannot be drawn stops
// the run after everything else is written.
void draw_figure(const RunResults& run) {
  const RunConfig& o = run.config;
  const Samples& s = run.samples;
  const auto sample = [](std::string_view label, const std::vector<double>& values, const numeric::SampleSummary& m) {
    return plot::FigureSample{label, values, m.ave, m.std, m.med};
  };
  const auto [label_x, label_y] =
      plot::sample_labels(s.names.label_x, s.names.label_y, s.names.path_x, s.names.path_y, s.counts.from_table);
  plot::Figure f{o.figure,
                 *plot::figure_format(o.figure),
                 *o.experiment == Experiment::paired,
                 analysis::decimal15(o.level * 100),
                 o.replications,
                 sample(label_x, s.x, s.summaries.x),
                 sample(label_y, s.y, s.summaries.y),
                 {}};
  if (o.figure_size) std::tie(f.width, f.height) = *o.figure_size;
  if (!s.names.value_name.empty()) f.value_name = s.names.value_name;
  f.unit = o.unit;
  f.log_scale = o.log_scale;
  if (!o.cluster.empty()) f.x.clusters = s.cluster_x, f.y.clusters = s.cluster_y, f.cluster_name = o.cluster;
  if (o.proportions) {  // each sample's ones of its values (a paired run's: the two margins)
    const auto counts = [](const std::vector<double>& v) {
      return plot::Figure::Counts{std::count(v.begin(), v.end(), 1.0), static_cast<std::int64_t>(v.size())};
    };
    f.proportions = std::array{counts(s.x), counts(s.y)};
  }
  draw_with_measures(std::move(f), measures_of(run.measures), o.figure);
}

// The replicates file of the measures asked for.
void write_replicates(const RunResults& run) {
  std::vector<report::ReplicateColumn> columns;
  for (const MeasureOfRun& m : measures_of(run.measures)) {
    if (m.run->chosen) columns.push_back({m.name, m.run->in_order});
  }
  const std::string& file = run.config.replicates;
  const std::string csv = report::replicates_csv(columns, run.config.replications);
  if (const std::string problem = staging::write_whole_file(file, csv); !problem.empty()) {
    throw RunEnd{stop_status, "diffboot: " + text::shown("cannot write the replicates \"" + file + "\": " + problem) + "\n"};
  }
}

// The command line's answers: in the options already.
class CommandLineQuestions : public Questions {
 public:
  // The samples the options name; one that cannot be read stops the run.
  SampleSource sample_files(const RunConfig& o) override {
    if (!o.table.empty()) check_readable(o.table, "the table");
    if (o.table.empty()) check_readable(o.sample1, "sample 1");
    if (o.table.empty()) check_readable(o.sample2, "sample 2");
    SampleSource source{{name_field(o.sample1), name_field(o.sample2), o.sample1, o.sample2, o.sample1, o.sample2,
                         o.sample1, o.sample2, {}, false},
                        std::nullopt,
                        o.decimal_comma};
    if (!o.table.empty() || !o.column.empty()) {
      source.table = tables::SampleSource{o.table, o.sample1,  o.sample2,     o.column,
                                          o.by,    o.value,    o.id,          o.delimiter,
                                          o.decimal_comma, o.experiment == Experiment::paired, o.proportions};
      source.table->cluster = o.cluster;
    }
    return source;
  }
  std::optional<Experiment> experiment_type(const RunConfig& o, const SampleCounts& counts, TypeMoment moment) override {
    if (moment != TypeMoment::sizes_known) return std::nullopt;
    const Experiment e = batch_experiment(o, counts.n_x, counts.n_y);
    if (o.poisson) {
      if (const std::optional<std::string> problem = poisson::engine::measures_problem(o.measures, e)) {
        usage_stop("--measures: " + *problem);
      }
      if (std::min(counts.n_x, counts.n_y) < poisson::engine::min_size) {
        usage_stop("--poisson needs at least " + std::to_string(poisson::engine::min_size) + " values in each sample");
      }
    } else if (const std::optional<std::string> problem =
                   analysis::measures_problem(o.measures, e, o.quantiles, o.proportions)) {
      usage_stop("--measures: " + *problem);
    }
    return e;
  }
  double alpha(const RunConfig& o) override { return o.alpha; }
};

// The command line's results: in the chosen format on `results`, then the figure.
class BatchResults : public ResultsSink {
 public:
  explicit BatchResults(const text::ConsoleStreams& results) : results_(results) {}
  void results(const RunResults& run) override { print_results(run, results_); }
  void after_files(const RunResults& run) override {
    if (!run.config.replicates.empty()) write_replicates(run);
    if (!run.config.figure.empty()) draw_figure(run);
  }

 private:
  text::ConsoleStreams results_;
};

}  // namespace

void draw_with_measures(plot::Figure f, const std::vector<MeasureOfRun>& measures, const std::string& file) {
  for (const MeasureOfRun& m : measures) {
    if (!m.run->chosen) continue;
    const bootstrap::Result& r = m.run->result;
    f.measures.push_back({m.words, m.name, r.estimate, r.t_lower, r.t_upper, r.bca_lower, r.bca_upper, m.run->replicates});
  }
  if (const std::string problem = plot::draw_checked(f); !problem.empty()) {
    throw RunEnd{stop_status, "diffboot: " + text::shown("cannot draw the figure \"" + file + "\": " + problem) + "\n"};
  }
}

std::unique_ptr<Questions> command_line_questions() { return std::make_unique<CommandLineQuestions>(); }

int run_batch(const RunConfig& options, unsigned threads, FinishedRun* finished) {
  if (options.design) return run_groups(options, threads);
  if (options.counts) return run_counts(options);
  // In a batch run standard output holds the results only: the console's
  // records (messages) go to standard error.
  // Messages end in a line feed alone.
  const text::ConsoleStreams streams = text::console_streams();
  text::LineFeedStream err(*streams.err);
  const text::ConsoleRedirect messages({streams.in, &err, &err});
  CommandLineQuestions questions;
  BatchResults results(messages.previous());
  RunConfig asked = options;
  asked.threads = threads;
  return run_to_end([&] {
    FinishedRun run = run_sequence(asked, questions, results);
    if (finished != nullptr) *finished = std::move(run);
  });
}

int run_command_line(std::span<const std::string> args, unsigned threads) {
  const ParsedCommandLine parsed = parse_command_line(args);
  if (!parsed.options) {
    const text::ConsoleStreams streams = text::console_streams();
    *streams.out << parsed.out;
    *streams.err << parsed.err;
    streams.out->flush();
    return parsed.status;
  }
  return run_batch(*parsed.options, threads);
}

}  // namespace diffboot::app
