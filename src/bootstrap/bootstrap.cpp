#include "bootstrap/bootstrap.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>
#include <system_error>
#include <vector>

#include "bootstrap/blocks.h"
#include "bootstrap/effect_sizes.h"
#include "bootstrap/resample_stats.h"
#include "numeric/distributions.h"
#include "numeric/quantiles.h"
#include "numeric/sorting.h"
#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

// Student's t bounds est -/+ |t| * se, se being the standard deviation of the
// replicates in replication order. Its variance is the one `moment` forms
// (the same corrected two-pass sums), without moment's stop over a skewness
// that is never used: replicates of zero variance give se = 0 and bounds
// equal to the estimate.
void t_interval(Measure& m) {
  const numeric::MeanSd replicates = numeric::mean_and_sd(m.boot);
  Result& r = m.result;
  r.se = replicates.sd;
  r.bias = replicates.ave - r.estimate;
  r.t_lower = r.estimate + m.t_quant * r.se;
  r.t_upper = r.estimate - m.t_quant * r.se;
}

// The t interval of a measure, its replicates given in replication order
// where asked for.
void t_interval_in_order(Measure& m) {
  t_interval(m);
  if (!m.in_order.empty()) std::copy(m.boot.begin(), m.boot.end(), m.in_order.begin());
}

template <std::size_t N>
void t_intervals(std::array<Measure, N>& measures) {
  for (Measure& m : measures) t_interval_in_order(m);
}

// Everything the replicates decide, set to NaN.
void withhold(Result& r) {
  for (double* v : {&r.se, &r.bias, &r.z0, &r.t_lower, &r.t_upper, &r.bca_lower, &r.bca_upper, &r.percentile_lower,
                    &r.percentile_upper, &r.basic_lower, &r.basic_upper}) {
    *v = std::numeric_limits<double>::quiet_NaN();
  }
}

// What the sorted replicates decide, NaN when one of them is not a finite
// number (they sort to the ends). Where they are infinities only, as few
// in each tail as leave the percentile rule finite order statistics to
// read at every bound, the percentile, BCa and basic bounds stand: only
// what sums every replicate (se, bias, the t interval) is withheld.
void withhold_if_not_finite(Measure& m) {
  if (m.boot.empty() || (std::isfinite(m.boot.front()) && std::isfinite(m.boot.back()))) return;
  Result& r = m.result;
  const bool nan = std::ranges::any_of(m.boot, [](double v) { return std::isnan(v); });
  const bool bounds = std::isfinite(r.z0) && std::isfinite(r.bca_lower) && std::isfinite(r.bca_upper) &&
                      std::isfinite(r.percentile_lower) && std::isfinite(r.percentile_upper) &&
                      std::isfinite(r.basic_lower) && std::isfinite(r.basic_upper);
  if (nan || !bounds) return withhold(r);
  for (double* v : {&r.se, &r.bias, &r.t_lower, &r.t_upper}) *v = std::numeric_limits<double>::quiet_NaN();
}

// Every bound of the measure within its range (NaN stays NaN).
void clip_to_range(Measure& m) {
  Result& r = m.result;
  for (double* v : {&r.t_lower, &r.t_upper, &r.bca_lower, &r.bca_upper, &r.percentile_lower, &r.percentile_upper,
                    &r.basic_lower, &r.basic_upper}) {
    if (*v < m.range.lower) *v = m.range.lower;
    if (*v > m.range.upper) *v = m.range.upper;
  }
}

// The BCa bounds of a measure from its bias correction and acceleration; the
// percentile and basic bounds from the plain levels; then what its
// replicates and its range allow of them.
void bca_bound(Measure& m, double acc, double alpha) {
  const double z_alpha = numeric::norm_quantile(alpha);
  Result& r = m.result;
  r.acceleration = acc;
  const Levels levels = bca_levels(r.z0, r.acceleration, z_alpha);
  r.bca_lower = percentile(m.boot, levels.lower);
  r.bca_upper = percentile(m.boot, levels.upper);
  const PlainBounds plain = plain_bounds(m.boot, r.estimate, z_alpha);
  r.percentile_lower = plain.percentile_lower;
  r.percentile_upper = plain.percentile_upper;
  r.basic_lower = plain.basic_lower;
  r.basic_upper = plain.basic_upper;
  withhold_if_not_finite(m);
  clip_to_range(m);
}

