#include "bootstrap/clusters.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "bootstrap/acceleration.h"
#include "bootstrap/blocks.h"
#include "bootstrap/effect_sizes.h"
#include "bootstrap/resample_stats.h"
#include "numeric/accurate_sum.h"
#include "numeric/plain_order.h"
#include "numeric/quantiles.h"
#include "numeric/random.h"
#include "numeric/sorting.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// The values of each cluster together, in the sample's order: cluster u's
// are grouped[begin[u] .. begin[u + 1]), their positions in the sample
// position[begin[u] .. begin[u + 1]).
struct Grouped {
  std::vector<std::size_t> begin;
  std::vector<double> values;
  std::vector<std::uint32_t> position;
  std::size_t clusters() const { return begin.size() - 1; }
  std::size_t size(std::size_t u) const { return begin[u + 1] - begin[u]; }
};

Grouped grouped(const ClusteredSample& s) {
  if (s.cluster.size() != s.values.size()) throw std::invalid_argument("the clusters: one for each value");
  const std::size_t m = cluster_count(s);
  Grouped g;
  g.begin.assign(m + 1, 0);
  for (std::uint32_t c : s.cluster) ++g.begin[c + 1];
  for (std::size_t u = 0; u < m; ++u) {
    if (g.begin[u + 1] == 0) throw std::invalid_argument("the clusters: a cluster number without values");
    g.begin[u + 1] += g.begin[u];
  }
  g.values.resize(s.values.size());
  g.position.resize(s.values.size());
  std::vector<std::size_t> next(g.begin.begin(), g.begin.end() - 1);
  for (std::size_t i = 0; i < s.values.size(); ++i) {
    const std::size_t at = next[s.cluster[i]]++;
    g.values[at] = s.values[i];
    g.position[at] = static_cast<std::uint32_t>(i);
  }
  return g;
}

// The sample sorted (a negative zero read as +0, as sorted_for_quantiles
// gives it), and for each cluster the ranks of its values in that order,
// ascending: rank[begin[u] .. begin[u + 1]) of Grouped's begin.
struct SortedClusters {
  std::vector<double> sorted;
  std::vector<std::uint32_t> rank;
};

SortedClusters sorted_clusters(const ClusteredSample& s, const Grouped& g) {
  const std::size_t n = s.values.size();
  std::vector<std::uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [&s](std::uint32_t a, std::uint32_t b) { return s.values[a] + 0.0 < s.values[b] + 0.0; });
  SortedClusters out{std::vector<double>(n), std::vector<std::uint32_t>(n)};
  std::vector<std::uint32_t> rank_of(n);
  for (std::size_t r = 0; r < n; ++r) {
    out.sorted[r] = s.values[order[r]] + 0.0;  // -0 + 0 is +0
    rank_of[order[r]] = static_cast<std::uint32_t>(r);
  }
  for (std::size_t u = 0; u < g.clusters(); ++u) {
    for (std::size_t j = g.begin[u]; j < g.begin[u + 1]; ++j) out.rank[j] = rank_of[g.position[j]];
    std::sort(out.rank.begin() + static_cast<std::ptrdiff_t>(g.begin[u]),
              out.rank.begin() + static_cast<std::ptrdiff_t>(g.begin[u + 1]));
  }
  return out;
}

// The k-th smallest (one-based) of `sorted` without the ranks `left_out`
// (ascending): each left-out rank at or below the candidate moves it up one.
double kth_without(std::span<const double> sorted, std::span<const std::uint32_t> left_out, std::size_t k) {
  std::size_t j = k - 1;
  for (std::uint32_t r : left_out) {
    if (r > j) break;
    ++j;
  }
  return sorted[j];
}

