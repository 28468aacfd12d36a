#include "app/batch.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <ostream>
#include <tuple>

#include "analysis/analysis.h"
#include "app/run.h"
#include "app/run_end.h"
#include "app/stages.h"
#include "app/state.h"
#include "input/sample_files.h"
#include "poisson/results.h"
#include "plot/figure_run.h"
#include "report/machine_report.h"
#include "report/replicates.h"
#include "report/report.h"
#include "staging/staging.h"
#include "tables/table.h"
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
Experiment batch_experiment(const BatchOptions& o, std::int32_t n_x, std::int32_t n_y) {
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

report::MachineReport machine_report(const State& s, const BatchOptions& o) {
  report::MachineReport r{program_version(), s.name_x, s.name_y, s.n_x, s.n_y, s.missing_x, s.missing_y,
                          experiment_name(s.experiment), o.alpha, o.level, s.B, s.seed,
                          s.summaries.x, s.summaries.y, {}, 0, 0, {}};
  for (const MeasureOfRun& m : measures_of(s)) {
    if (m.run->chosen) r.measures.push_back({m.name, &m.run->result, m.run->p_permutation, m.run->p_t});
  }
  r.permutations = s.permutations;
  r.pairs_dropped = s.pairs_dropped;
  if (s.poisson) r.method = "poisson";
  return r;
}

void write_results(std::ostream& out, const std::string& text) {
  out << text;
  out.flush();
  if (!out) text::fatal_io_error("Output error: cannot write standard output");
}

// The results in the chosen format on `results`, while messages go to the
// console's error stream.
void print_results(const State& s, const BatchOptions& o, const text::ConsoleStreams& results) {
  if (o.format == OutputFormat::text) {
    const text::ConsoleRedirect to_results(results);
    report::list_report(report_of(s));
    return;
  }
  const report::MachineReport r = machine_report(s, o);
  write_results(*results.out, o.format == OutputFormat::csv ? report::results_csv(r) : report::results_json(r));
}

// Draws the figure the options ask for; a figure that cannot be drawn stops
// the run after everything else is written.
void draw_figure(const State& s, const BatchOptions& o) {
  const auto sample = [](std::string_view label, const std::vector<double>& values, const numeric::SampleSummary& m) {
    return plot::FigureSample{label, values, m.ave, m.std, m.med};
  };
  const auto [label_x, label_y] = plot::sample_labels(s.label_x, s.label_y, s.path_x, s.path_y, s.from_table);
  plot::Figure f{o.figure,
                 *plot::figure_format(o.figure),
                 s.experiment == Experiment::paired,
                 analysis::decimal15(o.level * 100),
                 s.B,
                 sample(label_x, s.x1, s.summaries.x),
                 sample(label_y, s.x2, s.summaries.y),
                 {}};
  if (o.figure_size) std::tie(f.width, f.height) = *o.figure_size;
  if (!s.value_name.empty()) f.value_name = s.value_name;
  f.unit = o.unit;
  f.log_scale = o.log_scale;
  const std::vector<MeasureOfRun> measures = measures_of(s);  // the figure's words point into them
  for (const MeasureOfRun& m : measures) {
    if (!m.run->chosen) continue;
    const bootstrap::Result& r = m.run->result;
    f.measures.push_back({m.words, m.name, r.estimate, r.t_lower, r.t_upper, r.bca_lower, r.bca_upper, m.run->replicates});
  }
  if (const std::string problem = plot::draw_checked(f); !problem.empty()) {
    throw RunEnd{stop_status, "diffboot: " + text::shown("cannot draw the figure \"" + o.figure + "\": " + problem) + "\n"};
  }
}

// The replicates file of the measures asked for.
void write_replicates(const State& s) {
  std::vector<report::ReplicateColumn> columns;
  for (const MeasureOfRun& m : measures_of(s)) {
    if (m.run->chosen) columns.push_back({m.name, m.run->in_order});
  }
  const std::string csv = report::replicates_csv(columns, s.B);
  if (const std::string problem = staging::write_whole_file(s.replicates_file, csv); !problem.empty()) {
    throw RunEnd{stop_status, "diffboot: " + text::shown("cannot write the replicates \"" + s.replicates_file + "\": " + problem) + "\n"};
  }
}

// The two samples of the options' tables into the state, what was left out
// said on standard error. A table that cannot be used stops the run, its
// message on standard error; one that could not be read is a fatal input error.
void load_tables(State& s, const BatchOptions& o) {
  const tables::SampleSource source{o.table, o.sample1, o.sample2, o.column, o.by, o.value, o.id,
                                    o.delimiter, o.decimal_comma, o.experiment == Experiment::paired};
  tables::TwoSamples t;
  try {
    t = tables::read_two_samples(source);
  } catch (const tables::TableReadError& e) {
    text::fatal_io_error(std::string("Input error: ") + e.what());
  } catch (const tables::TableError& e) {
    throw RunEnd{stop_status, "diffboot: " + text::shown(e.what()) + "\n"};
  }
  text::error_stream() << t.notes;
  s.filename_x = name_field(t.name_x), s.filename_y = name_field(t.name_y);
  s.name_x = std::move(t.name_x), s.name_y = std::move(t.name_y);
  s.label_x = std::move(t.label_x), s.label_y = std::move(t.label_y);
  s.value_name = std::move(t.value_name);
  s.path_x = std::move(t.path_x), s.path_y = std::move(t.path_y);
  s.table_x = std::move(t.x), s.table_y = std::move(t.y);
  s.missing_x = t.missing_x, s.missing_y = t.missing_y;
  s.pairs_dropped = t.pairs_dropped;
}

// The command line's answers: in the options already.
class CommandLineQuestions : public Questions {
 public:
  explicit CommandLineQuestions(const BatchOptions& o) : o_(o) {}
  void sample_files(State& s) override {
    s.filename_x = name_field(o_.sample1);
    s.filename_y = name_field(o_.sample2);
    s.path_x = s.name_x = s.label_x = o_.sample1;
    s.path_y = s.name_y = s.label_y = o_.sample2;
    s.output_directory = o_.directory;
    s.write_files = o_.write_files;
    s.show_plot = o_.show_plot;
    s.figure = o_.figure;
    s.replicates_file = o_.replicates;
    s.measures_asked = o_.measures;
    s.quantiles_asked = o_.quantiles;
    s.permutations = o_.permutations;
    s.acceleration = o_.acceleration;
    s.poisson = o_.poisson;
    s.seed = o_.seed;
    s.B = o_.replications;
    s.decimal_comma = o_.decimal_comma;
    if (!o_.table.empty()) check_readable(o_.table, "the table");
    if (o_.table.empty()) check_readable(o_.sample1, "sample 1");
    if (o_.table.empty()) check_readable(o_.sample2, "sample 2");
    s.from_table = !o_.table.empty() || !o_.column.empty();
    if (s.from_table) load_tables(s, o_);
    if (o_.labels) std::tie(s.label_x, s.label_y) = *o_.labels;
    s.labelled_histograms = s.from_table || o_.labels;  // plain files keep the window's long-standing keys
  }
  bool experiment_type(State& s, TypeMoment moment) override {
    if (moment != TypeMoment::sizes_known) return false;
    s.experiment = batch_experiment(o_, s.n_x, s.n_y);
    if (s.poisson) {
      if (const std::optional<std::string> problem = poisson::engine::measures_problem(s.measures_asked, s.experiment)) {
        usage_stop("--measures: " + *problem);
      }
      if (std::min(s.n_x, s.n_y) < poisson::engine::min_size) {
        usage_stop("--poisson needs at least " + std::to_string(poisson::engine::min_size) + " values in each sample");
      }
    } else if (const std::optional<std::string> problem = analysis::measures_problem(s.measures_asked, s.experiment, s.quantiles_asked)) {
      usage_stop("--measures: " + *problem);
    }
    return true;
  }
  void alpha(State& s) override { s.alpha = o_.alpha; }

 private:
  const BatchOptions& o_;
};

// The command line's results: in the chosen format on `results`, then the figure.
class BatchResults : public ResultsSink {
 public:
  BatchResults(const BatchOptions& o, const text::ConsoleStreams& results) : o_(o), results_(results) {}
  void results(const State& s) override { print_results(s, o_, results_); }
  void after_files(const State& s) override {
    if (!s.replicates_file.empty()) write_replicates(s);
    if (!o_.figure.empty()) draw_figure(s, o_);
  }

 private:
  const BatchOptions& o_;
  text::ConsoleStreams results_;
};

}  // namespace

int run_batch(const BatchOptions& options, State& s) {
  // In a batch run standard output holds the results only: the console's
  // records (messages) go to standard error.
  // Messages end in a line feed alone.
  const text::ConsoleStreams streams = text::console_streams();
  text::LineFeedStream err(*streams.err);
  const text::ConsoleRedirect messages({streams.in, &err, &err});
  CommandLineQuestions questions(options);
  BatchResults results(options, messages.previous());
  return run_to_end(s, [&](State& state) { run_sequence(state, questions, results); });
}

int run_batch(const BatchOptions& options, unsigned threads) {
  State s;
  s.threads = threads;
  return run_batch(options, s);
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
