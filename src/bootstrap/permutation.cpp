#include "bootstrap/permutation.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>

#include "bootstrap/bca.h"
#include "bootstrap/blocks.h"
#include "bootstrap/effect_sizes.h"
#include "numeric/random.h"
#include "numeric/ranked_bits.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

// What the statistics of a test need beyond the means.
struct Needs {
  bool sd = false, median = false, mad = false, delta = false;
};

Needs needs_of(std::span<const Statistic> statistics) {
  Needs n;
  for (Statistic s : statistics) {
    n.sd = n.sd || s == Statistic::sd_difference || s == Statistic::g;
    n.median = n.median || s == Statistic::median_difference || s == Statistic::mad_difference || s == Statistic::median;
    n.mad = n.mad || s == Statistic::mad_difference;
    n.delta = n.delta || s == Statistic::delta;
  }
  return n;
}

// How many of the k smallest of two ascending sequences a(0..na) and
// b(0..nb) together come from a, by bisection.
template <typename A, typename B>
std::size_t split_of_two(const A& a, std::size_t na, const B& b, std::size_t nb, std::size_t k) {
  std::size_t lo = k > nb ? k - nb : 0, hi = std::min(k, na);
  while (lo < hi) {
    const std::size_t i = lo + (hi - lo) / 2;  // take i + 1 or more from a?
    if (a(i) < b(k - i - 1)) lo = i + 1;
    else hi = i;
  }
  return lo;
}

// The median of two ascending sequences together, by the median rule: the
// rank k below the middle by bisection, the next rank the smaller of the
// two sequences' next values.
template <typename A, typename B>
double median_of_two(const A& a, std::size_t na, const B& b, std::size_t nb) {
  const std::size_t m = na + nb, k = m / 2 + m % 2;
  const std::size_t i = split_of_two(a, na, b, nb, k);  // i from a, k - i from b
  const double kth = i == 0 ? b(k - 1) : i == k ? a(k - 1) : std::max(a(i - 1), b(k - i - 1));
  if (m % 2 == 1) return kth;
  const double next = i == na ? b(k - i) : k - i == nb ? a(i) : std::min(a(i), b(k - i));
  return (next + kth) * 0.5;
}

// The sum of at(0) .. at(m - 1) in four interleaved parts.
template <typename T, typename At>
T sum_in_four(std::size_t m, const At& at) {
  T part[4] = {};
  std::size_t k = 0;
  for (; k + 4 <= m; k += 4) {
    for (std::size_t l = 0; l < 4; ++l) part[l] += at(k + l);
  }
  for (; k < m; ++k) part[0] += at(k);
  return (part[0] + part[1]) + (part[2] + part[3]);
}

// A group's statistics; the mean about the pooled mean (unpaired).
struct Group {
  double mean = 0.0, sd = 0.0, med = 0.0, mad = 0.0;
};

// The pooled values of an unpaired test, sorted, and what a permutation sums
// over its x group: their deviations from the pooled mean, the squares of
// those, and twice their midranks (for delta, exact in integers).
struct Pool {
  std::vector<double> value, deviation, square;
  std::vector<std::int64_t> twice_midrank;
  double deviations = 0.0, squares = 0.0;
};

Pool pool_of(std::span<const double> x, std::span<const double> y) {
  Pool p;
  p.value.assign(x.begin(), x.end());
  p.value.insert(p.value.end(), y.begin(), y.end());
  std::sort(p.value.begin(), p.value.end());
  const std::size_t n = p.value.size();
  const double centre = std::accumulate(p.value.begin(), p.value.end(), 0.0) / static_cast<double>(n);
  for (double v : p.value) {
    p.deviation.push_back(v - centre);
    p.square.push_back((v - centre) * (v - centre));
    p.deviations += p.deviation.back();
    p.squares += p.square.back();
  }
  for (std::size_t i = 0, j = 0; i < n; i = j) {  // ties i .. j-1: midrank (i + 1 + j) / 2
    while (j < n && p.value[j] == p.value[i]) ++j;
    p.twice_midrank.insert(p.twice_midrank.end(), j - i, static_cast<std::int64_t>(i + 1 + j));
  }
  return p;
}

