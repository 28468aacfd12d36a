#include "poisson/analyse.h"

#include <algorithm>
#include <cmath>

#include "analysis/analysis.h"
#include "analysis/settings.h"
#include "numeric/errors.h"

namespace diffboot::poisson::engine {
namespace {

// The first halves of the pairs, NaN where the difference is (a half missing).
std::vector<double> present_first_halves(std::span<const double> differences, std::span<const double> first) {
  return present_second_halves(differences, first);
}

void check_size(std::int64_t n, int sample, bool paired) {
  if (n == 0) throw Error("sample " + std::to_string(sample) + " has no values");
  if (n < min_size) {
    throw Error(std::string("Too few values for the Poisson bootstrap: ") +
                (paired ? "at least " + std::to_string(min_size) + " pairs are needed"
                        : "each sample needs at least " + std::to_string(min_size)));
  }
}

// The measures from the whole sums, the lift's bounds clipped to
// `lift_range`.
Outcome outcome_of(const Sums& x, const Sums& y, const Settings& o, bootstrap::Range lift_range) {
  const bool paired = o.experiment == Experiment::paired;
  Outcome out{x.rows, paired ? x.rows : y.rows, x.frame.missing, paired ? x.frame.missing : y.frame.missing, {}};
  try {
    out.measures = measure_runs(x, y, o.experiment, o.alpha, o.measures, o.keep_replicates, lift_range);
  } catch (const numeric::LibraryError& e) {
    throw Error(e.record());
  }
  return out;
}

}  // namespace

void check(const Settings& o) {
  analysis::Settings s;
  s.experiment = o.experiment, s.alpha = o.alpha, s.seed = o.seed;
  s.replications = static_cast<std::int32_t>(std::clamp<std::int64_t>(o.replications, 0, analysis::max_replications + 1));
  if (o.experiment != Experiment::paired && o.experiment != Experiment::unpaired) {
    throw Error("the experiment is neither paired nor unpaired");
  }
  // Sizes that pass, so that only the settings are checked here.
  if (const std::optional<std::string> problem = analysis::problem(3, 3, s)) throw Error(*problem);
  if (o.permutations != 0) throw Error("permutation p-values are not part of the Poisson bootstrap");
  if (const std::optional<std::string> problem = measures_problem(o.measures, o.experiment)) throw Error(*problem);
}

Outcome results(const Sums& x, const Sums& y, const Settings& settings) {
  check(settings);
  const bool paired = settings.experiment == Experiment::paired;
  const bool second_halves = needs_second_halves(settings.measures, settings.experiment);
  for (const Sums* s : {&x, &y}) {
    if (paired && !second_halves && s == &y) break;
    const int sample = s == &x ? 1 : 2;
    if (s->setup.seed != settings.seed || s->setup.replications != settings.replications ||
        s->setup.sample != sample - 1) {
      throw Error("the sums of sample " + std::to_string(sample) + " are not of this seed, B and sample");
    }
    if (s->rows != s->frame.n) {
      throw Error("the sums of sample " + std::to_string(sample) + " hold " + std::to_string(s->rows) + " of its " +
                  std::to_string(s->frame.n) + " values: a part is missing or added twice");
    }
    check_size(s->rows, sample, paired);
  }
  if (second_halves && y.rows != x.rows) {
    throw Error("the sums of the pairs' second halves hold " + std::to_string(y.rows) + " pairs, the differences' " +
                std::to_string(x.rows));
  }
  if (second_halves && y.weights != x.weights) {
    throw Error("the sums of the pairs' second halves are not weighed as the differences: form them with "
                "second_half_sums");
  }
  return outcome_of(x, y, settings, lift_range_of_frames(x, y, settings.experiment));
}

namespace {

// Sets `progress`, if given, to a run of `rows` rows a replicate.
void start(bootstrap::Progress* progress, std::int64_t rows, std::int64_t replications) {
  if (progress == nullptr) return;
  progress->total = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(replications));
  progress->done.store(0, std::memory_order_relaxed);
}

}  // namespace

Outcome analyse(std::span<const double> x, std::span<const double> y, const Settings& settings,
                bootstrap::Progress* progress) {
  check(settings);
  const unsigned threads = std::max(1u, settings.threads);
  const Setup setup{settings.seed, settings.replications, 0};
  if (settings.experiment == Experiment::paired) {
    if (x.size() != y.size()) {
      throw Error("a paired experiment needs " + analysis::unequal_sizes(static_cast<std::int64_t>(x.size()),
                                                                         static_cast<std::int64_t>(y.size())));
    }
    std::vector<double> d(x.size());
    std::transform(x.begin(), x.end(), y.begin(), d.begin(), [](double a, double b) {
      return std::isnan(a) || std::isnan(b) ? std::nan("") : a - b;
    });
    const Summary whole = summarise(d, 1);
    check_size(whole.n, 1, true);
    const Frame frame = frame_of(whole);
    const bool halves = needs_second_halves(settings.measures, settings.experiment);
    start(progress, halves ? 2 * whole.n : whole.n, settings.replications);
    const Sums s = sums_on_threads(d, frame, setup, threads, progress);
    if (!halves) return outcome_of(s, s, settings, {});
    const Frame second = frame_of(summarise(present_second_halves(d, y), 2));
    return outcome_of(s, second_half_sums(d, y, {}, 0, frame, second, setup, threads, progress), settings,
                      bootstrap::lift_range_of(present_first_halves(d, x), present_second_halves(d, y)));
  }
  const Summary sx = summarise(x, 1), sy = summarise(y, 2);
  check_size(sx.n, 1, false), check_size(sy.n, 2, false);
  start(progress, sx.n + sy.n, settings.replications);
  const Sums a = sums_on_threads(x, frame_of(sx), setup, threads, progress);
  const Sums b = sums_on_threads(y, frame_of(sy), {settings.seed, settings.replications, 1}, threads, progress);
  return outcome_of(a, b, settings, bootstrap::lift_range_of(sx.min, sy.min));
}

}  // namespace diffboot::poisson::engine
