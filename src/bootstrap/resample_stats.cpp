#include "bootstrap/resample_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

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

// First index in [from, n) at which the monotone predicate holds, or n,
// looked for at from, from + 1, from + 3, from + 7, ... and then by
// bisection: O(log) of its distance from `from`.
template <typename Predicate>
std::size_t first_index_from(std::size_t from, std::size_t n, Predicate holds) {
  std::size_t before = from, probe = from, step = 1;  // no index below `before` holds
  while (probe < n && !holds(probe)) {
    before = probe + 1;
    probe += step;
    step *= 2;
  }
  const std::size_t end = std::min(probe, n);
  return before + first_index(end - before, [&](std::size_t i) { return holds(before + i); });
}

// Of two runs of deviations, each growing with its index (own(0..n_own),
// other(0..n_other)), the first index i of own at which reached(t, u) holds,
// t and u the numbers of own's and other's deviations at most own(i), or
// n_own. reached must grow with t and u. The bisection keeps the range that
// u can take between its bounds, which narrows with them.
template <typename Own, typename Other, typename Reached>
std::size_t first_reaching(std::size_t n_own, std::size_t n_other, Own own, Other other, Reached reached) {
  std::size_t lo = 0, hi = n_own, other_lo = 0, other_hi = n_other;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    const double d = own(mid);
    const std::size_t t = first_index_from(mid + 1, n_own, [&](std::size_t i) { return own(i) > d; });
    const std::size_t u =
        other_lo + first_index(other_hi - other_lo, [&](std::size_t j) { return other(other_lo + j) > d; });
    if (reached(t, u)) {
      hi = mid;
      other_hi = u;
    } else {
      lo = mid + 1;
      other_lo = u;
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

// Calls first(i) for i < n_first and second(i) for i < n_second, the two
// interleaved while both have work: two chains of additions that do not wait
// for each other, each in its own order.
template <typename First, typename Second>
void side_by_side(std::size_t n_first, std::size_t n_second, First first, Second second) {
  const std::size_t both = std::min(n_first, n_second);
  for (std::size_t i = 0; i < both; ++i) {
    first(i);
    second(i);
  }
  for (std::size_t i = both; i < n_first; ++i) first(i);
  for (std::size_t i = both; i < n_second; ++i) second(i);
}

// The standard deviations of two resamples about their means (ave_var's
// sums, each in its own order), their chains of additions side by side.
std::pair<double, double> sds_side_by_side(std::span<const double> a, double ave_a, std::span<const double> b,
                                           double ave_b) {
  numeric::VarianceSums v_a, v_b;
  side_by_side(
      a.size(), b.size(), [&](std::size_t i) { v_a.add(a[i], ave_a); }, [&](std::size_t i) { v_b.add(b[i], ave_b); });
  return {std::sqrt(v_a.variance(static_cast<double>(a.size()))),
          std::sqrt(v_b.variance(static_cast<double>(b.size())))};
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
      counted_(!x.empty() && numeric::has_plain_order(x) && static_cast<std::uint64_t>(x.size()) < (std::uint64_t{1} << 32)),
      by_rank_(counted_ && x.size() > numeric::largest_single_deviate_resample && finite_and_varied(x)),
      sums_fit_(std::all_of(x.begin(), x.end(), [](double v) { return std::fabs(v) < 0x1p400; })) {
  if (!counted_) return;
  auto order = std::make_shared<Order>();
  order->sorted.assign(x.begin(), x.end());
  if (by_rank_) {
    std::sort(order->sorted.begin(), order->sorted.end());
  } else {
    order->position.resize(x.size());
    std::iota(order->position.begin(), order->position.end(), 0u);
    std::sort(order->position.begin(), order->position.end(), [&](std::uint32_t a, std::uint32_t b) { return x[a] < x[b]; });
    for (std::size_t r = 0; r < x.size(); ++r) order->sorted[r] = x[order->position[r]];
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
// the answer, found by bisection on each side (first_reaching).
double ResampleCounter::kth_deviation(double med, std::size_t k) const {
  const numeric::LargeArray<double>& sorted = order_->sorted;
  const std::size_t m = sorted.size();
  const auto p = static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), med) - sorted.begin());
  auto left = [&](std::size_t t) { return std::fabs(sorted[p - 1 - t] - med); };  // t < p
  auto right = [&](std::size_t u) { return std::fabs(sorted[p + u] - med); };    // u < m - p
  // Draws of the t nearest values on the left and the u nearest on the right.
  auto drawn = [&](std::size_t t, std::size_t u) { return (below_[p] - below_[p - t]) + (below_[p + u] - below_[p]); };
  double best = HUGE_VAL;
  const std::size_t t = first_reaching(p, m - p, left, right, [&](std::size_t a, std::size_t b) { return drawn(a, b) >= k; });
  if (t < p) best = left(t);
  const std::size_t u = first_reaching(m - p, p, right, left, [&](std::size_t a, std::size_t b) { return drawn(b, a) >= k; });
  if (u < m - p) best = std::min(best, right(u));
  return best;
}

// The gathering of a sample too large for the processor's caches: the same
// reads and additions in the same order, with the values and counts that are
// read a few draws later asked for ahead, so that their cache misses overlap.
double ResampleCounter::gather_and_count() {
  const std::size_t n = x_.size();
  const double* x = x_.data();
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    if (i + prefetch_distance < n) __builtin_prefetch(&x[drawn_[i + prefetch_distance]]);
    resample_[i] = x[drawn_[i]];
    sum += resample_[i];
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

ResampleStats ResampleCounter::draw(numeric::UniformState& g, Wanted wanted) {
  const std::size_t n = x_.size();
  ResampleStats s{};
  resample_written_ = false;
  counts_current_ = false;
  if (!counted_) {
    resample_.resize(n);
    drawn_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {  // as numeric::resample draws, keeping the positions
      drawn_[i] = numeric::draw_position(g, n);
      resample_[i] = x_[drawn_[i]];
    }
    const numeric::MeanSd m = numeric::mean_and_sd(resample_);
    s.ave = m.ave;
    if (wanted.sd) s.std = m.sd;
    if (!wanted.order) return s;
    double med = 0.0, mad = 0.0;
    numeric::med_mad(resample_, med, mad, work_);
    s.med = med;
    if (wanted.mad) s.mad = mad;
    return s;
  }
  draw_positions(g, wanted.order || n >= prefetched_size);
  if (by_rank_) {
    count_ranks();
    cumulative_counts(narrow_count_, drawn_, below_);
    counts_current_ = true;
    const numeric::MeanSd m = counted_moments(order_->sorted, below_, wanted.sd);
    s.ave = m.ave;
    s.std = m.sd;
    return with_order_statistics(s, wanted);
  }
  // The resample's in-order sum, which ave_var begins with, runs beside the
  // gathering, where its chain of additions costs nothing extra.
  double sum = 0.0;
  if (n >= prefetched_size) {
    sum = gather_and_count();
  } else if (wanted.order) {
    for (std::size_t i = 0; i < n; ++i) sum += gather(i);
  } else {
    for (std::size_t i = 0; i < n; ++i) sum += gather_value(i);
  }
  s.ave = sum / static_cast<double>(n);
  if (wanted.sd) s.std = std::sqrt(numeric::variance_about(resample_, s.ave));
  return settled(s, wanted);
}

std::pair<ResampleStats, ResampleStats> ResampleCounter::draw_both(ResampleCounter& a, ResampleCounter& b,
                                                                   numeric::UniformState& g, Wanted wanted) {
  if (!a.gathers_in_cache() || !b.gathers_in_cache()) {
    const ResampleStats first = a.draw(g, wanted);
    return {first, b.draw(g, wanted)};
  }
  a.draw_positions(g, wanted.order);
  b.draw_positions(g, wanted.order);
  const std::size_t n_a = a.x_.size(), n_b = b.x_.size();
  double sum_a = 0.0, sum_b = 0.0;
  if (wanted.order) {
    side_by_side(
        n_a, n_b, [&](std::size_t i) { sum_a += a.gather(i); }, [&](std::size_t i) { sum_b += b.gather(i); });
  } else {
    side_by_side(
        n_a, n_b, [&](std::size_t i) { sum_a += a.gather_value(i); },
        [&](std::size_t i) { sum_b += b.gather_value(i); });
  }
  ResampleStats s_a{}, s_b{};
  s_a.ave = sum_a / static_cast<double>(n_a);
  s_b.ave = sum_b / static_cast<double>(n_b);
  if (wanted.sd) std::tie(s_a.std, s_b.std) = sds_side_by_side(a.resample_, s_a.ave, b.resample_, s_b.ave);
  return {a.settled(s_a, wanted), b.settled(s_b, wanted)};
}

// Gathers a's and b's next resamples (sums into a_now.ave, b_now.ave, which
// are then their means) while the variance sums of their previous ones run
// beside, about before_a.ave and before_b.ave (their standard deviations
// into before_a.std, before_b.std): four chains each in its own order.
void ResampleCounter::gather_beside_variance(ResampleCounter& a, ResampleCounter& b, bool counting,
                                             ResampleStats& before_a, ResampleStats& before_b, ResampleStats& a_now,
                                             ResampleStats& b_now) {
  const std::size_t n_a = a.x_.size(), n_b = b.x_.size();
  double sum_a = 0.0, sum_b = 0.0;
  numeric::VarianceSums v_a, v_b;
  const double* previous_a = a.previous_.data();
  const double* previous_b = b.previous_.data();
  const double ave_a = before_a.ave, ave_b = before_b.ave;
  if (counting) {
    side_by_side(
        n_a, n_b, [&](std::size_t i) { sum_a += a.gather(i), v_a.add(previous_a[i], ave_a); },
        [&](std::size_t i) { sum_b += b.gather(i), v_b.add(previous_b[i], ave_b); });
  } else {
    side_by_side(
        n_a, n_b, [&](std::size_t i) { sum_a += a.gather_value(i), v_a.add(previous_a[i], ave_a); },
        [&](std::size_t i) { sum_b += b.gather_value(i), v_b.add(previous_b[i], ave_b); });
  }
  a_now.ave = sum_a / static_cast<double>(n_a);
  b_now.ave = sum_b / static_cast<double>(n_b);
  before_a.std = std::sqrt(v_a.variance(static_cast<double>(n_a)));
  before_b.std = std::sqrt(v_b.variance(static_cast<double>(n_b)));
}

void ResampleCounter::draw_replications(ResampleCounter& a, ResampleCounter& b, numeric::UniformState& g,
                                        Wanted wanted, std::size_t first, std::size_t last, const Drawn& counted,
                                        const Drawn& spread) {
  const bool fit = a.gathers_in_cache() && b.gathers_in_cache() && a.sums_fit_ && b.sums_fit_;
  if (fit && !wanted.sd && !wanted.order) return means_in_pairs(a, b, g, first, last, counted, spread);
  if (!wanted.sd || !fit || a.x_.size() > largest_pipelined || b.x_.size() > largest_pipelined) {
    for (std::size_t k = first; k < last; ++k) {
      const auto [s_a, s_b] = draw_both(a, b, g, wanted);
      counted(k, s_a, s_b);
      spread(k, s_a, s_b);
    }
    return;
  }
  ResampleStats before_a{}, before_b{};  // the replication before, its standard deviations pending
  for (std::size_t k = first; k < last; ++k) {
    a.draw_positions(g, wanted.order);
    b.draw_positions(g, wanted.order);
    std::swap(a.resample_, a.previous_);
    std::swap(b.resample_, b.previous_);
    a.resample_.resize(a.x_.size());
    b.resample_.resize(b.x_.size());
    if (k == first) {  // nothing before it: its variance sums run over its own resamples, ignored
      a.previous_.assign(a.x_.size(), 0.0);
      b.previous_.assign(b.x_.size(), 0.0);
    }
    ResampleStats s_a{}, s_b{};
    gather_beside_variance(a, b, wanted.order, before_a, before_b, s_a, s_b);
    if (k > first) spread(k - 1, before_a, before_b);
    const Wanted order_only{false, wanted.order, wanted.mad};
    before_a = a.settled(s_a, order_only);
    before_b = b.settled(s_b, order_only);
    counted(k, before_a, before_b);
  }
  if (last == first) return;
  std::tie(before_a.std, before_b.std) = sds_side_by_side(a.resample_, before_a.ave, b.resample_, before_b.ave);
  spread(last - 1, before_a, before_b);
}

// draw_replications for the means alone: two replications at a time, their
// four sums side by side (no resample is written but the last, no draw
// counted).
void ResampleCounter::means_in_pairs(ResampleCounter& a, ResampleCounter& b, numeric::UniformState& g,
                                     std::size_t first, std::size_t last, const Drawn& counted, const Drawn& spread) {
  const std::size_t n_a = a.x_.size(), n_b = b.x_.size();
  const double *x_a = a.x_.data(), *x_b = b.x_.data();
  std::size_t k = first;
  for (; k + 2 <= last; k += 2) {
    a.draw_positions(g, false);
    b.draw_positions(g, false);
    a.next_drawn_.resize(n_a);
    b.next_drawn_.resize(n_b);
    a.positions_.draw(g, a.next_drawn_);
    b.positions_.draw(g, b.next_drawn_);
    const std::uint32_t *a0 = a.drawn_.data(), *b0 = b.drawn_.data(), *a1 = a.next_drawn_.data(),
                        *b1 = b.next_drawn_.data();
    double sum_a0 = 0.0, sum_b0 = 0.0, sum_a1 = 0.0, sum_b1 = 0.0;
    side_by_side(
        n_a, n_b,
        [&](std::size_t i) {
          sum_a0 += x_a[a0[i]];
          sum_a1 += x_a[a1[i]];
        },
        [&](std::size_t i) {
          sum_b0 += x_b[b0[i]];
          sum_b1 += x_b[b1[i]];
        });
    const auto mean = [](double sum, std::size_t n) { return ResampleStats{sum / static_cast<double>(n), 0, 0, 0}; };
    for (const auto& [j, s_a, s_b] : {std::tuple{k, mean(sum_a0, n_a), mean(sum_b0, n_b)},
                                      std::tuple{k + 1, mean(sum_a1, n_a), mean(sum_b1, n_b)}}) {
      counted(j, s_a, s_b);
      spread(j, s_a, s_b);
    }
  }
  if (k < last) {
    const auto [s_a, s_b] = draw_both(a, b, g, Wanted{false, false, false});
    counted(k, s_a, s_b);
    spread(k, s_a, s_b);
  } else if (last > first) {  // the last replication's resamples, as a draw leaves them
    for (ResampleCounter* c : {&a, &b}) {
      std::swap(c->drawn_, c->next_drawn_);
      for (std::size_t i = 0; i < c->x_.size(); ++i) c->resample_[i] = c->x_[c->drawn_[i]];
    }
  }
}

bool ResampleCounter::gathers_in_cache() const { return counted_ && !by_rank_ && x_.size() < prefetched_size; }

void ResampleCounter::draw_positions(numeric::UniformState& g, bool counting) {
  const std::size_t n = x_.size();
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
  resample_written_ = false;
  counts_current_ = false;
  // The generator's chains first, then the scattered reads and counts, which
  // are independent of each other and overlap in the processor.
  positions_.draw(g, drawn_);
  if (by_rank_) {
    std::fill(narrow_count_.begin(), narrow_count_.end(), std::uint8_t{0});
  } else if (counting) {
    std::fill(count_.begin(), count_.end(), 0u);
  }
}

// The statistics of a resample in the written order whose sums are formed
// (and, where its order is wanted, its draws counted): the sums formed again
// where they overflowed, then the order statistics.
ResampleStats ResampleCounter::settled(ResampleStats s, Wanted wanted) {
  const numeric::MeanSd m = numeric::beyond_overflow(resample_, {s.ave, s.std});
  s.ave = m.ave;
  if (wanted.sd) s.std = m.sd;
  if (!wanted.order) return s;
  const std::size_t n = x_.size();
  const std::uint32_t* position = order_->position.data();
  std::uint32_t drawn = 0;
  for (std::size_t r = 0; r < n; ++r) {
    drawn += count_[position[r]];
    below_[r + 1] = drawn;
  }
  counts_current_ = true;
  return with_order_statistics(s, wanted);
}

ResampleStats ResampleCounter::with_order_statistics(ResampleStats s, Wanted wanted) const {
  if (!wanted.order) return s;
  s.med = numeric::median_of_ranks(x_.size(), [this](std::size_t k) { return kth_value(k); });
  if (!wanted.mad) return s;
  s.mad = numeric::median_of_ranks(x_.size(), [this, &s](std::size_t k) { return kth_deviation(s.med, k); }) *
          numeric::mad_scale;
  return s;
}

double ResampleCounter::companion_mean(std::span<const double> by_rank, std::span<const double> by_position) const {
  const std::size_t n = x_.size();
  double sum = 0.0;
  if (counts_current_) {
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
  return {order_->position.begin(), order_->position.end()};
}

double ResampleCounter::quantile(double p) {
  const std::size_t n = x_.size();
  if (counts_current_) return numeric::quantile_of_ranks(n, p, [this](std::size_t k) { return kth_value(k); });
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