template <std::size_t N>
void bca_bounds(std::array<Measure, N>& measures, const std::array<double, N>& acc, double alpha) {
  for (std::size_t k = 0; k < N; ++k) bca_bound(measures[k], acc[k], alpha);
}

// The acceleration of an effect size from its jackknife values: of one
// pooled set (paired runs: the pairs'), or unpaired by the two-sample
// formula where the method asks for it, the first n_x values being sample
// 1's leave-one-outs.
struct EffectAcceleration {
  AccelerationMethod method = AccelerationMethod::grid;
  std::size_t n_x = 0;
  double operator()(const std::vector<double>& jack) const {
    return method == AccelerationMethod::samples ? two_sample_acceleration(jack, n_x) : acceleration(jack);
  }
};

// An effect size's intervals once its replicates are drawn, from the
// jackknife values `jack`.
void effect_size_intervals(Measure* m, const std::vector<double>& jack, double alpha, EffectAcceleration acc = {}) {
  if (m != nullptr) measure_intervals(*m, acc(jack), alpha);
}

// The lift's intervals from its jackknife values; none (NaN, acceleration
// too) where it has no estimate, mean(y) being 0, as nothing is centred on it.
void lift_intervals(Measure* m, const std::vector<double>& jack, double alpha, EffectAcceleration acc = {}) {
  if (m == nullptr) return;
  if (std::isfinite(m->result.estimate)) return measure_intervals(*m, acc(jack), alpha);
  t_interval_in_order(*m);
  numeric::sort(m->boot);
  without_intervals(m->result);
}

// The p-quantile of a sample sorted by sorted_for_quantiles.
double quantile_of_sorted(std::span<const double> sorted, double p) {
  return numeric::quantile_of_ranks(sorted.size(), p, [sorted](std::size_t k) { return sorted[k - 1]; });
}

// The accelerations of the unpaired quantile differences, four at a time in
// the lanes that d_AVE, d_MED, d_STD and d_MAD take (each lane's sums in its
// own order: any lane gives d_MED's bits for the same columns), by the
// method and the sums of d_MED's.
// sorted1 and sorted2 are the samples as sorted_for_quantiles gives them.
std::vector<double> quantile_accelerations(const UnpairedSamples& s, std::span<const double> sorted1,
                                           std::span<const double> sorted2, std::span<const double> p, bool algebra,
                                           AccelerationMethod method) {
  std::vector<double> acc;
  for (std::size_t first = 0; first < p.size(); first += 4) {
    LeaveOneOut a, b;
    std::vector<double> LeaveOneOut::*const lanes[] = {&LeaveOneOut::ave, &LeaveOneOut::med, &LeaveOneOut::std,
                                                       &LeaveOneOut::mad};
    for (std::size_t k = 0; k < 4; ++k) {
      const double q = p[std::min(first + k, p.size() - 1)];  // lanes beyond the last repeat it
      a.*lanes[k] = leave_one_out_quantiles(s.x1, sorted1, q);
      b.*lanes[k] = leave_one_out_quantiles(s.x2, sorted2, q);
    }
    const std::array<double, 4> four = method == AccelerationMethod::samples ? two_sample_accelerations(a, b)
                                       : algebra                            ? unpaired_accelerations_by_algebra(a, b)
                                                                            : unpaired_accelerations(a, b);
    for (std::size_t k = 0; k < 4 && first + k < p.size(); ++k) acc.push_back(four[k]);
  }
  return acc;
}

