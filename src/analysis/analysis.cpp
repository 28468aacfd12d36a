#include "analysis/analysis.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/notes.h"
#include "analysis/settings.h"
#include "bootstrap/bootstrap.h"
#include "bootstrap/clusters.h"
#include "bootstrap/effect_sizes.h"
#include "bootstrap/permutation.h"
#include "numeric/distributions.h"
#include "numeric/random.h"
#include "numeric/side_by_side.h"

namespace diffboot::analysis {
namespace {

constexpr std::string_view all_paired_names[] = {"AVE_d", "MED_d", "g", "lift"};
constexpr std::string_view all_unpaired_names[] = {"d_AVE", "d_MED", "d_STD", "d_MAD", "g", "delta", "lift"};
constexpr std::span<const std::string_view> paired_names = std::span(all_paired_names).first(2);
constexpr std::span<const std::string_view> unpaired_names = std::span(all_unpaired_names).first(4);

// The shortest text of a double that reads back as it ("0.025", "1e-05").
std::string shortest(double v) {
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, v).ptr};
}

// A double in fixed notation, shortest that reads back ("0.0005").
std::string fixed(double v) {
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed).ptr};
}

std::string list_of(const std::array<double, 4>& values) {
  std::string out;
  for (double v : values) {
    if (!out.empty()) out += ", ";
    out += shortest(v);
  }
  return out;
}

// Whether the settings ask for the measure `kind`: by kind, or when they
// name none, as one of the experiment's own.
bool asked_for(const Settings& settings, MeasureKind kind) {
  if (settings.measures_named || !settings.measures.empty()) return std::ranges::find(settings.measures, kind) != settings.measures.end();
  const std::span<const std::string_view> own =
      settings.proportions ? proportion_measure_names(settings.experiment) : measure_names(settings.experiment);
  return std::ranges::find(own, info(kind).name) != own.end();
}

// The runs of the experiment's measures, then of the effect sizes asked for.
std::vector<MeasureRun> measure_runs(const Settings& settings) {
  std::vector<MeasureRun> runs;
  const auto replications = static_cast<std::size_t>(settings.replications);
  const std::size_t standard = measure_names(settings.experiment).size();
  const bool paired = settings.experiment == Experiment::paired;
  // Of proportions: the difference in the place of the mean's, the other
  // standard measures not drawn, then the lift and h.
  std::vector<std::string_view> names(all_measure_names(settings.experiment).begin(),
                                      all_measure_names(settings.experiment).end());
  if (settings.proportions) {
    names.resize(standard);
    names[0] = paired ? "PROP_d" : "d_PROP";
    names.insert(names.end(), {"lift", "h"});
  }
  for (std::string_view name : names) {
    const MeasureKind kind = *measure_named(name);
    const bool chosen = asked_for(settings, kind) && (!settings.proportions || info(kind).of_proportions);
    if (runs.size() >= standard && !chosen) continue;
    MeasureRun& run = runs.emplace_back();
    run.kind = kind;
    run.name = info(kind).name;
    run.replicates.assign(replications, bootstrap::unset);
    run.chosen = chosen;
    if (settings.replication_order && chosen) run.in_order.assign(replications, bootstrap::unset);
  }
  for (double p : settings.quantiles) {
    MeasureRun& run = runs.emplace_back();
    run.kind = quantile_kind(settings.experiment);
    run.name = quantile_name(p, settings.experiment);
    run.probability = p;
    run.replicates.assign(replications, bootstrap::unset);
    if (settings.replication_order) run.in_order.assign(replications, bootstrap::unset);
  }
  return runs;
}

bool is_quantile(const MeasureRun& run) { return run.kind == MeasureKind::Q_d || run.kind == MeasureKind::d_Q; }

MeasureRun* run_of(std::vector<MeasureRun>& runs, MeasureKind kind) {
  const auto found = std::ranges::find(runs, kind, &MeasureRun::kind);
  return found == runs.end() ? nullptr : &*found;
}

// Why replicates fail to be finite numbers: sums of squares beyond the
// largest double where the samples hold values whose squares are (from
// 2^511 on), else g of a resample without spread.
std::string_view not_finite_cause(std::span<const double> x, std::span<const double> y) {
  const auto huge = [](double v) { return std::fabs(v) >= 0x1p511; };
  return std::ranges::any_of(x, huge) || std::ranges::any_of(y, huge) ? "values beyond the largest double"
                                                                       : "constant resamples";
}

