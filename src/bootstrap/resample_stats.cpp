#include "bootstrap/resample_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "numeric/plain_order.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

// First index in [0, n) at which the monotone predicate holds, or n.
template <typename Predicate>
std::size_t first_index(std::size_t n, Predicate holds) {
  std::size_t lo = 0, hi = n;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (holds(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

}  // namespace

ResampleCounter::ResampleCounter(std::span<const double> x)
    : x_(x), positions_(x.size()), counted_(!x.empty() && numeric::has_plain_order(x) && x.size() < (std::size_t{1} << 32)) {
  if (!counted_) return;
  std::vector<std::uint32_t> by_value(x.size());
  std::iota(by_value.begin(), by_value.end(), 0u);
  std::sort(by_value.begin(), by_value.end(), [&](std::uint32_t a, std::uint32_t b) { return x[a] < x[b]; });
  auto order = std::make_shared<Order>();
  order->sorted.resize(x.size());
  order->entries.resize(x.size());
  for (std::size_t r = 0; r < by_value.size(); ++r) {
    order->sorted[r] = x[by_value[r]];
    order->entries[by_value[r]] = {x[by_value[r]], static_cast<std::uint32_t>(r)};
  }
  order_ = std::move(order);
}

// k-th smallest value of the resample (one-based).
double ResampleCounter::kth_value(std::size_t k) const {
  const auto first = below_.begin() + 1;
  const auto r = std::lower_bound(first, below_.end(), static_cast<std::uint32_t>(k)) - first;
  return order_->sorted[static_cast<std::size_t>(r)];
}

// k-th smallest absolute deviation |value - med| of the resample. The
// deviations grow outward from med on both sides of the sorted sample; the
// number of draws whose deviation is at most d is read off the counts of the
// two runs, and the smallest deviation of either run that reaches k draws is
// the answer, found by bisection.
double ResampleCounter::kth_deviation(double med, std::size_t k) const {
  const numeric::LargeArray<double>& sorted = order_->sorted;
  const std::size_t m = sorted.size();
  const auto p = static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), med) - sorted.begin());
  auto left = [&](std::size_t t) { return std::fabs(sorted[p - 1 - t] - med); };  // t < p
  auto right = [&](std::size_t u) { return std::fabs(sorted[p + u] - med); };    // u < m - p
  auto draws_within = [&](double d) {
    const std::size_t t = first_index(p, [&](std::size_t i) { return left(i) > d; });
    const std::size_t u = first_index(m - p, [&](std::size_t i) { return right(i) > d; });
    return (below_[p] - below_[p - t]) + (below_[p + u] - below_[p]);
  };
  double best = HUGE_VAL;
  const std::size_t t = first_index(p, [&](std::size_t i) { return draws_within(left(i)) >= k; });
  if (t < p) best = left(t);
  const std::size_t u = first_index(m - p, [&](std::size_t i) { return draws_within(right(i)) >= k; });
  if (u < m - p) best = std::min(best, right(u));
  return best;
}

// The gathering of a sample too large for the processor's caches: the same
// reads and additions in the same order, with the values, ranks and counts
// that are read a few draws later asked for ahead, so that their cache
// misses overlap. The drawn positions are replaced by their ranks.
double ResampleCounter::gather_and_count(std::span<double> out) {
  const std::size_t n = x_.size();
  const Entry* entries = order_->entries.data();
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i + prefetch_distance < n) __builtin_prefetch(&entries[drawn_[i + prefetch_distance]]);
    const Entry& e = entries[drawn_[i]];
    out[i] = e.value;
    sum += out[i];
    drawn_[i] = e.rank;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (i + prefetch_distance < n) __builtin_prefetch(&count_[drawn_[i + prefetch_distance]], 1);
    ++count_[drawn_[i]];
  }
  return sum;
}

ResampleStats ResampleCounter::draw(numeric::UniformState& g, std::span<double> out, bool spread) {
  const std::size_t n = x_.size();
  ResampleStats s{};
  if (!counted_) {
    numeric::resample(g, x_, out);
    const numeric::MeanSd m = numeric::mean_and_sd(out.first(n));
    s.ave = m.ave;
    s.std = m.sd;
    numeric::med_mad(out.first(n), s.med, s.mad, work_);
    return s;
  }
  if (drawn_.empty()) {  // a counter's own buffers, made at its first draw: copies do not share them
    drawn_.resize(n);
    count_.resize(n);
    below_.resize(n + 1);
  }
  std::fill(count_.begin(), count_.end(), 0u);
  // The generator's chains first, then the scattered reads and counts, which
  // are independent of each other and overlap in the processor.
  positions_.draw(g, drawn_);
  // The resample's in-order sum, which ave_var begins with, runs beside the
  // gathering, where its chain of additions costs nothing extra.
  double sum = 0.0;
  if (n < prefetched_size) {
    const Entry* entries = order_->entries.data();
    for (std::size_t i = 0; i < n; ++i) {
      const Entry& e = entries[drawn_[i]];
      out[i] = e.value;
      sum += out[i];
      ++count_[e.rank];
    }
  } else {
    sum = gather_and_count(out);
  }
  s.ave = sum / static_cast<double>(n);
  if (spread) s.std = std::sqrt(numeric::variance_about(out.first(n), s.ave));
  const numeric::MeanSd m = numeric::beyond_overflow(out.first(n), {s.ave, s.std});
  s.ave = m.ave;
  if (spread) s.std = m.sd;
  for (std::size_t r = 0; r < n; ++r) below_[r + 1] = below_[r] + count_[r];
  s.med = numeric::median_of_ranks(n, [this](std::size_t k) { return kth_value(k); });
  if (!spread) return s;
  s.mad = numeric::median_of_ranks(n, [this, &s](std::size_t k) { return kth_deviation(s.med, k); }) * numeric::mad_scale;
  return s;
}

}  // namespace diffboot::bootstrap
