#include "bootstrap/permutation.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>

#include "bootstrap/bca.h"
#include "bootstrap/blocks.h"
#include "bootstrap/effect_sizes.h"
#include "numeric/random.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

struct Moments {
  double mean, sd, med, mad;
};

// The k-th smallest (one-based) of two ascending sequences a(0..na) and
// b(0..nb) together, by bisection on how many come from a.
template <typename A, typename B>
double kth_of_two(const A& a, std::size_t na, const B& b, std::size_t nb, std::size_t k) {
  std::size_t lo = k > nb ? k - nb : 0, hi = std::min(k, na);
  while (lo < hi) {
    const std::size_t i = lo + (hi - lo) / 2;  // take i + 1 or more from a?
    if (a(i) < b(k - i - 1)) lo = i + 1;
    else hi = i;
  }
  const std::size_t i = lo;  // i from a, k - i from b
  if (i == 0) return b(k - 1);
  if (i == k) return a(k - 1);
  return std::max(a(i - 1), b(k - i - 1));
}

// The moments of a sorted sample whose sum is `sum`: its median and MAD as
// med_mad gives them but read off the order (the deviations from the median
// grow outward from it on both sides: two ascending runs).
Moments sorted_moments(std::span<const double> v, double sum) {
  const std::size_t n = v.size();
  Moments out{sum / static_cast<double>(n), 0.0, 0.0, 0.0};
  double squares = 0.0;
  for (double x : v) squares += (x - out.mean) * (x - out.mean);
  out.sd = n > 1 ? std::sqrt(squares / static_cast<double>(n - 1)) : 0.0;
  out.med = numeric::median_of_ranks(n, [&](std::size_t k) { return v[k - 1]; });
  const auto p = static_cast<std::size_t>(std::lower_bound(v.begin(), v.end(), out.med) - v.begin());
  const double med = out.med;
  const auto left = [&](std::size_t t) { return med - v[p - 1 - t]; };
  const auto right = [&](std::size_t u) { return v[p + u] - med; };
  out.mad = numeric::median_of_ranks(n, [&](std::size_t k) { return kth_of_two(left, p, right, n - p, k); }) *
            numeric::mad_scale;
  return out;
}

// The statistics of two groups, each sorted.
double unpaired_value(Statistic s, const Moments& a, std::span<const double> x, const Moments& b,
                      std::span<const double> y) {
  switch (s) {
    case Statistic::mean_difference: return a.mean - b.mean;
    case Statistic::median_difference: return a.med - b.med;
    case Statistic::sd_difference: return a.sd - b.sd;
    case Statistic::mad_difference: return a.mad - b.mad;
    case Statistic::g: return hedges_g(a.mean, a.sd, x.size(), b.mean, b.sd, y.size());
    case Statistic::delta: return cliffs_delta(x, {}, y, {});
    default: return std::nan("");
  }
}

double paired_value(Statistic s, const Moments& d, std::size_t n) {
  switch (s) {
    case Statistic::mean: return d.mean;
    case Statistic::median: return d.med;
    case Statistic::g: return hedges_g_paired(d.mean, d.sd, n);
    default: return std::nan("");
  }
}

// Adds, for each statistic, 1 where |t| reaches |observed|; a t that is not
// a number (a group without spread) counts as reaching it, so that p errs
// on the large side.
void count_reaching(std::span<const double> values, std::span<const double> observed, std::vector<std::int64_t>& reached) {
  for (std::size_t k = 0; k < values.size(); ++k) {
    const double limit = std::fabs(observed[k]) * (1.0 - tie_tolerance);
    if (std::isnan(values[k]) || std::fabs(values[k]) >= limit) ++reached[k];
  }
}

