#include "bootstrap/leave_one_out.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "numeric/accurate_sum.h"
#include "numeric/plain_order.h"
#include "numeric/quantiles.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

// Four doubles side by side: native 256-bit registers where the processor
// has AVX2 (the sums below come in an AVX2 and a plain version, chosen when
// the program starts), register pairs elsewhere. A scalar in an operation
// with one stands for four copies of itself.
using Lanes = double __attribute__((vector_size(32)));

// Columns handled together: their sums share the loads of x and run as
// independent accumulators, each column's additions in its own order. The
// means keep eight vectors of sums in flight, the variances four vectors each
// of squares and of deviations (sixteen columns at a time, two calls a block).
constexpr std::size_t block = 32;

// Columns of one call: V accumulators of type T (double or Lanes).
template <typename T, std::size_t V>
constexpr std::size_t columns = V * sizeof(T) / sizeof(double);
static_assert(columns<Lanes, 8> == block && 2 * columns<Lanes, 4> == block);

// Means of columns j0 .. j0+W-1. `prefix` is the in-order sum of x[0..j0),
// the part every one of these columns starts with; the W values from j0 on
// are added one by one, each column skipping its own.
template <typename T, std::size_t V>
[[gnu::always_inline]] inline void block_means(std::span<const double> x, std::size_t j0, double prefix,
                                               std::vector<double>& ave) {
  constexpr std::size_t W = columns<T, V>;
  double head[W];
  for (std::size_t c = 0; c < W; ++c) head[c] = prefix;
  for (std::size_t i = j0; i < j0 + W; ++i) {
    for (std::size_t c = 0; c < W; ++c) {
      if (i != j0 + c) head[c] += x[i];
    }
  }
  T acc[V];
  std::memcpy(acc, head, sizeof acc);
  for (std::size_t i = j0 + W; i < x.size(); ++i) {
    const double v = x[i];
    for (std::size_t k = 0; k < V; ++k) acc[k] += v;
  }
  std::memcpy(head, acc, sizeof head);
  const auto n = static_cast<double>(x.size() - 1);
  for (std::size_t c = 0; c < W; ++c) ave[j0 + c] = head[c] / n;
}

// Sums of squared deviations and of deviations about the column means a.
template <typename T, std::size_t V>
struct Deviations {
  T a[V], ss[V], ep[V];
  [[gnu::always_inline]] inline void add(double v) {
    for (std::size_t k = 0; k < V; ++k) {
      const T s = v - a[k];
      ss[k] += s * s;
      ep[k] += s;
    }
  }
};

// Variances of columns j0 .. j0+W-1 about their means, by the corrected
// two-pass formula of ave_var.
template <typename T, std::size_t V>
[[gnu::always_inline]] inline void block_variances(std::span<const double> x, std::size_t j0,
                                                   const std::vector<double>& ave, std::vector<double>& var) {
  constexpr std::size_t W = columns<T, V>;
  Deviations<T, V> d;
  std::memcpy(d.a, &ave[j0], sizeof d.a);
  for (std::size_t k = 0; k < V; ++k) d.ss[k] = d.ep[k] = T{};
  for (std::size_t i = 0; i < j0; ++i) d.add(x[i]);
  double a[W], ss[W], ep[W];
  std::memcpy(a, d.a, sizeof a);
  std::memcpy(ss, d.ss, sizeof ss);
  std::memcpy(ep, d.ep, sizeof ep);
  for (std::size_t i = j0; i < j0 + W; ++i) {
    for (std::size_t c = 0; c < W; ++c) {
      if (i == j0 + c) continue;
      const double s = x[i] - a[c];
      ss[c] += s * s;
      ep[c] += s;
    }
  }
  std::memcpy(d.ss, ss, sizeof ss);
  std::memcpy(d.ep, ep, sizeof ep);
  for (std::size_t i = j0 + W; i < x.size(); ++i) d.add(x[i]);
  std::memcpy(ss, d.ss, sizeof ss);
  std::memcpy(ep, d.ep, sizeof ep);
  const auto n = static_cast<double>(x.size() - 1);
  for (std::size_t c = 0; c < W; ++c) var[j0 + c] = (ss[c] - ep[c] * ep[c] / n) / (n - 1.0);
}

