// The library's entries to the Poisson bootstrap: the options checked as
// analyse() checks them, then the engine of src/poisson.
#include "diffboot/poisson.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "analysis/analysis.h"
#include "analysis/settings.h"
#include "api/mapping.h"
#include "numeric/errors.h"
#include "poisson/kernel.h"
#include "poisson/results.h"

namespace diffboot::poisson {
namespace {

std::int32_t checked_seed(const Options& o) {
  analysis::Settings s;
  s.experiment = api::engine_experiment(o.experiment), s.alpha = o.alpha, s.seed = o.seed.value_or(analysis::fixed_seed);
  s.replications = static_cast<std::int32_t>(std::clamp<std::int64_t>(o.replications, 0, analysis::max_replications + 1));
  const bool paired = o.experiment == diffboot::Experiment::paired;
  if (!paired && o.experiment != diffboot::Experiment::unpaired) throw Error("the experiment is neither paired nor unpaired");
  // Sizes that pass, so that only the options are checked here.
  if (const std::optional<std::string> problem = analysis::problem(3, 3, s)) throw Error(*problem);
  if (o.permutations != 0) throw Error("permutation p-values are not part of the Poisson bootstrap");
  if (const std::optional<std::string> problem = measures_problem(o.measures, api::engine_experiment(o.experiment))) throw Error(*problem);
  return s.seed;
}

void check_size(std::int64_t n, int sample, bool paired) {
  if (n == 0) throw Error("sample " + std::to_string(sample) + " has no values");
  if (n < min_size) {
    throw Error(std::string("Too few values for the Poisson bootstrap: ") +
                (paired ? "at least " + std::to_string(min_size) + " pairs are needed"
                        : "each sample needs at least " + std::to_string(min_size)));
  }
}

Results results_of(const Sums& x, const Sums& y, const Options& o) {
  const bool paired = o.experiment == diffboot::Experiment::paired;
  Results out{o, x.rows, paired ? x.rows : y.rows, {}, x.frame.missing, paired ? x.frame.missing : y.frame.missing};
  try {
    for (MeasureRun& m : measure_runs(x, y, api::engine_experiment(o.experiment), o.alpha, o.measures, o.keep_replicates)) {
      const bootstrap::Result& r = m.result;
      out.measures.push_back({std::string(m.name), r.estimate, r.se, r.bias, r.t_lower, r.t_upper, r.bca_lower,
                              r.bca_upper, r.percentile_lower, r.percentile_upper, r.basic_lower, r.basic_upper, r.z0,
                              r.acceleration, std::nan(""), std::nan(""), std::move(m.in_order)});
    }
  } catch (const numeric::LibraryError& e) {
    throw Error(e.record());
  }
  return out;
}

}  // namespace

Results results(const Sums& x, const Sums& y, const Options& options) {
  const std::int32_t seed = checked_seed(options);
  const bool paired = options.experiment == diffboot::Experiment::paired;
  for (const Sums* s : {&x, &y}) {
    if (paired && s == &y) break;
    const int sample = s == &x ? 1 : 2;
    if (s->setup.seed != seed || s->setup.replications != options.replications || s->setup.sample != sample - 1) {
      throw Error("the sums of sample " + std::to_string(sample) + " are not of this seed, B and sample");
    }
    if (s->rows != s->frame.n) {
      throw Error("the sums of sample " + std::to_string(sample) + " hold " + std::to_string(s->rows) + " of its " +
                  std::to_string(s->frame.n) + " values: a part is missing or added twice");
    }
    check_size(s->rows, sample, paired);
  }
  return results_of(x, y, options);
}

Results analyse(std::span<const double> x, std::span<const double> y, const Options& options) {
  const std::int32_t seed = checked_seed(options);
  const bool paired = options.experiment == diffboot::Experiment::paired;
  const unsigned threads = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  const Setup setup{seed, options.replications, 0};
  if (paired) {
    if (x.size() != y.size()) throw Error("a paired experiment needs " + analysis::unequal_sizes(
                                              static_cast<std::int64_t>(x.size()), static_cast<std::int64_t>(y.size())));
    std::vector<double> d(x.size());
    std::transform(x.begin(), x.end(), y.begin(), d.begin(), [](double a, double b) {
      return std::isnan(a) || std::isnan(b) ? std::nan("") : a - b;
    });
    const Summary whole = summarise(d, 1);
    check_size(whole.n, 1, true);
    const Sums s = sums_on_threads(d, frame_of(whole), setup, threads);
    return results_of(s, s, options);
  }
  const Summary sx = summarise(x, 1), sy = summarise(y, 2);
  check_size(sx.n, 1, false), check_size(sy.n, 2, false);
  const Sums a = sums_on_threads(x, frame_of(sx), setup, threads);
  const Sums b = sums_on_threads(y, frame_of(sy), {seed, options.replications, 1}, threads);
  return results_of(a, b, options);
}

}  // namespace diffboot::poisson
