#pragma once
// Sample quantiles by the linear interpolation of the order statistics
// (Hyndman and Fan, Am. Stat. 50 (1996) 361, definition 7): of n values
// x(1) <= ... <= x(n), the p-quantile lies at h = (n − 1) p, between
// x(j + 1) and x(j + 2) for j = floor(h), a fraction f = h − j of the way.
// At f = 1/2 it is their midpoint as the median forms it, so that the
// 0.5-quantile is the median to the bit.
#include <cmath>
#include <cstddef>

#include "numeric/summaries.h"

namespace diffboot::numeric {

// The value a fraction f (0 < f < 1) of the way from a to b: from the nearer
// end, as (b − a) is scaled the least; the median's midpoint at f = 1/2; weighted
// means where b − a exceeds the largest double.
inline double between(double a, double b, double f) {
  if (f == 0.5) return midpoint(a, b);
  if (a == b) return a;
  const double d = b - a;
  if (!std::isfinite(d)) return (1.0 - f) * a + f * b;
  return f < 0.5 ? a + d * f : b - d * (1.0 - f);
}

// The p-quantile (0 < p < 1) of n >= 1 values, `kth(k)` giving the value of
// rank k (one-based): rank j + 1 asked for first, then rank j + 2 where the
// quantile lies between them (the median's order of calls at p = 1/2).
template <typename Kth>
double quantile_of_ranks(std::size_t n, double p, Kth&& kth) {
  const double h = static_cast<double>(n - 1) * p;
  const double floor_h = std::floor(h);
  const auto j = static_cast<std::size_t>(floor_h);
  const double f = h - floor_h;
  if (f == 0.0 || j + 1 >= n) return kth(j + 1);
  const double a = kth(j + 1);
  const double b = kth(j + 2);
  return between(a, b, f);
}

}  // namespace diffboot::numeric
