#include "plot/histogram.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace diffboot::plot {
namespace {

bool in_class(std::size_t i, double v, double maximum, std::span<const double> bounds) {
  const bool last = i + 1 == bounds.size() - 1;
  return bounds[i] <= v && (last ? v <= maximum : v < bounds[i + 1]);
}

// Counts by testing every value against every class: for bounds that are not
// finite, whose order a search cannot rely on.
void count_by_scan(double maximum, std::span<const double> values, std::span<double> counts,
                   std::span<const double> bounds) {
  for (std::size_t i = 0; i < counts.size(); ++i) {
    for (double v : values) {
      if (in_class(i, v, maximum, bounds)) counts[i] += 1.0;
    }
  }
}

// Number of the ascending lower bounds that are not above v, searched from
// the estimate `guess`.
std::size_t lower_bounds_not_above(double v, std::span<const double> lower, double guess) {
  const std::size_t k = lower.size();
  std::size_t p = guess >= 0.0 && guess < static_cast<double>(k) ? static_cast<std::size_t>(guess) + 1 : (guess >= 0.0 ? k : 0);
  while (p > 0 && !(lower[p - 1] <= v)) --p;
  while (p < k && lower[p] <= v) ++p;
  return p;
}

}  // namespace

std::int32_t scott_class_number(double minimum, double maximum, std::int64_t n, double sd) {
  if (minimum == maximum) return 1;
  if (sd == 0.0) return 1;
  const double c = std::pow(static_cast<double>(n), 0.3333333333333333);
  const double h = ((maximum - minimum) * c) / (3.49 * sd);
  const double rounded = std::round(h);
  if (!(rounded >= 1.0 && rounded <= std::numeric_limits<std::int32_t>::max())) return 1;
  return static_cast<std::int32_t>(rounded);
}

void histogram_classes(double minimum, double maximum, std::span<const double> values, std::span<double> counts,
                       std::span<double> bounds) {
  const std::size_t k = counts.size();
  const double range = maximum - minimum;
  const auto classes = static_cast<double>(k);
  for (std::size_t i = 0; i <= k; ++i) {
    const auto steps = static_cast<double>(i);
    // A range beyond the largest double (values near +/-1.8e308): the bounds
    // are weighted means of the extremes instead, which stay finite.
    bounds[i] = std::isfinite(range) ? (range * steps) / classes + minimum
                                     : minimum * ((classes - steps) / classes) + maximum * (steps / classes);
  }
  std::fill(counts.begin(), counts.end(), 0.0);
  if (k == 0) return;
  if (!std::isfinite(range)) {
    count_by_scan(maximum, values, counts, bounds);
    return;
  }
  // Finite bounds ascend, so the only class whose comparisons a value can
  // pass is the one that starts at the last lower bound not above it. The
  // equal widths give a first guess, which the exact comparisons correct.
  const double width = range / static_cast<double>(k);
  for (double v : values) {
    const std::size_t p = lower_bounds_not_above(v, bounds.first(k), (v - minimum) / width);
    if (p == 0) continue;
    if (p < k || v <= maximum) counts[p - 1] += 1.0;
  }
}

}  // namespace diffboot::plot
