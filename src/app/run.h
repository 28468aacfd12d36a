#pragma once
// The run sequence of the program, one for the dialogue and the command line:
// they differ only in where the answers come from (Questions) and where the
// results go (ResultsSink). The run's state is passed along explicitly.
#include <functional>

#include "app/state.h"

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
  // The sample files' names, and whatever else the source says of the run.
  virtual void sample_files(State& s) = 0;
  // Settles the experiment type at `moment` when this source settles it
  // then; returns whether it did.
  virtual bool experiment_type(State& s, TypeMoment moment) = 0;
  // Alpha.
  virtual void alpha(State& s) = 0;
};

// Where a run's results go.
class ResultsSink {
 public:
  virtual ~ResultsSink() = default;
  // The results of the bootstrap, before any file of the run is written.
  virtual void results(const State& s) = 0;
  // What follows the report file, such as a figure.
  virtual void after_files(const State& s) = 0;
};

// The run sequence: sample files, count, experiment type and size check,
// samples, summaries, histograms, alpha, bootstrap, results,
// report file, release.
void run_sequence(State& s, Questions& questions, ResultsSink& sink);

// Runs `sequence` on `s` and ends the run: open files closed, uncommitted
// output removed, the error text on standard error. Returns the exit status:
// 0 for a run that reached its results, 1 for the program's own stops, 2 for
// a usage error, 255 for a fatal input/output error.
int run_to_end(State& s, const std::function<void(State&)>& sequence);

// The dialogue on `s`: banner, questions at the console, the report listed
// there and written to diffboot.dat. Returns the exit status.
int run_dialogue(State& s);

// The dialogue on a fresh state computing with `threads` threads.
int run_program(unsigned threads);

}  // namespace diffboot::app
