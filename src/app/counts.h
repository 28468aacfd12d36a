#pragma once
// A batch run of proportions given by their counts (--counts): no file is
// read; the samples are SUCCESSES/TRIALS each, or one paired table
// BOTH/X_ONLY/Y_ONLY/NEITHER.
#include "app/run_config.h"

namespace diffboot::app {

// Runs the counts `options` name; returns the exit status (0 results
// written, 1 counts that cannot be analysed, 2 a usage error).
int run_counts(const RunConfig& options);

}  // namespace diffboot::app
