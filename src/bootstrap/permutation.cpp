#include "bootstrap/permutation.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
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

// Permutations between two looks at a stop request: about 2^22 values
// permuted, some milliseconds of work.
std::size_t stop_piece(std::size_t n_x, std::size_t n_y) {
  return std::max<std::size_t>(1, (std::size_t{1} << 22) / (n_x + n_y));
}

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
  return numeric::midpoint(kth, next);
}

// A group's statistics; the mean about the pooled mean (unpaired).
struct Group {
  double mean = 0.0, sd = 0.0, med = 0.0, mad = 0.0;
};

// The pooled values of an unpaired test, sorted, and what a permutation sums
// over a group: their deviations from the pooled mean (and the squares of
// those) and twice their midranks (for delta, exact in integers).
struct Pool {
  std::vector<double> value, deviation;
  std::vector<std::uint32_t> twice_midrank;
  double deviations = 0.0, squares = 0.0;
  double centre = 0.0;  // the pooled mean the deviations are taken from
};

Pool pool_of(std::span<const double> x, std::span<const double> y) {
  Pool p;
  p.value.assign(x.begin(), x.end());
  p.value.insert(p.value.end(), y.begin(), y.end());
  std::sort(p.value.begin(), p.value.end());
  const std::size_t n = p.value.size();
  const double centre = std::accumulate(p.value.begin(), p.value.end(), 0.0) / static_cast<double>(n);
  p.centre = centre;
  for (std::size_t i = 0, j = 0; i < n; i = j) {  // ties i .. j-1: midrank (i + 1 + j) / 2
    while (j < n && p.value[j] == p.value[i]) ++j;
    for (std::size_t k = i; k < j; ++k) {
      const double e = p.value[k] - centre;
      p.deviation.push_back(e);
      p.twice_midrank.push_back(static_cast<std::uint32_t>(i + 1 + j));
      p.deviations += e;
      p.squares += e * e;
    }
  }
  const std::size_t whole = (n + 63) / 64 * 64;  // zeros to whole words of bits
  p.deviation.resize(whole, 0.0);
  p.twice_midrank.resize(whole, 0);
  return p;
}

