#pragma once
// The bootstrap of proportions given by their counts: successes of trials
// a sample (unpaired), or the four cells of a paired 2 x 2 table. A
// replicate draws each count as the count of ones in a resample of the 0/1
// values would be drawn, Binomial(n, k/n) (paired: a multinomial draw of
// the table), so that it costs O(1) whatever n; the estimates, intervals and
// notes are formed as run_bootstrap forms those of the values written out,
// the accelerations from the jackknife of those values in closed form.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "analysis/analysis.h"
#include "numeric/binomial.h"
#include "numeric/summaries.h"

namespace diffboot::analysis {

// The successes of a sample of 0/1 values and its size.
struct Counts {
  std::int64_t successes = 0, trials = 0;
  bool operator==(const Counts&) const = default;
};

using numeric::PairedCounts;

// Counts as a door or the command line gives them, checked: whole numbers
// from 0 to 2^53, trials above 0, successes at most the trials. The problem
// names the sample: "sample 1: successes 12.5 is not a whole number".
std::variant<Counts, std::string> counts_of(double successes, double trials, std::string_view sample);

// The paired table's cells both/x_only/y_only/neither, checked: whole
// numbers from 0, their total at most 2^53 and above 0.
std::variant<PairedCounts, std::string> paired_counts_of(const std::array<double, 4>& cells);

// The numbers of a text "412/10000" or "30/12/5/53" in order, or the
// problem with it: the command line's reading of --counts' samples.
std::variant<std::vector<double>, std::string> count_numbers(std::string_view text);

// The summary of a sample of k ones among n values, as summarize() gives it
// for the values written out (the sd from k (n - k) / (n (n - 1)) in closed
// form).
numeric::SampleSummary summary_of_counts(std::int64_t k, std::int64_t n);

// What keeps the settings from an analysis of counts (as problem() for
// their sizes), or nothing.
std::optional<std::string> counts_problem(std::int64_t n_x, std::int64_t n_y, const Settings& settings);

// The measures of proportions of x against y (settings.proportions is
// implied; settings.experiment unpaired), and of a paired table
// (settings.experiment paired). With permutations, the z-test's or
// McNemar's p-value as p_t; the permutation p-value is not given (a note
// says so).
std::vector<MeasureRun> bootstrap_counts(const Counts& x, const Counts& y, const Settings& settings);
std::vector<MeasureRun> bootstrap_paired_counts(const PairedCounts& table, const Settings& settings);

}  // namespace diffboot::analysis
