#include "app/run.h"

#include <cfenv>
#include <cfloat>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

#include "app/dialogue.h"
#include "app/run_end.h"
#include "app/stages.h"
#include "numeric/errors.h"
#include "staging/staging.h"
#include "text/shown.h"
#include "text/stops.h"
#include "text/units.h"
#include "text/writer.h"

namespace diffboot::app {
namespace {

// Every intermediate result is rounded to double: SSE2 arithmetic, no
// extended precision, rounding to nearest.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must not use extended precision");

// Closes the open files and writes what must go to standard error; a file
// whose pending output is lost turns the end into a fatal one.
int finish(int status, const std::string& error_text) {
  const std::string unwritten = text::close_all_files();
  std::ostream& err = text::error_stream();
  err << error_text << unwritten;
  err.flush();
  return unwritten.empty() ? status : fatal_io_status;
}

// The dialogue's answers: typed at the console.
class DialogueQuestions : public Questions {
 public:
  SampleSource sample_files(const RunConfig&) override {
    show_banner();
    return {ask_filenames(), std::nullopt, false};
  }
  std::optional<Experiment> experiment_type(const RunConfig&, const SampleCounts& counts, TypeMoment moment) override {
    if (moment != TypeMoment::histograms_shown) return std::nullopt;
    return ask_experiment_type(counts.n_x, counts.n_y);
  }
  double alpha(const RunConfig&) override { return ask_alpha(); }
};

// The dialogue's results: the report listed on the console.
class ConsoleReport : public ResultsSink {
 public:
  void results(const RunResults& run) override { write_report(run, report::ReportMode::console); }
  void after_files(const RunResults&) override {}
};

}  // namespace

FinishedRun run_sequence(const RunConfig& asked, Questions& questions, ResultsSink& sink) {
  std::fesetround(FE_TONEAREST);
  const SampleSource source = questions.sample_files(asked);
  FoundSamples found = find_samples(source, asked);
  std::optional<Experiment> type = questions.experiment_type(asked, found.counts, TypeMoment::sizes_known);
  if (type) check_sample_sizes(*type, found.counts);
  Samples samples = read_samples(source, std::move(found));
  const Histograms histograms = make_histograms(samples, asked);
  if (!type) {
    type = questions.experiment_type(asked, samples.counts, TypeMoment::histograms_shown);
    check_sample_sizes(type.value(), samples.counts);  // a source that never settles it is a fault of the program
  }
  const RunConfig config = settled(asked, type.value(), questions.alpha(asked));
  MeasureRuns measures = bootstrap_intervals(samples, config);
  const RunResults run{config, samples, measures};
  sink.results(run);
  if (config.write_files) write_report_file(run, histograms);
  sink.after_files(run);
  return {config, std::move(samples), std::move(measures)};
}

int run_to_end(const std::function<void()>& sequence) {
  staging::remove_staged_files_on_signals();
  // The run's units, console and staged files are its own, so that runs in
  // several threads at once never share a file table.
  text::Records records;
  const text::RecordsScope scope(records);
  try {
    sequence();
  } catch (...) {
    const RunEnd end = current_run_end();
    return finish(end.status, end.error_text);
  }
  return finish(results_status, {});
}

RunEnd current_run_end() {
  try {
    throw;
  } catch (const RunEnd& end) {
    return end;
  } catch (const text::Stopped&) {
    return {stop_status, {}};
  } catch (const text::IoError& error) {
    return {fatal_io_status, text::shown(error.what()) + "\r\n"};
  } catch (const staging::OutputError& error) {
    return {fatal_io_status, text::shown(error.what()) + "\r\n"};
  } catch (const numeric::LibraryError& error) {
    text::write_list(text::console, {error.record()});
    return {stop_status, text::shown(error.stop_text()) + "\r\n"};
  } catch (const std::bad_alloc&) {
    return {fatal_io_status, "Memory error: the samples are too large for this machine's memory\r\n"};
  } catch (const std::exception& e) {
    return {fatal_io_status, "Internal error: " + text::shown(e.what()) + "\r\n"};
  }
}

int run_dialogue(unsigned threads, FinishedRun* finished) {
  DialogueQuestions questions;
  ConsoleReport report;
  const RunConfig asked = dialogue_config(threads);
  return run_to_end([&] {
    FinishedRun run = run_sequence(asked, questions, report);
    if (finished != nullptr) *finished = std::move(run);
  });
}

int run_program(unsigned threads) { return run_dialogue(threads); }

}  // namespace diffboot::app
