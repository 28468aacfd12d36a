#include "app/stages.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <limits>
#include <exception>
#include <string_view>
#include <thread>
#include <utility>

#include "analysis/analysis.h"
#include "app/run_end.h"
#include "app/run_files.h"
#include "app/state.h"
#include "bootstrap/bootstrap.h"
#include "input/sample_files.h"
#include "plot/histogram.h"
#include "plot/histogram_file.h"
#include "plot/plot_program.h"
#include "poisson/analyse.h"
#include "report/report.h"
#include "staging/staging.h"
#include "terminal/progress_line.h"
#include "terminal/terminal_line.h"
#include "text/stops.h"
#include "text/units.h"
#include "text/writer.h"

namespace diffboot::app {
namespace {

[[noreturn]] void terminate_with(std::string_view message) {
  text::write_list(text::console, {message});
  text::stop_run();
}

// One allocation request for a pair of arrays of n values, filled with -999.0.
void allocate_pair(std::vector<double>& a, std::vector<double>& b, std::int64_t n, std::string_view message) {
  try {
    const auto size = static_cast<std::size_t>(n < 0 ? 0 : n);
    a.assign(size, unset);
    b.assign(size, unset);
  } catch (const std::exception&) {  // bad_alloc, or length_error beyond any vector's size
    a.clear();
    b.clear();
    terminate_with(message);
  }
}

void allocate_array(std::vector<double>& a, std::int64_t n, std::string_view message) {
  std::vector<double> unused;
  allocate_pair(a, unused, n, message);
}

input::SampleReading sample_reading(const State& s) { return {s.decimal_comma}; }

}  // namespace

std::int32_t sample_size(std::int64_t count, std::string_view message) {
  if (count > std::numeric_limits<std::int32_t>::max()) terminate_with(message);
  return static_cast<std::int32_t>(count);
}

void count_samples(State& s) {
  const input::SampleCounts counts =
      s.from_table ? input::SampleCounts{static_cast<std::int64_t>(s.table_x.size()),
                                         static_cast<std::int64_t>(s.table_y.size()), s.missing_x, s.missing_y, {}, {}}
                   : input::count_samples(s.path_x, s.path_y, sample_reading(s));
  s.n_x = sample_size(counts.n_x, "x: space requested not possible - terminate");
  s.n_y = sample_size(counts.n_y, "y: space requested not possible - terminate");
  s.missing_x = counts.missing_x;
  s.missing_y = counts.missing_y;
  s.missing_in_step = counts.missing_in_step;
  // A header line names its sample in figures, unless the run named it.
  if (!counts.header_x.empty() && s.label_x == s.path_x) s.label_x = counts.header_x;
  if (!counts.header_y.empty() && s.label_y == s.path_y) s.label_y = counts.header_y;
  if (s.n_x == 0) terminate_with("x1: no values in \"" + s.path_x + "\" - terminate");
  if (s.n_y == 0) terminate_with("x2: no values in \"" + s.path_y + "\" - terminate");
  std::vector<std::string> outputs;
  for (const RunOutput& output : run_outputs(s.write_files, s.output_directory, s.figure, s.replicates_file)) {
    outputs.push_back(output.path);
  }
  input::stop_if_output(s.path_x, s.path_y, outputs);
}

void check_sample_sizes(const State& s) {
  if (s.experiment == Experiment::paired && !s.missing_in_step) {
    terminate_with("x1, x2: the missing values stand at different places in the two files' data, so their values cannot be "
                   "paired by position; put the pairs in one table (--table FILE X Y -p), where a missing cell drops "
                   "its pair - terminate");
  }
  if (const auto few = analysis::too_few_values(s.n_x, s.n_y, s.experiment)) {
    terminate_with(*few + " - terminate");
  }
}

void allocate_samples(State& s) {
  allocate_array(s.x1, s.n_x, "x: space requested not possible - terminate");
  allocate_array(s.x2, s.n_y, "y: space requested not possible - terminate");
}

void read_samples(State& s) {
  if (!s.from_table) {
    input::read_samples(s.path_x, s.x1, s.path_y, s.x2, sample_reading(s));
    return;
  }
  std::copy(s.table_x.begin(), s.table_x.end(), s.x1.begin());
  std::copy(s.table_y.begin(), s.table_y.end(), s.x2.begin());
}

void sample_summaries(State& s) {
  s.summaries = analysis::summarise(s.x1, s.x2);
}

void allocate_histograms(State& s) {
  allocate_array(s.class_bounds_x, std::int64_t{s.nclass_x} + 1, "x histogram class bounds data: space requested not possible - terminate");
  allocate_array(s.class_bounds_y, std::int64_t{s.nclass_y} + 1, "y histogram class bounds data: space requested not possible - terminate");
  allocate_array(s.class_counts_x, s.nclass_x, "x histogram data: space requested not possible - terminate");
  allocate_array(s.class_counts_y, s.nclass_y, "y histogram data: space requested not possible - terminate");
}

void make_histograms(State& s) {
  const numeric::SampleSummary& x = s.summaries.x;
  const numeric::SampleSummary& y = s.summaries.y;
  s.nclass_x = plot::scott_class_number(x.min, x.max, s.n_x, x.std);
  s.nclass_y = plot::scott_class_number(y.min, y.max, s.n_y, y.std);
  allocate_histograms(s);
  plot::histogram_classes(x.min, x.max, s.x1, s.class_counts_x, s.class_bounds_x);
  plot::histogram_classes(y.min, y.max, s.x2, s.class_counts_y, s.class_bounds_y);
  if (s.write_files) {
    const std::string& dir = s.output_directory;
    plot::write_histogram(plot::HistogramTarget::sample1_plot, output_path(dir, sample1_plot_file), s.class_bounds_x,
                             s.class_counts_x, {});
    plot::write_histogram(plot::HistogramTarget::sample2_plot, output_path(dir, sample2_plot_file), s.class_bounds_y,
                             s.class_counts_y, {});
    if (s.labelled_histograms) {
      plot::write_plot_script(output_path(dir, plot_script_file), sample1_plot_file, sample2_plot_file,
                              {s.label_x, s.label_y});
    } else {
      plot::write_plot_script(output_path(dir, plot_script_file), sample1_plot_file, sample2_plot_file);
    }
    staging::commit_text_files();
  }
  if (s.show_plot && plot::plot_can_be_shown()) {
    if (isatty(STDIN_FILENO) == 1 && plot::plot_window_expected()) {
      text::error_stream() << "The histograms are in the plot window: press Enter there to go on.\r\n";
      text::error_stream().flush();
    }
    const plot::ProgramEnd shown = plot::run_plot_program(s.output_directory, plot_script_file);
    // Keys typed while the window had them were meant for it, not for the questions.
    if (shown.way != plot::ProgramEnd::Way::not_started) terminal::discard_typed_ahead(STDIN_FILENO);
  }
}

namespace {

// What standard error must say about the measures' numbers, a line a note.
void tell_notes(const State& s) {
  for (const analysis::MeasureRun& m : s.measures) {
    if (!m.chosen) continue;  // a measure left out of the report has nothing to say
    for (const std::string& note : m.notes) text::error_stream() << note << "\r\n";
  }
  text::error_stream().flush();
}

// The Poisson bootstrap of the run's samples (keyed by position, as the
// library's), its measures as the run holds them.
void poisson_intervals(State& s) {
  const unsigned threads = s.threads != 0 ? s.threads : std::max(1u, std::thread::hardware_concurrency());
  const poisson::engine::Settings settings{s.experiment, s.alpha, s.B, s.seed, threads, s.measures_asked, 0, true};
  poisson::engine::Outcome r;
  try {
    r = poisson::engine::analyse(s.x1, s.x2, settings);
  } catch (const poisson::engine::Error& e) {
    throw RunEnd{stop_status, std::string("diffboot: ") + e.what() + "\n"};
  }
  s.measures.clear();
  for (poisson::engine::MeasureRun& m : r.measures) {
    analysis::MeasureRun& run = s.measures.emplace_back();
    run.name = m.name;
    run.result = m.result;
    run.replicates = m.in_order;
    std::sort(run.replicates.begin(), run.replicates.end());
    if (!s.replicates_file.empty()) run.in_order = std::move(m.in_order);
    run.notes = std::move(m.notes);
  }
  tell_notes(s);
}

}  // namespace

void bootstrap_intervals(State& s) {
  if (s.poisson) {
    poisson_intervals(s);
    return;
  }
  analysis::ParsedMeasures asked = analysis::parse_measures(s.measures_asked, s.experiment, s.quantiles_asked);
  analysis::Settings settings{s.experiment, s.alpha, s.B, s.seed, s.threads, std::move(asked.kinds), std::move(asked.quantiles),
                              s.permutations, !s.replicates_file.empty()};
  settings.acceleration = s.acceleration;
  const bool paired = settings.experiment == Experiment::paired;
  bootstrap::Progress progress;
  progress.total = bootstrap::work_units(s.x1.size(), s.x2.size(), static_cast<std::size_t>(s.B), paired,
                                         bootstrap::JackknifeSums::by_size, analysis::acceleration_method(settings));
  {
    const terminal::ProgressLine line([&progress] { return progress.fraction(); },
                                      paired ? "bootstrap replications" : "bootstrap replications and jackknife",
                                      text::error_stream());
    s.measures = analysis::run_bootstrap(s.x1, s.x2, s.summaries, settings, &progress);
  }
  tell_notes(s);  // after the progress line has gone
}

report::Report report_of(const State& s) {
  report::Report r{s.filename_x, s.filename_y, s.n_x, s.n_y, s.experiment, s.alpha, s.B, {}, s.permutations};
  if (s.from_table) r.missing_x = s.missing_x, r.missing_y = s.missing_y, r.pairs_dropped = s.pairs_dropped;
  for (const MeasureOfRun& m : measures_of(s)) {
    if (!m.run->chosen) continue;  // not asked for: not formed, its numbers NaN
    r.rows.push_back({m.label, &m.run->result, m.run->p_permutation, m.run->p_t, m.name == "d_AVE" || m.name == "AVE_d",
                      m.name == "lift" ? 100.0 : 1.0});
  }
  return r;
}

void write_report(const State& s, report::ReportMode mode) {
  report::write_report(mode, report_of(s), output_path(s.output_directory, report_file));
}

void write_report_file(State& s) {
  const std::string path = output_path(s.output_directory, report_file);
  write_report(s, report::ReportMode::file);
  plot::write_histogram(plot::HistogramTarget::report, path, s.class_bounds_x, s.class_counts_x, "Sample 1 (x1):");
  plot::write_histogram(plot::HistogramTarget::report, path, s.class_bounds_y, s.class_counts_y, "Sample 2 (x2):");
  staging::commit_text_files();
}

void release_samples(State& s) {
  for (std::vector<double>* a : {&s.x1, &s.x2}) {
    std::vector<double>().swap(*a);
  }
}

void release_histograms(State& s) {
  for (std::vector<double>* a : {&s.class_bounds_x, &s.class_bounds_y, &s.class_counts_x, &s.class_counts_y}) {
    std::vector<double>().swap(*a);
  }
}

}  // namespace diffboot::app