// Means and standard deviations of every column by accurate sums about the
// sample mean c: the column without cluster u sums to S − Σ_u x, its
// deviations to P1 − Σ_u (x − c) and their squares to P2 − Σ_u (x − c)².
void means_and_deviations(const ClusteredSample& s, const Grouped& g, bool spread, LeaveOneOut& out) {
  const numeric::AccurateSum total = numeric::accurate_sum(s.values);
  const double c = total.value() / static_cast<double>(s.values.size());
  numeric::AccurateSum p1, p2;
  for (double v : s.values) p1.add(v - c), p2.add((v - c) * (v - c));
  const bool finite = std::all_of(s.values.begin(), s.values.end(), [](double v) { return std::isfinite(v); });
  std::vector<double> column;
  for (std::size_t u = 0; u < g.clusters(); ++u) {
    numeric::AccurateSum sum = total, deviations = p1, squares = p2;
    for (std::size_t j = g.begin[u]; j < g.begin[u + 1]; ++j) {
      const double d = g.values[j] - c;
      sum.add(-g.values[j]), deviations.add(-d), squares.add(-d * d);
    }
    const auto n = static_cast<double>(s.values.size() - g.size(u));
    out.ave[u] = sum.value() / n;
    if (spread) {
      const double ep = deviations.value();
      out.std[u] = std::sqrt(std::max((squares.value() - ep * ep / n) / (n - 1.0), 0.0));
    }
    if (!finite || (std::isfinite(out.ave[u]) && (!spread || std::isfinite(out.std[u])))) continue;
    // Sums beyond the largest double from finite values: the column itself.
    column.clear();
    for (std::size_t i = 0; i < s.values.size(); ++i) {
      if (s.cluster[i] != u) column.push_back(s.values[i]);
    }
    const numeric::MeanSd m = numeric::mean_and_sd(column);
    out.ave[u] = m.ave;
    if (spread) out.std[u] = m.sd;
  }
}

// Medians and MADs of every column from the sorted sample: a column's
// median is read off it past the cluster's ranks; the columns of one median
// share the absolute deviations from it in ascending order.
void medians(const Grouped& g, const SortedClusters& o, bool spread, LeaveOneOut& out) {
  const std::size_t n = o.sorted.size();
  const auto ranks = [&](std::size_t u) {
    return std::span<const std::uint32_t>(o.rank).subspan(g.begin[u], g.size(u));
  };
  std::vector<std::uint64_t> distinct;
  for (std::size_t u = 0; u < g.clusters(); ++u) {
    out.med[u] = numeric::median_of_ranks(n - g.size(u), [&](std::size_t k) { return kth_without(o.sorted, ranks(u), k); });
    const auto bits = std::bit_cast<std::uint64_t>(out.med[u]);
    if (std::find(distinct.begin(), distinct.end(), bits) == distinct.end()) distinct.push_back(bits);
  }
  if (!spread) return;
  std::vector<double> deviations(n);
  std::vector<std::uint32_t> deviation_rank(n), left_out;
  for (std::uint64_t bits : distinct) {
    const double med = std::bit_cast<double>(bits);
    // Two runs growing outward from med, merged.
    std::size_t right = static_cast<std::size_t>(std::lower_bound(o.sorted.begin(), o.sorted.end(), med) - o.sorted.begin());
    std::size_t left = right;
    for (std::size_t t = 0; t < n; ++t) {
      const bool from_left =
          left > 0 && (right == n || std::fabs(o.sorted[left - 1] - med) <= std::fabs(o.sorted[right] - med));
      const std::size_t r = from_left ? --left : right++;
      deviations[t] = std::fabs(o.sorted[r] - med);
      deviation_rank[r] = static_cast<std::uint32_t>(t);
    }
    for (std::size_t u = 0; u < g.clusters(); ++u) {
      if (std::bit_cast<std::uint64_t>(out.med[u]) != bits) continue;
      left_out.clear();
      for (std::uint32_t r : ranks(u)) left_out.push_back(deviation_rank[r]);
      std::sort(left_out.begin(), left_out.end());
      out.mad[u] = numeric::median_of_ranks(n - g.size(u), [&](std::size_t k) {
                     return kth_without(deviations, left_out, k);
                   }) *
                   numeric::mad_scale;
    }
  }
}

// Medians and MADs by med_mad on each column, for samples holding NaN,
// which sorting cannot place.
void medians_by_column(const ClusteredSample& s, std::size_t m, LeaveOneOut& out, bool spread) {
  std::vector<double> column, work;
  for (std::size_t u = 0; u < m; ++u) {
    column.clear();
    for (std::size_t i = 0; i < s.values.size(); ++i) {
      if (s.cluster[i] != u) column.push_back(s.values[i]);
    }
    double mad = 0.0;
    numeric::med_mad(column, out.med[u], mad, work);
    if (spread) out.mad[u] = mad;
  }
}

