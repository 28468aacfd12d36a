#include "app/state.h"


namespace diffboot::app {

std::vector<MeasureOfRun> measures_of(const State& s) {
  struct Text {
    std::string_view name, label, definition;
  };
  static constexpr Text texts[] = {
      {"AVE_d", "AVE_d = ", "AVE_d = mean(x − y)"},           {"MED_d", "MED_d = ", "MED_d = median(x − y)"},
      {"d_AVE", "d_AVE = ", "d_AVE = mean(x) − mean(y)"},     {"d_MED", "d_MED = ", "d_MED = median(x) − median(y)"},
      {"d_STD", "d_STD = ", "d_STD = sd(x) − sd(y)"},         {"d_MAD", "d_MAD = ", "d_MAD = mad(x) − mad(y)"},
  };
  std::vector<MeasureOfRun> out;
  for (const analysis::MeasureRun& m : s.measures) {
    for (const Text& t : texts) {
      if (t.name == m.name) out.push_back({t.name, t.label, t.definition, &m.result, &m.replicates});
    }
  }
  return out;
}

std::string_view experiment_name(Experiment e) { return e == Experiment::paired ? "paired" : "unpaired"; }

}  // namespace diffboot::app
