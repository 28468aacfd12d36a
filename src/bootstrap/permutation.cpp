#include "bootstrap/permutation.h"

#include <algorithm>
#include <bit>
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

// Which order statistics the statistics of a test need.
struct Needs {
  bool median = false, mad = false;
};

Needs needs_of(std::span<const Statistic> statistics) {
  Needs n;
  for (Statistic s : statistics) {
    n.median = n.median || s == Statistic::median_difference || s == Statistic::mad_difference ||
               s == Statistic::median;
    n.mad = n.mad || s == Statistic::mad_difference;
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

// A group's statistics; the mean about the pooled mean (unpaired).
struct Group {
  double mean = 0.0, sd = 0.0, med = 0.0, mad = 0.0;
};

// The pooled values of an unpaired test, sorted, and what a permutation sums
// over its x group, side by side for one read each: their deviations from
// the pooled mean, the squares of those, and twice their midranks (for
// delta, exact in integers).
struct Pool {
  struct Summand {
    double deviation, square;
    std::int64_t twice_midrank;
  };
  std::vector<double> value;
  std::vector<Summand> summand;
  double deviations = 0.0, squares = 0.0;
};

Pool pool_of(std::span<const double> x, std::span<const double> y) {
  Pool p;
  p.value.assign(x.begin(), x.end());
  p.value.insert(p.value.end(), y.begin(), y.end());
  std::sort(p.value.begin(), p.value.end());
  const std::size_t n = p.value.size();
  const double centre = std::accumulate(p.value.begin(), p.value.end(), 0.0) / static_cast<double>(n);
  for (std::size_t i = 0, j = 0; i < n; i = j) {  // ties i .. j-1: midrank (i + 1 + j) / 2
    while (j < n && p.value[j] == p.value[i]) ++j;
    for (std::size_t k = i; k < j; ++k) {
      const double e = p.value[k] - centre;
      p.summand.push_back({e, e * e, static_cast<std::int64_t>(i + 1 + j)});
      p.deviations += e;
      p.squares += e * e;
    }
  }
  return p;
}

// The mean and sd of m values whose deviations from a centre sum to s and
// whose squared deviations sum to q.
void moments_from_sums(double s, double q, std::size_t m, Group& g) {
  g.mean = s / static_cast<double>(m);
  g.sd = m > 1 ? std::sqrt(std::max(q - s * g.mean, 0.0) / static_cast<double>(m - 1)) : 0.0;
}

// The median (and MAD, if asked) of an ascending group of m values, value(k)
// its k-th (one-based) and below(v) how many of them are below v: as med_mad
// gives them, read off the order (the deviations from the median grow
// outward from it on both sides: two ascending runs).
template <typename Value, typename Below>
void order_statistics(std::size_t m, const Value& value, const Below& below_of, bool with_mad, Group& g) {
  g.med = numeric::median_of_ranks(m, value);
  if (!with_mad) return;
  const double med = g.med;
  const std::size_t below = below_of(med);
  const auto left = [&](std::size_t t) { return med - value(below - t); };
  const auto right = [&](std::size_t u) { return value(below + 1 + u) - med; };
  g.mad = median_of_two(left, below, right, m - below) * numeric::mad_scale;
}

// Up to this many pooled values the two groups are written out in order
// (a pass without branches), beyond it their order statistics are selected
// from the bit set of x's members.
constexpr std::size_t groups_written_up_to = 2048;

// The order statistics of x (the members of `in_x`) and y (the others) among
// the sorted pooled values; `written` has room for them.
void order_statistics(std::span<const double> sorted, numeric::RankedBits& in_x, bool with_mad, std::vector<double>& written,
                      Group& a, Group& b) {
  const std::size_t n = sorted.size(), n_x = in_x.members();
  if (n <= groups_written_up_to) {
    double* x = written.data();
    double* y = written.data() + n_x + 1;  // x's pass writes one beyond its members
    for (std::size_t i = 0, ix = 0, iy = 0; i < n; ++i) {
      const std::size_t member = in_x.has(i);
      x[ix] = sorted[i], y[iy] = sorted[i];
      ix += member, iy += 1 - member;
    }
    const auto below = [](const double* v, std::size_t m, double med) {
      return static_cast<std::size_t>(std::lower_bound(v, v + m, med) - v);
    };
    order_statistics(n_x, [&](std::size_t k) { return x[k - 1]; }, [&](double med) { return below(x, n_x, med); },
                     with_mad, a);
    order_statistics(n - n_x, [&](std::size_t k) { return y[k - 1]; },
                     [&](double med) { return below(y, n - n_x, med); }, with_mad, b);
    return;
  }
  for (const bool others : {false, true}) {
    const auto value = [&](std::size_t k) { return sorted[in_x.select(k, others)]; };
    const auto below = [&](double med) {
      return in_x.rank(static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), med) - sorted.begin()),
                       others);
    };
    order_statistics(others ? n - n_x : n_x, value, below, with_mad, others ? b : a);
  }
}

