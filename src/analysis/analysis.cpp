#include "analysis/analysis.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "analysis/settings.h"
#include "bootstrap/bootstrap.h"
#include "numeric/distributions.h"
#include "numeric/random.h"
#include "numeric/side_by_side.h"

namespace diffboot::analysis {
namespace {

constexpr std::string_view paired_names[] = {"AVE_d", "MED_d"};
constexpr std::string_view unpaired_names[] = {"d_AVE", "d_MED", "d_STD", "d_MAD"};

// The shortest text of a double that reads back as it ("0.025", "1e-05").
std::string shortest(double v) {
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, v).ptr};
}

std::string list_of(const std::array<double, 4>& values) {
  std::string out;
  for (double v : values) {
    if (!out.empty()) out += ", ";
    out += shortest(v);
  }
  return out;
}

std::vector<MeasureRun> measure_runs(Experiment e, std::int32_t replications) {
  std::vector<MeasureRun> runs;
  for (std::string_view name : measure_names(e)) {
    runs.push_back({name, {}, std::vector<double>(static_cast<std::size_t>(replications), bootstrap::unset)});
  }
  return runs;
}

}  // namespace

std::string alpha_list() { return list_of(alpha_levels); }

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

std::vector<MeasureRun> run_bootstrap(std::span<const double> x, std::span<const double> y,
                                      const Summaries& summaries, const Settings& settings,
                                      const Resamples& resamples, bootstrap::Progress* progress) {
  const TQuantiles t = t_quantiles(settings.alpha, static_cast<std::int64_t>(x.size()),
                                   static_cast<std::int64_t>(y.size()));
  std::vector<MeasureRun> runs = measure_runs(settings.experiment, settings.replications);
  numeric::UniformState g;
  g.initial_seed = -settings.seed;
  const auto measure = [&](std::size_t k, double quantile) {
    return bootstrap::Measure{runs[k].result, quantile, runs[k].replicates};
  };
  if (settings.experiment == Experiment::paired) {
    std::array<bootstrap::Measure, 2> m{measure(0, t.x1), measure(1, t.x1)};
    bootstrap::bootstrap_paired({x, y, resamples.x3, resamples.x3_resample}, m, settings.alpha, g, settings.threads,
                                progress);
    return runs;
  }
  const numeric::SampleSummary& a = summaries.x;
  const numeric::SampleSummary& b = summaries.y;
  const double estimates[] = {a.ave - b.ave, a.med - b.med, a.std - b.std, a.mad - b.mad};
  for (std::size_t k = 0; k < 4; ++k) runs[k].result.estimate = estimates[k];
  std::array<bootstrap::Measure, 4> m{measure(0, t.n2), measure(1, t.n2), measure(2, t.n4), measure(3, t.n4)};
  bootstrap::bootstrap_unpaired({x, y, resamples.x1, resamples.x2}, m, settings.alpha, g, settings.threads, progress);
  return runs;
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
  if (std::find(alpha_levels.begin(), alpha_levels.end(), settings.alpha) == alpha_levels.end()) {
    return "alpha " + shortest(settings.alpha) + " is not one of " + alpha_list();
  }
  if (settings.replications < min_replications || settings.replications > max_replications) {
    return "replications " + std::to_string(settings.replications) + " is not a whole number from " +
           std::to_string(min_replications) + " to " + std::to_string(max_replications);
  }
  if (settings.seed < 1) {
    return "seed " + std::to_string(settings.seed) + " is not a whole number from 1 to " + std::to_string(largest_seed);
  }
  return std::nullopt;
}

}  // namespace diffboot::analysis
