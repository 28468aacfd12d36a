#include "app/state.h"

namespace diffboot::app {

std::vector<MeasureOfRun> measures_of(const State& s) {
  struct Text {
    std::string_view name, label, words;
  };
  static constexpr Text texts[] = {
      {"AVE_d", "AVE_d = ", "mean difference"},     {"MED_d", "MED_d = ", "median difference"},
      {"d_AVE", "d_AVE = ", "difference of means"}, {"d_MED", "d_MED = ", "difference of medians"},
      {"d_STD", "d_STD = ", "difference of SDs"},   {"d_MAD", "d_MAD = ", "difference of MADs"},
      {"g", "g     = ", "Hedges' g"},                 {"delta", "delta = ", "Cliff's delta"},
      {"lift", "lift% = ", "relative difference of means"},
  };
  std::vector<MeasureOfRun> out;
  for (const analysis::MeasureRun& m : s.measures) {
    for (const Text& t : texts) {
      if (t.name == m.name) out.push_back({t.name, t.label, t.words, &m});
    }
  }
  return out;
}

std::string_view experiment_name(Experiment e) { return e == Experiment::paired ? "paired" : "unpaired"; }

std::string name_field(const std::string& name) {
  std::string field = name;
  if (field.size() < filename_length) field.resize(filename_length, ' ');
  return field;
}

}  // namespace diffboot::app
