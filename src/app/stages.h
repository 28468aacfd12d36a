#pragma once
// The stages of a run. Each reads what earlier stages left in the run's
// state and writes its own results there. A stage that meets a failure
// writes its message and ends the run (text::stop_run).
#include <cstdint>
#include <string_view>

#include "report/report.h"

namespace diffboot::app {

struct State;

// Counts both sample files into n_x and n_y; stops the run when a sample
// has no values ("x1: no values in \"NAME\" - terminate") or is one of
// the run's output files.
void count_samples(State& s);
// The 32-bit sample size of a count; a count beyond 2^31 - 1 can never be
// allocated: writes `message` and stops the run.
std::int32_t sample_size(std::int64_t count, std::string_view message);
// Stops the run when the samples are too small for the experiment type:
// "Too few values for an unpaired experiment: ..." or "... a paired ...".
void check_sample_sizes(const State& s);
// Allocates x1 (n_x) and x2 (n_y), filled with -999.0; "x: space requested
// not possible - terminate" (or y:) when memory cannot be had.
void allocate_samples(State& s);
// Reads both sample files into x1 and x2.
void read_samples(State& s);
// Summaries of both samples.
void sample_summaries(State& s);
// Histogram classes of both samples, the plot files (all three in place
// before it goes on), and the plotting program, whose end it waits for.
void make_histograms(State& s);
// Creates the four histogram arrays (negative sizes taken as 0).
void allocate_histograms(State& s);
// Point estimates, t quantiles, replications, Student's t and BCa intervals
// of the measures of the chosen experiment type.
void bootstrap_intervals(State& s);
// The report of the run as the program state holds it.
report::Report report_of(const State& s);
// The report on the console (ReportMode::console) or in diffboot.dat (ReportMode::file).
void write_report(const State& s, report::ReportMode mode);
// diffboot.dat: the report, then the histogram sections of both samples;
// the file takes its name only when it is complete.
void write_report_file(State& s);
// Release the sample arrays, then the histogram arrays.
void release_samples(State& s);
void release_histograms(State& s);

}  // namespace diffboot::app
