#include "analysis/measure.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace diffboot::analysis {
namespace {

using bootstrap::Statistic;
constexpr bootstrap::Range unbounded{};

// In the order the kinds are declared.
constexpr std::array<MeasureInfo, 14> measures{{
    {MeasureKind::AVE_d, "AVE_d", true, false, true, unbounded, Statistic::mean, "mean difference", true, false},
    {MeasureKind::MED_d, "MED_d", true, false, true, unbounded, Statistic::median, "median difference", true, false},
    {MeasureKind::d_AVE, "d_AVE", false, true, true, unbounded, Statistic::mean_difference, "difference of means", true, false},
    {MeasureKind::d_MED, "d_MED", false, true, true, unbounded, Statistic::median_difference, "difference of medians", true, false},
    {MeasureKind::d_STD, "d_STD", false, true, true, unbounded, Statistic::sd_difference, "difference of SDs", true, false},
    {MeasureKind::d_MAD, "d_MAD", false, true, true, unbounded, Statistic::mad_difference, "difference of MADs", true, false},
    {MeasureKind::g, "g", true, true, false, unbounded, Statistic::g, "Hedges' g", true, false},
    {MeasureKind::delta, "delta", false, true, false, {-1.0, 1.0}, Statistic::delta, "Cliff's delta", true, false},
    {MeasureKind::lift, "lift", true, true, false, bootstrap::lift_range, Statistic::lift, "relative difference of means", true, true},
    {MeasureKind::Q_d, "Q_d", true, false, true, unbounded, Statistic::quantile, "quantile of differences", true, false},
    {MeasureKind::d_Q, "d_Q", false, true, true, unbounded, Statistic::quantile_difference, "difference of quantiles", true, false},
    {MeasureKind::d_PROP, "d_PROP", false, true, false, unbounded, Statistic::mean_difference,
     "difference of proportions", false, true},
    {MeasureKind::PROP_d, "PROP_d", true, false, false, unbounded, Statistic::mean, "difference of proportions",
     false, true},
    {MeasureKind::h, "h", true, true, false, {-3.141592653589793, 3.141592653589793}, Statistic::h, "Cohen's h", false,
     true},
}};

bool is_quantile(MeasureKind kind) { return kind == MeasureKind::Q_d || kind == MeasureKind::d_Q; }

bool of_experiment(const MeasureInfo& m, Experiment e) { return e == Experiment::paired ? m.paired : m.unpaired; }

bool of_data(const MeasureInfo& m, bool proportions) { return proportions ? m.of_proportions : m.of_values; }

constexpr std::string_view unpaired_proportions[] = {"d_PROP", "lift", "h"};
constexpr std::string_view paired_proportions[] = {"PROP_d", "lift", "h"};

// The shortest text of a double that reads back as it ("0.999", "1.5").
std::string shortest_text(double v) {
  char text[40];
  return {text, std::to_chars(text, text + sizeof text, v).ptr};
}

// The percent of a probability written out, as its name shows it: room for
// any double below 100 (down to the smallest, 0. and 323 zeros before its
// digits).
std::string percent_text(double p) {
  char text[400];
  const double percent = decimal15(p * 100.0);
  return {text, std::to_chars(text, text + sizeof text, percent, std::chars_format::fixed).ptr};
}

// "a paired", "an unpaired".
std::string experiment_words(Experiment e) { return e == Experiment::paired ? "a paired" : "an unpaired"; }

}  // namespace

const MeasureInfo& info(MeasureKind kind) { return measures[static_cast<std::size_t>(kind)]; }

std::optional<MeasureKind> measure_named(std::string_view name) {
  const auto found = std::ranges::find(measures, name, &MeasureInfo::name);
  if (found == measures.end() || is_quantile(found->kind)) return std::nullopt;
  return found->kind;
}

std::string quantile_name(double p, Experiment e) {
  const std::string number = percent_text(p);
  return e == Experiment::paired ? "Q" + number + "_d" : "d_Q" + number;
}

MeasureKind quantile_kind(Experiment e) { return e == Experiment::paired ? MeasureKind::Q_d : MeasureKind::d_Q; }

std::optional<std::string> quantiles_problem(std::span<const double> p) {
  for (double v : p) {
    if (!(v > 0.0 && v < 1.0)) return "quantile " + shortest_text(v) + " is not a probability strictly between 0 and 1";
  }
  if (p.size() > max_quantiles) {
    return std::to_string(p.size()) + " quantiles, but at most " + std::to_string(max_quantiles);
  }
  for (double v : p) {
    const std::string percent = percent_text(v);
    if (percent.size() > max_percent_characters) {
      return "quantile " + shortest_text(v) + " cannot be named: its percent, written out, takes more than " +
             std::to_string(max_percent_characters) + " characters";
    }
    // Just below 1: the name's 15 digits round the percent up to 100.
    if (percent == "100") {
      return "quantile " + shortest_text(v) + " cannot be named: its percent, written out in " +
             std::to_string(max_percent_characters) + " characters, rounds to 100";
    }
  }
  for (std::size_t i = 0; i < p.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (quantile_name(p[i], Experiment::unpaired) == quantile_name(p[j], Experiment::unpaired)) {
        return "quantile " + shortest_text(p[i]) + " is asked for twice";
      }
    }
  }
  return std::nullopt;
}

ParsedMeasures parse_measures(const std::vector<std::string>& names, Experiment e, std::span<const double> quantiles,
                              bool proportions) {
  ParsedMeasures out;
  out.named = !names.empty();
  if (proportions && !quantiles.empty()) {
    out.problem = "the quantile measures are not measures of proportions";
    return out;
  }
  for (double p : quantiles) {  // in their own order, as the other measures keep theirs
    if (names.empty() || std::ranges::find(names, quantile_name(p, e)) != names.end()) out.quantiles.push_back(p);
  }
  const Experiment other = e == Experiment::paired ? Experiment::unpaired : Experiment::paired;
  for (const std::string& name : names) {
    const auto named = [&name](Experiment x) { return [&name, x](double p) { return quantile_name(p, x) == name; }; };
    if (std::ranges::any_of(quantiles, named(e))) continue;
    const std::optional<MeasureKind> kind = measure_named(name);
    if (kind && of_experiment(info(*kind), e) && of_data(info(*kind), proportions)) {
      out.kinds.push_back(*kind);
      continue;
    }
    out.kinds.clear();
    out.quantiles.clear();  // nothing chosen where a name is wrong
    if (kind && of_experiment(info(*kind), e)) {
      out.problem = name + (proportions ? " is not a measure of proportions (0/1 values)"
                                        : " is a measure of proportions: it goes with --proportions");
      return out;
    }
    if (kind || std::ranges::any_of(quantiles, named(other))) {
      out.problem = name + " is not a measure of " + experiment_words(e) + " experiment";
      return out;
    }
    std::string list;
    for (const MeasureInfo& m : measures) {
      if (of_experiment(m, e) && of_data(m, proportions) && !is_quantile(m.kind)) list += std::string(m.name) + ", ";
    }
    for (double p : quantiles) list += quantile_name(p, e) + ", ";
    out.problem = "\"" + name + "\" is not a measure; the measures of " + (proportions ? "proportions of " : "") +
                  experiment_words(e) + " experiment are " + list + "all";
    return out;
  }
  return out;
}

std::span<const std::string_view> proportion_measure_names(Experiment e) {
  if (e == Experiment::paired) return paired_proportions;
  return unpaired_proportions;
}

}  // namespace diffboot::analysis