__attribute__((target_clones("avx2", "default")))
void means_and_deviations(std::span<const double> x, bool spread, LeaveOneOut& out) {
  const std::size_t m = x.size();
  std::vector<double> var(spread ? m : 0);
  double prefix = 0.0;
  std::size_t j0 = 0;
  for (; j0 + block <= m; j0 += block) {
    block_means<Lanes, 8>(x, j0, prefix, out.ave);
    if (spread) {
      block_variances<Lanes, 4>(x, j0, out.ave, var);
      block_variances<Lanes, 4>(x, j0 + block / 2, out.ave, var);
    }
    for (std::size_t i = j0; i < j0 + block; ++i) prefix += x[i];
  }
  for (; j0 < m; ++j0) {
    block_means<double, 1>(x, j0, prefix, out.ave);
    if (spread) block_variances<double, 1>(x, j0, out.ave, var);
    prefix += x[j0];
  }
  for (std::size_t j = 0; j < var.size(); ++j) out.std[j] = std::sqrt(var[j]);
}

// Columns whose mean or standard deviation overflowed, formed again as
// mean_and_sd forms them (the sums of the others are left as they are).
// Values that are not finite make every column so, as they should.
void beyond_overflow(std::span<const double> x, bool spread, LeaveOneOut& out) {
  if (!std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); })) return;
  std::vector<double> column;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (std::isfinite(out.ave[j]) && (!spread || std::isfinite(out.std[j]))) continue;
    column.assign(x.begin(), x.end());
    column.erase(column.begin() + static_cast<std::ptrdiff_t>(j));
    const numeric::MeanSd m = numeric::beyond_overflow(column, {out.ave[j], spread ? out.std[j] : 0.0});
    out.ave[j] = m.ave;
    if (spread) out.std[j] = m.sd;
  }
}

// Median of the sorted values s without one copy of v, by the rule of
// med_mad. The copy left out is the first, at the position p that counts
// the values below v; the column's k-th smallest is s[k − 1] when k − 1 < p,
// that is when s[k − 1] < v, else s[k]: only ranks around the middle are read.
double median_without(const std::vector<double>& s, double v) {
  return numeric::median_of_ranks(s.size() - 1, [&s, v](std::size_t k) { return s[k - 1] < v ? s[k - 1] : s[k]; });
}

std::size_t position_of(const std::vector<double>& sorted, double v) {
  return static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), v) - sorted.begin());
}

// The absolute deviations |v − med| of the sorted values, ascending: two
// runs that grow outward from med, merged (the same doubles a sort of them
// would give, in O(n)).
void deviations_in_order(const std::vector<double>& values, double med, std::vector<double>& out) {
  std::size_t right = position_of(values, med), left = right;
  for (double& d : out) {
    const bool from_left =
        left > 0 && (right == values.size() || std::fabs(values[left - 1] - med) <= std::fabs(values[right] - med));
    d = from_left ? std::fabs(values[--left] - med) : std::fabs(values[right++] - med);
  }
}

// Medians and MADs read off sorted copies: a column's median is an order
// statistic of the sample without one value (one of at most three), and all
// columns whose median is the same double share one sorted array of
// absolute deviations.
void medians_from_sorted(std::span<const double> x, bool spread, LeaveOneOut& out) {
  std::vector<double> sorted(x.begin(), x.end());
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::uint64_t> medians;  // the distinct medians' bits
  for (std::size_t j = 0; j < x.size(); ++j) {
    out.med[j] = median_without(sorted, x[j]);
    const auto bits = std::bit_cast<std::uint64_t>(out.med[j]);
    if (std::find(medians.begin(), medians.end(), bits) == medians.end()) medians.push_back(bits);
  }
  if (!spread) return;
  std::vector<double> deviations(x.size());
  for (std::uint64_t bits : medians) {
    const double med = std::bit_cast<double>(bits);
    if (!std::isnan(med)) deviations_in_order(sorted, med, deviations);
    for (std::size_t j = 0; j < x.size(); ++j) {
      if (std::bit_cast<std::uint64_t>(out.med[j]) != bits) continue;
      // NaN: every deviation is NaN, and so is their median.
      out.mad[j] = std::isnan(med) ? med : median_without(deviations, std::fabs(x[j] - med)) * numeric::mad_scale;
    }
  }
}

// Medians and MADs by med_mad on each column, for samples holding NaN,
// which sorting cannot place: O(n²).
void medians_by_column(std::span<const double> x, LeaveOneOut& out) {
  std::vector<double> column(x.size() - 1);
  std::vector<double> work;
  for (std::size_t j = 0; j < x.size(); ++j) {
    std::copy(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(j), column.begin());
    std::copy(x.begin() + static_cast<std::ptrdiff_t>(j) + 1, x.end(), column.begin() + static_cast<std::ptrdiff_t>(j));
    numeric::med_mad(column, out.med[j], out.mad[j], work);
  }
}

