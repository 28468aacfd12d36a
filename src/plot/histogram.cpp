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
  for (std::size_t i = 0; i <= k; ++i) {
    bounds[i] = (range * static_cast<double>(i)) / static_cast<double>(k) + minimum;
  }
  std::fill(counts.begin(), counts.end(), 0.0);
  if (k == 0) return;
  if (!std::isfinite(range)) {
    count_by_scan(maximum, values, counts, bounds);
    return;
  }
  // Finite bounds ascend, so the only class whose comparisons a value can
  // pass is the one that starts at the last lower bound not above it.
  const auto lower = bounds.first(k);
  for (double v : values) {
    const auto p = static_cast<std::size_t>(std::upper_bound(lower.begin(), lower.end(), v) - lower.begin());
    if (p == 0) continue;
    if (p < k || v <= maximum) counts[p - 1] += 1.0;
  }
}

}  // namespace diffboot::plot
