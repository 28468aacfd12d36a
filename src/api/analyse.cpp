// The library's entry: checks its input as the program does, leaves missing
// values out when asked to, then runs the same analysis as the program's
// batch runs.
#include <algorithm>
#include <cmath>
#include <thread>
#include <variant>

#include "analysis/analysis.h"
#include "analysis/clusters.h"
#include "analysis/counts.h"
#include "analysis/settings.h"
#include "api/control_access.h"
#include "api/mapping.h"
#include "bootstrap/bootstrap.h"
#include "bootstrap/progress.h"
#include "diffboot/diffboot.h"
#include "numeric/errors.h"

namespace diffboot {

Control::Control() : progress_(std::make_unique<bootstrap::Progress>()) {}
Control::~Control() = default;
void Control::cancel() noexcept { progress_->stop.store(true, std::memory_order_relaxed); }
bool Control::cancelled() const noexcept { return progress_->stop.load(std::memory_order_relaxed); }
double Control::fraction() const noexcept { return progress_->fraction(); }

namespace {

// `values` as given (missing ones not yet left out), so that the position is
// the caller's own; with `missing_skipped` a NaN is a missing value, not a fault.
void check_values(std::span<const double> values, const char* sample, bool missing_skipped) {
  const auto bad = std::find_if(values.begin(), values.end(),
                                [missing_skipped](double v) { return missing_skipped ? std::isinf(v) : !std::isfinite(v); });
  if (bad != values.end()) {
    throw Error(std::string(sample) + " holds a value that is not a finite number, at position " +
                std::to_string(bad - values.begin() + 1));
  }
}

analysis::Settings settings_of(const Options& o) {
  if (o.replications < analysis::min_replications || o.replications > analysis::max_replications) {
    throw Error("replications " + std::to_string(o.replications) + " is not a whole number from " +
                std::to_string(analysis::min_replications) + " to " + std::to_string(analysis::max_replications));
  }
  if (o.permutations != 0 && (o.permutations < analysis::min_permutations || o.permutations > analysis::max_permutations)) {
    throw Error("permutations " + std::to_string(o.permutations) + " is not a whole number from " +
                std::to_string(analysis::min_permutations) + " to " + std::to_string(analysis::max_permutations));
  }
  if (o.missing != Missing::error && o.missing != Missing::skip) throw Error("missing is neither error nor skip");
  if (o.experiment != Experiment::paired && o.experiment != Experiment::unpaired) {
    throw Error("experiment " + std::to_string(static_cast<int>(o.experiment)) + " is neither paired nor unpaired");
  }
  const bootstrap::Experiment experiment = api::engine_experiment(o.experiment);
  if (const std::optional<std::string> problem = analysis::quantiles_problem(o.quantiles)) throw Error(*problem);
  std::vector<std::string> measures = o.measures;
  if (measures == std::vector<std::string>{"all"} && o.proportions) {
    const auto names = analysis::proportion_measure_names(experiment);
    measures.assign(names.begin(), names.end());
  } else if (measures == std::vector<std::string>{"all"}) {
    measures.assign(analysis::all_measure_names(experiment).begin(), analysis::all_measure_names(experiment).end());
    for (double p : o.quantiles) measures.push_back(analysis::quantile_name(p, experiment));
  }
  analysis::ParsedMeasures parsed = analysis::parse_measures(measures, experiment, o.quantiles, o.proportions);
  if (parsed.problem) throw Error(*parsed.problem);
  const unsigned threads = o.threads != 0 ? o.threads : std::max(1u, std::thread::hardware_concurrency());
  analysis::Settings settings{experiment, o.alpha,  static_cast<std::int32_t>(o.replications),
                              o.seed.value_or(analysis::fixed_seed), threads, std::move(parsed.kinds), std::move(parsed.quantiles),
                              o.permutations, o.keep_replicates};
  settings.acceleration = api::engine_acceleration(o.acceleration);
  settings.measures_named = parsed.named;
  settings.proportions = o.proportions;
  return settings;
}

MeasureResult result_of(analysis::MeasureRun& m) {
  const bootstrap::Result& r = m.result;
  return {m.name,              r.estimate,         r.se,          r.bias,   r.t_lower,
          r.t_upper,           r.bca_lower,        r.bca_upper,   r.percentile_lower,
          r.percentile_upper,  r.basic_lower,      r.basic_upper, r.z0,     r.acceleration,
          m.p_permutation,     m.p_t,              std::move(m.in_order), std::move(m.notes)};
}

// The measures asked for of samples x and y, in the library's kinds; the
// engine's stops as the library's Error and Cancelled.
std::vector<MeasureResult> measured(std::span<const double> x, std::span<const double> y,
                                    const analysis::Settings& settings, bootstrap::Progress* progress) {
  std::vector<MeasureResult> out;
  try {
    const analysis::Summaries summaries = analysis::summarise(x, y);
    for (analysis::MeasureRun& m : analysis::run_bootstrap(x, y, summaries, settings, progress)) {
      if (m.chosen) out.push_back(result_of(m));
    }
  } catch (const numeric::LibraryError& e) {
    throw Error(e.record());
  } catch (const bootstrap::Stopped& e) {
    throw Cancelled(e.what());
  }
  return out;
}

// The samples with their missing values (NaN) left out, and how many each
// holds; paired, a pair with a missing half is left out whole and counted in
// pairs_dropped. Holds no copy when nothing is missing.
struct Present {
  std::vector<double> kept_x, kept_y;
  std::span<const double> x, y;
  std::int64_t missing_x = 0, missing_y = 0, pairs_dropped = 0;
};

Present present_values(std::span<const double> x, std::span<const double> y, bool paired) {
  Present p{{}, {}, x, y};
  const auto nan = [](double v) { return std::isnan(v); };
  if (std::none_of(x.begin(), x.end(), nan) && std::none_of(y.begin(), y.end(), nan)) return p;
  if (paired) {
    for (std::size_t i = 0; i < x.size(); ++i) {
      p.missing_x += std::isnan(x[i]) ? 1 : 0;
      p.missing_y += std::isnan(y[i]) ? 1 : 0;
      if (std::isnan(x[i]) || std::isnan(y[i])) {
        ++p.pairs_dropped;
      } else {
        p.kept_x.push_back(x[i]);
        p.kept_y.push_back(y[i]);
      }
    }
  } else {
    std::copy_if(x.begin(), x.end(), std::back_inserter(p.kept_x), [](double v) { return !std::isnan(v); });
    std::copy_if(y.begin(), y.end(), std::back_inserter(p.kept_y), [](double v) { return !std::isnan(v); });
    p.missing_x = static_cast<std::int64_t>(x.size() - p.kept_x.size());
    p.missing_y = static_cast<std::int64_t>(y.size() - p.kept_y.size());
  }
  p.x = p.kept_x, p.y = p.kept_y;
  return p;
}

// The cluster bootstrap: the values with a key kept (with Missing::skip,
// those that are numbers), the keys numbered per sample.
Results clustered_run(std::span<const double> x_given, std::span<const double> y_given, const Options& options,
                      bootstrap::Progress* progress) {
  analysis::Settings settings = settings_of(options);
  const Clusters& c = options.clusters;
  if (options.proportions) {
    throw Error("clusters with proportions: the cluster bootstrap does not form Cohen's h of the clusters drawn");
  }
  if (options.experiment == Experiment::paired) {
    throw Error("clusters go with an unpaired experiment: in a paired one the pair is the unit resampled");
  }
  if (c.x.size() != x_given.size() || c.y.size() != y_given.size()) {
    throw Error("the clusters: " + std::to_string(c.x.size()) + " and " + std::to_string(c.y.size()) +
                " keys for samples of " + std::to_string(x_given.size()) + " and " + std::to_string(y_given.size()) +
                " values (one for each value)");
  }
  const bool skip = options.missing == Missing::skip;
  check_values(x_given, "sample 1", skip);
  check_values(y_given, "sample 2", skip);
  std::vector<double> values[2];
  std::vector<std::string> keys[2];
  std::int64_t missing[2] = {0, 0};
  const std::span<const double> given[2] = {x_given, y_given};
  const std::vector<std::string>* given_keys[2] = {&c.x, &c.y};
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t i = 0; i < given[s].size(); ++i) {
      if (std::isnan(given[s][i])) {  // a missing value: check_values let it through with Missing::skip only
        ++missing[s];
        continue;
      }
      const std::string& key = (*given_keys[s])[i];
      if (key.empty() && !skip) {
        throw Error("sample " + std::to_string(s + 1) + " has a value without a cluster (an empty key) at position " +
                    std::to_string(i + 1) + "; Missing::skip leaves such values out");
      }
      values[s].push_back(given[s][i]);
      keys[s].push_back(key);
    }
  }
  analysis::NumberedClusters n;
  try {
    n = analysis::number_clusters(values[0], keys[0], values[1], keys[1], "sample 1", "sample 2");
  } catch (const analysis::ClusterError& e) {
    throw Error(e.what());
  }
  settings.clusters_x = n.cluster_x, settings.clusters_y = n.cluster_y;
  if (const std::optional<std::string> problem = analysis::problem(n.x.size(), n.y.size(), settings)) throw Error(*problem);
  Results out{options, static_cast<std::int64_t>(n.x.size()), static_cast<std::int64_t>(n.y.size()), {},
              missing[0], missing[1], 0};
  out.clusters_x = n.clusters_x, out.clusters_y = n.clusters_y;
  out.no_cluster_x = n.keyless_x, out.no_cluster_y = n.keyless_y;
  if (progress != nullptr) {
    progress->total = bootstrap::work_units(static_cast<std::size_t>(n.clusters_x), static_cast<std::size_t>(n.clusters_y),
                                            static_cast<std::size_t>(settings.replications), false);
    progress->done.store(0, std::memory_order_relaxed);
  }
  out.measures = measured(n.x, n.y, settings, progress);
  return out;
}