// Means and standard deviations of every column from accurate sums about the
// sample mean c: column j's sum is S − x[j], its deviations sum to
// P1 − (x[j] − c) and their squares to P2 − (x[j] − c)², and its variance is
// ave_var's corrected two-pass formula on these sums.
void means_and_deviations_by_algebra(std::span<const double> x, bool spread, LeaveOneOut& out) {
  const numeric::AccurateSum total = numeric::accurate_sum(x);
  const auto n = static_cast<double>(x.size() - 1);  // a column's size
  const double c = total.value() / static_cast<double>(x.size());
  numeric::AccurateSum p1, p2;
  for (double v : x) p1.add(v - c), p2.add((v - c) * (v - c));
  for (std::size_t j = 0; j < x.size(); ++j) {
    numeric::AccurateSum column = total;
    column.add(-x[j]);
    out.ave[j] = column.value() / n;
    if (!spread) continue;
    const double d = x[j] - c;
    numeric::AccurateSum deviations = p1, squares = p2;
    deviations.add(-d), squares.add(-d * d);
    const double ep = deviations.value();
    out.std[j] = std::sqrt(std::max((squares.value() - ep * ep / n) / (n - 1.0), 0.0));
  }
}

// The medians and MADs of every column, and what a sample of one value ends in.
void medians(std::span<const double> x, bool spread, LeaveOneOut& out) {
  const std::size_t m = x.size();
  if (m == 1) {
    double med = 0.0, mad = 0.0;
    numeric::med_mad(std::span<const double>{}, med, mad);
  }
  if (numeric::has_plain_order(x)) return medians_from_sorted(x, spread, out);
  if (std::none_of(x.begin(), x.end(), [](double v) { return std::isnan(v); })) {
    // A negative zero, read as +0: a column's median then differs from
    // med_mad's at most in the sign of a zero, which no acceleration formed
    // from the medians can tell (a zero's sign reaches a sum of them only
    // where every term is a zero, and then the acceleration is 0/0); the
    // MADs are of absolute values and the same.
    std::vector<double> plain(x.begin(), x.end());
    for (double& v : plain) v += 0.0;  // -0 + 0 is +0
    return medians_from_sorted(plain, spread, out);
  }
  out.mad.resize(m);
  medians_by_column(x, out);
  if (!spread) out.mad.clear();
}

// The columns' statistics, their means and standard deviations by `sums`.
LeaveOneOut columns_of(std::span<const double> x, Spread wanted,
                       void (*sums)(std::span<const double>, bool, LeaveOneOut&)) {
  const bool spread = wanted == Spread::with;
  const std::size_t m = x.size();
  LeaveOneOut out{std::vector<double>(m), std::vector<double>(spread ? m : 0), std::vector<double>(m),
                  std::vector<double>(spread ? m : 0)};
  if (m == 0) return out;
  sums(x, spread, out);
  beyond_overflow(x, spread, out);
  medians(x, spread, out);
  return out;
}

}  // namespace

LeaveOneOut leave_one_out_by_algebra(std::span<const double> x, Spread wanted) {
  return columns_of(x, wanted, means_and_deviations_by_algebra);
}

LeaveOneOut leave_one_out(std::span<const double> x, Spread wanted) {
  return columns_of(x, wanted, means_and_deviations);
}

std::vector<double> sorted_for_quantiles(std::span<const double> x) {
  std::vector<double> sorted(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) sorted[i] = x[i] + 0.0;  // -0 + 0 is +0
  std::sort(sorted.begin(), sorted.end());
  return sorted;
}

std::vector<double> leave_one_out_quantiles(std::span<const double> x, std::span<const double> sorted, double p) {
  std::vector<double> out(x.size(), std::numeric_limits<double>::quiet_NaN());
  if (x.size() < 2) return out;
  for (std::size_t j = 0; j < x.size(); ++j) {
    const double v = x[j] + 0.0;
    out[j] = numeric::quantile_of_ranks(x.size() - 1, p, [&sorted, v](std::size_t k) {
      return sorted[k - 1] < v ? sorted[k - 1] : sorted[k];
    });
  }
  return out;
}

}  // namespace diffboot::bootstrap
