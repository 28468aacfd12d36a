#pragma once
// What the command line, the dialogue and the library admit and assume: the
// significance levels with their interval levels, the number of replications
// and the seed. Help texts and messages are made from these.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "bootstrap/experiment.h"

namespace diffboot::analysis {

using bootstrap::Experiment;

// The BCa acceleration of an unpaired experiment's measures: the
// differences from the jackknife over every pair of a value left out of
// each sample and g, delta and the lift from their jackknife values pooled
// (grid), or every measure by the two-sample formula, one sample left out at
// a time (samples). Paired experiments leave out a pair at a time either way.
enum class Acceleration { grid, samples };

// The admissible alphas and the interval levels 1 - 2 alpha, in one order.
inline constexpr std::array<double, 4> alpha_levels{0.01, 0.025, 0.05, 0.1};
inline constexpr std::array<double, 4> interval_levels{0.98, 0.95, 0.9, 0.8};
inline constexpr std::array<double, 4> interval_percents{98, 95, 90, 80};
// Where the command line starts: alpha 0.025, 95% intervals.
inline constexpr std::size_t default_level = 1;

// The alphas the command line and the library take, and their levels: the
// dialogue keeps to the four above.
inline constexpr double min_alpha = 0.0005, max_alpha = 0.25;
inline constexpr double min_level = 0.5, max_level = 0.999;

// Whether alpha lies within [min_alpha, max_alpha].
bool admissible_alpha(double alpha);

// v rounded to 15 significant digits (as printf's "%.15g" reads back), so that
// a level and its alpha are the decimals a user means: 0.99 gives alpha 0.005,
// not (1 - 0.99) / 2 = 0.0050000000000000044.
double decimal15(double v);

// The alpha (1 - level) / 2 of a level, and the level 1 - 2 alpha of an
// alpha, each rounded by decimal15.
double alpha_of_level(double level);
double level_of_alpha(double alpha);

// Bootstrap replications B: the dialogue's number and the range the command
// line and the library take.
inline constexpr std::int32_t default_replications = 1999;
inline constexpr std::int32_t min_replications = 99;
inline constexpr std::int32_t max_replications = 1000000;

// Permutations N of the permutation p-values: the default and the range.
inline constexpr std::int32_t default_permutations = 9999;
inline constexpr std::int32_t min_permutations = 99;
inline constexpr std::int32_t max_permutations = 1000000;

// Seeds N: the generator is seeded from -N; the fixed seed of every run that
// names none, and the largest.
inline constexpr std::int32_t fixed_seed = 286761062;
inline constexpr std::int32_t largest_seed = 2147483647;

// The fewest values of each sample of an unpaired experiment (two standard
// deviations of leave-one-out columns need two values each) and the fewest
// pairs of a paired one (one degree of freedom for the t quantile).
inline constexpr std::int64_t min_unpaired_size = 3;
inline constexpr std::int64_t min_paired_size = 2;

// The most quantile measures a run takes (--quantiles, Options::quantiles).
inline constexpr std::size_t max_quantiles = 9;
// The longest percent a quantile measure's name writes out (d_Q0.0000001 for
// a probability of 10^-9): the name must stay a name.
inline constexpr std::size_t max_percent_characters = 15;

// "0.01, 0.025, 0.05, 0.1".
std::string alpha_list();

// "0.98, 0.95, 0.9, 0.8".
std::string level_list();

}  // namespace diffboot::analysis
