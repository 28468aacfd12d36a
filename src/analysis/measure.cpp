#include "analysis/measure.h"

#include <algorithm>
#include <array>

namespace diffboot::analysis {
namespace {

using bootstrap::Statistic;
constexpr bootstrap::Range unbounded{};

// In the order the kinds are declared.
constexpr std::array<MeasureInfo, 9> measures{{
    {MeasureKind::AVE_d, "AVE_d", true, false, true, unbounded, Statistic::mean},
    {MeasureKind::MED_d, "MED_d", true, false, true, unbounded, Statistic::median},
    {MeasureKind::d_AVE, "d_AVE", false, true, true, unbounded, Statistic::mean_difference},
    {MeasureKind::d_MED, "d_MED", false, true, true, unbounded, Statistic::median_difference},
    {MeasureKind::d_STD, "d_STD", false, true, true, unbounded, Statistic::sd_difference},
    {MeasureKind::d_MAD, "d_MAD", false, true, true, unbounded, Statistic::mad_difference},
    {MeasureKind::g, "g", true, true, false, unbounded, Statistic::g},
    {MeasureKind::delta, "delta", false, true, false, {-1.0, 1.0}, Statistic::delta},
    {MeasureKind::lift, "lift", true, true, false, {-1.0, unbounded.upper}, Statistic::lift},
}};

bool of_experiment(const MeasureInfo& m, Experiment e) { return e == Experiment::paired ? m.paired : m.unpaired; }

// "a paired", "an unpaired".
std::string experiment_words(Experiment e) { return e == Experiment::paired ? "a paired" : "an unpaired"; }

}  // namespace

const MeasureInfo& info(MeasureKind kind) { return measures[static_cast<std::size_t>(kind)]; }

std::optional<MeasureKind> measure_named(std::string_view name) {
  const auto found = std::ranges::find(measures, name, &MeasureInfo::name);
  if (found == measures.end()) return std::nullopt;
  return found->kind;
}

ParsedMeasures parse_measures(const std::vector<std::string>& names, Experiment e) {
  ParsedMeasures out;
  for (const std::string& name : names) {
    const std::optional<MeasureKind> kind = measure_named(name);
    if (kind && of_experiment(info(*kind), e)) {
      out.kinds.push_back(*kind);
      continue;
    }
    out.kinds.clear();
    if (kind) {
      out.problem = name + " is not a measure of " + experiment_words(e) + " experiment";
      return out;
    }
    std::string list;
    for (const MeasureInfo& m : measures) {
      if (of_experiment(m, e)) list += std::string(m.name) + ", ";
    }
    out.problem = "\"" + name + "\" is not a measure; the measures of " + experiment_words(e) + " experiment are " +
                  list + "all";
    return out;
  }
  return out;
}

}  // namespace diffboot::analysis
