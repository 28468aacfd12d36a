#include "bootstrap/permutation.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>

#include "bootstrap/blocks.h"
#include "bootstrap/effect_sizes.h"
#include "numeric/random.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

constexpr double tie_tolerance = 1e-12;

struct Moments {
  double mean, sd, med, mad;
};

Moments moments_of(std::span<const double> v, std::vector<double>& work) {
  const numeric::MeanSd m = numeric::mean_and_sd(v);
  Moments out{m.ave, m.sd, 0.0, 0.0};
  numeric::med_mad(v, out.med, out.mad, work);
  return out;
}

// The moments of a sorted sample, its median and MAD as med_mad gives them
// but read off the order: the deviations from the median, smallest first,
// come from walking outward from it on both sides.
Moments sorted_moments(std::span<const double> v) {
  const numeric::MeanSd m = numeric::mean_and_sd(v);
  Moments out{m.ave, m.sd, 0.0, 0.0};
  const std::size_t n = v.size();
  out.med = numeric::median_of_ranks(n, [&](std::size_t k) { return v[k - 1]; });
  // The deviations of ranks n/2 and n/2 + 1 (one-based), the last two of the walk.
  std::size_t right = static_cast<std::size_t>(std::lower_bound(v.begin(), v.end(), out.med) - v.begin()), left = right;
  double last[2] = {0.0, 0.0};
  for (std::size_t taken = 0; taken < std::min(n, n / 2 + 1); ++taken) {
    const bool take_left = left > 0 && (right == n || out.med - v[left - 1] <= v[right] - out.med);
    last[0] = last[1];
    last[1] = take_left ? out.med - v[--left] : v[right++] - out.med;
  }
  const double mad = n % 2 == 1 ? last[1] : (last[1] + last[0]) * 0.5;
  out.mad = mad * numeric::mad_scale;
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

// Adds, for each statistic, 1 where |t| reaches |observed|.
void count_reaching(std::span<const double> values, std::span<const double> observed, std::vector<std::int64_t>& reached) {
  for (std::size_t k = 0; k < values.size(); ++k) {
    const double limit = std::fabs(observed[k]) * (1.0 - tie_tolerance);
    if (std::fabs(values[k]) >= limit) ++reached[k];
  }
}

// Permutations [begin, end) of the pooled sorted values: the x group is a
// partial Fisher-Yates shuffle's first n_x positions, the shuffle undone
// after each, so that every permutation depends on its deviates alone.
void unpaired_block(const PermutationTest& t, std::span<const double> pooled, std::size_t begin, std::size_t end,
                    numeric::UniformState& g, std::vector<std::int64_t>& reached) {
  const std::size_t n = pooled.size(), n_x = t.x.size();
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
    for (std::size_t i = 0; i < n; ++i) {
      gx[ix] = pooled[i], gy[iy] = pooled[i];
      ix += in_x[i], iy += 1 - in_x[i];
    }
    const std::span<const double> x(gx.data(), n_x), y(gy.data(), n - n_x);
    const Moments a = sorted_moments(x), b = sorted_moments(y);
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
    const Moments m = moments_of(flipped, work);
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
  for (std::size_t k = 0; k < p.size(); ++k) p[k] = static_cast<double>(1 + reached[k]) / static_cast<double>(count + 1);
  return p;
}

}  // namespace diffboot::bootstrap
