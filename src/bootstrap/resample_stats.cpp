#include "bootstrap/resample_stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

// Samples whose order statistics are unambiguous doubles: no NaN, and no
// negative zero that could stand for a positive one.
bool has_plain_order(std::span<const double> x) {
  return std::none_of(x.begin(), x.end(), [](double v) { return std::isnan(v) || (v == 0.0 && std::signbit(v)); });
}

}  // namespace

ResampleCounter::ResampleCounter(std::span<const double> x)
    : x_(x), counted_(!x.empty() && has_plain_order(x) && x.size() < (std::size_t{1} << 32)) {
  if (!counted_) return;
  std::vector<std::uint32_t> order(x.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return x[a] < x[b]; });
  sorted_.resize(x.size());
  rank_.resize(x.size());
  for (std::size_t r = 0; r < order.size(); ++r) {
    sorted_[r] = x[order[r]];
    rank_[order[r]] = static_cast<std::uint32_t>(r);
  }
  drawn_.resize(x.size());
  count_.resize(x.size());
}

// k-th smallest value of the resample (one-based) and, with_next, the (k+1)-th.
ResampleCounter::Pair ResampleCounter::order_statistics(std::size_t k, bool with_next) const {
  std::size_t cumulative = 0;
  std::size_t r = 0;
  while (cumulative + count_[r] < k) cumulative += count_[r++];
  Pair p{sorted_[r], 0.0};
  if (!with_next) return p;
  while (cumulative + count_[r] < k + 1) cumulative += count_[r++];
  p.next = sorted_[r];
  return p;
}

// k-th smallest absolute deviation |value - med| of the resample and,
// with_next, the (k+1)-th: the deviations grow outward from med on both sides
// of the sorted sample, so the two runs are merged.
ResampleCounter::Pair ResampleCounter::deviations(double med, std::size_t k, bool with_next) const {
  const auto n = static_cast<std::ptrdiff_t>(sorted_.size());
  std::ptrdiff_t right = std::lower_bound(sorted_.begin(), sorted_.end(), med) - sorted_.begin();
  std::ptrdiff_t left = right - 1;
  const std::size_t last = with_next ? k + 1 : k;
  std::size_t cumulative = 0;
  Pair p{0.0, 0.0};
  while (cumulative < last) {
    const bool take_left =
        right >= n || (left >= 0 && std::fabs(sorted_[static_cast<std::size_t>(left)] - med) <=
                                        std::fabs(sorted_[static_cast<std::size_t>(right)] - med));
    const auto r = static_cast<std::size_t>(take_left ? left-- : right++);
    const double d = std::fabs(sorted_[r] - med);
    const std::size_t before = cumulative;
    cumulative += count_[r];
    if (before < k && cumulative >= k) p.kth = d;
    if (cumulative >= k + 1) p.next = d;
  }
  return p;
}

ResampleStats ResampleCounter::draw(numeric::UniformState& g, std::span<double> out) {
  const std::size_t n = x_.size();
  ResampleStats s{};
  if (!counted_) {
    numeric::resample(g, x_, out);
    double var = 0.0;
    numeric::ave_var(out.first(n), s.ave, var);
    s.std = std::sqrt(var);
    numeric::med_mad(out.first(n), s.med, s.mad, work_);
    return s;
  }
  std::fill(count_.begin(), count_.end(), 0u);
  const auto size = static_cast<std::int64_t>(n);
  // The generator's chain first, then the scattered reads and counts, which
  // are independent of each other and overlap in the processor.
  for (std::size_t i = 0; i < n; ++i) {
    drawn_[i] = static_cast<std::uint32_t>(numeric::resample_position(numeric::uniform_deviate(g, g.ran_seed), size) - 1);
  }
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = x_[drawn_[i]];
    ++count_[rank_[drawn_[i]]];
  }
  double var = 0.0;
  numeric::ave_var(out.first(n), s.ave, var);
  s.std = std::sqrt(var);
  if (n % 2 == 1) {
    s.med = order_statistics(n / 2 + 1, false).kth;
    s.mad = deviations(s.med, n / 2 + 1, false).kth * numeric::mad_scale;
  } else {
    const Pair v = order_statistics(n / 2, true);
    s.med = (v.next + v.kth) * 0.5;
    const Pair d = deviations(s.med, n / 2, true);
    s.mad = ((d.next + d.kth) * 0.5) * numeric::mad_scale;
  }
  return s;
}

}  // namespace diffboot::bootstrap
