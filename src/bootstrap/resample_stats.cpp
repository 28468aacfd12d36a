#include "bootstrap/resample_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "numeric/plain_order.h"
#include "numeric/quantiles.h"
#include "numeric/sorting.h"
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

// Four running sums, added as (s0 + s1) + (s2 + s3).
struct FourSums {
  double s[4] = {0.0, 0.0, 0.0, 0.0};
  double total() const { return (s[0] + s[1]) + (s[2] + s[3]); }
};

// Calls add(r, r mod 4) for the ranks r = 0, 1, ..., m − 1 in turn.
template <typename Add>
void over_ranks(std::size_t m, Add add) {
  std::size_t r = 0;
  for (; r + 4 <= m; r += 4) {
    for (std::size_t j = 0; j < 4; ++j) add(r + j, j);
  }
  for (std::size_t j = 0; r + j < m; ++j) add(r + j, j);
}

numeric::MeanSd moments_of(std::span<const double> sorted, std::span<const std::uint32_t> below, bool spread) {
  const auto nd = static_cast<double>(below.back());
  const double* v = sorted.data();
  const auto c = [b = below.data()](std::size_t r) { return static_cast<double>(b[r + 1] - b[r]); };
  FourSums sum;
  over_ranks(sorted.size(), [&](std::size_t r, std::size_t j) { sum.s[j] += c(r) * v[r]; });
  const double ave = sum.total() / nd;
  if (!spread) return {ave, 0.0};
  FourSums ep, ss;
  over_ranks(sorted.size(), [&](std::size_t r, std::size_t j) {
    const double e = c(r) * (v[r] - ave);
    ep.s[j] += e;
    ss.s[j] += e * (v[r] - ave);
  });
  return {ave, std::sqrt((ss.total() - ep.total() * ep.total() / nd) / (nd - 1.0))};
}

// Whether x is finite and holds two values at least: a sample of one value
// repeated is its own every resample, whose sums in the written order are
// the sample's own (those of the estimates), and stays in that order.
bool finite_and_varied(std::span<const double> x) {
  return std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); }) &&
         std::any_of(x.begin(), x.end(), [&](double v) { return v != x[0]; });
}

}  // namespace

numeric::MeanSd counted_moments(std::span<const double> sorted, std::span<const std::uint32_t> below, bool spread) {
  const numeric::MeanSd m = moments_of(sorted, below, spread);
  if (std::isfinite(m.ave) && std::isfinite(m.sd)) return m;
  const double largest = std::max(std::fabs(sorted.front()), std::fabs(sorted.back()));
  return numeric::scaled_back(sorted, largest,
                              [&](std::span<const double> scaled) { return moments_of(scaled, below, spread); });
}

void cumulative_counts(std::span<const std::uint8_t> narrow, std::span<const std::uint32_t> ranks,
                       std::span<std::uint32_t> below) {
  const std::size_t m = narrow.size();
  below[0] = 0;
  for (std::size_t r = 0; r < m; ++r) below[r + 1] = below[r] + narrow[r];
  if (below[m] == ranks.size()) return;
  std::fill(below.begin(), below.end(), 0u);
  for (std::uint32_t r : ranks) ++below[r + 1];
  for (std::size_t r = 0; r < m; ++r) below[r + 1] += below[r];
}

ResampleCounter::ResampleCounter(std::span<const double> x)
    : x_(x),
      positions_(x.size()),
      counted_(!x.empty() && numeric::has_plain_order(x) && x.size() < (std::size_t{1} << 32)),
      by_rank_(counted_ && x.size() > numeric::largest_single_deviate_resample && finite_and_varied(x)) {
  if (!counted_) return;
  auto order = std::make_shared<Order>();
  order->sorted.assign(x.begin(), x.end());
  if (by_rank_) {
    std::sort(order->sorted.begin(), order->sorted.end());
  } else {
    std::vector<std::uint32_t> by_value(x.size());
    std::iota(by_value.begin(), by_value.end(), 0u);
    std::sort(by_value.begin(), by_value.end(), [&](std::uint32_t a, std::uint32_t b) { return x[a] < x[b]; });
    order->entries.resize(x.size());
    for (std::size_t r = 0; r < by_value.size(); ++r) {
      order->sorted[r] = x[by_value[r]];
      order->entries[by_value[r]] = {x[by_value[r]], static_cast<std::uint32_t>(r)};
    }
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
double ResampleCounter::gather_and_count() {
  const std::size_t n = x_.size();
  const Entry* entries = order_->entries.data();
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i + prefetch_distance < n) __builtin_prefetch(&entries[drawn_[i + prefetch_distance]]);
    const Entry& e = entries[drawn_[i]];
    resample_[i] = e.value;
    sum += resample_[i];
    drawn_[i] = e.rank;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (i + prefetch_distance < n) __builtin_prefetch(&count_[drawn_[i + prefetch_distance]], 1);
    ++count_[drawn_[i]];
  }
  return sum;
}