// Why lift's replicates fail to be finite numbers: sums beyond the largest
// double, else resamples of sample 2 whose mean is 0.
std::string_view lift_cause(std::span<const double> x, std::span<const double> y) {
  const std::string_view cause = not_finite_cause(x, y);
  return cause == "constant resamples" ? "resamples of sample 2 whose mean is 0" : cause;
}

// Values whose largest magnitude is below 2^-400 have squares, and
// squared deviations, near or below the smallest normal double, where a
// standard deviation loses its digits. Such samples are analysed in the
// unit 2^k that brings their largest magnitude near 1, k returned here (0
// for any other samples): exact, as multiplying by a power of two is, so
// that every measure in the data's units is the same number, scaled, where
// its sums stay normal, and right where they would not.
int small_unit_exponent(std::span<const double> x, std::span<const double> y) {
  double largest = 0.0;
  for (std::span<const double> v : {x, y}) {
    for (double a : v) largest = std::fabs(a) > largest ? std::fabs(a) : largest;
  }
  if (!(largest > 0.0) || !std::isfinite(largest) || std::ilogb(largest) >= -400) return 0;
  return std::ilogb(largest);
}

std::vector<double> times_power_of_two(std::span<const double> v, int k) {
  std::vector<double> out(v.begin(), v.end());
  for (double& a : out) a = std::ldexp(a, k);
  return out;
}

// A measure in the data's units, formed in the unit 2^k, in the data's units again.
void in_unit(MeasureRun& run, int k) {
  bootstrap::Result& r = run.result;
  for (double* v : {&r.estimate, &r.t_lower, &r.t_upper, &r.bca_lower, &r.bca_upper, &r.se, &r.bias,
                    &r.percentile_lower, &r.percentile_upper, &r.basic_lower, &r.basic_upper}) {
    *v = std::ldexp(*v, k);
  }
  for (std::vector<double>* values : {&run.replicates, &run.in_order}) {
    for (double& v : *values) v = std::ldexp(v, k);
  }
}

// Notes on a measure's replicates: some not finite numbers (its intervals
// are NaN), all equal to the estimate (its intervals have no width), or
// too few for the levels of its bounds.
void replicate_notes(MeasureRun& run, const std::string& samples, std::string_view cause, double alpha) {
  const std::string name(run.name);
  const auto not_finite = std::ranges::count_if(run.replicates, [](double r) { return !std::isfinite(r); });
  if (not_finite > 0 && std::isfinite(run.result.bca_lower)) {
    run.notes.push_back(name + ": " + std::to_string(not_finite) + " of " + std::to_string(run.replicates.size()) +
                        " replicates are infinite (" + std::string(cause) +
                        "); its se, bias and t interval are not given, its percentile, BCa and basic bounds are "
                        "(the replicates they read are finite)");
  } else if (not_finite > 0) {
    run.notes.push_back(name + ": " + std::to_string(not_finite) + " of " + std::to_string(run.replicates.size()) +
                        " replicates are not finite numbers (" + std::string(cause) +
                        "); its intervals are not given");
  } else if (bootstrap::all_equal_to_estimate(run.replicates, run.result.estimate, run.result.se)) {
    run.notes.push_back(name + ": every replicate equals the estimate, so its intervals have no width; that reflects " +
                        samples + ", not certainty");
  } else if (std::optional<std::string> note = extreme_level_note(name, run.result, alpha, run.replicates.size())) {
    run.notes.push_back(std::move(*note));
  }
}

// The t-test's p-value of the mean measure from its statistic t; NaN with a
// note where the values have no spread and no t-test can be formed.
void t_test(MeasureRun& run, bool no_spread, double t, double degrees, bool paired) {
  if (no_spread) {
    run.p_t = std::numeric_limits<double>::quiet_NaN();
    run.notes.push_back(std::string(run.name) + ": p_t is not given: a t-test cannot be formed, as " +
                        (paired ? "the differences are all equal" : "each sample's values are all equal"));
    return;
  }
  run.p_t = numeric::t_two_sided_p(t, degrees);
}

