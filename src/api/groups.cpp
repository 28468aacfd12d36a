// Several groups: each comparison analyse() of its two groups, the
// comparisons and their checks as the program makes them, and Holm's
// adjustment of the p-values across them.
#include "diffboot/groups.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "analysis/analysis.h"
#include "analysis/groups.h"
#include "tables/long_form.h"

namespace diffboot {
namespace {

analysis::Design internal(Design d) {
  if (d != Design::control && d != Design::sequential) throw Error("the design is neither control nor sequential");
  return d == Design::control ? analysis::Design::control : analysis::Design::sequential;
}

analysis::Experiment internal(Experiment e) {
  return e == Experiment::paired ? analysis::Experiment::paired : analysis::Experiment::unpaired;
}

void check_groups(std::span<const std::string> names, Design design, const analysis::SameGroup& same) {
  if (const std::optional<std::string> problem = analysis::groups_problem(names, internal(design), same)) {
    throw Error(*problem);
  }
}

// The comparisons of the design, named, their results still to come.
std::vector<Comparison> planned(std::span<const std::string> names, Design design) {
  std::vector<Comparison> out;
  for (const analysis::GroupPair& p : analysis::comparisons(names.size(), internal(design))) {
    out.push_back({analysis::comparison_name(names[p.x], names[p.y]), p.x, p.y, {}, {}});
  }
  return out;
}

// Why a comparison of samples of these sizes (what is analysed, missing
// values left out) stops, or nothing.
std::optional<std::string> too_few(std::int64_t n_x, std::int64_t n_y, const Options& options) {
  return analysis::too_few_values(n_x, n_y, internal(options.experiment));
}

// The values analyse() would take of x and y: missing ones left out when
// they are skipped (paired: the pairs with a missing half).
std::pair<std::int64_t, std::int64_t> present_sizes(std::span<const double> x, std::span<const double> y,
                                                    const Options& options) {
  const auto n = [](std::span<const double> v) { return static_cast<std::int64_t>(v.size()); };
  if (options.missing != Missing::skip) return {n(x), n(y)};
  const auto nan = [](double v) { return std::isnan(v); };
  if (options.experiment != Experiment::paired) {
    return {n(x) - std::count_if(x.begin(), x.end(), nan), n(y) - std::count_if(y.begin(), y.end(), nan)};
  }
  std::int64_t pairs = 0;
  for (std::size_t i = 0; i < x.size(); ++i) pairs += !std::isnan(x[i]) && !std::isnan(y[i]) ? 1 : 0;
  return {pairs, pairs};
}

// Each measure's p_permutation adjusted across the comparisons that give it.
void adjust(std::vector<Comparison>& comparisons, const Options& options) {
  if (options.permutations == 0) return;
  std::size_t measures = 0;
  for (const Comparison& c : comparisons) measures = std::max(measures, c.results.measures.size());
  for (std::size_t i = 0; i < measures; ++i) {
    std::vector<double> p;
    for (const Comparison& c : comparisons) {
      p.push_back(i < c.results.measures.size() ? c.results.measures[i].p_permutation : std::nan(""));
    }
    const std::vector<double> adjusted = analysis::holm(p);
    for (std::size_t k = 0; k < comparisons.size(); ++k) {
      if (i < comparisons[k].results.measures.size()) comparisons[k].results.measures[i].p_holm = adjusted[k];
    }
  }
}

}  // namespace

std::vector<Comparison> analyse_groups(std::span<const Group> groups, Design design, const Options& options) {
  std::vector<std::string> names;
  for (const Group& g : groups) names.push_back(g.name);
  check_groups(names, design, {});
  for (const Group& g : groups) {
    const auto bad = std::find_if(g.values.begin(), g.values.end(), [&options](double v) {
      return options.missing == Missing::skip ? std::isinf(v) : !std::isfinite(v);
    });
    if (bad != g.values.end()) {
      throw Error("the group \"" + g.name + "\" holds a value that is not a finite number, at position " +
                  std::to_string(bad - g.values.begin() + 1));
    }
  }
  std::vector<Comparison> comparisons = planned(names, design);
  for (const Comparison& c : comparisons) {
    const std::span<const double> x = groups[c.x].values, y = groups[c.y].values;
    if (options.experiment == Experiment::paired && x.size() != y.size()) {
      throw Error(c.name + ": a paired experiment needs " + analysis::unequal_sizes(static_cast<std::int64_t>(x.size()),
                                                                                     static_cast<std::int64_t>(y.size())));
    }
  }
  for (Comparison& c : comparisons) {
    const std::span<const double> x = groups[c.x].values, y = groups[c.y].values;
    const auto [n_x, n_y] = present_sizes(x, y, options);
    if (const std::optional<std::string> few = too_few(n_x, n_y, options)) {
      c.results = {options, n_x, n_y, {}};
      c.stopped = *few;
      continue;
    }
    c.results = analyse(x, y, options);
  }
  adjust(comparisons, options);
  return comparisons;
}

std::vector<Comparison> analyse_groups(const Column& by, const Column& value, const Column& id,
                                       std::span<const std::string> groups, Design design, const Options& options) {
  check_groups(groups, design, [](std::string_view a, std::string_view b) { return tables::same_group(a, b); });
  std::vector<Comparison> comparisons = planned(groups, design);
  std::vector<FrameSamples> samples;
  for (const Comparison& c : comparisons) {
    samples.push_back(frame_groups(by, value, id, {groups[c.x], groups[c.y]}, options.experiment, options.proportions));
  }
  for (std::size_t k = 0; k < comparisons.size(); ++k) {
    Comparison& c = comparisons[k];
    const FrameSamples& s = samples[k];
    const auto n_x = static_cast<std::int64_t>(s.x.size()), n_y = static_cast<std::int64_t>(s.y.size());
    if (const std::optional<std::string> few = too_few(n_x, n_y, options)) {
      c.results = {options, n_x, n_y, {}, s.missing_x, s.missing_y,
                   options.experiment == Experiment::paired ? s.pairs_dropped : 0};
      c.stopped = *few;
      continue;
    }
    c.results = analyse(s, options);
  }
  adjust(comparisons, options);
  return comparisons;
}

}  // namespace diffboot