Results run(std::span<const double> x_given, std::span<const double> y_given, const Options& options,
            bootstrap::Progress* progress) {
  if (!options.clusters.x.empty() || !options.clusters.y.empty()) return clustered_run(x_given, y_given, options, progress);
  const analysis::Settings settings = settings_of(options);
  const bool paired = options.experiment == Experiment::paired;
  if (paired && x_given.size() != y_given.size()) {
    throw Error(analysis::problem(x_given.size(), y_given.size(), settings).value());  // pairs by position
  }
  const Present values = options.missing == Missing::skip ? present_values(x_given, y_given, paired)
                                                          : Present{{}, {}, x_given, y_given};
  const std::span<const double> x = values.x, y = values.y;
  if (const std::optional<std::string> problem = analysis::problem(x.size(), y.size(), settings)) throw Error(*problem);
  check_values(x_given, "sample 1", options.missing == Missing::skip);
  check_values(y_given, "sample 2", options.missing == Missing::skip);
  if (options.proportions) {
    if (std::optional<std::string> p = analysis::binary_problem(x_given, "sample 1")) throw Error(*p);
    if (std::optional<std::string> p = analysis::binary_problem(y_given, "sample 2")) throw Error(*p);
  }
  Results out{options, static_cast<std::int64_t>(x.size()), static_cast<std::int64_t>(y.size()), {},
              values.missing_x, values.missing_y, values.pairs_dropped};
  if (progress != nullptr) {
    progress->total = bootstrap::work_units(x.size(), y.size(), static_cast<std::size_t>(settings.replications), paired) +
                      static_cast<std::uint64_t>(settings.permutations) * (x.size() + y.size());
    progress->done.store(0, std::memory_order_relaxed);
  }
  out.measures = measured(x, y, settings, progress);
  return out;
}