// The test of the difference of proportions of 0/1 samples: the
// two-proportion z-test (unpaired) or McNemar's (paired); NaN with a note
// where it cannot be formed.
void proportion_test(MeasureRun& run, std::span<const double> x, std::span<const double> y, bool paired) {
  const auto ones = [](std::span<const double> v) { return static_cast<double>(std::ranges::count(v, 1.0)); };
  if (paired) {
    double b = 0.0, c = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) b += x[i] > y[i] ? 1.0 : 0.0, c += x[i] < y[i] ? 1.0 : 0.0;
    run.p_t = mcnemar_p(b, c);
  } else {
    run.p_t = z_test_p(ones(x), static_cast<double>(x.size()), ones(y), static_cast<double>(y.size()));
  }
  if (std::isnan(run.p_t)) {
    run.notes.push_back(run.name + ": " + std::string(test_name(true, paired ? Experiment::paired : Experiment::unpaired)) +
                        " is not given: " +
                        (paired ? "no pair's two values differ" : "the values are all 0 or all 1"));
  }
}

// The permutation p-value of every measure, and the t-test's of the mean:
// Welch's (unpaired) or the paired t-test's (on the differences d); a stop
// asked of `progress` ends the permutations.
void p_values(std::vector<MeasureRun>& runs, std::span<const double> x, std::span<const double> y,
              const Summaries& summaries, std::span<const double> d, const Settings& settings,
              bootstrap::Progress* progress) {
  std::vector<bootstrap::Statistic> statistics;
  std::vector<double> observed;
  for (const MeasureRun& run : runs) {
    statistics.push_back(info(run.kind).statistic);
    // The permutation test takes no quantile: NaN gives its p-value NaN.
    observed.push_back(is_quantile(run) ? std::numeric_limits<double>::quiet_NaN() : run.result.estimate);
  }
  const bool paired = settings.experiment == Experiment::paired;
  const std::vector<double> p = bootstrap::permutation_p_values(
      {x, y, paired, statistics, observed, settings.permutations, settings.seed, settings.threads, progress});
  for (std::size_t k = 0; k < runs.size(); ++k) runs[k].p_permutation = p[k];
  for (MeasureRun& run : runs) {
    if (is_quantile(run)) run.notes.push_back(run.name + ": p_permutation is not given: the permutation test takes no quantile");
  }
  if (settings.proportions) return proportion_test(runs[0], x, y, paired);
  if (paired) {
    const numeric::MeanSd m = numeric::mean_and_sd(d);
    const auto n = static_cast<double>(d.size());
    t_test(runs[0], m.sd == 0.0, m.ave / (m.sd / std::sqrt(n)), n - 1.0, true);
    return;
  }
  const auto nx = static_cast<double>(x.size()), ny = static_cast<double>(y.size());
  const double vx = summaries.x.std * summaries.x.std / nx, vy = summaries.y.std * summaries.y.std / ny;
  const double degrees = (vx + vy) * (vx + vy) / (vx * vx / (nx - 1.0) + vy * vy / (ny - 1.0));
  t_test(runs[0], vx + vy == 0.0, (summaries.x.ave - summaries.y.ave) / std::sqrt(vx + vy), degrees, false);
}

}  // namespace

bootstrap::AccelerationMethod acceleration_method(const Settings& settings) {
  return settings.acceleration == Acceleration::samples ? bootstrap::AccelerationMethod::samples
                                                        : bootstrap::AccelerationMethod::grid;
}

std::string alpha_list() { return list_of(alpha_levels); }

bool admissible_alpha(double alpha) { return alpha >= min_alpha && alpha <= max_alpha; }

double decimal15(double v) {
  if (!std::isfinite(v)) return v;
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", v);
  double out = v;
  std::from_chars(text, text + std::strlen(text), out);
  return out;
}

double alpha_of_level(double level) { return decimal15((1.0 - level) / 2.0); }

double level_of_alpha(double alpha) { return decimal15(1.0 - 2.0 * alpha); }

std::string level_list() { return list_of(interval_levels); }

