#pragma once
// A run of several groups (--control, --sequential): each comparison the run
// of its two samples, with the same options and seed, its results given in
// one report, csv or json. The parts of a batch run it shares are declared
// here too.
#include <memory>
#include <ostream>
#include <string>

#include "app/run.h"
#include "app/run_config.h"
#include "app/run_values.h"
#include "plot/figure.h"
#include "report/machine_report.h"

namespace diffboot::app {

// The batch run's answers: the options' samples and experiment type.
std::unique_ptr<Questions> command_line_questions();

// The csv and json facts of a run.
report::MachineReport machine_report(const RunResults& run);

// Draws `f` with the measures of `measures` that were asked for (the
// figure's words point into them); a figure that cannot be drawn stops the
// run after everything else is written.
void draw_with_measures(plot::Figure f, const std::vector<MeasureOfRun>& measures, const std::string& file);

// `text` on `out`; a write that fails is a fatal output error.
void write_results(std::ostream& out, const std::string& text);

// The comparisons of `options.design`, computing with `threads` threads: the
// samples of every comparison are read before any is computed, so that bad
// input stops the run before it starts; a comparison whose samples are too
// few for the experiment stops alone, its reason on standard error, and the
// run ends with status 1 after giving the others. Every message of a
// comparison on standard error begins with its name ("b - a: "). Returns the
// exit status.
int run_groups(const RunConfig& options, unsigned threads);

}  // namespace diffboot::app