template <typename T>
T checked(std::variant<T, std::string> v) {
  if (std::string* problem = std::get_if<std::string>(&v)) throw Error(*problem);
  return std::get<T>(std::move(v));
}

Results counts_results(const Options& options, std::int64_t n_x, std::int64_t n_y,
                       const analysis::Settings& settings, std::vector<analysis::MeasureRun> runs) {
  if (std::optional<std::string> problem = analysis::counts_problem(n_x, n_y, settings)) throw Error(*problem);
  Results out{options, n_x, n_y, {}};
  out.options.proportions = true;
  for (analysis::MeasureRun& m : runs) {
    if (m.chosen) out.measures.push_back(result_of(m));
  }
  return out;
}

}  // namespace

Results analyse_counts(const Counts& x, const Counts& y, const Options& options) {
  if (options.experiment == Experiment::paired) {
    throw Error("counts of two samples are unpaired: a paired experiment's counts are its table both/x_only/y_only/neither");
  }
  Options o = options;
  o.proportions = true;
  const analysis::Settings settings = settings_of(o);
  const analysis::Counts cx = checked(analysis::counts_of(x.successes, x.trials, "sample 1"));
  const analysis::Counts cy = checked(analysis::counts_of(y.successes, y.trials, "sample 2"));
  if (std::optional<std::string> problem = analysis::counts_problem(cx.trials, cy.trials, settings)) throw Error(*problem);
  return counts_results(o, cx.trials, cy.trials, settings, analysis::bootstrap_counts(cx, cy, settings));
}

Results analyse_counts(const PairedTable& table, const Options& options) {
  Options o = options;
  o.proportions = true;
  o.experiment = Experiment::paired;
  const analysis::Settings settings = settings_of(o);
  const analysis::PairedCounts cells =
      checked(analysis::paired_counts_of({table.both, table.x_only, table.y_only, table.neither}));
  const std::int64_t n = numeric::total(cells);
  if (std::optional<std::string> problem = analysis::counts_problem(n, n, settings)) throw Error(*problem);
  return counts_results(o, n, n, settings, analysis::bootstrap_paired_counts(cells, settings));
}

Results analyse(std::span<const double> x, std::span<const double> y, const Options& options) {
  return run(x, y, options, nullptr);
}

Results analyse(std::span<const double> x, std::span<const double> y, const Options& options, Control& control) {
  return run(x, y, options, &ControlAccess::progress(control));
}

}  // namespace diffboot