Summaries summarise(std::span<const double> x, std::span<const double> y) {
  // An empty sample ends in its median, sample 1's first: only samples that
  // both hold values are summarised side by side.
  const auto summary_x = [&] { return numeric::summarize(x); };
  const auto summary_y = [&] { return numeric::summarize(y); };
  if (x.empty() || y.empty()) {
    const numeric::SampleSummary first = summary_x();
    return {first, summary_y()};
  }
  const auto [a, b] = numeric::side_by_side(summary_x, summary_y);
  return {a, b};
}

TQuantiles t_quantiles(double alpha, std::int64_t n_x, std::int64_t n_y) {
  return {numeric::t_quantile(alpha, n_x + n_y - 2), numeric::t_quantile(alpha, n_x + n_y - 4),
          numeric::t_quantile(alpha, n_x - 1)};
}

std::span<const std::string_view> measure_names(Experiment e) {
  if (e == Experiment::paired) return paired_names;
  return unpaired_names;
}

std::span<const std::string_view> all_measure_names(Experiment e) {
  if (e == Experiment::paired) return all_paired_names;
  return all_unpaired_names;
}

std::optional<std::string> measures_problem(const std::vector<std::string>& names, Experiment e,
                                           std::span<const double> quantiles, bool proportions) {
  return parse_measures(names, e, quantiles, proportions).problem;
}

namespace {

// Whether the settings ask for the cluster bootstrap: clusters given, not
// all of one value each (those are the plain run, draw for draw).
bool clustered(const Settings& settings) {
  if (settings.clusters_x.empty() && settings.clusters_y.empty()) return false;
  return !bootstrap::one_value_each({std::span<const double>(), settings.clusters_x}) ||
         !bootstrap::one_value_each({std::span<const double>(), settings.clusters_y});
}

// run_bootstrap on samples of any magnitude but the smallest, without the
// notes on the lift's sample 2.
std::vector<MeasureRun> bootstrap_in_range(std::span<const double> x, std::span<const double> y,
                                           const Summaries& summaries, const Settings& settings,
                                           bootstrap::Progress* progress) {
  const TQuantiles t = t_quantiles(settings.alpha, static_cast<std::int64_t>(x.size()),
                                   static_cast<std::int64_t>(y.size()));
  std::vector<MeasureRun> runs = measure_runs(settings);
  numeric::UniformState g;
  g.initial_seed = -settings.seed;
  const auto measure = [](MeasureRun& run, double quantile) {
    return bootstrap::Measure{run.result, quantile, run.replicates, run.in_order, info(run.kind).range, run.chosen};
  };
  const bool paired = settings.experiment == Experiment::paired;
  // The bootstrap's own room: the paired differences and the last resamples.
  std::vector<double> differences(paired ? x.size() : 0), differences_resample(paired ? x.size() : 0);
  std::vector<double> x1_resample(paired ? 0 : x.size()), x2_resample(paired ? 0 : y.size());
  // The effect sizes: their t intervals take the mean measure's degrees of freedom.
  std::optional<bootstrap::Measure> hedges, cliff, lift, cohen;
  if (MeasureRun* run = run_of(runs, MeasureKind::h)) cohen.emplace(measure(*run, paired ? t.paired : t.means));
  if (MeasureRun* run = run_of(runs, MeasureKind::g)) hedges.emplace(measure(*run, paired ? t.paired : t.means));
  if (MeasureRun* run = run_of(runs, MeasureKind::delta)) cliff.emplace(measure(*run, t.means));
  if (MeasureRun* run = run_of(runs, MeasureKind::lift)) {
    lift.emplace(measure(*run, paired ? t.paired : t.means));
    lift->range = bootstrap::lift_range_of(x, y);
  }
  std::vector<bootstrap::Measure> quantile_measures;
  std::vector<double> probabilities;
  for (MeasureRun& run : runs) {
    if (!is_quantile(run)) continue;
    quantile_measures.push_back(measure(run, paired ? t.paired : t.means));
    probabilities.push_back(run.probability);
  }
  const bootstrap::EffectSizes effect_sizes{hedges ? &*hedges : nullptr, cliff ? &*cliff : nullptr,
                                            lift ? &*lift : nullptr, {probabilities, quantile_measures},
                                            cohen ? &*cohen : nullptr};
  if (paired) {
    std::array<bootstrap::Measure, 2> m{measure(runs[0], t.paired), measure(runs[1], t.paired)};
    bootstrap::bootstrap_paired({x, y, differences, differences_resample}, m, settings.alpha, g, settings.threads,
                                progress, effect_sizes, settings.jackknife);
  } else {
    const numeric::SampleSummary& a = summaries.x;
    const numeric::SampleSummary& b = summaries.y;
    const double estimates[] = {a.ave - b.ave, a.med - b.med, a.std - b.std, a.mad - b.mad};
    for (std::size_t k = 0; k < 4; ++k) runs[k].result.estimate = estimates[k];
    if (hedges) hedges->result.estimate = bootstrap::hedges_g(a.ave, a.std, x.size(), b.ave, b.std, y.size());
    if (cliff) cliff->result.estimate = bootstrap::cliffs_delta(x, y);
    if (lift) lift->result.estimate = bootstrap::lift(a.ave, b.ave);
    if (cohen) cohen->result.estimate = bootstrap::cohens_h(a.ave, b.ave);
    std::array<bootstrap::Measure, 4> m{measure(runs[0], t.means), measure(runs[1], t.means), measure(runs[2], t.spreads),
                                        measure(runs[3], t.spreads)};
    if (clustered(settings)) {
      bootstrap::bootstrap_clusters({x, settings.clusters_x}, {y, settings.clusters_y}, m, settings.alpha, g,
                                    settings.threads, progress, effect_sizes, settings.jackknife,
                                    acceleration_method(settings));
    } else {
      bootstrap::bootstrap_unpaired({x, y, x1_resample, x2_resample}, m, settings.alpha, g, settings.threads,
                                    progress, effect_sizes, settings.jackknife, acceleration_method(settings));
    }
  }
  const std::string samples = paired ? "the " + std::to_string(x.size()) + " pairs"
                                     : "the samples' sizes (" + std::to_string(x.size()) + " and " +
                                           std::to_string(y.size()) + " values)";
  const std::string_view cause = not_finite_cause(x, y);
  MeasureRun* lift_run = run_of(runs, MeasureKind::lift);
  const bool lift_undefined = lift_run != nullptr && !std::isfinite(lift_run->result.estimate);
  for (MeasureRun& run : runs) {
    if (&run == lift_run && lift_undefined) {
      run.result.estimate = std::numeric_limits<double>::quiet_NaN();
      run.notes.push_back(summaries.y.ave == 0.0 ? "lift: not defined, as the mean of sample 2 is 0"
                                                 : "lift: not defined, as the ratio of the means is beyond the largest double");
    } else {
      replicate_notes(run, samples, &run == lift_run ? lift_cause(x, y) : cause, settings.alpha);
    }
  }
  if (settings.permutations > 0) p_values(runs, x, y, summaries, std::span<const double>(differences), settings, progress);
  if (lift_undefined) lift_run->p_permutation = std::numeric_limits<double>::quiet_NaN();
  return runs;
}

}  // namespace

