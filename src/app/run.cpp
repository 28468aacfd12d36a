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
  void sample_files(State& s) override {
    show_banner();
    ask_filenames(s);
  }
  bool experiment_type(State& s, TypeMoment moment) override {
    if (moment != TypeMoment::histograms_shown) return false;
    ask_experiment_type(s);
    return true;
  }
  void alpha(State& s) override { ask_alpha(s); }
};

// The dialogue's results: the report listed on the console.
class ConsoleReport : public ResultsSink {
 public:
  void results(const State& s) override { write_report(s, report::ReportMode::console); }
  void after_files(const State&) override {}
};

}  // namespace

void run_sequence(State& s, Questions& questions, ResultsSink& sink) {
  std::fesetround(FE_TONEAREST);
  questions.sample_files(s);
  count_samples(s);
  if (questions.experiment_type(s, TypeMoment::sizes_known)) check_sample_sizes(s);
  allocate_samples(s);
  read_samples(s);
  sample_summaries(s);
  make_histograms(s);
  if (questions.experiment_type(s, TypeMoment::histograms_shown)) check_sample_sizes(s);
  questions.alpha(s);
  bootstrap_intervals(s);
  sink.results(s);
  if (s.write_files) write_report_file(s);
  sink.after_files(s);
  release_samples(s);
  release_histograms(s);
}

int run_to_end(State& s, const std::function<void(State&)>& sequence) {
  staging::remove_staged_files_on_signals();
  // The run's units, console and staged files are its own, so that runs in
  // several threads at once never share a file table.
  text::Records records;
  const text::RecordsScope scope(records);
  try {
    sequence(s);
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

int run_dialogue(State& s) {
  DialogueQuestions questions;
  ConsoleReport report;
  return run_to_end(s, [&](State& state) { run_sequence(state, questions, report); });
}

int run_program(unsigned threads) {
  State s;
  s.threads = threads;
  return run_dialogue(s);
}

}  // namespace diffboot::app