// Cliff's delta of the counters' last resamples: from their counts and the
// places of a's sorted values among b's, or from sorted copies of samples
// without a plain order.
double resample_delta(ResampleCounter& a, ResampleCounter& b, const DeltaPlaces& places) {
  if (!a.below().empty() && !b.below().empty()) return cliffs_delta(places, a.below(), b.below());
  return cliffs_delta(a.resample(), b.resample());
}

// The replicates of the measures nobody asked for, NaN (what was formed in
// their place is not theirs).
template <std::size_t N>
void not_drawn(std::array<Measure, N>& measures) {
  for (Measure& m : measures) {
    if (!m.drawn) std::fill(m.boot.begin(), m.boot.end(), std::numeric_limits<double>::quiet_NaN());
  }
}

template <std::size_t N>
void bias_corrections(std::array<Measure, N>& measures) {
  for (Measure& m : measures) m.result.z0 = bias_correction(m.boot, m.result.estimate, m.result.se);
}

// Accelerations of the four unpaired measures, computed on a second thread
// while the calling thread goes on. Samples of one value are not taken:
// their jackknife ends the run, which must happen in its place in the order.
class ConcurrentJackknife {
 public:
  ConcurrentJackknife(std::span<const double> x1, std::span<const double> x2, unsigned threads, Progress* progress,
                      bool algebra, AccelerationMethod method)
      : progress_(progress), algebra_(algebra), method_(method) {
    if (threads < 2 || x1.size() < 2 || x2.size() < 2) return;
    try {
      result_ = std::async(std::launch::async, [x1, algebra, method, progress, f = second_.get_future()]() mutable {
        const LeaveOneOut first = columns(x1, algebra);
        return accelerations(first, f.get(), algebra, method, progress);
      });
    } catch (const std::system_error&) {
      return;  // no thread to be had: the jackknife runs in its place instead
    }
    second_.set_value(columns(x2, algebra));
  }

  // The accelerations; computed here and now when no second thread took them.
  std::array<double, 4> get(std::span<const double> x1, std::span<const double> x2) {
    if (result_.valid()) return result_.get();
    const LeaveOneOut jack1 = columns(x1, algebra_);
    const LeaveOneOut jack2 = columns(x2, algebra_);
    return accelerations(jack1, jack2, algebra_, method_, progress_);
  }

 private:
  static LeaveOneOut columns(std::span<const double> x, bool algebra) {
    return algebra ? leave_one_out_by_algebra(x, Spread::with) : leave_one_out(x, Spread::with);
  }
  static std::array<double, 4> accelerations(const LeaveOneOut& a, const LeaveOneOut& b, bool algebra,
                                             AccelerationMethod method, Progress* progress) {
    if (method == AccelerationMethod::samples) return two_sample_accelerations(a, b);
    return algebra ? unpaired_accelerations_by_algebra(a, b) : unpaired_accelerations(a, b, progress);
  }

  // Declared first, destroyed last: a broken promise releases the worker
  // before the future waits for it.
  std::future<std::array<double, 4>> result_;
  std::promise<LeaveOneOut> second_;
  Progress* progress_;
  bool algebra_;
  AccelerationMethod method_;
};

// Threads for the unpaired replications. The jackknife on its own thread is
// a chain of n_x n_y steps that cannot be split; when it outweighs the
// replications (a pair costs about half a draw: the measured times are in
// doc/performance.md), the replications leave it a core of its own.
unsigned replication_threads(std::size_t n_x, std::size_t n_y, std::size_t replications, unsigned threads,
                             bool grid_in_order) {
  const double jackknife = !grid_in_order ? 0.0 : 1.9 * static_cast<double>(n_x) * static_cast<double>(n_y);
  const double draws = 3.7 * static_cast<double>(replications) * static_cast<double>(n_x + n_y);
  return threads > 1 && jackknife > draws ? threads - 1 : threads;
}

// Leaves the counter's last resample in `out`.
void keep_resample(ResampleCounter& counter, std::span<double> out) {
  const std::span<const double> r = counter.resample();
  std::copy(r.begin(), r.end(), out.begin());
}

