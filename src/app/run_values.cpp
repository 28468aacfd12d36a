#include "app/run_values.h"

namespace diffboot::app {

std::vector<MeasureOfRun> measures_of(const MeasureRuns& measures) {
  struct Text {
    std::string_view name, label, words;
  };
  static constexpr Text texts[] = {
      {"AVE_d", "AVE_d = ", "mean difference"},     {"MED_d", "MED_d = ", "median difference"},
      {"d_AVE", "d_AVE = ", "difference of means"}, {"d_MED", "d_MED = ", "difference of medians"},
      {"d_STD", "d_STD = ", "difference of SDs"},   {"d_MAD", "d_MAD = ", "difference of MADs"},
      {"g", "g     = ", "Hedges' g"},                 {"delta", "delta = ", "Cliff's delta"},
      {"lift", "lift% = ", "relative difference of means"},
      {"d_PROP", "d_PROP= ", "difference of proportions"}, {"PROP_d", "PROP_d= ", "difference of proportions"},
      {"h", "h     = ", "Cohen's h"},
  };
  std::vector<MeasureOfRun> out;
  for (const analysis::MeasureRun& m : measures) {
    if (m.kind == analysis::MeasureKind::Q_d || m.kind == analysis::MeasureKind::d_Q) {
      // Eight characters as the others' where the name allows: "d_Q90 = ", "d_Q2.5= ", "d_Q99.9=".
      std::string label = m.name;
      if (label.size() < 6) label.resize(6, ' ');
      label += label.size() == 6 ? "= " : "=";
      const std::string percent = m.name.substr(m.name.find('Q') + 1, m.name.size() - 3);  // "90" of d_Q90, Q90_d
      out.push_back({m.name, label,
                     m.kind == analysis::MeasureKind::d_Q ? "difference of " + percent + "% quantiles"
                                                          : percent + "% quantile of differences",
                     &m});
      continue;
    }
    for (const Text& t : texts) {
      if (t.name == m.name) out.push_back({t.name, std::string(t.label), std::string(t.words), &m});
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
