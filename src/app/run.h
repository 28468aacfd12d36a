#pragma once
// The run sequence of the program.
#include <functional>

namespace diffboot::app {

// Runs the program once from a fresh program state: banner, file names,
// samples, histograms, questions, bootstrap, report. Returns the process exit
// status: 0 for a run that reached its report, 1 for the program's own
// stops (explained on the console), 255 for a fatal input/output error. Open files are closed on every way out. The
// computation uses up to `threads` threads; the output does not depend on it.
int run_program(unsigned threads);

// Runs `sequence` from a fresh program state (computing with `threads`
// threads) and ends the run as run_program does: files closed, uncommitted
// output removed, error text on standard error. Returns the exit status.
int run_to_end(unsigned threads, const std::function<void()>& sequence);

}  // namespace diffboot::app