// Whether an unpaired run's acceleration passes over the n_x·n_y grid in its written order.
bool grid_in_written_order(std::size_t n_x, std::size_t n_y, JackknifeSums sums, AccelerationMethod method) {
  return method == AccelerationMethod::grid && !by_algebra(n_x, n_y, false, sums);
}

}  // namespace

Range lift_range_of(double min_x, double min_y) { return min_x >= 0.0 && min_y > 0.0 ? lift_range : Range{}; }

Range lift_range_of(std::span<const double> x, std::span<const double> y) {
  const auto smallest = [](std::span<const double> v) {
    double m = std::numeric_limits<double>::infinity();
    for (double a : v) m = a < m ? a : m;  // NaN is passed over
    return m;
  };
  return lift_range_of(smallest(x), smallest(y));
}

void without_intervals(Result& r) {
  withhold(r);
  r.acceleration = std::numeric_limits<double>::quiet_NaN();
}

void measure_intervals(Measure& m, double acc, double alpha) {
  t_interval_in_order(m);
  numeric::sort(m.boot);
  m.result.z0 = bias_correction(m.boot, m.result.estimate, m.result.se);
  bca_bound(m, acc, alpha);
}

bool by_algebra(std::size_t n_x, std::size_t n_y, bool paired, JackknifeSums sums) {
  if (sums != JackknifeSums::by_size) return sums == JackknifeSums::by_algebra;
  return paired ? n_x > largest_written_paired : static_cast<std::uint64_t>(n_x) * n_y > largest_written_grid;
}

std::uint64_t work_units(std::size_t n_x, std::size_t n_y, std::size_t replications, bool paired,
                         JackknifeSums sums, AccelerationMethod method) {
  const std::uint64_t draws = static_cast<std::uint64_t>(replications) * (paired ? n_x : n_x + n_y);
  if (paired || !grid_in_written_order(n_x, n_y, sums, method)) return draws;
  return draws + 2 * static_cast<std::uint64_t>(n_x) * n_y;
}

