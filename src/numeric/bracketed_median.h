#pragma once
// Medians of large samples found without copying or reordering them: a
// regular sample of the values brackets the middle ranks, one pass counts the
// values below the bracket and gathers those inside it, and the middle is
// selected among the gathered few. The result is the median by the rule of
// med_mad (the middle value; for even n, (upper + lower) * 0.5 of the two
// middle ones), to the bit, because values in a plain order (no NaN, no
// negative zero) have one value at each rank whatever finds it.
#include <span>

namespace diffboot::numeric {

// Samples smaller than this are left to `select`, which is as quick there.
inline constexpr std::size_t bracketed_minimum = 1 << 16;

// The median of `data` into `med`; false (med unchanged) when the sample is
// smaller than bracketed_minimum, holds NaN or a negative zero, or the
// bracket misses the middle: the caller then selects as usual.
bool bracketed_median(std::span<const double> data, double& med);

// The same for the absolute deviations |x - center| of the values.
bool bracketed_median_deviation(std::span<const double> data, double center, double& med);

}  // namespace diffboot::numeric