LeaveOneOut columns_of(const ClusteredSample& s, const Grouped& g, Spread wanted) {
  const bool spread = wanted == Spread::with;
  const std::size_t m = g.clusters();
  LeaveOneOut out{std::vector<double>(m), std::vector<double>(spread ? m : 0), std::vector<double>(m),
                  std::vector<double>(spread ? m : 0)};
  means_and_deviations(s, g, spread, out);
  if (std::any_of(s.values.begin(), s.values.end(), [](double v) { return std::isnan(v); })) {
    medians_by_column(s, m, out, spread);
  } else {
    medians(g, sorted_clusters(s, g), spread, out);
  }
  return out;
}

// Each value's count of values of `other` (sorted) below it minus above it.
std::int64_t below_minus_above(double v, std::span<const double> other) {
  const auto below = std::lower_bound(other.begin(), other.end(), v) - other.begin();
  const auto above = other.end() - std::upper_bound(other.begin(), other.end(), v);
  return below - above;
}

// A sample laid out once for every replication: its clusters' values
// together, and where its values have a plain order, the sample sorted with
// the cluster of each sorted value, off which the order statistics of a
// resample are read from the draws' counts.
struct Layout {
  Grouped groups;
  bool plain = false;
  std::vector<double> sorted;
  std::vector<std::uint32_t> sorted_cluster;
};

Layout layout_of(const ClusteredSample& s) {
  Layout l;
  l.groups = grouped(s);
  l.plain = numeric::has_plain_order(s.values);
  if (!l.plain) return l;
  std::vector<std::uint32_t> order(s.values.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&s](std::uint32_t a, std::uint32_t b) { return s.values[a] < s.values[b]; });
  for (std::uint32_t i : order) l.sorted.push_back(s.values[i]), l.sorted_cluster.push_back(s.cluster[i]);
  return l;
}

// The resamples of one sample on one thread: a replication's clusters drawn
// (as a plain resample of that many values draws its positions), their
// values gathered in draw order and summed in that order as ave_var sums;
// the order statistics read off the sorted sample, each value counted as
// often as its cluster was drawn (the same doubles as med_mad on the
// resample), or by med_mad where the values have no plain order.
class ClusterResampler {
 public:
  explicit ClusterResampler(const Layout& l) : l_(&l), drawer_(l.groups.clusters()) {}

  ResampleStats draw(numeric::UniformState& g, Wanted wanted) {
    const Grouped& groups = l_->groups;
    const std::size_t m = groups.clusters();
    drawn_.resize(m);
    drawer_.draw(g, drawn_);
    const bool counting = wanted.order && l_->plain;
    if (counting) count_.assign(m, 0);
    counted_ = false;
    resample_.clear();
    double sum = 0.0;
    for (std::size_t i = 0; i < m; ++i) {
      const std::uint32_t u = drawn_[i];
      if (counting) ++count_[u];
      for (std::size_t j = groups.begin[u]; j < groups.begin[u + 1]; ++j) {
        resample_.push_back(groups.values[j]);
        sum += groups.values[j];
      }
    }
    ResampleStats s{};
    s.ave = sum / static_cast<double>(resample_.size());
    if (wanted.sd) s.std = std::sqrt(numeric::variance_about(resample_, s.ave));
    const numeric::MeanSd m_sd = numeric::beyond_overflow(resample_, {s.ave, s.std});
    s.ave = m_sd.ave;
    if (wanted.sd) s.std = m_sd.sd;
    if (!wanted.order) return s;
    if (!counting) {
      double med = 0.0, mad = 0.0;
      numeric::med_mad(resample_, med, mad, work_);
      s.med = med;
      if (wanted.mad) s.mad = mad;
      return s;
    }
    const std::size_t n = l_->sorted.size();
    below_.resize(n + 1);
    below_[0] = 0;
    for (std::size_t r = 0; r < n; ++r) below_[r + 1] = below_[r] + count_[l_->sorted_cluster[r]];
    counted_ = true;
    s.med = numeric::median_of_ranks(size(), [this](std::size_t k) { return kth_value(k); });
    if (wanted.mad) {
      s.mad = numeric::median_of_ranks(size(), [this, &s](std::size_t k) { return kth_deviation(s.med, k); }) *
              numeric::mad_scale;
    }
    return s;
  }