// The mean and sd of m values whose deviations from a centre sum to s and
// whose squared deviations sum to q.
void moments_from_sums(double s, double q, std::size_t m, Group& g) {
  g.mean = s / static_cast<double>(m);
  g.sd = m > 1 ? std::sqrt(std::max(q - s * g.mean, 0.0) / static_cast<double>(m - 1)) : 0.0;
}

// The median (and MAD, if asked) of the m members of `bits` among the sorted
// values, or of the m others: as med_mad gives them, read off the order (the
// deviations from the median grow outward from it on both sides: two
// ascending runs).
void order_statistics(std::span<const double> sorted, const numeric::RankedBits& bits, bool others, std::size_t m,
                      bool with_mad, Group& g) {
  const auto member = [&](std::size_t k) { return sorted[bits.select(k, others)]; };
  g.med = numeric::median_of_ranks(m, member);
  if (!with_mad) return;
  const double med = g.med;
  const auto at = static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), med) - sorted.begin());
  const std::size_t below = bits.rank(at, others);
  const auto left = [&](std::size_t t) { return med - member(below - t); };
  const auto right = [&](std::size_t u) { return member(below + 1 + u) - med; };
  g.mad = median_of_two(left, below, right, m - below) * numeric::mad_scale;
}

double unpaired_value(Statistic s, const Group& a, std::size_t n_x, const Group& b, std::size_t n_y, double delta) {
  switch (s) {
    case Statistic::mean_difference: return a.mean - b.mean;
    case Statistic::median_difference: return a.med - b.med;
    case Statistic::sd_difference: return a.sd - b.sd;
    case Statistic::mad_difference: return a.mad - b.mad;
    case Statistic::g: return hedges_g(a.mean, a.sd, n_x, b.mean, b.sd, n_y);
    case Statistic::delta: return delta;
    default: return std::nan("");
  }
}

