#pragma once
// The run sequence of the program, one for the dialogue and the command line:
// they differ only in where the answers come from (Questions) and where the
// results go (ResultsSink). Each stage takes values and returns its own.
#include <functional>
#include <optional>

#include "app/run_config.h"
#include "app/run_values.h"

namespace diffboot::app {

// The points of a run at which the experiment type may be settled.
enum class TypeMoment {
  sizes_known,       // the samples are counted, not yet read
  histograms_shown,  // the samples are read and shown
};

// Where a run's answers come from.
class Questions {
 public:
  virtual ~Questions() = default;
  // The samples the run compares.
  virtual SampleSource sample_files(const RunConfig& asked) = 0;
  // The experiment type, when this source settles it at `moment`.
  virtual std::optional<Experiment> experiment_type(const RunConfig& asked, const SampleCounts& counts,
                                                    TypeMoment moment) = 0;
  // Alpha.
  virtual double alpha(const RunConfig& asked) = 0;
};

// Where a run's results go.
class ResultsSink {
 public:
  virtual ~ResultsSink() = default;
  // The results of the bootstrap, before any file of the run is written.
  virtual void results(const RunResults& run) = 0;
  // What follows the report file, such as a figure.
  virtual void after_files(const RunResults& run) = 0;
};

// The run sequence: sample files, count, experiment type and size check,
// samples and their summaries, histograms, experiment type, alpha,
// bootstrap, results, report file. Returns what the run found.
FinishedRun run_sequence(const RunConfig& asked, Questions& questions, ResultsSink& sink);

// Runs `sequence` and ends the run: open files closed, uncommitted output
// removed, the error text on standard error. Returns the exit status: 0 for
// a run that reached its results, 1 for the program's own stops, 2 for a
// usage error, 255 for a fatal input/output error.
int run_to_end(const std::function<void()>& sequence);

// The dialogue computing with `threads` threads: banner, questions at the
// console, the report listed there and written to diffboot.dat. Returns the
// exit status; a run that reached its results leaves them in `finished`
// when given.
int run_dialogue(unsigned threads, FinishedRun* finished = nullptr);

// The dialogue computing with `threads` threads.
int run_program(unsigned threads);

}  // namespace diffboot::app
