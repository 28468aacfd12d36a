#include "app/batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <tuple>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "analysis/analysis.h"
#include "poisson/results.h"
#include "app/run.h"
#include "app/run_end.h"
#include "app/stages.h"
#include "app/state.h"
#include "plot/figure.h"
#include "report/machine_report.h"
#include "report/report.h"
#include "staging/staging.h"
#include "tables/long_form.h"
#include "tables/table.h"
#include "text/line_feed_stream.h"
#include "text/shown.h"
#include "text/stops.h"
#include "text/units.h"

namespace diffboot::app {
namespace {

// Points the console at other streams for its lifetime.
class ConsoleRedirect {
 public:
  explicit ConsoleRedirect(const text::ConsoleStreams& streams) : previous_(text::redirect_console(streams)) {}
  ~ConsoleRedirect() { text::redirect_console(previous_); }
  ConsoleRedirect(const ConsoleRedirect&) = delete;
  ConsoleRedirect& operator=(const ConsoleRedirect&) = delete;
  const text::ConsoleStreams& previous() const { return previous_; }

 private:
  text::ConsoleStreams previous_;
};

// A name as the dialogue would hold it: blank-padded to the field length.
std::string name_field(const std::string& name) {
  std::string field = name;
  if (field.size() < filename_length) field.resize(filename_length, ' ');
  return field;
}

// A sample that cannot be read stops the run with the name and the reason.
// Nothing is opened here: a named pipe's writer must meet only the real read.
void check_readable(const std::string& name, const char* which) {
  struct stat info {};
  int error = 0;
  if (stat(name.c_str(), &info) != 0 || access(name.c_str(), R_OK) != 0) error = errno;
  else if (S_ISDIR(info.st_mode)) error = EISDIR;
  if (error != 0) {
    throw RunEnd{stop_status,
                 "diffboot: " + text::shown(std::string("cannot read ") + which + " \"" + name + "\": " + std::strerror(error)) + "\n"};
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
    const ConsoleRedirect to_results(results);
    report::list_report(report_of(s));
    return;
  }
  const report::MachineReport r = machine_report(s, o);
  write_results(*results.out, o.format == OutputFormat::csv ? report::results_csv(r) : report::results_json(r));
}

// A plain file's name in a figure: without its directory and extension,
// unless that would name both samples alike.
std::pair<std::string, std::string> file_labels(const State& s) {
  const auto stem = [](const std::string& path) { return std::filesystem::path(path).stem().string(); };
  std::string x = s.label_x, y = s.label_y;
  if (x == s.path_x && y == s.path_y && !s.from_table && stem(x) != stem(y) && !stem(x).empty() && !stem(y).empty()) {
    x = stem(x), y = stem(y);
  }
  return {x, y};
}

// Draws the figure the options ask for; a figure that cannot be drawn stops
// the run after everything else is written.
void draw_figure(const State& s, const BatchOptions& o) {
  const auto sample = [](std::string_view label, const std::vector<double>& values, const numeric::SampleSummary& m) {
    return plot::FigureSample{label, values, m.ave, m.std, m.med};
  };
  const auto [label_x, label_y] = file_labels(s);
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
  for (const MeasureOfRun& m : measures_of(s)) {
    if (!m.run->chosen) continue;
    const bootstrap::Result& r = m.run->result;
    f.measures.push_back({m.words, m.name, r.estimate, r.t_lower, r.t_upper, r.bca_lower, r.bca_upper, m.run->replicates});
  }
  std::string problem = plot::figure_problem(f).value_or("");
  if (problem.empty()) problem = plot::draw_figure(f);
  if (!problem.empty()) {
    throw RunEnd{stop_status, "diffboot: " + text::shown("cannot draw the figure \"" + o.figure + "\": " + problem) + "\n"};
  }
}

// The replicates file: a column per measure asked for, in replication order,
// each number in the shortest form that reads back as the same double.
std::string replicates_csv(const State& s) {
  std::vector<MeasureOfRun> columns;
  for (const MeasureOfRun& m : measures_of(s)) {
    if (m.run->chosen) columns.push_back(m);
  }
  std::string out;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (k > 0) out += ',';
    out += columns[k].name;
  }
  out += '\n';
  for (std::size_t i = 0; i < static_cast<std::size_t>(s.B); ++i) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (k > 0) out += ',';
      out += report::shortest(columns[k].run->in_order[i]);
    }
    out += '\n';
  }
  return out;
}

