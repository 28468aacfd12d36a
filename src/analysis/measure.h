#pragma once
// The measures an analysis bootstraps, as a type: each kind with its name,
// the experiments it belongs to, whether it is in the data's units, the
// values it can take and the statistic its permutation test computes.
// Names are read once, where they come in (command line, library, bindings).
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bootstrap/bootstrap.h"
#include "bootstrap/permutation.h"
#include "analysis/settings.h"

namespace diffboot::analysis {

// Q_d and d_Q are the quantile measures, each named by its probability
// (quantile_name): the p-quantile of the differences (paired), the
// p-quantile of x less that of y (unpaired). d_PROP, PROP_d and h are the
// measures of proportions (0/1 values): p_x - p_y unpaired and paired (the
// bootstrap of d_AVE and AVE_d of the same values) and Cohen's h,
// 2 asin(sqrt(p_x)) - 2 asin(sqrt(p_y)) (Cohen 1988, sec. 6.2); the lift is
// a measure of both kinds of data.
enum class MeasureKind { AVE_d, MED_d, d_AVE, d_MED, d_STD, d_MAD, g, delta, lift, Q_d, d_Q, d_PROP, PROP_d, h };

struct MeasureInfo {
  MeasureKind kind;
  std::string_view name;          // as the user writes it: "d_AVE"
  bool paired, unpaired;          // the experiments it is a measure of
  bool data_units;                // a difference in the data's units (g, delta and lift are unitless)
  bootstrap::Range range;         // the values it can take
  bootstrap::Statistic statistic;  // what its permutation test computes
  std::string_view words;         // what it is, as the report and figures say: "difference of means"
  bool of_values, of_proportions;  // a measure of any values, of proportions (--proportions), or of both
};

// The facts of a kind of measure.
const MeasureInfo& info(MeasureKind kind);

// The kind a name stands for, of either experiment; nothing for an unknown
// name and for the quantile measures, whose names carry their probability.
std::optional<MeasureKind> measure_named(std::string_view name);

// The name of the p-quantile measure of experiment e, p in percent as the
// shortest decimal: d_Q90 (unpaired), Q99.9_d (paired).
std::string quantile_name(double p, Experiment e);

// The quantile measures' kind of experiment e.
MeasureKind quantile_kind(Experiment e);

// What keeps probabilities from being quantile measures ("quantile 1 is not a
// probability strictly between 0 and 1", "10 quantiles, but at most 9",
// "quantile 0.5 is asked for twice"), or nothing.
std::optional<std::string> quantiles_problem(std::span<const double> p);

// Kinds of measures read from names, or the problem with the first name that
// is not a measure of experiment e: "delta is not a measure of a paired
// experiment", "\"cohen\" is not a measure; the measures of an unpaired
// experiment are d_AVE, d_MED, d_STD, d_MAD, g, delta, lift, all". The
// quantile measures of the probabilities `quantiles` are measures too (the
// list of measures names them before all): without names all of them are
// chosen, with names those named.
// With `proportions` the measures are those of proportions (d_PROP, lift,
// h; paired PROP_d, lift, h), and no quantile measure is one of them.
struct ParsedMeasures {
  std::vector<MeasureKind> kinds;  // with names, exactly those named: none where only quantile measures are
  bool named = false;              // names were given (kinds empty then means none, not the experiment's)
  std::vector<double> quantiles;  // the probabilities of the quantile measures chosen
  std::optional<std::string> problem;
};
ParsedMeasures parse_measures(const std::vector<std::string>& names, Experiment e,
                              std::span<const double> quantiles = {}, bool proportions = false);

// The measures of proportions of experiment e in report order: d_PROP,
// lift, h (unpaired); PROP_d, lift, h (paired).
std::span<const std::string_view> proportion_measure_names(Experiment e);

}  // namespace diffboot::analysis