// What a permutation sums over one group's members.
struct Sums {
  double deviations = 0.0, squares = 0.0;
  std::int64_t twice_ranks = 0;
};

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
    std::size_t ix = 0;  // x's values so far; y's are the others
    for (std::size_t w = 0; w < in_x.words(); ++w) {
      std::uint64_t bits = in_x.word(w);
      for (std::size_t i = 64 * w; i < std::min(n, 64 * w + 64); ++i, bits >>= 1) {
        x[ix] = sorted[i], y[i - ix] = sorted[i];
        ix += bits & 1u;
      }
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

// A statistic of two groups, their means taken about `centre`; `correction`
// is Hedges' J for g, `delta` delta's value.
double unpaired_value(Statistic s, const Group& a, std::size_t n_x, const Group& b, std::size_t n_y, double correction,
                      double delta, double centre) {
  switch (s) {
    case Statistic::mean_difference: return a.mean - b.mean;
    case Statistic::median_difference: return a.med - b.med;
    case Statistic::sd_difference: return a.sd - b.sd;
    case Statistic::mad_difference: return a.mad - b.mad;
    case Statistic::g: return (a.mean - b.mean) / pooled_sd(a.sd, n_x, b.sd, n_y) * correction;
    case Statistic::delta: return delta;
    case Statistic::lift: return (a.mean - b.mean) / (centre + b.mean);
    case Statistic::h: return cohens_h(centre + a.mean, centre + b.mean);
    default: return std::nan("");
  }
}

// A statistic of the flipped differences d; `mean_y` is the mean of the
// pairs' second halves once flipped (lift's reference).
double paired_value(Statistic s, const Group& d, double correction, double mean_y) {
  switch (s) {
    case Statistic::lift: return d.mean / mean_y;
    case Statistic::h: return cohens_h(d.mean + mean_y, mean_y);
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

// The statistics of each permutation of an unpaired test, counted where
// they reach the observed values, from the sums over one group (x's, or y's
// where `members_are_y`) and that group's members among the sorted pooled
// values.
class UnpairedCount {
 public:
  UnpairedCount(const PermutationTest& t, const Pool& pool, Needs needs)
      : t_(t), pool_(pool), needs_(needs), n_x_(t.x.size()), n_y_(t.y.size()),
        correction_(hedges_correction(static_cast<double>(n_x_ + n_y_) - 2.0)), values_(t.statistics.size()),
        written_(n_x_ + n_y_ <= groups_written_up_to ? n_x_ + n_y_ + 2 : 0) {}

  void add(const Sums& members, numeric::RankedBits& in_group, bool members_are_y, std::vector<std::int64_t>& reached) {
    const std::size_t m = members_are_y ? n_y_ : n_x_, others = n_x_ + n_y_ - m;
    Group a, b;  // the members' group, the others'
    moments_from_sums(members.deviations, members.squares, m, a);
    moments_from_sums(pool_.deviations - members.deviations, pool_.squares - members.squares, others, b);
    if (needs_.median) {
      in_group.index();
      order_statistics(pool_.value, in_group, needs_.mad, written_, a, b);
    }
    if (members_are_y) std::swap(a, b);
    // 2 U = twice x's rank sum less n_x (n_x + 1); delta = (2 U - n_x n_y) / (n_x n_y)
    const auto n = static_cast<std::int64_t>(n_x_ + n_y_), k = static_cast<std::int64_t>(n_x_);
    const std::int64_t ranks = members_are_y ? n * (n + 1) - members.twice_ranks : members.twice_ranks;
    const double delta = static_cast<double>(ranks - k * (k + 1) - k * static_cast<std::int64_t>(n_y_)) /
                         (static_cast<double>(n_x_) * static_cast<double>(n_y_));
    for (std::size_t v = 0; v < values_.size(); ++v) {
      values_[v] = unpaired_value(t_.statistics[v], a, n_x_, b, n_y_, correction_, delta, pool_.centre);
    }
    count_reaching(values_, t_.observed, reached);
  }

 private:
  const PermutationTest& t_;
  const Pool& pool_;
  Needs needs_;
  std::size_t n_x_, n_y_;
  double correction_;
  std::vector<double> values_, written_;
};

bool with_delta(std::span<const Statistic> statistics) {
  return std::find(statistics.begin(), statistics.end(), Statistic::delta) != statistics.end();
}

// Permutations [begin, end) by a partial Fisher-Yates shuffle of the pooled
// sorted values: the smaller group (x where the two are equal) is the first
// positions, taken in one pass that also sums over them. Position k is not
// read again once step k has filled it, so only the entry drawn into it
// moves; those moved entries are put back after each permutation, which
// therefore depends on its deviates alone.
void shuffled_block(const PermutationTest& t, const Pool& pool, Needs needs, std::size_t begin, std::size_t end,
                    numeric::UniformState& g, std::vector<std::int64_t>& reached) {
  const std::size_t n = pool.value.size(), m = std::min(t.x.size(), t.y.size());
  const bool members_are_y = t.y.size() < t.x.size(), ranked = with_delta(t.statistics);
  std::vector<std::uint32_t> index(n), moved(m);
  std::iota(index.begin(), index.end(), 0u);
  numeric::RankedBits members(n);
  UnpairedCount counter(t, pool, needs);
  const auto shuffle_draws = [&](std::size_t count) { return numeric::PositionDrawer(count, n, m); };
  in_chunks(begin, end, m, shuffle_draws, g, [&](const std::uint32_t* drawn) {
    double s[2] = {}, q[2] = {};  // two interleaved parts each
    std::int64_t ranks = 0;
    const auto take = [&](std::size_t k, std::size_t part) {
      const std::size_t j = k + drawn[k];
      const std::uint32_t chosen = index[j];
      index[j] = index[k];
      moved[k] = static_cast<std::uint32_t>(j);
      members.set(chosen);
      const double e = pool.deviation[chosen];
      s[part] += e;
      q[part] += e * e;
      if (ranked) ranks += pool.twice_midrank[chosen];
    };
    std::size_t k = 0;
    for (; k + 2 <= m; k += 2) take(k, 0), take(k + 1, 1);
    if (k < m) take(k, 0);
    counter.add({s[0] + s[1], q[0] + q[1], ranks}, members, members_are_y, reached);
    members.clear();
    for (std::uint32_t j : moved) index[j] = j;
  });
}

// Moves random members of `set` (or of its complement, while it has too
// few) across until it has `wanted` members, at positions drawn by
// exact_uniform_position from g; `members` follows.
void even_out(numeric::RankedBits& set, std::size_t n, std::size_t& members, std::size_t wanted,
              numeric::UniformState& g) {
  while (members != wanted) {
    const std::size_t p = numeric::exact_uniform_position(g, n);
    const bool add = members < wanted;
    if (set.has(p) == static_cast<std::size_t>(add)) continue;
    if (add) set.set(p), ++members;
    else set.reset(p), --members;
  }
}

// Four doubles side by side, and masks that keep some of them.
using Quad = double __attribute__((vector_size(32)));
using QuadMask = std::uint64_t __attribute__((vector_size(32)));

// Lane l of kept[bits] keeps a double where bit l of bits is set.
constexpr std::array<QuadMask, 16> kept = [] {
  std::array<QuadMask, 16> k{};
  for (std::uint64_t bits = 0; bits < 16; ++bits) {
    const auto lane = [&](unsigned l) { return 0 - (bits >> l & 1u); };
    k[bits] = QuadMask{lane(0), lane(1), lane(2), lane(3)};
  }
  return k;
}();

// The sums over the members of `in`: every position in turn, its terms
// masked out unless it is a member (the pool padded to whole words), in four
// interleaved parts (position i in part i mod 4, so that the additions need
// not wait for one another) added pairwise at the end.
__attribute__((target_clones("avx2", "default")))
Sums sums_over(const Pool& pool, const numeric::RankedBits& in, bool ranked) {
  Quad s{}, q{};
  std::int64_t ranks = 0;
  for (std::size_t w = 0; w < in.words(); ++w) {
    const std::uint64_t bits = in.word(w);
    const double* e = pool.deviation.data() + 64 * w;
    for (std::size_t b = 0; b < 64; b += 4) {
      Quad v;
      std::memcpy(&v, e + b, sizeof v);
      v = reinterpret_cast<Quad>(reinterpret_cast<QuadMask>(v) & kept[bits >> b & 15u]);
      s += v;
      q += v * v;
    }
    if (!ranked) continue;
    for (std::size_t b = 0; b < 64; ++b) ranks += (bits >> b & 1u) * pool.twice_midrank[64 * w + b];
  }
  return {(s[0] + s[1]) + (s[2] + s[3]), (q[0] + q[1]) + (q[2] + q[3]), ranks};
}

// Bits 64 w .. 64 w + 63 (none at or beyond n) of the positions' bits, 30 a
// word: position i's is bit 1 + i mod 30 of word i / 30.
std::uint64_t bits_of_word(const std::uint32_t* word, std::size_t w, std::size_t n) {
  const std::size_t first = 64 * w, last = std::min(first + 64, n);
  std::uint64_t bits = 0;
  for (std::size_t c = first / signs_per_word; signs_per_word * c < last; ++c) {
    const std::uint64_t chunk = word[c] >> 1;
    const std::size_t at = signs_per_word * c;
    bits |= at >= first ? chunk << (at - first) : chunk >> (first - at);
  }
  return last - first == 64 ? bits : bits & ((std::uint64_t{1} << (last - first)) - 1);
}

// Permutations [begin, end) as random halves evened out: x's members are
// first the positions whose bit is set (bit 1 + i mod 30 of the
// permutation's word i / 30, each position in with probability 1/2), then,
// until there are n_x, members are dropped or others added at exactly
// uniform random positions from the evening stream (a part of
// evening_deviates for each permutation). By symmetry every choice of n_x
// positions is equally likely.
void halved_block(const PermutationTest& t, const Pool& pool, Needs needs, std::size_t begin, std::size_t end,
                  numeric::UniformState& g, std::vector<std::int64_t>& reached) {
  const std::size_t n = pool.value.size(), n_x = t.x.size();
  const bool ranked = with_delta(t.statistics);
  numeric::RankedBits in_x(n);
  UnpairedCount counter(t, pool, needs);
  numeric::UniformState evening = permutation_stream(t.seed, evening_stream_offset + begin * evening_deviates);
  const numeric::Jump next_part(evening_deviates);
  const auto word_draws = [](std::size_t count) { return numeric::WordDrawer(count); };
  in_chunks(begin, end, permutation_deviates(n_x, t.y.size(), false), word_draws, g, [&](const std::uint32_t* word) {
    std::size_t members = 0;
    for (std::size_t w = 0; w < in_x.words(); ++w) members += in_x.assign_word(w, bits_of_word(word, w, n));
    numeric::UniformState part = evening;
    next_part.apply(evening);
    even_out(in_x, n, members, n_x, part);
    counter.add(sums_over(pool, in_x, ranked), in_x, false, reached);
  });
}

// Whether an unpaired test draws halves (the groups within a factor two of
// each other) rather than shuffling.
bool draws_halves(std::size_t n_x, std::size_t n_y) { return std::max(n_x, n_y) <= 2 * std::min(n_x, n_y); }

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
  double mean_d = 0.0, mean_y = 0.0;  // of the differences and of y, unflipped
};

Differences differences_of(std::span<const double> x, std::span<const double> y) {
  Differences f;
  const std::size_t words = permutation_deviates(x.size(), y.size(), true);
  f.d.assign(words * signs_per_word, 0.0);
  for (std::size_t i = 0; i < x.size(); ++i) f.d[i] = x[i] - y[i];
  f.total = std::accumulate(f.d.begin(), f.d.end(), 0.0);
  for (double v : f.d) f.squares += v * v;
  f.mean_d = f.total / static_cast<double>(x.size());
  f.mean_y = std::accumulate(y.begin(), y.end(), 0.0) / static_cast<double>(y.size());
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
    // A flip swaps a pair's halves: its second half gains the difference
    // it loses, so the second halves' mean moves by half the mean's change.
    const double mean_y = f.mean_y + (f.mean_d - m.mean) / 2.0;
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = paired_value(t.statistics[k], m, correction, mean_y);
    count_reaching(values, t.observed, reached);
  });
}

}  // namespace

