#pragma once
// A batch run: the run sequence driven by the command line instead of the
// questions. Standard output holds the results only; messages go to standard
// error.
#include <span>
#include <string>

#include "app/command_line.h"
#include "app/run_values.h"

namespace diffboot::app {

// Runs the program as `args` (without the program name) ask: help, version,
// a usage error (status 2) or a batch run. Returns the exit status: 0 results
// written, 1 the program's own stop, 2 a usage error, 255 a fatal
// input/output error.
int run_command_line(std::span<const std::string> args, unsigned threads);

// One batch run with parsed options, computing with `threads` threads. A
// run that reached its results leaves them in `finished` when given.
int run_batch(const RunConfig& options, unsigned threads, FinishedRun* finished = nullptr);

}  // namespace diffboot::app
