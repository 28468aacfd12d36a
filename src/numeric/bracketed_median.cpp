#include "numeric/bracketed_median.h"

#include "numeric/plain_order.h"
#include "numeric/summaries.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace diffboot::numeric {
namespace {

// No NaN and no negative zero: a value with one place in the order.

// A bracket [lo, hi] around ranks k and k + 1 (zero-based k) of n values,
// read off the sorted regular sample s: the ranks' expected places in the
// sample widened by six standard deviations of a sample rank, sqrt(|s|)/2
// at most, to each side. Beyond the sample's ends the bracket is unbounded.
struct Bracket {
  double lo, hi;
};

Bracket bracket_of(const std::vector<double>& s, std::size_t n, std::size_t k) {
  const auto m = static_cast<double>(s.size());
  const double place = (static_cast<double>(k) + 0.5) * m / static_cast<double>(n);
  const double margin = 3.0 * std::sqrt(m) + 1.0;
  const double below = std::floor(place - margin), above = std::ceil(place + margin);
  constexpr double infinity = std::numeric_limits<double>::infinity();
  return {below < 0.0 ? -infinity : s[static_cast<std::size_t>(below)],
          above >= m ? infinity : s[static_cast<std::size_t>(above)]};
}

// The median of the n values value(0..n-1) by bracketing, or false.
template <typename Value>
bool median_in_bracket(std::size_t n, const Value& value, double& med) {
  if (n < bracketed_minimum) return false;
  // About n^(2/3) values, evenly spaced: the gathered part is then about
  // 6 n^(2/3) values, and sampling, sorting and selecting stay small.
  const auto sample_size = static_cast<std::size_t>(std::pow(static_cast<double>(n), 2.0 / 3.0));
  const std::size_t stride = n / sample_size;
  std::vector<double> sample(sample_size);
  for (std::size_t i = 0; i < sample_size; ++i) {
    sample[i] = value(i * stride + stride / 2);
    if (!is_plain(sample[i])) return false;
  }
  std::sort(sample.begin(), sample.end());
  const std::size_t lower_rank = (n - 1) / 2, upper_rank = n / 2;  // zero-based middle ranks
  const Bracket b = bracket_of(sample, n, lower_rank);
  // First the counts, without a branch (about half the values lie below the
  // bracket); then, when the bracket holds the middle, the values inside it.
  const auto in_bracket = [b](double v) -> std::size_t { return (v >= b.lo) & (v <= b.hi); };
  std::size_t below = 0, within = 0;
  bool all_plain = true;
  for (std::size_t i = 0; i < n; ++i) {
    const double v = value(i);
    all_plain &= is_plain(v);
    below += v < b.lo ? 1 : 0;
    within += in_bracket(v);
  }
  if (!all_plain || below > lower_rank || below + within <= upper_rank) return false;
  std::vector<double> inside(within + 1);
  std::size_t gathered = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double v = value(i);
    inside[gathered] = v;
    gathered += in_bracket(v);
  }
  inside.pop_back();
  const auto lower = inside.begin() + static_cast<std::ptrdiff_t>(lower_rank - below);
  std::nth_element(inside.begin(), lower, inside.end());
  const double a = *lower;
  if (lower_rank == upper_rank) {
    med = a;
  } else {
    const double c = *std::min_element(lower + 1, inside.end());
    med = midpoint(a, c);
  }
  return true;
}

}  // namespace

bool bracketed_median(std::span<const double> data, double& med) {
  return median_in_bracket(data.size(), [data](std::size_t i) { return data[i]; }, med);
}

bool bracketed_median_deviation(std::span<const double> data, double center, double& med) {
  return median_in_bracket(data.size(), [data, center](std::size_t i) { return std::fabs(data[i] - center); }, med);
}

}  // namespace diffboot::numeric
