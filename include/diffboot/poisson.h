#pragma once
// The Poisson bootstrap over rows held in parts (partitions of a table on
// several machines, or blocks of one array). Each row of a sample gets a
// Poisson(1) count per replicate from a counter-based generator keyed by the
// seed, the replicate, the sample and the row's key (a hashed id, or the
// row's position among the sample's values), so neither the order of the
// rows nor their split into parts changes its counts. A part yields the
// weighted sums the measures need; sums of parts add; the results come from
// the added sums with the library's t, BCa, percentile and basic intervals.
//
// Two passes: summarise() every part and merge the summaries (the centre and
// scale of each sample), then partition_sums() every part against that
// frame and merge the sums, in any grouping; results() ends it. The sums
// are exact but for a remainder of 2^-16 of each term's size (see Sums), so
// the grouping changes the results by a few units of the last place at most.
//
// The measures are those that are functions of sums: d_AVE (paired: AVE_d),
// d_STD (unpaired), Hedges' g and lift (mean(x)/mean(y) - 1; paired, it
// takes the sums of the pairs' second halves besides). Medians, MADs
// and Cliff's delta need order statistics across parts: asking for them is
// an Error that says so. With Options::proportions (0/1 values) they are
// d_PROP (PROP_d), the d_AVE (AVE_d) of the values, and lift, both by
// default; h is an Error that names the counts' analysis, which gives it.
// p-values are not part of it; a Control follows the
// whole run in one process (analyse()), not the parts.
#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "diffboot/diffboot.h"

namespace diffboot::poisson {

// The fewest values of each sample (paired: pairs) the Poisson bootstrap
// takes: below that a replicate may draw fewer than two values.
inline constexpr std::int64_t min_size = 30;

// First pass over a part of one sample: its values counted and added up.
// NaN is a missing value, counted; an infinity is an Error.
struct Summary {
  std::int64_t n = 0, missing = 0;
  double sum = 0.0, sum_errors = 0.0;  // Σ values and the rounding errors of forming it
  double min = std::numeric_limits<double>::infinity(), max = -std::numeric_limits<double>::infinity();
};

// The summary of `values`; `sample` (1 or 2) names it in the message of an
// infinity.
Summary summarise(std::span<const double> values, int sample);

// Adds `from` into `into`.
void merge(Summary& into, const Summary& from);

// How every part of a sample centres and scales its values: d = (x - pivot)
// · 2^-scale, the pivot the mean rounded to 32 significant bits and the
// scale such that |d| < 1. The same for all parts of the sample.
struct Frame {
  double pivot = 0.0;
  int scale = 0;
  std::int64_t n = 0, missing = 0;  // the sample's values and missing values in all
  // The sample's smallest and largest values (where the lift's range is
  // bounded depends on their signs); a frame made without them knows none.
  double min = -std::numeric_limits<double>::infinity(), max = std::numeric_limits<double>::infinity();
  bool operator==(const Frame&) const = default;
};

// The frame of a sample from its merged summary.
Frame frame_of(const Summary& whole);

// What every part of a run shares: the seed, the number of replicates B and
// the sample (0: x, or the paired differences; 1: y).
struct Setup {
  std::int32_t seed = 286761062;
  std::int64_t replications = 1999;
  int sample = 0;
  bool operator==(const Setup&) const = default;
};

// The weighted sums of some rows of one sample. Each sum is split in two: the
// sum of the terms rounded to multiples of 2^-16 (exact in any order up to
// 2^33 rows) and the sum of the remainders (below 2^-16 of the terms' size).
struct Sums {
  Frame frame;
  Setup setup;
  std::int64_t rows = 0;                 // the values summed
  std::array<double, 12> powers{};       // Σ d^k for k = 1..6, as (rounded, remainder) pairs
  std::vector<std::int64_t> weights;     // per replicate Σ w
  std::vector<double> moments;           // per replicate Σ w·d, its remainder, Σ w·d², its remainder
  // The pairs' second halves y only: Σ e·y, Σ e²·y, Σ e·y² with e the
  // scaled differences of the pairs, as (rounded, remainder) pairs.
  std::array<double, 6> cross{};
};

// The sums of the values of one part, each row keyed by `keys` (hashed ids,
// one a value). NaN values are left out.
Sums partition_sums(std::span<const double> values, std::span<const std::uint64_t> keys, const Frame& frame,
                    const Setup& setup);

// The same, each present (not NaN) value keyed by its position among the
// sample's present values, the first of this part being `first_position`.
Sums partition_sums(std::span<const double> values, std::uint64_t first_position, const Frame& frame,
                    const Setup& setup);

// Adds `from` into `into`; they must share frame and setup (Error if not).
void merge(Sums& into, const Sums& from);

// A paired lift's third pass: the summary of the pairs' second halves in a
// part whose differences are `differences` (the halves of pairs whose
// difference is NaN left out); merged over the parts, it gives their frame.
Summary summarise_second_halves(std::span<const double> differences, std::span<const double> second);

// The sums of the pairs' second halves `second` of a part for a paired
// lift, each pair weighed by its difference's counts: keyed as
// partition_sums keys `differences` (by `keys`, one a pair, or by position
// from `first_position`), against the differences' frame and the second
// halves'; `setup` is the differences' (sample 0), the sums' own sample 1.
// They merge as other sums.
Sums second_half_sums(std::span<const double> differences, std::span<const double> second,
                      std::span<const std::uint64_t> keys, const Frame& differences_frame, const Frame& second_frame,
                      const Setup& setup);
Sums second_half_sums(std::span<const double> differences, std::span<const double> second,
                      std::uint64_t first_position, const Frame& differences_frame, const Frame& second_frame,
                      const Setup& setup);

// The measures' results from the whole sums of x and y (unpaired), or of the
// paired differences (then y is ignored, but for a lift: the whole sums of
// second_half_sums). `options` gives the experiment,
// alpha, the measures (none: d_AVE, d_STD; paired: AVE_d) and
// keep_replicates; its seed and B must be those of the sums.
Results results(const Sums& x, const Sums& y, const Options& options);

// The whole Poisson bootstrap of two samples in this process, keyed by
// position, on options.threads threads (the same bits at any number): what
// partition_sums and results give for x and y (paired: x - y, and
// second_half_sums for a lift) as one part.
// NaN values are missing as with Missing::skip.
Results analyse(std::span<const double> x, std::span<const double> y, const Options& options);

// As analyse() above, followed by `control` (a unit a row of a replicate)
// with the same bits; throws Cancelled when it was cancelled.
Results analyse(std::span<const double> x, std::span<const double> y, const Options& options, Control& control);

}  // namespace diffboot::poisson
