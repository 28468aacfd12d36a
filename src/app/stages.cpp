#include "app/stages.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <limits>
#include <exception>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>
#include <utility>

#include "analysis/analysis.h"
#include "analysis/clusters.h"
#include "app/run_end.h"
#include "app/run_files.h"
#include "app/run_values.h"
#include "bootstrap/bootstrap.h"
#include "input/sample_files.h"
#include "plot/histogram.h"
#include "plot/histogram_file.h"
#include "plot/plot_program.h"
#include "poisson/analyse.h"
#include "report/report.h"
#include "staging/staging.h"
#include "tables/table.h"
#include "tables/two_samples.h"
#include "terminal/progress_line.h"
#include "terminal/terminal_line.h"
#include "text/shown.h"
#include "text/stops.h"
#include "text/units.h"
#include "text/writer.h"

namespace diffboot::app {
namespace {

[[noreturn]] void terminate_with(std::string_view message) {
  text::write_list(text::console, {message});
  text::stop_run();
}

// n values (none for a negative n), or the run stopped with `message` when
// memory cannot be had.
std::vector<double> values_or_stop(std::int64_t n, std::string_view message) {
  try {
    return std::vector<double>(static_cast<std::size_t>(n < 0 ? 0 : n));
  } catch (const std::exception&) {  // bad_alloc, or length_error beyond any vector's size
    terminate_with(message);
  }
}

// The clusters of the samples' values numbered; a cluster of both groups,
// or a group of fewer than 3, stops the run.
void number_clusters(FoundSamples& found, const tables::TwoSamples& t, const tables::SampleSource& source) {
  analysis::NumberedClusters n;
  try {
    n = analysis::number_clusters(found.table_x, t.cluster_x, found.table_y, t.cluster_y,
                                  "the group \"" + source.sample1 + "\"", "the group \"" + source.sample2 + "\"");
  } catch (const analysis::ClusterError& e) {
    throw RunEnd{stop_status, "diffboot: " + text::shown(e.what()) + "\n"};
  }
  found.cluster_x = std::move(n.cluster_x), found.cluster_y = std::move(n.cluster_y);
  SampleCounts& c = found.counts;
  c.clusters_x = n.clusters_x, c.clusters_y = n.clusters_y, c.no_cluster_x = t.no_cluster_x, c.no_cluster_y = t.no_cluster_y;
}

// The two samples of a run's tables, what was left out said on standard
// error. A table that cannot be used stops the run, its message on standard
// error; one that could not be read is a fatal input error.
FoundSamples read_tables(const tables::SampleSource& source) {
  tables::TwoSamples t;
  try {
    t = tables::read_two_samples(source);
  } catch (const tables::TableReadError& e) {
    text::fatal_io_error(std::string("Input error: ") + e.what());
  } catch (const tables::TableError& e) {
    throw RunEnd{stop_status, "diffboot: " + text::shown(e.what()) + "\n"};
  }
  text::error_stream() << t.notes;
  FoundSamples found;
  found.names = {name_field(t.name_x), name_field(t.name_y), std::move(t.path_x), std::move(t.path_y),
                 std::move(t.name_x), std::move(t.name_y), std::move(t.label_x), std::move(t.label_y),
                 std::move(t.value_name), true};
  found.counts = {sample_size(static_cast<std::int64_t>(t.x.size()), "x: space requested not possible - terminate"),
                  sample_size(static_cast<std::int64_t>(t.y.size()), "y: space requested not possible - terminate"),
                  t.missing_x, t.missing_y, t.pairs_dropped, true, true};
  found.table_x = std::move(t.x);
  found.table_y = std::move(t.y);
  if (!source.cluster.empty()) number_clusters(found, t, source);
  return found;
}

// The sample files counted.
FoundSamples count_files(const SampleSource& source) {
  const input::SampleCounts counts =
      input::count_samples(source.names.path_x, source.names.path_y, {source.decimal_comma});
  FoundSamples found{source.names, {}, {}, {}};
  found.counts = {sample_size(counts.n_x, "x: space requested not possible - terminate"),
                  sample_size(counts.n_y, "y: space requested not possible - terminate"),
                  counts.missing_x, counts.missing_y, 0, counts.missing_in_step, false};
  SampleNames& names = found.names;
  if (!counts.header_x.empty() && names.label_x == names.path_x) names.label_x = counts.header_x;
  if (!counts.header_y.empty() && names.label_y == names.path_y) names.label_y = counts.header_y;
  return found;
}

}  // namespace

std::int32_t sample_size(std::int64_t count, std::string_view message) {
  if (count > std::numeric_limits<std::int32_t>::max()) terminate_with(message);
  return static_cast<std::int32_t>(count);
}

FoundSamples find_samples(const SampleSource& source, const RunConfig& config) {
  FoundSamples found = source.table ? read_tables(*source.table) : count_files(source);
  SampleNames& names = found.names;
  if (config.labels) std::tie(names.label_x, names.label_y) = *config.labels;
  names.labelled_histograms = names.labelled_histograms || config.labels;  // plain files keep the window's keys
  if (found.counts.n_x == 0) terminate_with("x1: no values in \"" + names.path_x + "\" - terminate");
  if (found.counts.n_y == 0) terminate_with("x2: no values in \"" + names.path_y + "\" - terminate");
  std::vector<std::string> outputs;
  for (const RunOutput& output : run_outputs(config.write_files, config.directory, config.figure, config.replicates)) {
    outputs.push_back(output.path);
  }
  input::stop_if_output(names.path_x, names.path_y, outputs);
  return found;
}

void check_sample_sizes(Experiment experiment, const SampleCounts& counts) {
  if (experiment == Experiment::paired && !counts.missing_in_step) {
    terminate_with("x1, x2: the missing values stand at different places in the two files' data, so their values cannot be "
                   "paired by position; put the pairs in one table (--table FILE X Y -p), where a missing cell drops "
                   "its pair - terminate");
  }
  if (const auto few = analysis::too_few_values(counts.n_x, counts.n_y, experiment)) {
    terminate_with(*few + " - terminate");
  }
}

Samples read_samples(const SampleSource& source, FoundSamples found) {
  Samples s{std::move(found.names), found.counts, {}, {}, {}};
  if (s.counts.from_table) {
    s.x = std::move(found.table_x);
    s.y = std::move(found.table_y);
    s.cluster_x = std::move(found.cluster_x), s.cluster_y = std::move(found.cluster_y);
  } else {
    s.x = values_or_stop(s.counts.n_x, "x: space requested not possible - terminate");
    s.y = values_or_stop(s.counts.n_y, "y: space requested not possible - terminate");
    input::read_samples(s.names.path_x, s.x, s.names.path_y, s.y, {source.decimal_comma});
  }
  s.summaries = analysis::summarise(s.x, s.y);
  return s;
}

namespace {

Histogram histogram_of(const std::vector<double>& values, const numeric::SampleSummary& m, std::int32_t n,
                       const char* which) {
  const std::int32_t classes = plot::scott_class_number(m.min, m.max, n, m.std);
  Histogram h{values_or_stop(std::int64_t{classes} + 1,
                             std::string(which) + " histogram class bounds data: space requested not possible - terminate"),
              values_or_stop(classes, std::string(which) + " histogram data: space requested not possible - terminate")};
  plot::histogram_classes(m.min, m.max, values, h.counts, h.bounds);
  return h;
}

}  // namespace

Histograms make_histograms(const Samples& samples, const RunConfig& config) {
  Histograms h{histogram_of(samples.x, samples.summaries.x, samples.counts.n_x, "x"),
               histogram_of(samples.y, samples.summaries.y, samples.counts.n_y, "y")};
  if (config.write_files) {
    const std::string& dir = config.directory;
    plot::write_histogram(plot::HistogramTarget::sample1_plot, output_path(dir, sample1_plot_file), h.x.bounds,
                          h.x.counts, {});
    plot::write_histogram(plot::HistogramTarget::sample2_plot, output_path(dir, sample2_plot_file), h.y.bounds,
                          h.y.counts, {});
    if (samples.names.labelled_histograms) {
      plot::write_plot_script(output_path(dir, plot_script_file), sample1_plot_file, sample2_plot_file,
                              {samples.names.label_x, samples.names.label_y});
    } else {
      plot::write_plot_script(output_path(dir, plot_script_file), sample1_plot_file, sample2_plot_file);
    }
    staging::commit_text_files();
  }
  if (config.show_plot && plot::plot_can_be_shown()) {
    if (isatty(STDIN_FILENO) == 1 && plot::plot_window_expected()) {
      text::error_stream() << "The histograms are in the plot window: press Enter there to go on.\r\n";
      text::error_stream().flush();
    }
    const plot::ProgramEnd shown = plot::run_plot_program(config.directory, plot_script_file);
    // Keys typed while the window had them were meant for it, not for the questions.
    if (shown.way != plot::ProgramEnd::Way::not_started) terminal::discard_typed_ahead(STDIN_FILENO);
  }
  return h;
}

namespace {

// What standard error must say about the measures' numbers, a line a note.
void tell_notes(const MeasureRuns& measures) {
  for (const analysis::MeasureRun& m : measures) {
    if (!m.chosen) continue;  // a measure left out of the report has nothing to say
    for (const std::string& note : m.notes) text::error_stream() << note << "\r\n";
  }
  text::error_stream().flush();
}

// The Poisson bootstrap of the run's samples (keyed by position, as the
// library's), its measures as the run holds them.
MeasureRuns poisson_intervals(const Samples& samples, const RunConfig& config) {
  const unsigned threads = config.threads != 0 ? config.threads : std::max(1u, std::thread::hardware_concurrency());
  const poisson::engine::Settings settings{*config.experiment, config.alpha, config.replications, config.seed,
                                           threads, config.measures, 0, true};
  poisson::engine::Outcome r;
  try {
    r = poisson::engine::analyse(samples.x, samples.y, settings);
  } catch (const poisson::engine::Error& e) {
    throw RunEnd{stop_status, std::string("diffboot: ") + e.what() + "\n"};
  }
  MeasureRuns measures;
  for (poisson::engine::MeasureRun& m : r.measures) {
    analysis::MeasureRun& run = measures.emplace_back();
    run.name = m.name;
    run.result = m.result;
    run.replicates = m.in_order;
    std::sort(run.replicates.begin(), run.replicates.end());
    if (!config.replicates.empty()) run.in_order = std::move(m.in_order);
    run.notes = std::move(m.notes);
  }
  return measures;
}

MeasureRuns resampled_intervals(const Samples& samples, const RunConfig& config) {
  const Experiment experiment = *config.experiment;
  if (config.proportions) {
    // Sample files' values (a table's cells are checked as they are read, by their line).
    for (const auto& [values, name] : {std::pair{&samples.x, "sample 1"}, std::pair{&samples.y, "sample 2"}}) {
      if (std::optional<std::string> problem = analysis::binary_problem(*values, name)) {
        throw RunEnd{stop_status, "diffboot: " + *problem + "\n"};
      }
    }
  }
  analysis::ParsedMeasures asked =
      analysis::parse_measures(config.measures, experiment, config.quantiles, config.proportions);
  analysis::Settings settings{experiment, config.alpha, config.replications, config.seed, config.threads,
                              std::move(asked.kinds), std::move(asked.quantiles), config.permutations,
                              !config.replicates.empty()};
  settings.acceleration = config.acceleration;
  settings.measures_named = asked.named;
  settings.proportions = config.proportions;
  const bool paired = experiment == Experiment::paired;
  bootstrap::Progress progress;
  progress.total = bootstrap::work_units(samples.x.size(), samples.y.size(), static_cast<std::size_t>(config.replications),
                                         paired, bootstrap::JackknifeSums::by_size, analysis::acceleration_method(settings));
  settings.clusters_x = samples.cluster_x, settings.clusters_y = samples.cluster_y;
  if (!samples.cluster_x.empty()) {  // the units drawn are the clusters
    progress.total = bootstrap::work_units(static_cast<std::size_t>(samples.counts.clusters_x),
                                           static_cast<std::size_t>(samples.counts.clusters_y),
                                           static_cast<std::size_t>(config.replications), false,
                                           bootstrap::JackknifeSums::by_size, analysis::acceleration_method(settings));
  }
  const terminal::ProgressLine line([&progress] { return progress.fraction(); },
                                    paired ? "bootstrap replications" : "bootstrap replications and jackknife",
                                    text::error_stream());
  return analysis::run_bootstrap(samples.x, samples.y, samples.summaries, settings, &progress);
}

}  // namespace

MeasureRuns measure_intervals(const Samples& samples, const RunConfig& config) {
  return config.poisson ? poisson_intervals(samples, config) : resampled_intervals(samples, config);
}

MeasureRuns bootstrap_intervals(const Samples& samples, const RunConfig& config) {
  MeasureRuns measures = measure_intervals(samples, config);
  tell_notes(measures);  // after the progress line has gone
  return measures;
}

report::Report report_of(const RunResults& run) {
  const SampleNames& names = run.samples.names;
  const SampleCounts& counts = run.samples.counts;
  report::Report r{names.filename_x, names.filename_y, counts.n_x, counts.n_y, *run.config.experiment,
                   run.config.alpha, run.config.replications, {}, run.config.permutations};
  if (counts.from_table) r.missing_x = counts.missing_x, r.missing_y = counts.missing_y, r.pairs_dropped = counts.pairs_dropped;
  if (!run.config.cluster.empty()) r.clusters_x = counts.clusters_x, r.clusters_y = counts.clusters_y, r.cluster = run.config.cluster;
  for (const MeasureOfRun& m : measures_of(run.measures)) {
    if (!m.run->chosen) continue;  // not asked for: not formed, its numbers NaN
    r.rows.push_back({m.label, &m.run->result, m.run->p_permutation, m.run->p_t,
                      m.name == "d_AVE" || m.name == "AVE_d" || m.name == "d_PROP" || m.name == "PROP_d",
                      m.name == "lift" ? 100.0 : 1.0});
  }
  r.test = analysis::test_name(run.config.proportions, *run.config.experiment);
  return r;
}

void write_report(const RunResults& run, report::ReportMode mode) {
  report::write_report(mode, report_of(run), output_path(run.config.directory, report_file));
}

void write_report_file(const RunResults& run, const Histograms& histograms) {
  const std::string path = output_path(run.config.directory, report_file);
  write_report(run, report::ReportMode::file);
  plot::write_histogram(plot::HistogramTarget::report, path, histograms.x.bounds, histograms.x.counts, "Sample 1 (x1):");
  plot::write_histogram(plot::HistogramTarget::report, path, histograms.y.bounds, histograms.y.counts, "Sample 2 (x2):");
  staging::commit_text_files();
}

}  // namespace diffboot::app