std::vector<MeasureRun> run_bootstrap(std::span<const double> x, std::span<const double> y,
                                      const Summaries& summaries, const Settings& settings,
                                      bootstrap::Progress* progress) {
  std::vector<MeasureRun> runs;
  numeric::SampleSummary second = summaries.y;
  if (const int k = small_unit_exponent(x, y); k != 0) {
    const std::vector<double> xs = times_power_of_two(x, -k), ys = times_power_of_two(y, -k);
    const Summaries in_unit_summaries = summarise(xs, ys);
    runs = bootstrap_in_range(xs, ys, in_unit_summaries, settings, progress);
    for (MeasureRun& run : runs) {
      if (info(run.kind).data_units) in_unit(run, k);
    }
    second.ave = std::ldexp(in_unit_summaries.y.ave, k), second.std = std::ldexp(in_unit_summaries.y.std, k);
  } else {
    runs = bootstrap_in_range(x, y, summaries, settings, progress);
  }
  MeasureRun* lift_run = run_of(runs, MeasureKind::lift);
  if (lift_run != nullptr && std::isfinite(lift_run->result.estimate)) {
    for (std::string& note : lift_notes(second.ave, second.std, y.size())) lift_run->notes.push_back(std::move(note));
  }
  return runs;
}

std::vector<MeasureRun> runs_of_measures(const Settings& settings) { return measure_runs(settings); }