  std::size_t size() const { return resample_.size(); }
  std::span<const double> resample() const { return resample_; }
  // The last resample's cumulative counts over the sorted sample; empty
  // where they were not formed.
  std::span<const std::uint32_t> below() const {
    return counted_ ? std::span<const std::uint32_t>(below_) : std::span<const std::uint32_t>();
  }

  double quantile(double p) {
    if (counted_) return numeric::quantile_of_ranks(size(), p, [this](std::size_t k) { return kth_value(k); });
    work_.assign(resample_.begin(), resample_.end());
    return numeric::quantile_of_ranks(size(), p, [this](std::size_t k) {
      return numeric::select(static_cast<std::int64_t>(k), work_);
    });
  }

 private:
  double kth_value(std::size_t k) const {
    const auto first = below_.begin() + 1;
    const auto r = std::lower_bound(first, below_.end(), static_cast<std::uint32_t>(k)) - first;
    return l_->sorted[static_cast<std::size_t>(r)];
  }

  // The k-th smallest |value − med| of the resample: the two runs of
  // deviations outward from med merged, each value counted as drawn.
  double kth_deviation(double med, std::size_t k) const {
    const std::vector<double>& sorted = l_->sorted;
    const std::size_t n = sorted.size();
    std::size_t right = static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), med) - sorted.begin());
    std::size_t left = right, reached = 0;
    while (true) {
      const bool from_left = left > 0 && (right == n || std::fabs(sorted[left - 1] - med) <= std::fabs(sorted[right] - med));
      const std::size_t r = from_left ? --left : right++;
      reached += below_[r + 1] - below_[r];
      if (reached >= k) return std::fabs(sorted[r] - med);
    }
  }

  const Layout* l_;
  numeric::PositionDrawer drawer_;
  std::vector<std::uint32_t> drawn_, count_, below_;
  std::vector<double> resample_, work_;
  bool counted_ = false;
};

double quantile_of_sorted(std::span<const double> sorted, double p) {
  return numeric::quantile_of_ranks(sorted.size(), p, [sorted](std::size_t k) { return sorted[k - 1]; });
}

std::vector<double> g_jackknife(const ClusteredSample& x, const Grouped& gx, const LeaveOneOut& jx,
                                const ClusteredSample& y, const Grouped& gy, const LeaveOneOut& jy) {
  const numeric::MeanSd mx = numeric::mean_and_sd(x.values), my = numeric::mean_and_sd(y.values);
  const std::size_t nx = x.values.size(), ny = y.values.size();
  std::vector<double> jack;
  for (std::size_t u = 0; u < gx.clusters(); ++u) jack.push_back(hedges_g(jx.ave[u], jx.std[u], nx - gx.size(u), my.ave, my.sd, ny));
  for (std::size_t w = 0; w < gy.clusters(); ++w) jack.push_back(hedges_g(mx.ave, mx.sd, nx, jy.ave[w], jy.std[w], ny - gy.size(w)));
  return jack;
}

std::vector<double> lift_jack(const ClusteredSample& x, const Grouped& gx, const LeaveOneOut& jx,
                              const ClusteredSample& y, const Grouped& gy, const LeaveOneOut& jy) {
  const double mx = numeric::mean_and_sd(x.values).ave, my = numeric::mean_and_sd(y.values).ave;
  std::vector<double> jack;
  for (std::size_t u = 0; u < gx.clusters(); ++u) jack.push_back(lift(jx.ave[u], my));
  for (std::size_t w = 0; w < gy.clusters(); ++w) jack.push_back(lift(mx, jy.ave[w]));
  return jack;
}

std::vector<double> delta_jack(const ClusteredSample& x, const Grouped& gx, const ClusteredSample& y, const Grouped& gy) {
  std::vector<double> a(x.values.begin(), x.values.end()), b(y.values.begin(), y.values.end());
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::int64_t total = 0;
  for (double v : x.values) total += below_minus_above(v, b);
  const auto nx = static_cast<double>(x.values.size()), ny = static_cast<double>(y.values.size());
  std::vector<double> jack;
  for (std::size_t u = 0; u < gx.clusters(); ++u) {
    std::int64_t own = 0;
    for (std::size_t j = gx.begin[u]; j < gx.begin[u + 1]; ++j) own += below_minus_above(gx.values[j], b);
    jack.push_back(static_cast<double>(total - own) / ((nx - static_cast<double>(gx.size(u))) * ny));
  }
  for (std::size_t w = 0; w < gy.clusters(); ++w) {
    std::int64_t own = 0;
    for (std::size_t j = gy.begin[w]; j < gy.begin[w + 1]; ++j) own += below_minus_above(gy.values[j], a);
    jack.push_back(static_cast<double>(total + own) / (nx * (ny - static_cast<double>(gy.size(w)))));
  }
  return jack;
}

