#include "app/groups.h"

#include <algorithm>
#include <deque>
#include <cmath>
#include <exception>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "analysis/groups.h"
#include "app/command_line.h"
#include "app/run_end.h"
#include "app/stages.h"
#include "plot/figure.h"
#include "plot/figure_run.h"
#include "text/shown.h"
#include "report/report.h"
#include "text/line_feed_stream.h"
#include "text/stops.h"
#include "text/units.h"
#include "text/writer.h"

namespace diffboot::app {
namespace {

// One comparison of the run and what it gave.
struct Comparison {
  std::string name;               // "G1 - G0"
  RunConfig config;               // the run of its two samples: sample1 = G1, sample2 = G0
  std::optional<Samples> samples;  // none when it stopped
  MeasureRuns measures;
  std::vector<double> p_holm;     // a measure's, by its place in `measures`
  std::string stopped;            // why it stopped, as the run said it
};

// Each line of `said` on `err` after the comparison's name, the blank a
// console record begins with dropped.
void say_as(std::ostream& err, const std::string& name, const std::string& said) {
  std::istringstream lines(said);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    err << name << ": " << (line.front() == ' ' ? line.substr(1) : line) << "\n";
  }
  err.flush();
}

// The last line the run said, without its record's blank and " - terminate".
std::string reason_of(const std::string& said) {
  std::string reason;
  std::istringstream lines(said);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) reason = line;
  }
  if (reason.starts_with(" ")) reason.erase(0, 1);
  if (reason.ends_with(" - terminate")) reason.resize(reason.size() - 12);
  return reason;
}

// The comparison's samples, read as the run of its two samples reads them.
// Samples from a table that leave too few values (none, or too few pairs)
// and samples too few for the experiment stop the comparison alone.
void take_samples(Comparison& c, Questions& questions, std::ostream& err) {
  std::ostringstream said;
  std::exception_ptr failure;
  bool stopped = false;
  {
    const text::ConsoleStreams console = text::console_streams();
    const text::ConsoleRedirect capture({console.in, &said, &said});
    try {
      const SampleSource source = questions.sample_files(c.config);
      FoundSamples found;
      try {
        found = find_samples(source, c.config);
      } catch (const text::Stopped&) {
        if (!source.table) throw;  // a file that cannot be used stops every comparison
        stopped = true;
      }
      if (!stopped) {
        const Experiment type = questions.experiment_type(c.config, found.counts, TypeMoment::sizes_known).value();
        try {
          check_sample_sizes(type, found.counts);
        } catch (const text::Stopped&) {
          stopped = true;
        }
        if (!stopped) {
          c.config = settled(c.config, type, questions.alpha(c.config));
          c.samples = read_samples(source, std::move(found));
        }
      }
    } catch (...) {
      failure = std::current_exception();
    }
  }
  say_as(err, c.name, said.str());
  if (failure) std::rethrow_exception(failure);
  if (stopped) c.stopped = reason_of(said.str());
}

// Each measure's p-values adjusted by Holm's method across the comparisons
// that give them.
void adjust_p_values(std::vector<Comparison>& comparisons) {
  std::size_t measures = 0;
  for (const Comparison& c : comparisons) measures = std::max(measures, c.measures.size());
  for (Comparison& c : comparisons) c.p_holm.assign(c.measures.size(), std::nan(""));
  for (std::size_t i = 0; i < measures; ++i) {
    std::vector<double> p;
    for (const Comparison& c : comparisons) p.push_back(i < c.measures.size() ? c.measures[i].p_permutation : std::nan(""));
    const std::vector<double> adjusted = analysis::holm(p);
    for (std::size_t k = 0; k < comparisons.size(); ++k) {
      if (i < comparisons[k].measures.size()) comparisons[k].p_holm[i] = adjusted[k];
    }
  }
}

// The p_holm of the measure that `run` points at.
double p_holm_of(const Comparison& c, const analysis::MeasureRun* run) {
  return c.p_holm[static_cast<std::size_t>(run - c.measures.data())];
}

void print_text(const std::vector<Comparison>& comparisons, const text::ConsoleStreams& results) {
  const text::ConsoleRedirect to_results(results);
  bool first = true;
  for (const Comparison& c : comparisons) {
    if (!first) text::write_record(text::console, "(a)", {" "});
    first = false;
    text::write_record(text::console, "(a)", {c.name});
    text::write_record(text::console, "(a)", {" "});
    if (!c.samples) {
      text::write_record(text::console, "(a)", {"stopped: " + c.stopped});
      continue;
    }
    report::Report r = report_of({c.config, *c.samples, c.measures});
    r.holm = c.config.permutations > 0;
    const std::vector<MeasureOfRun> measures = measures_of(c.measures);
    std::size_t row = 0;
    for (const MeasureOfRun& m : measures) {
      if (m.run->chosen) r.rows[row++].p_holm = p_holm_of(c, m.run);
    }
    report::list_report(r);
  }
}