void notes_on_replicates(MeasureRun& run, const std::string& samples, std::string_view cause, double alpha) {
  replicate_notes(run, samples, cause, alpha);
}

std::string_view test_name(bool proportions, Experiment e) {
  if (!proportions) return "p_t";
  return e == Experiment::paired ? "p_mcnemar" : "p_z";
}

double z_test_p(double k_x, double n_x, double k_y, double n_y) {
  const double p = (k_x + k_y) / (n_x + n_y);
  const double se = std::sqrt(p * (1.0 - p) * (1.0 / n_x + 1.0 / n_y));
  if (!(se > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  const double z = (k_x / n_x - k_y / n_y) / se;
  return 2.0 * numeric::norm_cdf(-std::fabs(z));
}

double mcnemar_p(double b, double c) {
  if (!(b + c > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  // chi-squared of 1 degree of freedom beyond (b - c)^2 / (b + c) is the
  // normal's two tails beyond |b - c| / sqrt(b + c).
  return 2.0 * numeric::norm_cdf(-std::fabs(b - c) / std::sqrt(b + c));
}

std::optional<std::string> binary_problem(std::span<const double> values, std::string_view sample) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    if (v == 0.0 || v == 1.0 || std::isnan(v)) continue;
    char text[32];
    return std::string(sample) + " holds " + std::string(text, std::to_chars(text, text + sizeof text, v).ptr) +
           ", at position " + std::to_string(i + 1) + ", which is not 0 or 1 (--proportions)";
  }
  return std::nullopt;
}

std::optional<std::string> too_few_values(std::int64_t n_x, std::int64_t n_y, Experiment e) {
  if (e == Experiment::unpaired && (n_x < min_unpaired_size || n_y < min_unpaired_size)) {
    return "Too few values for an unpaired experiment: each sample needs at least " + std::to_string(min_unpaired_size);
  }
  if (e == Experiment::paired && n_x < min_paired_size) {
    return "Too few values for a paired experiment: at least " + std::to_string(min_paired_size) + " pairs are needed";
  }
  return std::nullopt;
}

std::string unequal_sizes(std::int64_t n_x, std::int64_t n_y) {
  return "samples of equal size, but sample 1 has " + std::to_string(n_x) + " values and sample 2 has " +
         std::to_string(n_y);
}

std::optional<std::string> problem(std::size_t n_x, std::size_t n_y, const Settings& settings) {
  const auto x = static_cast<std::int64_t>(n_x), y = static_cast<std::int64_t>(n_y);
  if (x == 0 || y == 0) return std::string("sample ") + (x == 0 ? "1" : "2") + " has no values";
  if (settings.experiment == Experiment::paired && x != y) return "a paired experiment needs " + unequal_sizes(x, y);
  if (std::optional<std::string> few = too_few_values(x, y, settings.experiment)) return few;
  if (!admissible_alpha(settings.alpha)) {
    return "alpha " + shortest(settings.alpha) + " is not a number from " + fixed(min_alpha) + " to " +
           fixed(max_alpha);
  }
  if (settings.replications < min_replications || settings.replications > max_replications) {
    return "replications " + std::to_string(settings.replications) + " is not a whole number from " +
           std::to_string(min_replications) + " to " + std::to_string(max_replications);
  }
  if (std::optional<std::string> quantiles = quantiles_problem(settings.quantiles)) return quantiles;
  if (settings.seed < 1) {
    return "seed " + std::to_string(settings.seed) + " is not a whole number from 1 to " + std::to_string(largest_seed);
  }
  if (settings.clusters_x.empty() && settings.clusters_y.empty()) return std::nullopt;
  if (settings.experiment == Experiment::paired) {
    return "clusters go with an unpaired experiment: in a paired one the pair is the unit resampled";
  }
  if (settings.clusters_x.size() != n_x || settings.clusters_y.size() != n_y) {
    return "the clusters: " + std::to_string(settings.clusters_x.size()) + " and " +
           std::to_string(settings.clusters_y.size()) + " for samples of " + std::to_string(n_x) + " and " +
           std::to_string(n_y) + " values (one for each value)";
  }
  if (settings.permutations > 0) {
    return "permutation p-values move values one at a time, not clusters: they are not given with clusters";
  }
  return std::nullopt;
}

}  // namespace diffboot::analysis