std::vector<double> quantile_jack(const ClusteredSample& s, const Grouped& g, const SortedClusters& o, double p) {
  std::vector<double> out(g.clusters());
  for (std::size_t u = 0; u < g.clusters(); ++u) {
    const auto ranks = std::span<const std::uint32_t>(o.rank).subspan(g.begin[u], g.size(u));
    out[u] = numeric::quantile_of_ranks(s.values.size() - g.size(u), p,
                                        [&](std::size_t k) { return kth_without(o.sorted, ranks, k); });
  }
  return out;
}

}  // namespace

std::size_t cluster_count(const ClusteredSample& s) {
  std::uint32_t largest = 0;
  for (std::uint32_t c : s.cluster) largest = std::max(largest, c);
  return s.cluster.empty() ? 0 : std::size_t{largest} + 1;
}

bool one_value_each(const ClusteredSample& s) {
  std::vector<char> seen(cluster_count(s), 0);
  for (std::uint32_t c : s.cluster) {
    if (seen[c]++ != 0) return false;
  }
  return true;
}

LeaveOneOut leave_one_cluster_out(const ClusteredSample& s, Spread spread) { return columns_of(s, grouped(s), spread); }

std::vector<double> leave_one_cluster_out_quantiles(const ClusteredSample& s, double p) {
  const Grouped g = grouped(s);
  return quantile_jack(s, g, sorted_clusters(s, g), p);
}

std::vector<double> hedges_g_cluster_jackknife(const ClusteredSample& x, const ClusteredSample& y) {
  const Grouped gx = grouped(x), gy = grouped(y);
  return g_jackknife(x, gx, columns_of(x, gx, Spread::with), y, gy, columns_of(y, gy, Spread::with));
}

std::vector<double> cliffs_delta_cluster_jackknife(const ClusteredSample& x, const ClusteredSample& y) {
  return delta_jack(x, grouped(x), y, grouped(y));
}

std::vector<double> lift_cluster_jackknife(const ClusteredSample& x, const ClusteredSample& y) {
  const Grouped gx = grouped(x), gy = grouped(y);
  return lift_jack(x, gx, columns_of(x, gx, Spread::without), y, gy, columns_of(y, gy, Spread::without));
}