// Permutations [begin, end) of the pooled sorted values: the x group is a
// partial Fisher-Yates shuffle's first n_x positions, the shuffle undone
// after each, so that every permutation depends on its deviates alone.
void unpaired_block(const PermutationTest& t, std::span<const double> pooled, std::size_t begin, std::size_t end,
                    numeric::UniformState& g, std::vector<std::int64_t>& reached) {
  const std::size_t n = pooled.size(), n_x = t.x.size();
  const double total = std::accumulate(pooled.begin(), pooled.end(), 0.0);
  std::vector<std::uint32_t> index(n), swapped(n_x);
  std::iota(index.begin(), index.end(), 0u);
  std::vector<std::uint8_t> in_x(n, 0);
  std::vector<double> gx(n_x + 1), gy(n - n_x + 1), values(t.statistics.size());
  for (std::size_t p = begin; p < end; ++p) {
    for (std::size_t k = 0; k < n_x; ++k) {
      const std::size_t j = k + numeric::draw_position(g, n - k);
      std::swap(index[k], index[j]);
      swapped[k] = static_cast<std::uint32_t>(j);
      in_x[index[k]] = 1;
    }
    // The two groups in sorted order, without a branch on each label.
    std::size_t ix = 0, iy = 0;
    double sum_x = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      gx[ix] = pooled[i], gy[iy] = pooled[i];
      ix += in_x[i], iy += 1 - in_x[i];
      sum_x += in_x[i] != 0 ? pooled[i] : 0.0;
    }
    const std::span<const double> x(gx.data(), n_x), y(gy.data(), n - n_x);
    const Moments a = sorted_moments(x, sum_x), b = sorted_moments(y, total - sum_x);
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = unpaired_value(t.statistics[k], a, x, b, y);
    count_reaching(values, t.observed, reached);
    for (std::size_t k = 0; k < n_x; ++k) in_x[index[k]] = 0;
    for (std::size_t k = n_x; k-- > 0;) std::swap(index[k], index[swapped[k]]);
  }
}

// Sign flips [begin, end) of the differences.
void paired_block(const PermutationTest& t, std::span<const double> d, std::size_t begin, std::size_t end,
                  numeric::UniformState& g, std::vector<std::int64_t>& reached) {
  std::vector<double> flipped(d.size()), work, values(t.statistics.size());
  for (std::size_t p = begin; p < end; ++p) {
    for (std::size_t i = 0; i < d.size(); ++i) flipped[i] = numeric::draw_position(g, 2) == 0 ? d[i] : -d[i];
    const numeric::MeanSd ms = numeric::mean_and_sd(flipped);
    Moments m{ms.ave, ms.sd, 0.0, 0.0};
    numeric::med_mad(flipped, m.med, m.mad, work);
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = paired_value(t.statistics[k], m, d.size());
    count_reaching(values, t.observed, reached);
  }
}

}  // namespace

std::uint64_t permutation_deviates(std::size_t n_x, std::size_t n_y, bool paired) {
  if (paired) return n_x;
  std::uint64_t deviates = 0;
  for (std::size_t k = 0; k < n_x; ++k) {
    deviates += n_x + n_y - k <= numeric::largest_single_deviate_resample ? 1 : 2;
  }
  return deviates;
}

std::vector<double> permutation_p_values(const PermutationTest& t) {
  std::vector<double> pooled, differences;
  if (t.paired) {
    for (std::size_t i = 0; i < t.x.size(); ++i) differences.push_back(t.x[i] - t.y[i]);
  } else {
    pooled.assign(t.x.begin(), t.x.end());
    pooled.insert(pooled.end(), t.y.begin(), t.y.end());
    std::sort(pooled.begin(), pooled.end());
  }
  numeric::UniformState g;
  g.initial_seed = -t.seed;
  numeric::init_uniform(g);
  numeric::skip_deviates(g, permutation_stream_offset);
  const auto count = static_cast<std::size_t>(t.permutations);
  std::vector<std::int64_t> reached(t.statistics.size(), 0);
  std::mutex adding;
  const auto block = [&](std::size_t begin, std::size_t end, numeric::UniformState& gen, bool) {
    std::vector<std::int64_t> mine(t.statistics.size(), 0);
    if (t.paired) paired_block(t, differences, begin, end, gen, mine);
    else unpaired_block(t, pooled, begin, end, gen, mine);
    const std::lock_guard<std::mutex> lock(adding);
    for (std::size_t k = 0; k < mine.size(); ++k) reached[k] += mine[k];
  };
  replicate_in_blocks(g, count, permutation_deviates(t.x.size(), t.y.size(), t.paired), t.threads, block);
  std::vector<double> p(t.statistics.size());
  for (std::size_t k = 0; k < p.size(); ++k) {
    p[k] = std::isnan(t.observed[k]) ? t.observed[k] : static_cast<double>(1 + reached[k]) / static_cast<double>(count + 1);
  }
  return p;
}

}  // namespace diffboot::bootstrap
