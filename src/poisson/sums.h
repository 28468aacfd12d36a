#pragma once
// The two passes of the Poisson bootstrap over the parts of a sample: each
// part summarised, the summaries merged into the sample's frame, then each
// part's weighted sums against that frame, sums of parts added. Each row of
// a sample gets a Poisson(1) count per replicate keyed by the seed, the
// replicate, the sample and the row's key, so neither the order of the rows
// nor their split into parts changes its counts.
#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <vector>

#include "bootstrap/progress.h"

namespace diffboot::poisson::engine {

// What the Poisson bootstrap refuses: what() says why, one line.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The fewest values of each sample (paired: pairs) it takes: below that a
// replicate may draw fewer than two values.
inline constexpr std::int64_t min_size = 30;

// A part of one sample counted and added up. NaN is a missing value,
// counted; an infinity is an Error.
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
// scale such that |d| < 1.
struct Frame {
  double pivot = 0.0;
  int scale = 0;
  std::int64_t n = 0, missing = 0;  // the sample's values and missing values in all
  // The sample's smallest and largest values; a frame made elsewhere
  // (without them) knows no bounds.
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

// The sums of the values of one part, each row keyed by `keys` (one a
// value). NaN values are left out.
Sums partition_sums(std::span<const double> values, std::span<const std::uint64_t> keys, const Frame& frame,
                    const Setup& setup);

// The same, each present (not NaN) value keyed by its position among the
// sample's present values, the first of this part being `first_position`.
Sums partition_sums(std::span<const double> values, std::uint64_t first_position, const Frame& frame,
                    const Setup& setup);

// The sums of the pairs' second halves `second` of one part, whose
// differences are `differences` (NaN where a half is missing), for a paired
// lift: each pair weighed by its differences' counts (keyed by `keys`, one a
// pair, or without keys by position from `first_position`, as
// partition_sums keys the differences), with the cross sums of the two;
// setup.sample is 1. `second_frame` is that of the second halves of the
// pairs whose difference is present. The replicates are split over `threads`
// threads, and counted on `progress`, as sums_on_threads does.
Sums second_half_sums(std::span<const double> differences, std::span<const double> second,
                      std::span<const std::uint64_t> keys, std::uint64_t first_position,
                      const Frame& differences_frame, const Frame& second_frame, const Setup& setup,
                      unsigned threads = 1, bootstrap::Progress* progress = nullptr);

// The second halves of the pairs, NaN where the difference is: the values
// whose summaries make their frame.
std::vector<double> present_second_halves(std::span<const double> differences, std::span<const double> second);

// Adds `from` into `into`; they must share frame and setup (Error if not).
void merge(Sums& into, const Sums& from);

// The sums of `values` as one part keyed by position from 0, the replicates
// split over `threads` threads in contiguous ranges (each replicate's sums
// formed as on one thread, so the same bits at any number). A `progress`
// given counts a unit a row of a replicate and is checked as it counts
// (Stopped ends the run), the same bits as without.
Sums sums_on_threads(std::span<const double> values, const Frame& frame, const Setup& setup, unsigned threads,
                     bootstrap::Progress* progress = nullptr);

}  // namespace diffboot::poisson::engine