void write_replicates(const State& s) {
  if (const std::string problem = staging::write_whole_file(s.replicates_file, replicates_csv(s)); !problem.empty()) {
    throw RunEnd{stop_status, "diffboot: " + text::shown("cannot write the replicates \"" + s.replicates_file + "\": " + problem) + "\n"};
  }
}

// A stop over a table that cannot be used, its message on standard error; a
// table that could not be read is a fatal input error.
[[noreturn]] void table_stop(const tables::TableError& e) {
  if (dynamic_cast<const tables::TableReadError*>(&e) != nullptr) text::fatal_io_error(std::string("Input error: ") + e.what());
  throw RunEnd{stop_status, "diffboot: " + text::shown(e.what()) + "\n"};
}

// One line on standard error for a sample whose column had missing cells.
void tell_missing(const char* label, const tables::ColumnValues& v) {
  if (v.missing == 0) return;
  text::error_stream() << " " << label << ": " << v.missing << (v.missing == 1 ? " missing value" : " missing values")
                       << " skipped (first at line " << v.first_missing_line << ")\n";
}

// Pairs into the samples, with what pairing left out said and counted.
void take_pairs(State& s, tables::Pairs pairs, const std::string& name_x, const std::string& name_y) {
  text::error_stream() << tables::dropped_pairs_line(pairs, name_x, name_y);
  s.table_x = std::move(pairs.x), s.table_y = std::move(pairs.y);
  s.missing_x = pairs.cells_missing_x, s.missing_y = pairs.cells_missing_y;
  s.pairs_dropped = pairs.dropped();
}

// The values of a column of a table of its own (-c), or of two columns of one.
void take_columns(State& s, tables::ColumnValues x, tables::ColumnValues y) {
  tell_missing("x1", x), tell_missing("x2", y);
  s.table_x = std::move(x.values), s.missing_x = x.missing;
  s.table_y = std::move(y.values), s.missing_y = y.missing;
}

// The long form: the rows of groups SAMPLE1 and SAMPLE2 of the column --by,
// their values in --value (or the other of two columns); with -p, their pairs.
void load_groups(State& s, const BatchOptions& o) {
  tables::TableReader reader(o.table, o.delimiter, o.decimal_comma);
  const tables::Table& t = reader.table();
  const std::size_t by = tables::column_of(t, o.by);
  if (o.value.empty() && t.header.size() != 2) {
    throw tables::TableError("the table \"" + o.table + "\" has " + std::to_string(t.header.size()) +
                             " columns: name the values with --value COLUMN");
  }
  const tables::LongForm form{
      by, o.value.empty() ? 1 - by : tables::column_of(t, o.value),
      o.experiment == Experiment::paired && !o.id.empty() ? std::optional(tables::column_of(t, o.id)) : std::nullopt,
      {o.sample1, o.sample2}};
  const auto label = [&](const std::string& group) { return name_field(o.table + ": " + t.header[by] + " = " + group); };
  s.filename_x = label(o.sample1), s.filename_y = label(o.sample2);
  s.name_x = o.table + ": " + t.header[by] + " = " + o.sample1, s.name_y = o.table + ": " + t.header[by] + " = " + o.sample2;
  s.label_x = o.sample1, s.label_y = o.sample2;
  s.value_name = t.header[form.value];
  s.path_x = s.path_y = o.table;
  const auto rows = tables::group_rows(reader, form);
  if (o.experiment == Experiment::paired) return take_pairs(s, tables::pairs_of(rows, form, o.table), o.sample1, o.sample2);
  std::array<tables::ColumnValues, 2> v;
  for (std::size_t k = 0; k < 2; ++k) {
    for (const tables::GroupRow& r : rows[k]) {
      if (r.value) v[k].values.push_back(*r.value);
      else if (v[k].missing++ == 0) v[k].first_missing_line = r.line;
    }
  }
  take_columns(s, std::move(v[0]), std::move(v[1]));
}