void bootstrap_unpaired(const UnpairedSamples& s, std::array<Measure, 4>& measures, double alpha,
                        numeric::UniformState& g, unsigned threads, Progress* progress,
                        const EffectSizes& effect_sizes, JackknifeSums sums, AccelerationMethod method) {
  numeric::init_uniform(g);
  const std::size_t n_x = s.x1.size(), n_y = s.x2.size();
  ConcurrentJackknife jackknife(s.x1, s.x2, threads, progress, by_algebra(n_x, n_y, false, sums), method);
  const QuantileMeasures& quantiles = effect_sizes.quantiles;
  const bool with_quantiles = !quantiles.p.empty();
  const std::vector<double> sorted1 = with_quantiles ? sorted_for_quantiles(s.x1) : std::vector<double>();
  const std::vector<double> sorted2 = with_quantiles ? sorted_for_quantiles(s.x2) : std::vector<double>();
  for (std::size_t k = 0; k < quantiles.p.size(); ++k) {
    quantiles.measures[k].result.estimate =
        quantile_of_sorted(sorted1, quantiles.p[k]) - quantile_of_sorted(sorted2, quantiles.p[k]);
  }
  const ResampleCounter counter1(s.x1), counter2(s.x2);  // each sample sorted once for all threads
  const DeltaPlaces places =
      effect_sizes.delta == nullptr ? DeltaPlaces{} : delta_places(counter1.sorted(), counter2.sorted());
  // A resample's order is counted for what is read off it; the draws, and so
  // every other replicate, are the same either way.
  const Wanted wanted{measures[2].drawn || effect_sizes.g != nullptr,
                      measures[1].drawn || measures[3].drawn || effect_sizes.delta != nullptr || with_quantiles,
                      measures[3].drawn};
  const auto block = [&](std::size_t begin, std::size_t end, numeric::UniformState& gen, bool last) {
    ResampleCounter sample1 = counter1, sample2 = counter2;
    const auto counted = [&](std::size_t i, const ResampleStats& a, const ResampleStats& b) {
      measures[0].boot[i] = a.ave - b.ave;
      measures[1].boot[i] = a.med - b.med;
      measures[3].boot[i] = a.mad - b.mad;
      if (effect_sizes.delta != nullptr) effect_sizes.delta->boot[i] = resample_delta(sample1, sample2, places);
      if (effect_sizes.lift != nullptr) effect_sizes.lift->boot[i] = lift(a.ave, b.ave);
      if (effect_sizes.h != nullptr) effect_sizes.h->boot[i] = cohens_h(a.ave, b.ave);
      for (std::size_t k = 0; k < quantiles.p.size(); ++k) {
        quantiles.measures[k].boot[i] = sample1.quantile(quantiles.p[k]) - sample2.quantile(quantiles.p[k]);
      }
      if (progress != nullptr) {
        progress->add(s.x1.size() + s.x2.size());
        progress->check();
      }
    };
    const auto spread = [&](std::size_t i, const ResampleStats& a, const ResampleStats& b) {
      measures[2].boot[i] = a.std - b.std;
      if (effect_sizes.g != nullptr) effect_sizes.g->boot[i] = hedges_g(a.ave, a.std, n_x, b.ave, b.std, n_y);
    };
    ResampleCounter::draw_replications(sample1, sample2, gen, wanted, begin, end, counted, spread);
    if (last && end > begin) {
      keep_resample(sample1, s.x1_resample);
      keep_resample(sample2, s.x2_resample);
    }
  };
  replicate_in_blocks(g, measures[0].boot.size(),
                      numeric::resample_deviates(s.x1.size()) + numeric::resample_deviates(s.x2.size()),
                      replication_threads(n_x, n_y, measures[0].boot.size(), threads,
                                          grid_in_written_order(n_x, n_y, sums, method)),
                      block);
  not_drawn(measures);
  t_intervals(measures);
  for (std::size_t k : {0, 2, 1, 3}) numeric::sort(measures[k].boot);
  bias_corrections(measures);
  bca_bounds(measures, jackknife.get(s.x1, s.x2), alpha);
  const EffectAcceleration acc{method, n_x};
  if (effect_sizes.g != nullptr) effect_size_intervals(effect_sizes.g, hedges_g_jackknife(s.x1, s.x2), alpha, acc);
  if (effect_sizes.delta != nullptr) {
    effect_size_intervals(effect_sizes.delta, cliffs_delta_jackknife(s.x1, s.x2), alpha, acc);
  }
  if (effect_sizes.lift != nullptr) lift_intervals(effect_sizes.lift, lift_jackknife(s.x1, s.x2), alpha, acc);
  effect_size_intervals(effect_sizes.h, effect_sizes.h == nullptr ? std::vector<double>() : cohens_h_jackknife(s.x1, s.x2),
                        alpha, acc);
  if (with_quantiles) {
    const std::vector<double> acc =
        quantile_accelerations(s, sorted1, sorted2, quantiles.p, by_algebra(n_x, n_y, false, sums), method);
    for (std::size_t k = 0; k < acc.size(); ++k) measure_intervals(quantiles.measures[k], acc[k], alpha);
  }
}

