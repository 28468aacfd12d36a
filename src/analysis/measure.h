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

enum class MeasureKind { AVE_d, MED_d, d_AVE, d_MED, d_STD, d_MAD, g, delta, lift };

struct MeasureInfo {
  MeasureKind kind;
  std::string_view name;          // as the user writes it: "d_AVE"
  bool paired, unpaired;          // the experiments it is a measure of
  bool data_units;                // a difference in the data's units (g, delta and lift are unitless)
  bootstrap::Range range;         // the values it can take
  bootstrap::Statistic statistic;  // what its permutation test computes
};

// The facts of a kind of measure.
const MeasureInfo& info(MeasureKind kind);

// The kind a name stands for, of either experiment; nothing for an unknown name.
std::optional<MeasureKind> measure_named(std::string_view name);

// Kinds of measures read from names, or the problem with the first name that
// is not a measure of experiment e: "delta is not a measure of a paired
// experiment", "\"cohen\" is not a measure; the measures of an unpaired
// experiment are d_AVE, d_MED, d_STD, d_MAD, g, delta, all".
struct ParsedMeasures {
  std::vector<MeasureKind> kinds;
  std::optional<std::string> problem;
};
ParsedMeasures parse_measures(const std::vector<std::string>& names, Experiment e);

}  // namespace diffboot::analysis