// The two samples of the options' tables into the state, with their missing
// values counted: two columns of one table (with -p, the rows whose two cells
// both hold numbers are the pairs), or a column of each of two tables. A bad
// cell stops the run at the first in the table's order.
void load_tables(State& s, const BatchOptions& o) {
  try {
    const auto label = [](const std::string& file, const tables::Table& t, std::size_t column) {
      return name_field(file + ": " + t.header[column]);
    };
    if (!o.column.empty()) {
      tables::TableReader a(o.sample1, o.delimiter, o.decimal_comma), b(o.sample2, o.delimiter, o.decimal_comma);
      const std::size_t ca = tables::column_of(a.table(), o.column), cb = tables::column_of(b.table(), o.column);
      s.filename_x = label(o.sample1, a.table(), ca), s.filename_y = label(o.sample2, b.table(), cb);
      s.name_x = o.sample1 + ": " + a.table().header[ca], s.name_y = o.sample2 + ": " + b.table().header[cb];
      s.label_x = o.sample1, s.label_y = o.sample2;
      s.value_name = a.table().header[ca];
      tables::ColumnValues x = std::move(tables::column_values(a, {ca})[0]);
      take_columns(s, std::move(x), std::move(tables::column_values(b, {cb})[0]));
      return;
    }
    if (!o.by.empty()) {
      load_groups(s, o);
      return;
    }
    tables::TableReader reader(o.table, o.delimiter, o.decimal_comma);
    const tables::Table& t = reader.table();
    const std::size_t cx = tables::column_of(t, o.sample1), cy = tables::column_of(t, o.sample2);
    if (cx == cy) throw tables::TableError("\"" + o.sample1 + "\" and \"" + o.sample2 + "\" name the same column: compare two columns");
    s.filename_x = label(o.table, t, cx), s.filename_y = label(o.table, t, cy);
    s.name_x = o.table + ": " + t.header[cx], s.name_y = o.table + ": " + t.header[cy];
    s.label_x = t.header[cx], s.label_y = t.header[cy];
    s.path_x = s.path_y = o.table;
    if (o.experiment != Experiment::paired) {
      std::vector<tables::ColumnValues> v = tables::column_values(reader, {cx, cy});
      take_columns(s, std::move(v[0]), std::move(v[1]));
      return;
    }
    tables::Pairs pairs;
    while (const std::optional<tables::Row> row = reader.next_row()) {
      const std::optional<double> x = tables::cell_value(t, *row, cx);  // x's cell first
      tables::add_pair(pairs, {true, x}, {true, tables::cell_value(t, *row, cy)});
    }
    take_pairs(s, std::move(pairs), t.header[cx], t.header[cy]);
  } catch (const tables::TableError& e) {
    table_stop(e);
  }
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
      if (const std::optional<std::string> problem = poisson::measures_problem(s.measures_asked, s.experiment)) {
        usage_stop("--measures: " + *problem);
      }
      if (std::min(s.n_x, s.n_y) < poisson::min_size) {
        usage_stop("--poisson needs at least " + std::to_string(poisson::min_size) + " values in each sample");
      }
    } else if (const std::optional<std::string> problem = analysis::measures_problem(s.measures_asked, s.experiment)) {
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
  const ConsoleRedirect messages({streams.in, &err, &err});
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