void bootstrap_paired(const PairedSamples& s, std::array<Measure, 2>& measures, double alpha,
                      numeric::UniformState& g, unsigned threads, Progress* progress,
                      const EffectSizes& effect_sizes, JackknifeSums sums) {
  numeric::init_uniform(g);
  const std::size_t n = s.x1.size();
  for (std::size_t i = 0; i < n; ++i) s.differences[i] = s.x1[i] - s.x2[i];
  const std::span<const double> diffs = s.differences.first(n);
  // The mean of the differences by the sums of a replicate that draws every
  // position once, so that replicates equal to it compare equal.
  double mad = 0.0;
  measures[0].result.estimate = numeric::mean_and_sd(diffs).ave;
  numeric::med_mad(diffs, measures[1].result.estimate, mad);
  if (effect_sizes.g != nullptr) {
    const numeric::MeanSd d = numeric::mean_and_sd(diffs);
    effect_sizes.g->result.estimate = hedges_g_paired(d.ave, d.sd, n);
  }
  const QuantileMeasures& quantiles = effect_sizes.quantiles;
  const std::vector<double> sorted_diffs = quantiles.p.empty() ? std::vector<double>() : sorted_for_quantiles(diffs);
  for (std::size_t k = 0; k < quantiles.p.size(); ++k) {
    quantiles.measures[k].result.estimate = quantile_of_sorted(sorted_diffs, quantiles.p[k]);
  }
  const ResampleCounter counter(diffs);  // sorted once for all threads
  // The lift's reference, the pairs' second halves, by the rank of their
  // difference as the counter counts its draws.
  std::vector<double> y_by_rank;
  if (effect_sizes.lift != nullptr) {
    effect_sizes.lift->result.estimate = measures[0].result.estimate / numeric::mean_and_sd(s.x2).ave;
  }
  if (effect_sizes.h != nullptr) {
    effect_sizes.h->result.estimate = cohens_h(numeric::mean_and_sd(s.x1).ave, numeric::mean_and_sd(s.x2).ave);
  }
  const bool companion = effect_sizes.lift != nullptr || effect_sizes.h != nullptr;
  if (companion) {
    for (std::uint32_t p : counter.positions_by_rank()) y_by_rank.push_back(s.x2[p]);
  }
  // The sd for g alone; the order for the median, the quantiles and the
  // lift's reference (summed by rank); the MAD for nothing.
  const Wanted wanted{effect_sizes.g != nullptr, measures[1].drawn || !quantiles.p.empty() || companion, false};
  const auto block = [&](std::size_t begin, std::size_t end, numeric::UniformState& gen, bool last) {
    ResampleCounter differences = counter;
    for (std::size_t i = begin; i < end; ++i) {
      const ResampleStats r = differences.draw(gen, wanted);
      measures[0].boot[i] = r.ave;
      measures[1].boot[i] = r.med;
      if (effect_sizes.g != nullptr) effect_sizes.g->boot[i] = hedges_g_paired(r.ave, r.std, n);
      const double mean_y = companion ? differences.companion_mean(y_by_rank, s.x2) : 0.0;
      if (effect_sizes.lift != nullptr) effect_sizes.lift->boot[i] = r.ave / mean_y;
      if (effect_sizes.h != nullptr) effect_sizes.h->boot[i] = cohens_h(r.ave + mean_y, mean_y);
      for (std::size_t k = 0; k < quantiles.p.size(); ++k) quantiles.measures[k].boot[i] = differences.quantile(quantiles.p[k]);
      if (progress != nullptr) {
        progress->add(n);
        progress->check();
      }
    }
    if (last && end > begin) keep_resample(differences, s.differences_resample);
  };
  replicate_in_blocks(g, measures[0].boot.size(), numeric::resample_deviates(n), threads, block);
  not_drawn(measures);
  t_intervals(measures);
  for (Measure& m : measures) numeric::sort(m.boot);
  bias_corrections(measures);
  const LeaveOneOut jack =
      by_algebra(n, n, true, sums) ? leave_one_out_by_algebra(diffs, Spread::without) : leave_one_out(diffs, Spread::without);
  bca_bounds(measures, {acceleration(jack.ave), acceleration(jack.med)}, alpha);
  effect_size_intervals(effect_sizes.g, hedges_g_paired_jackknife(diffs), alpha);
  if (effect_sizes.lift != nullptr) lift_intervals(effect_sizes.lift, lift_paired_jackknife(diffs, s.x2), alpha);
  if (effect_sizes.h != nullptr) effect_size_intervals(effect_sizes.h, cohens_h_paired_jackknife(s.x1, s.x2), alpha);
  for (std::size_t k = 0; k < quantiles.p.size(); ++k) {
    measure_intervals(quantiles.measures[k], acceleration(leave_one_out_quantiles(diffs, sorted_diffs, quantiles.p[k])), alpha);
  }
}

}  // namespace diffboot::bootstrap