void print_machine(const std::vector<Comparison>& comparisons, const RunConfig& options, std::ostream& out) {
  std::vector<report::MachineReport> reports;
  reports.reserve(comparisons.size());
  std::vector<report::ComparisonReport> all;
  for (const Comparison& c : comparisons) {
    if (!c.samples) {
      all.push_back({c.name, nullptr, c.stopped});
      continue;
    }
    report::MachineReport& r = reports.emplace_back(machine_report({c.config, *c.samples, c.measures}));
    r.comparison = c.name;
    r.holm = c.config.permutations > 0;
    std::size_t row = 0;
    for (const MeasureOfRun& m : measures_of(c.measures)) {
      if (m.run->chosen) r.measures[row++].p_holm = p_holm_of(c, m.run);
    }
    all.push_back({c.name, &r, {}});
  }
  write_results(out, options.format == OutputFormat::csv
                         ? report::comparisons_csv(all)
                         : report::comparisons_json(program_version(), analysis::design_name(*options.design),
                                                    options.groups, all));
}

// The figure of the comparisons: every group's values, and each
// comparison's first measure under its group. A figure that cannot be drawn
// stops the run after everything else is written.
void draw_groups(const std::vector<Comparison>& comparisons, const RunConfig& o) {
  plot::GroupsFigure f;
  f.file = o.figure;
  f.format = *plot::figure_format(o.figure);
  f.sequential = *o.design == analysis::Design::sequential;
  f.replications = o.replications;
  const std::vector<analysis::GroupPair> pairs = analysis::comparisons(o.groups.size(), *o.design);
  for (const std::string& g : o.groups) {
    // A plain file is named without its directory and extension, as in a figure of two samples.
    f.groups.push_back(o.table.empty() ? plot::sample_labels(g, g, g, "", false).first : g);
  }
  std::deque<MeasureOfRun> measures;  // the figure's words point into them
  for (std::size_t k = 0; k < comparisons.size(); ++k) {
    const Comparison& c = comparisons[k];
    figure::GroupComparison g{pairs[k].x, pairs[k].y, {}, {}, std::nullopt};
    if (c.samples) {
      f.paired = *c.config.experiment == Experiment::paired;
      f.level_percent = analysis::decimal15(c.config.level * 100);
      g.values_x = c.samples->x, g.values_y = c.samples->y;
      for (const MeasureOfRun& m : measures_of(c.measures)) {
        if (!m.run->chosen) continue;
        measures.push_back(m);
        const bootstrap::Result& r = m.run->result;
        g.measure = figure::FigureMeasure{measures.back().words, measures.back().name, r.estimate, r.t_lower, r.t_upper,
                                          r.bca_lower, r.bca_upper, m.run->replicates};
        break;
      }
    }
    f.comparisons.push_back(g);
  }
  if (o.figure_size) std::tie(f.width, f.height) = *o.figure_size;
  if (!o.value.empty()) f.value_name = o.value;
  f.unit = o.unit;
  if (const std::string problem = plot::draw_groups_figure(f); !problem.empty()) {
    throw RunEnd{stop_status, "diffboot: " + text::shown("cannot draw the figure \"" + o.figure + "\": " + problem) + "\n"};
  }
}

}  // namespace

int run_groups(const RunConfig& options, unsigned threads) {
  const text::ConsoleStreams streams = text::console_streams();
  text::LineFeedStream err(*streams.err);
  const text::ConsoleRedirect messages({streams.in, &err, &err});
  RunConfig asked = options;
  asked.threads = threads;
  return run_to_end([&] {
    const std::unique_ptr<Questions> questions = command_line_questions();
    std::vector<Comparison> comparisons;
    for (const analysis::GroupPair& pair : analysis::comparisons(asked.groups.size(), *asked.design)) {
      Comparison& c = comparisons.emplace_back();
      c.name = analysis::comparison_name(asked.groups[pair.x], asked.groups[pair.y]);
      c.config = asked;
      c.config.sample1 = asked.groups[pair.x], c.config.sample2 = asked.groups[pair.y];
    }
    for (Comparison& c : comparisons) take_samples(c, *questions, err);
    bool any_stopped = false;
    for (Comparison& c : comparisons) {
      if (!c.samples) {
        any_stopped = true;
        continue;
      }
      c.measures = measure_intervals(*c.samples, c.config);
      for (const analysis::MeasureRun& m : c.measures) {
        if (!m.chosen) continue;  // a measure left out of the results has nothing to say
        for (const std::string& note : m.notes) say_as(err, c.name, note);
      }
    }
    adjust_p_values(comparisons);
    if (asked.format == OutputFormat::text) {
      print_text(comparisons, messages.previous());
    } else {
      print_machine(comparisons, asked, *messages.previous().out);
    }
    if (!asked.figure.empty()) draw_groups(comparisons, asked);
    if (any_stopped) throw RunEnd{stop_status, {}};
  });
}

}  // namespace diffboot::app