// A statistic of two groups; `correction` is Hedges' J for g, `delta`
// delta's value.
double unpaired_value(Statistic s, const Group& a, std::size_t n_x, const Group& b, std::size_t n_y, double correction,
                      double delta) {
  switch (s) {
    case Statistic::mean_difference: return a.mean - b.mean;
    case Statistic::median_difference: return a.med - b.med;
    case Statistic::sd_difference: return a.sd - b.sd;
    case Statistic::mad_difference: return a.mad - b.mad;
    case Statistic::g: return (a.mean - b.mean) / pooled_sd(a.sd, n_x, b.sd, n_y) * correction;
    case Statistic::delta: return delta;
    default: return std::nan("");
  }
}

double paired_value(Statistic s, const Group& d, double correction) {
  switch (s) {
    case Statistic::mean: return d.mean;
    case Statistic::median: return d.med;
    case Statistic::g: return d.mean / d.sd * correction;
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

// Permutations [begin, end), each from `per` values of a run that a drawer
// (drawer_of(count) for a run of count) writes, drawn a chunk of about 2^16
// values at a time.
template <typename DrawerOf, typename Each>
void in_chunks(std::size_t begin, std::size_t end, std::size_t per, const DrawerOf& drawer_of, numeric::UniformState& g,
               const Each& each) {
  const std::size_t chunk = std::min(std::max<std::size_t>(1, (std::size_t{1} << 16) / per), end - begin);
  const auto whole = drawer_of(chunk * per);
  std::vector<std::uint32_t> drawn(chunk * per);
  for (std::size_t p = begin; p < end; p += chunk) {
    const std::size_t m = std::min(chunk, end - p);
    if (m == chunk) whole.draw(g, drawn);
    else drawer_of(m * per).draw(g, drawn);
    for (std::size_t q = 0; q < m; ++q) each(drawn.data() + q * per);
  }
}

// Permutations [begin, end) of the pooled sorted values: the x group is a
// partial Fisher-Yates shuffle's first n_x positions, taken in one pass that
// also sums over them. Position k is not read again once step k has filled
// it, so only the entry drawn into it moves; those moved entries are put
// back after each permutation, which therefore depends on its deviates alone.
void unpaired_block(const PermutationTest& t, const Pool& pool, Needs needs, std::size_t begin, std::size_t end,
                    numeric::UniformState& g, std::vector<std::int64_t>& reached) {
  const std::size_t n = pool.value.size(), n_x = t.x.size(), n_y = n - n_x;
  const double correction = hedges_correction(static_cast<double>(n) - 2.0);
  std::vector<std::uint32_t> index(n), moved(n_x);
  std::iota(index.begin(), index.end(), 0u);
  numeric::RankedBits in_x(n);
  std::vector<double> values(t.statistics.size()), written(n <= groups_written_up_to ? n + 2 : 0);
  const auto shuffle_draws = [&](std::size_t count) { return numeric::PositionDrawer(count, n, n_x); };
  in_chunks(begin, end, n_x, shuffle_draws, g, [&](const std::uint32_t* drawn) {
    double s[2] = {}, q[2] = {};  // two interleaved parts each
    std::int64_t ranks = 0;
    const auto take = [&](std::size_t k, std::size_t part) {
      const std::size_t j = k + drawn[k];
      const std::uint32_t chosen = index[j];
      index[j] = index[k];
      moved[k] = static_cast<std::uint32_t>(j);
      in_x.set(chosen);
      const Pool::Summand& e = pool.summand[chosen];
      s[part] += e.deviation;
      q[part] += e.square;
      ranks += e.twice_midrank;
    };
    std::size_t k = 0;
    for (; k + 2 <= n_x; k += 2) take(k, 0), take(k + 1, 1);
    if (k < n_x) take(k, 0);
    const double s_x = s[0] + s[1], q_x = q[0] + q[1];
    Group a, b;
    moments_from_sums(s_x, q_x, n_x, a);
    moments_from_sums(pool.deviations - s_x, pool.squares - q_x, n_y, b);
    if (needs.median) {
      in_x.index();
      order_statistics(pool.value, in_x, needs.mad, written, a, b);
    }
    in_x.clear();
    // 2 U = twice x's rank sum less n_x (n_x + 1); delta = (2 U - n_x n_y) / (n_x n_y)
    const auto m = static_cast<std::int64_t>(n_x), pairs = m * static_cast<std::int64_t>(n_y);
    const double delta =
        static_cast<double>(ranks - m * (m + 1) - pairs) / (static_cast<double>(n_x) * static_cast<double>(n_y));
    for (std::size_t v = 0; v < values.size(); ++v) {
      values[v] = unpaired_value(t.statistics[v], a, n_x, b, n_y, correction, delta);
    }
    count_reaching(values, t.observed, reached);
    for (std::uint32_t j : moved) index[j] = j;
  });
}

// The differences of a paired test, padded with zeros to whole words of
// signs, and what the sign flips read: the sums of every subset of each
// group of five (sums[32 g + mask]: the differences 5 g + b for the bits b
// of mask, added in order), their total and sum of squares, which bits of
// each word are negative and which non-zero, and the order of the
// differences by magnitude.
struct Differences {
  static constexpr std::size_t group = 5, subsets = 32;  // six groups a word
  std::vector<double> d, sums;
  std::vector<std::uint32_t> negative, nonzero, by_size;
  double total = 0.0, squares = 0.0;
};

Differences differences_of(std::span<const double> x, std::span<const double> y) {
  Differences f;
  const std::size_t words = permutation_deviates(x.size(), y.size(), true);
  f.d.assign(words * signs_per_word, 0.0);
  for (std::size_t i = 0; i < x.size(); ++i) f.d[i] = x[i] - y[i];
  f.total = std::accumulate(f.d.begin(), f.d.end(), 0.0);
  for (double v : f.d) f.squares += v * v;
  for (std::size_t g0 = 0; g0 < f.d.size(); g0 += Differences::group) {
    for (std::uint32_t mask = 0; mask < Differences::subsets; ++mask) {
      double sum = 0.0;
      for (std::size_t b = 0; b < Differences::group; ++b) sum += (mask >> b & 1u) != 0 ? f.d[g0 + b] : 0.0;
      f.sums.push_back(sum);
    }
  }
  f.negative.assign(words, 0);
  f.nonzero.assign(words, 0);
  for (std::size_t i = 0; i < f.d.size(); ++i) {
    f.negative[i / signs_per_word] |= std::uint32_t{f.d[i] < 0.0} << (i % signs_per_word);
    f.nonzero[i / signs_per_word] |= std::uint32_t{f.d[i] != 0.0} << (i % signs_per_word);
  }
  f.by_size.resize(x.size());
  std::iota(f.by_size.begin(), f.by_size.end(), 0u);
  std::stable_sort(f.by_size.begin(), f.by_size.end(),
                   [&](auto i, auto j) { return std::fabs(f.d[i]) < std::fabs(f.d[j]); });
  return f;
}

// Sign flips [begin, end) of the differences: difference i is flipped
// where bit 1 + i mod 30 of the permutation's word i / 30 is set. The flipped
// differences sum to the total less twice the flipped subsets' sums.
void paired_block(const PermutationTest& t, const Differences& f, Needs needs, std::size_t begin, std::size_t end,
                  numeric::UniformState& g, std::vector<std::int64_t>& reached) {
  const std::size_t n = t.x.size(), words = f.negative.size();
  const double correction = hedges_correction(static_cast<double>(n) - 1.0);
  std::vector<double> values(t.statistics.size());
  const auto word_draws = [](std::size_t count) { return numeric::WordDrawer(count); };
  in_chunks(begin, end, words, word_draws, g, [&](const std::uint32_t* word) {
    double part[4] = {};
    std::size_t negative = 0;
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint32_t bits = word[w] >> 1;
      negative += static_cast<std::size_t>(std::popcount((bits ^ f.negative[w]) & f.nonzero[w]));
      for (std::size_t q = 0; q < signs_per_word / Differences::group; ++q) {
        const std::size_t group = w * (signs_per_word / Differences::group) + q;
        part[group % 4] += f.sums[Differences::subsets * group + (bits >> (Differences::group * q) & 31u)];
      }
    }
    const auto flipped = [&](std::size_t i) {
      return (word[i / signs_per_word] >> (1 + i % signs_per_word) & 1u) != 0 ? -f.d[i] : f.d[i];
    };
    Group m;
    m.mean = (f.total - 2.0 * ((part[0] + part[1]) + (part[2] + part[3]))) / static_cast<double>(n);
    // The flipped values' squares are the differences' own: the squared
    // deviations from their mean sum to that sum less n mean^2.
    m.sd = std::sqrt(std::max(f.squares - static_cast<double>(n) * m.mean * m.mean, 0.0) / static_cast<double>(n - 1));
    // In ascending order the negative values come first, the largest in
    // magnitude first; then the others, smallest first. Either way the
    // median's rank among its kind is small, so a walk from the smallest
    // magnitudes finds it soon.
    const auto kth = [&](std::size_t k) {
      const bool among_negative = k <= negative;
      std::size_t rank = among_negative ? negative - k + 1 : k - negative, j = 0;
      for (;; ++j) {
        if ((flipped(f.by_size[j]) < 0.0) == among_negative && --rank == 0) break;
      }
      return flipped(f.by_size[j]);
    };
    if (needs.median) m.med = numeric::median_of_ranks(n, kth);
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = paired_value(t.statistics[k], m, correction);
    count_reaching(values, t.observed, reached);
  });
}

}  // namespace

std::uint64_t permutation_deviates(std::size_t n_x, std::size_t n_y, bool paired) {
  if (paired) return (n_x + signs_per_word - 1) / signs_per_word;
  std::uint64_t deviates = 0;
  for (std::size_t k = 0; k < n_x; ++k) {
    deviates += n_x + n_y - k <= numeric::largest_single_deviate_resample ? 1 : 2;
  }
  return deviates;
}

std::vector<double> permutation_p_values(const PermutationTest& t) {
  Differences differences;
  Pool pool;
  if (t.paired) differences = differences_of(t.x, t.y);
  else pool = pool_of(t.x, t.y);
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
