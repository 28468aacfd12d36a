// The library's one entry: checks its input as the program does, then runs
// the same analysis as the program's batch runs.
#include <algorithm>
#include <cmath>
#include <thread>

#include "analysis/analysis.h"
#include "analysis/settings.h"
#include "diffboot/diffboot.h"
#include "numeric/errors.h"

namespace diffboot {
namespace {

void check_values(std::span<const double> values, const char* sample) {
  const auto bad = std::find_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); });
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
  if (o.experiment != Experiment::paired && o.experiment != Experiment::unpaired) {
    throw Error("experiment " + std::to_string(static_cast<int>(o.experiment)) + " is neither paired nor unpaired");
  }
  std::vector<std::string> measures = o.measures;
  if (measures == std::vector<std::string>{"all"}) {
    measures.assign(analysis::all_measure_names(o.experiment).begin(), analysis::all_measure_names(o.experiment).end());
  }
  if (const std::optional<std::string> problem = analysis::measures_problem(measures, o.experiment)) throw Error(*problem);
  const unsigned threads = o.threads != 0 ? o.threads : std::max(1u, std::thread::hardware_concurrency());
  return {o.experiment, o.alpha, static_cast<std::int32_t>(o.replications), o.seed.value_or(analysis::fixed_seed),
          threads,       measures, o.permutations, false};
}

MeasureResult result_of(const analysis::MeasureRun& m) {
  const bootstrap::Result& r = m.result;
  return {std::string(m.name), r.estimate,         r.se,          r.bias,   r.t_lower,
          r.t_upper,           r.bca_lower,        r.bca_upper,   r.percentile_lower,
          r.percentile_upper,  r.basic_lower,      r.basic_upper, r.z0,     r.acceleration,
          m.p_permutation,     m.p_t};
}

}  // namespace

Results analyse(std::span<const double> x, std::span<const double> y, const Options& options) {
  const analysis::Settings settings = settings_of(options);
  if (const std::optional<std::string> problem = analysis::problem(x.size(), y.size(), settings)) throw Error(*problem);
  check_values(x, "sample 1");
  check_values(y, "sample 2");
  const bool paired = options.experiment == Experiment::paired;
  std::vector<double> r1(paired ? 0 : x.size()), r2(paired ? 0 : y.size());
  std::vector<double> x3(paired ? x.size() : 0), r3(paired ? x.size() : 0);
  Results out{options, static_cast<std::int64_t>(x.size()), static_cast<std::int64_t>(y.size()), {}};
  try {
    const analysis::Summaries summaries = analysis::summarise(x, y);
    for (const analysis::MeasureRun& m : analysis::run_bootstrap(x, y, summaries, settings, {r1, r2, x3, r3}, nullptr)) {
      if (m.chosen) out.measures.push_back(result_of(m));
    }
  } catch (const numeric::LibraryError& e) {
    throw Error(e.record());
  }
  return out;
}

}  // namespace diffboot