// Counts the drawn ranks modulo 256, asking for the counts ahead.
void ResampleCounter::count_ranks() {
  const std::size_t n = x_.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i + prefetch_distance < n) __builtin_prefetch(&narrow_count_[drawn_[i + prefetch_distance]], 1);
    ++narrow_count_[drawn_[i]];
  }
}

ResampleStats ResampleCounter::draw(numeric::UniformState& g, bool spread) {
  const std::size_t n = x_.size();
  ResampleStats s{};
  resample_written_ = false;
  if (!counted_) {
    resample_.resize(n);
    drawn_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {  // as numeric::resample draws, keeping the positions
      drawn_[i] = numeric::draw_position(g, n);
      resample_[i] = x_[drawn_[i]];
    }
    const numeric::MeanSd m = numeric::mean_and_sd(resample_);
    s.ave = m.ave;
    s.std = m.sd;
    numeric::med_mad(resample_, s.med, s.mad, work_);
    return s;
  }
  if (drawn_.empty()) {  // a counter's own buffers, made at its first draw: copies do not share them
    drawn_.resize(n);
    below_.resize(n + 1);
    if (by_rank_) {
      narrow_count_.resize(n);
    } else {
      count_.resize(n);
      resample_.resize(n);
    }
  }
  // The generator's chains first, then the scattered reads and counts, which
  // are independent of each other and overlap in the processor.
  positions_.draw(g, drawn_);
  if (by_rank_) {
    std::fill(narrow_count_.begin(), narrow_count_.end(), std::uint8_t{0});
    count_ranks();
    cumulative_counts(narrow_count_, drawn_, below_);
    const numeric::MeanSd m = counted_moments(order_->sorted, below_, spread);
    s.ave = m.ave;
    s.std = m.sd;
  } else {
    std::fill(count_.begin(), count_.end(), 0u);
    s = in_order_moments(spread);
    for (std::size_t r = 0; r < n; ++r) below_[r + 1] = below_[r] + count_[r];
  }
  s.med = numeric::median_of_ranks(n, [this](std::size_t k) { return kth_value(k); });
  if (!spread) return s;
  s.mad = numeric::median_of_ranks(n, [this, &s](std::size_t k) { return kth_deviation(s.med, k); }) * numeric::mad_scale;
  return s;
}

// The mean and standard deviation of a resample drawn in x's written order,
// summed in draw order as ave_var does; counts its ranks on the way.
ResampleStats ResampleCounter::in_order_moments(bool spread) {
  const std::size_t n = x_.size();
  ResampleStats s{};
  // The resample's in-order sum, which ave_var begins with, runs beside the
  // gathering, where its chain of additions costs nothing extra.
  double sum = 0.0;
  if (n < prefetched_size) {
    const Entry* entries = order_->entries.data();
    for (std::size_t i = 0; i < n; ++i) {
      const Entry& e = entries[drawn_[i]];
      resample_[i] = e.value;
      sum += resample_[i];
      ++count_[e.rank];
    }
  } else {
    sum = gather_and_count();
  }
  s.ave = sum / static_cast<double>(n);
  if (spread) s.std = std::sqrt(numeric::variance_about(resample_, s.ave));
  const numeric::MeanSd m = numeric::beyond_overflow(resample_, {s.ave, s.std});
  s.ave = m.ave;
  if (spread) s.std = m.sd;
  return s;
}

double ResampleCounter::companion_mean(std::span<const double> by_rank, std::span<const double> by_position) const {
  const std::size_t n = x_.size();
  double sum = 0.0;
  if (counted_) {
    for (std::size_t r = 0; r < n; ++r) sum += static_cast<double>(below_[r + 1] - below_[r]) * by_rank[r];
  } else {
    for (std::size_t i = 0; i < n; ++i) sum += by_position[drawn_[i]];
  }
  return sum / static_cast<double>(n);
}

std::vector<std::uint32_t> ResampleCounter::positions_by_rank() const {
  if (!counted_) return {};
  std::vector<std::uint32_t> p(x_.size());
  if (by_rank_) {  // any order of equal values gives the same sorted sample
    std::iota(p.begin(), p.end(), 0u);
    std::stable_sort(p.begin(), p.end(), [this](std::uint32_t a, std::uint32_t b) { return x_[a] < x_[b]; });
    return p;
  }
  for (std::size_t i = 0; i < x_.size(); ++i) p[order_->entries[i].rank] = static_cast<std::uint32_t>(i);
  return p;
}

double ResampleCounter::quantile(double p) {
  const std::size_t n = x_.size();
  if (counted_) return numeric::quantile_of_ranks(n, p, [this](std::size_t k) { return kth_value(k); });
  work_.assign(resample_.begin(), resample_.end());
  return numeric::quantile_of_ranks(n, p, [this](std::size_t k) {
    return numeric::select(static_cast<std::int64_t>(k), work_);
  });
}

std::span<const double> ResampleCounter::resample() {
  if (by_rank_ && !drawn_.empty() && !resample_written_) {
    resample_.resize(x_.size());
    for (std::size_t i = 0; i < x_.size(); ++i) resample_[i] = order_->sorted[drawn_[i]];
    resample_written_ = true;
  }
  return resample_;
}

}  // namespace diffboot::bootstrap