numeric::UniformState permutation_stream(std::int32_t seed, std::uint64_t offset) {
  numeric::UniformState g;
  g.initial_seed = -seed;
  numeric::init_uniform(g);
  numeric::skip_deviates(g, offset);
  return g;
}

std::uint64_t permutation_deviates(std::size_t n_x, std::size_t n_y, bool paired) {
  if (paired) return (n_x + signs_per_word - 1) / signs_per_word;
  if (draws_halves(n_x, n_y)) return (n_x + n_y + signs_per_word - 1) / signs_per_word;
  std::uint64_t deviates = 0;
  for (std::size_t k = 0; k < std::min(n_x, n_y); ++k) {
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
  numeric::UniformState g = permutation_stream(t.seed, permutation_stream_offset);
  const auto count = static_cast<std::size_t>(t.permutations);
  std::vector<std::int64_t> reached(t.statistics.size(), 0);
  std::mutex adding;
  const std::uint64_t per_permutation = permutation_deviates(t.x.size(), t.y.size(), t.paired);
  const auto run = [&](std::size_t begin, std::size_t end, numeric::UniformState& gen, std::vector<std::int64_t>& mine) {
    if (t.paired) paired_block(t, differences, needs, begin, end, gen, mine);
    else if (draws_halves(t.x.size(), t.y.size())) halved_block(t, pool, needs, begin, end, gen, mine);
    else shuffled_block(t, pool, needs, begin, end, gen, mine);
  };
  const auto block = [&](std::size_t begin, std::size_t end, numeric::UniformState& gen, bool) {
    std::vector<std::int64_t> mine(t.statistics.size(), 0);
    if (t.progress == nullptr) {
      run(begin, end, gen, mine);
    } else {
      // Pieces that start where the one stream has them, with a look at the
      // stop request between them.
      const std::size_t n = t.x.size() + t.y.size(), piece_size = stop_piece(t.x.size(), t.y.size());
      for (std::size_t first = begin; first < end; first += piece_size) {
        t.progress->check();
        numeric::UniformState piece = gen;
        numeric::skip_deviates(piece, (first - begin) * per_permutation);
        const std::size_t last = std::min(end, first + piece_size);
        run(first, last, piece, mine);
        t.progress->add((last - first) * n);
      }
    }
    const std::lock_guard<std::mutex> lock(adding);
    for (std::size_t k = 0; k < mine.size(); ++k) reached[k] += mine[k];
  };
  replicate_in_blocks(g, count, per_permutation, t.threads, block);
  std::vector<double> p(t.statistics.size());
  for (std::size_t k = 0; k < p.size(); ++k) {
    p[k] = std::isnan(t.observed[k]) ? t.observed[k] : static_cast<double>(1 + reached[k]) / static_cast<double>(count + 1);
  }
  return p;
}

}  // namespace diffboot::bootstrap
