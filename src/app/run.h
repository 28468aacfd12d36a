#pragma once
// The run sequence of the program.

namespace diffboot::app {

// Runs the program once from a fresh program state: banner, file names,
// samples, histograms, questions, bootstrap, report. Returns the process exit
// status: 0 for a run that reached its report, 1 for the program's own
// stops (explained on the console), 255 for a fatal input/output error. Open files are closed on every way out. The
// computation uses up to `threads` threads; the output does not depend on it.
int run_program(unsigned threads);

}  // namespace diffboot::app