double paired_value(Statistic s, const Group& d, std::size_t n) {
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

// Permutations drawn a chunk at a time (about 2^16 draws), each of `draws`
// draws, draw t of a chunk among first - (t mod cycle) values.
template <typename Each>
void in_chunks(std::size_t begin, std::size_t end, std::size_t draws, std::size_t first, std::size_t cycle,
               numeric::UniformState& g, const Each& each) {
  const std::size_t chunk = std::max<std::size_t>(1, (std::size_t{1} << 16) / draws);
  const numeric::PositionDrawer whole(chunk * draws, first, cycle);
  std::vector<std::uint32_t> positions(chunk * draws);
  for (std::size_t p = begin; p < end; p += chunk) {
    const std::size_t m = std::min(chunk, end - p);
    if (m == chunk) whole.draw(g, positions);
    else numeric::PositionDrawer(m * draws, first, cycle).draw(g, positions);
    for (std::size_t q = 0; q < m; ++q) each(positions.data() + q * draws);
  }
}

// Permutations [begin, end) of the pooled sorted values: the x group is a
// partial Fisher-Yates shuffle's first n_x positions, the shuffle undone
// after each, so that every permutation depends on its deviates alone.
void unpaired_block(const PermutationTest& t, const Pool& pool, Needs needs, std::size_t begin, std::size_t end,
                    numeric::UniformState& g, std::vector<std::int64_t>& reached) {
  const std::size_t n = pool.value.size(), n_x = t.x.size(), n_y = n - n_x;
  std::vector<std::uint32_t> index(n), swapped(n_x);
  std::iota(index.begin(), index.end(), 0u);
  numeric::RankedBits in_x(n);
  std::vector<double> values(t.statistics.size());
  in_chunks(begin, end, n_x, n, n_x, g, [&](const std::uint32_t* drawn) {
    for (std::size_t k = 0; k < n_x; ++k) {
      const std::size_t j = k + drawn[k];
      std::swap(index[k], index[j]);
      swapped[k] = static_cast<std::uint32_t>(j);
    }
    const double s_x = sum_in_four<double>(n_x, [&](std::size_t k) { return pool.deviation[index[k]]; });
    const double q_x = needs.sd ? sum_in_four<double>(n_x, [&](std::size_t k) { return pool.square[index[k]]; }) : 0.0;
    Group a, b;
    moments_from_sums(s_x, q_x, n_x, a);
    moments_from_sums(pool.deviations - s_x, pool.squares - q_x, n_y, b);
    if (needs.median) {
      for (std::size_t k = 0; k < n_x; ++k) in_x.set(index[k]);
      in_x.index();
      order_statistics(pool.value, in_x, false, n_x, needs.mad, a);
      order_statistics(pool.value, in_x, true, n_y, needs.mad, b);
      in_x.clear();
    }
    double delta = 0.0;
    if (needs.delta) {  // 2 U = twice x's rank sum less n_x (n_x + 1); delta = (2 U - n_x n_y) / (n_x n_y)
      const auto pairs = static_cast<std::int64_t>(n_x * n_y), m = static_cast<std::int64_t>(n_x);
      const std::int64_t u2 =
          sum_in_four<std::int64_t>(n_x, [&](std::size_t k) { return pool.twice_midrank[index[k]]; }) - m * (m + 1);
      delta = static_cast<double>(u2 - pairs) / (static_cast<double>(n_x) * static_cast<double>(n_y));
    }
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = unpaired_value(t.statistics[k], a, n_x, b, n_y, delta);
    count_reaching(values, t.observed, reached);
    for (std::size_t k = n_x; k-- > 0;) std::swap(index[k], index[swapped[k]]);
  });
}

// Sign flips [begin, end) of the differences: a draw of 1 flips one.
void paired_block(const PermutationTest& t, std::span<const double> d, Needs needs, std::size_t begin, std::size_t end,
                  numeric::UniformState& g, std::vector<std::int64_t>& reached) {
  const std::size_t n = d.size();
  std::vector<std::uint32_t> by_size(n);  // the differences in order of magnitude
  std::iota(by_size.begin(), by_size.end(), 0u);
  std::stable_sort(by_size.begin(), by_size.end(), [&](auto i, auto j) { return std::fabs(d[i]) < std::fabs(d[j]); });
  std::vector<double> flipped(n), values(t.statistics.size());
  in_chunks(begin, end, n, 2, 1, g, [&](const std::uint32_t* flip) {
    std::size_t negative = 0;
    for (std::size_t i = 0; i < n; ++i) {  // times 1 or -1: exact, and without a branch
      flipped[i] = d[i] * (1.0 - 2.0 * static_cast<double>(flip[i]));
      negative += flipped[i] < 0.0;
    }
    Group m;
    m.mean = sum_in_four<double>(n, [&](std::size_t i) { return flipped[i]; }) / static_cast<double>(n);
    if (needs.sd) {
      const auto square = [&](std::size_t i) { return (flipped[i] - m.mean) * (flipped[i] - m.mean); };
      m.sd = std::sqrt(sum_in_four<double>(n, square) / static_cast<double>(n - 1));
    }
    // In ascending order the negative values come first, the largest in
    // magnitude first; then the others, smallest first. Either way the
    // median's rank among its kind is small, so a walk from the smallest
    // magnitudes finds it soon.
    const auto kth = [&](std::size_t k) {
      const bool among_negative = k <= negative;
      std::size_t rank = among_negative ? negative - k + 1 : k - negative, j = 0;
      for (;; ++j) {
        if ((flipped[by_size[j]] < 0.0) == among_negative && --rank == 0) break;
      }
      return flipped[by_size[j]];
    };
    if (needs.median) m.med = numeric::median_of_ranks(n, kth);
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = paired_value(t.statistics[k], m, n);
    count_reaching(values, t.observed, reached);
  });
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
  std::vector<double> differences;
  Pool pool;
  if (t.paired) {
    for (std::size_t i = 0; i < t.x.size(); ++i) differences.push_back(t.x[i] - t.y[i]);
  } else {
    pool = pool_of(t.x, t.y);
  }
  const Needs needs = needs_of(t.statistics);
  numeric::UniformState g;
  g.initial_seed = -t.seed;
  numeric::init_uniform(g);
  numeric::skip_deviates(g, permutation_stream_offset);
  const auto count = static_cast<std::size_t>(t.permutations);
  std::vector<std::int64_t> reached(t.statistics.size(), 0);
  std::mutex adding;
  const auto block = [&](std::size_t begin, std::size_t end, numeric::UniformState& gen, bool) {
    std::vector<std::int64_t> mine(t.statistics.size(), 0);
    if (t.paired) paired_block(t, differences, needs, begin, end, gen, mine);
    else unpaired_block(t, pool, needs, begin, end, gen, mine);
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
