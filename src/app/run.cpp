#include "app/run.h"

#include <cfenv>
#include <cfloat>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

#include "app/dialogue.h"
#include "app/stages.h"
#include "app/state.h"
#include "numeric/errors.h"
#include "text/run_end.h"
#include "text/staging.h"
#include "text/units.h"
#include "text/writer.h"

namespace diffboot::app {
namespace {

// Every intermediate result is rounded to double: SSE2 arithmetic, no
// extended precision, rounding to nearest.
static_assert(FLT_EVAL_METHOD == 0, "double arithmetic must not use extended precision");

void run_sequence() {
  std::fesetround(FE_TONEAREST);
  show_banner();
  ask_filenames();
  count_samples();
  allocate_samples();
  read_samples();
  sample_summaries();
  make_histograms();
  ask_experiment_type();
  check_sample_sizes();
  ask_alpha();
  t_quantiles();
  bootstrap_intervals();
  info2(report::ReportMode::console);
  write_report_file();
  release_samples();
  release_histograms();
}

// Closes the open files and writes what must go to standard error; a file
// whose pending output is lost turns the end into a fatal one.
int finish(int status, const std::string& error_text) {
  const std::string unwritten = text::close_all_files();
  std::ostream& err = text::error_stream();
  err << error_text << unwritten;
  err.flush();
  return unwritten.empty() ? status : text::fatal_io_status;
}

}  // namespace

int run_program(unsigned threads) { return run_to_end(threads, run_sequence); }

int run_to_end(unsigned threads, const std::function<void()>& sequence) {
  text::remove_staged_files_on_signals();
  reset_state(threads);
  try {
    sequence();
  } catch (const text::RunEnd& end) {
    return finish(end.status, end.error_text);
  } catch (const numeric::LibraryError& error) {
    text::write_list(text::console, {error.record()});
    return finish(text::stop_status, error.stop_text() + "\r\n");
  } catch (const std::bad_alloc&) {
    return finish(text::fatal_io_status, "Memory error: the samples are too large for this machine's memory\r\n");
  } catch (const std::exception& e) {
    return finish(text::fatal_io_status, std::string("Internal error: ") + e.what() + "\r\n");
  }
  return finish(0, {});
}

}  // namespace diffboot::app
