#pragma once
// Equal-width histograms of a sample from its minimum to its maximum, with
// the number of classes by Scott's rule.
#include <cstdint>
#include <span>

namespace diffboot::plot {

// Number of classes by Scott (1979): 1 when minimum = maximum or the standard
// deviation is 0, else h = ((max - min) * n^0.3333333333333333) / (3.49 * sd)
// rounded to the nearest integer, halves away from zero. A class number that
// is not finite or beyond 2^31 - 1 (extreme or overflowing values) gives 1.
std::int32_t scott_class_number(double minimum, double maximum, std::int64_t n, double sd);

// Class bounds bounds[i] = ((max - min) * i) / k + min for i = 0..k (where
// max - min overflows, min ((k - i) / k) + max (i / k)), and the counts of values per class: half-open [bounds[i], bounds[i+1]) classes,
// the last one closed at the sample maximum. NaN values are counted nowhere.
// bounds holds k + 1 values, counts k.
void histogram_classes(double minimum, double maximum, std::span<const double> values, std::span<double> counts,
                       std::span<double> bounds);

}  // namespace diffboot::plot
