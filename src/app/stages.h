#pragma once
// The stages of a run. Each takes the values earlier stages made and
// returns its own. A stage that meets a failure writes its message and ends
// the run (text::stop_run).
#include <cstdint>
#include <string_view>

#include "app/run_config.h"
#include "app/run_values.h"
#include "report/report.h"

namespace diffboot::app {

// The samples `source` names: counted (sample files), or read whole
// (tables, what they left out said on standard error). Stops the run when a
// sample has no values ("x1: no values in \"NAME\" - terminate") or is one
// of the run's output files. A header line names its sample in figures,
// unless the run named it.
FoundSamples find_samples(const SampleSource& source, const RunConfig& config);
// The 32-bit sample size of a count; a count beyond 2^31 - 1 can never be
// allocated: writes `message` and stops the run.
std::int32_t sample_size(std::int64_t count, std::string_view message);
// Stops the run when the samples are too small for the experiment type:
// "Too few values for an unpaired experiment: ..." or "... a paired ...".
void check_sample_sizes(Experiment experiment, const SampleCounts& counts);
// The samples' values (read from the sample files, or a table's) with their
// summaries; "x: space requested not possible - terminate" (or y:) when
// memory cannot be had.
Samples read_samples(const SampleSource& source, FoundSamples found);
// Histogram classes of both samples, the plot files (all three in place
// before it goes on), and the plotting program, whose end it waits for.
Histograms make_histograms(const Samples& samples, const RunConfig& config);
// Point estimates, t quantiles, replications, Student's t and BCa intervals
// of the measures of the experiment type `config` settled; what a user must
// know to read them on standard error.
MeasureRuns bootstrap_intervals(const Samples& samples, const RunConfig& config);
// The same results, their notes left for the caller to say.
MeasureRuns measure_intervals(const Samples& samples, const RunConfig& config);
// The report of a run: the measures asked for.
report::Report report_of(const RunResults& run);
// The report on the console (ReportMode::console) or in diffboot.dat (ReportMode::file).
void write_report(const RunResults& run, report::ReportMode mode);
// diffboot.dat: the report, then the histogram sections of both samples;
// the file takes its name only when it is complete.
void write_report_file(const RunResults& run, const Histograms& histograms);

}  // namespace diffboot::app
