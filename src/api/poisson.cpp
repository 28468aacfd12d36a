// The library's entries to the Poisson bootstrap: the public kinds mapped
// onto the engine's, and the engine's refusals onto the library's Error.
#include "diffboot/poisson.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <string>
#include <utility>

#include "analysis/settings.h"
#include "api/control_access.h"
#include "api/mapping.h"
#include "poisson/analyse.h"
#include "poisson/sums.h"

namespace diffboot::poisson {
namespace {

static_assert(min_size == engine::min_size);

// What `body` returns, the engine's refusal thrown as the library's Error.
template <class Body>
auto mapped(Body body) -> decltype(body()) {
  try {
    return body();
  } catch (const engine::Error& e) {
    throw Error(e.what());
  }
}

engine::Summary engine_summary(const Summary& s) { return {s.n, s.missing, s.sum, s.sum_errors, s.min, s.max}; }
Summary public_summary(const engine::Summary& s) { return {s.n, s.missing, s.sum, s.sum_errors, s.min, s.max}; }
engine::Frame engine_frame(const Frame& f) { return {f.pivot, f.scale, f.n, f.missing, f.min, f.max}; }
Frame public_frame(const engine::Frame& f) { return {f.pivot, f.scale, f.n, f.missing, f.min, f.max}; }
engine::Setup engine_setup(const Setup& s) { return {s.seed, s.replications, s.sample}; }
Setup public_setup(const engine::Setup& s) { return {s.seed, s.replications, s.sample}; }

engine::Sums engine_sums(Sums s) {
  return {engine_frame(s.frame), engine_setup(s.setup), s.rows, s.powers, std::move(s.weights), std::move(s.moments),
          s.cross};
}
Sums public_sums(engine::Sums s) {
  return {public_frame(s.frame), public_setup(s.setup), s.rows, s.powers, std::move(s.weights), std::move(s.moments),
          s.cross};
}

// The measures of proportions as the engine's: d_PROP (PROP_d) is the mean
// difference of the 0/1 values, d_AVE (AVE_d), lift their lift; none or
// "all" both. h is not one of the engine's measures.
std::vector<std::string> proportion_measures(const Options& o) {
  const bool paired = o.experiment == diffboot::Experiment::paired;
  const std::string mean = paired ? "AVE_d" : "d_AVE";
  if (o.measures.empty() || o.measures == std::vector<std::string>{"all"}) return {mean, "lift"};
  std::vector<std::string> out;
  for (const std::string& name : o.measures) {
    if (name == (paired ? "PROP_d" : "d_PROP")) {
      out.push_back(mean);
    } else if (name == "lift") {
      out.push_back(name);
    } else if (name == "h") {
      throw Error("h is not given by the Poisson bootstrap of proportions, whose engine has no Cohen's h; of 0/1 "
                  "values the two counts (successes, trials) are all there is: their analysis (--counts, "
                  "analyse_counts) gives h with " + std::string(paired ? "PROP_d" : "d_PROP") + " and lift");
    } else {
      throw Error(name + " is not a measure of proportions (0/1 values)");
    }
  }
  return out;
}

// The options as the engine's settings; the experiment must be one of its
// two values before it is mapped.
engine::Settings settings_of(const Options& o) {
  if (o.experiment != diffboot::Experiment::paired && o.experiment != diffboot::Experiment::unpaired) {
    throw Error("the experiment is neither paired nor unpaired");
  }
  if (!o.quantiles.empty()) throw Error("quantiles are not part of the Poisson bootstrap, which weighs sums");
  if (o.acceleration != Acceleration::grid) {
    throw Error("acceleration samples is not for the Poisson bootstrap, whose BCa acceleration is its own");
  }
  const unsigned threads = o.threads != 0 ? o.threads : std::max(1u, std::thread::hardware_concurrency());
  return {api::engine_experiment(o.experiment), o.alpha, o.replications, o.seed.value_or(analysis::fixed_seed),
          threads, o.proportions ? proportion_measures(o) : o.measures, o.permutations, o.keep_replicates};
}

// A measure's name in the results: of proportions, the mean difference is d_PROP (PROP_d).
std::string public_name(std::string_view name, const Options& o) {
  if (o.proportions && name == "d_AVE") return "d_PROP";
  if (o.proportions && name == "AVE_d") return "PROP_d";
  return std::string(name);
}

Results public_results(engine::Outcome r, const Options& o) {
  Results out{o, r.n_x, r.n_y, {}, r.missing_x, r.missing_y};
  for (engine::MeasureRun& m : r.measures) {
    const bootstrap::Result& e = m.result;
    out.measures.push_back({public_name(m.name, o), e.estimate, e.se, e.bias, e.t_lower, e.t_upper, e.bca_lower,
                            e.bca_upper, e.percentile_lower, e.percentile_upper, e.basic_lower, e.basic_upper, e.z0,
                            e.acceleration, std::nan(""), std::nan(""), std::move(m.in_order), std::move(m.notes)});
  }
  return out;
}

}  // namespace

Summary summarise(std::span<const double> values, int sample) {
  return mapped([&] { return public_summary(engine::summarise(values, sample)); });
}

void merge(Summary& into, const Summary& from) {
  engine::Summary whole = engine_summary(into);
  engine::merge(whole, engine_summary(from));
  into = public_summary(whole);
}

Frame frame_of(const Summary& whole) { return public_frame(engine::frame_of(engine_summary(whole))); }

Sums partition_sums(std::span<const double> values, std::span<const std::uint64_t> keys, const Frame& frame,
                    const Setup& setup) {
  return mapped([&] { return public_sums(engine::partition_sums(values, keys, engine_frame(frame), engine_setup(setup))); });
}

Sums partition_sums(std::span<const double> values, std::uint64_t first_position, const Frame& frame,
                    const Setup& setup) {
  return mapped(
      [&] { return public_sums(engine::partition_sums(values, first_position, engine_frame(frame), engine_setup(setup))); });
}

void merge(Sums& into, const Sums& from) {
  const engine::Sums part = engine_sums(from);
  engine::Sums whole = engine_sums(std::move(into));
  try {
    engine::merge(whole, part);
  } catch (const engine::Error& e) {
    into = public_sums(std::move(whole));  // refused before anything was added
    throw Error(e.what());
  }
  into = public_sums(std::move(whole));
}

Summary summarise_second_halves(std::span<const double> differences, std::span<const double> second) {
  return mapped([&] { return public_summary(engine::summarise(engine::present_second_halves(differences, second), 2)); });
}

Sums second_half_sums(std::span<const double> differences, std::span<const double> second,
                      std::span<const std::uint64_t> keys, const Frame& differences_frame, const Frame& second_frame,
                      const Setup& setup) {
  if (keys.size() != differences.size()) {
    throw Error("the keys number " + std::to_string(keys.size()) + " but the pairs " +
                std::to_string(differences.size()));
  }
  return mapped([&] {
    return public_sums(engine::second_half_sums(differences, second, keys, 0, engine_frame(differences_frame),
                                                engine_frame(second_frame), engine_setup(setup)));
  });
}

Sums second_half_sums(std::span<const double> differences, std::span<const double> second,
                      std::uint64_t first_position, const Frame& differences_frame, const Frame& second_frame,
                      const Setup& setup) {
  return mapped([&] {
    return public_sums(engine::second_half_sums(differences, second, {}, first_position,
                                                engine_frame(differences_frame), engine_frame(second_frame),
                                                engine_setup(setup)));
  });
}

Results results(const Sums& x, const Sums& y, const Options& options) {
  const engine::Settings settings = settings_of(options);
  return mapped([&] { return public_results(engine::results(engine_sums(x), engine_sums(y), settings), options); });
}

Results analyse(std::span<const double> x, std::span<const double> y, const Options& options) {
  const engine::Settings settings = settings_of(options);
  return mapped([&] { return public_results(engine::analyse(x, y, settings), options); });
}

Results analyse(std::span<const double> x, std::span<const double> y, const Options& options, Control& control) {
  const engine::Settings settings = settings_of(options);
  bootstrap::Progress& progress = ControlAccess::progress(control);
  try {
    return mapped([&] { return public_results(engine::analyse(x, y, settings, &progress), options); });
  } catch (const bootstrap::Stopped& e) {
    throw Cancelled(e.what());
  }
}

}  // namespace diffboot::poisson