void bootstrap_clusters(const ClusteredSample& x1, const ClusteredSample& x2, std::array<Measure, 4>& measures,
                        double alpha, numeric::UniformState& g, unsigned threads, Progress* progress,
                        const EffectSizes& effect_sizes, JackknifeSums sums, AccelerationMethod method) {
  numeric::init_uniform(g);
  const Layout la = layout_of(x1), lb = layout_of(x2);
  const std::size_t m_x = la.groups.clusters(), m_y = lb.groups.clusters();
  const QuantileMeasures& quantiles = effect_sizes.quantiles;
  const bool with_quantiles = !quantiles.p.empty();
  const std::vector<double> sorted1 = with_quantiles ? sorted_for_quantiles(x1.values) : std::vector<double>();
  const std::vector<double> sorted2 = with_quantiles ? sorted_for_quantiles(x2.values) : std::vector<double>();
  for (std::size_t k = 0; k < quantiles.p.size(); ++k) {
    quantiles.measures[k].result.estimate =
        quantile_of_sorted(sorted1, quantiles.p[k]) - quantile_of_sorted(sorted2, quantiles.p[k]);
  }
  const DeltaPlaces places =
      effect_sizes.delta != nullptr && la.plain && lb.plain ? delta_places(la.sorted, lb.sorted) : DeltaPlaces{};
  const Wanted wanted{measures[2].drawn || effect_sizes.g != nullptr,
                      measures[1].drawn || measures[3].drawn || effect_sizes.delta != nullptr || with_quantiles,
                      measures[3].drawn};
  const auto block = [&](std::size_t begin, std::size_t end, numeric::UniformState& gen, bool) {
    ClusterResampler a(la), b(lb);
    for (std::size_t i = begin; i < end; ++i) {
      const ResampleStats s_a = a.draw(gen, wanted);
      const ResampleStats s_b = b.draw(gen, wanted);
      measures[0].boot[i] = s_a.ave - s_b.ave;
      measures[1].boot[i] = s_a.med - s_b.med;
      measures[2].boot[i] = s_a.std - s_b.std;
      measures[3].boot[i] = s_a.mad - s_b.mad;
      if (effect_sizes.g != nullptr) effect_sizes.g->boot[i] = hedges_g(s_a.ave, s_a.std, a.size(), s_b.ave, s_b.std, b.size());
      if (effect_sizes.delta != nullptr) {
        effect_sizes.delta->boot[i] = !a.below().empty() && !b.below().empty()
                                          ? cliffs_delta(places, a.below(), b.below())
                                          : cliffs_delta(a.resample(), b.resample());
      }
      if (effect_sizes.lift != nullptr) effect_sizes.lift->boot[i] = lift(s_a.ave, s_b.ave);
      for (std::size_t k = 0; k < quantiles.p.size(); ++k) {
        quantiles.measures[k].boot[i] = a.quantile(quantiles.p[k]) - b.quantile(quantiles.p[k]);
      }
      if (progress != nullptr) {
        progress->add(m_x + m_y);
        progress->check();
      }
    }
  };
  replicate_in_blocks(g, measures[0].boot.size(), numeric::resample_deviates(m_x) + numeric::resample_deviates(m_y),
                      threads, block);
  for (Measure& m : measures) {
    if (!m.drawn) std::fill(m.boot.begin(), m.boot.end(), not_a_number);
  }
  const LeaveOneOut jx = columns_of(x1, la.groups, Spread::with), jy = columns_of(x2, lb.groups, Spread::with);
  const std::array<double, 4> acc = method == AccelerationMethod::samples ? two_sample_accelerations(jx, jy)
                                    : by_algebra(m_x, m_y, false, sums)   ? unpaired_accelerations_by_algebra(jx, jy)
                                                                          : unpaired_accelerations(jx, jy, progress);
  if (progress != nullptr) progress->check();
  for (std::size_t k = 0; k < 4; ++k) measure_intervals(measures[k], acc[k], alpha);
  const auto effect_acc = [&](const std::vector<double>& jack) {
    return method == AccelerationMethod::samples ? two_sample_acceleration(jack, m_x) : acceleration(jack);
  };
  if (effect_sizes.g != nullptr) {
    measure_intervals(*effect_sizes.g, effect_acc(g_jackknife(x1, la.groups, jx, x2, lb.groups, jy)), alpha);
  }
  if (effect_sizes.delta != nullptr) {
    measure_intervals(*effect_sizes.delta, effect_acc(delta_jack(x1, la.groups, x2, lb.groups)), alpha);
  }
  if (Measure* m = effect_sizes.lift; m != nullptr) {
    const bool estimated = std::isfinite(m->result.estimate);
    measure_intervals(*m, estimated ? effect_acc(lift_jack(x1, la.groups, jx, x2, lb.groups, jy)) : 0.0, alpha);
    if (!estimated) without_intervals(m->result);  // nothing to centre them on: mean(y) is 0
  }
  if (!with_quantiles) return;
  const SortedClusters o1 = sorted_clusters(x1, la.groups), o2 = sorted_clusters(x2, lb.groups);
  for (std::size_t k = 0; k < quantiles.p.size(); ++k) {
    // A quantile difference in d_MED's lane: its acceleration by d_MED's method and sums.
    LeaveOneOut a, b;
    a.ave = a.med = a.std = a.mad = quantile_jack(x1, la.groups, o1, quantiles.p[k]);
    b.ave = b.med = b.std = b.mad = quantile_jack(x2, lb.groups, o2, quantiles.p[k]);
    const std::array<double, 4> four = method == AccelerationMethod::samples ? two_sample_accelerations(a, b)
                                       : by_algebra(m_x, m_y, false, sums)   ? unpaired_accelerations_by_algebra(a, b)
                                                                             : unpaired_accelerations(a, b);
    measure_intervals(quantiles.measures[k], four[1], alpha);
  }
}

}  // namespace diffboot::bootstrap
