#include "app/state.h"

#include <memory>

namespace diffboot::app {
namespace {

std::unique_ptr<State>& current() {
  static std::unique_ptr<State> s = std::make_unique<State>();
  return s;
}

}  // namespace

State& state() { return *current(); }

void reset_state(unsigned threads) {
  current() = std::make_unique<State>();
  current()->threads = threads;
}

std::vector<MeasureOfRun> measures_of(const State& s) {
  if (s.experiment_type == 'p') {
    return {{"AVE_d", "AVE_d = ", "AVE_d = mean(x − y)", &s.AVE_d, &s.AVE_d_boot},
            {"MED_d", "MED_d = ", "MED_d = median(x − y)", &s.MED_d, &s.MED_d_boot}};
  }
  if (s.experiment_type == 'u') {
    return {{"d_AVE", "d_AVE = ", "d_AVE = mean(x) − mean(y)", &s.d_AVE, &s.d_AVE_boot},
            {"d_MED", "d_MED = ", "d_MED = median(x) − median(y)", &s.d_MED, &s.d_MED_boot},
            {"d_STD", "d_STD = ", "d_STD = sd(x) − sd(y)", &s.d_STD, &s.d_STD_boot},
            {"d_MAD", "d_MAD = ", "d_MAD = mad(x) − mad(y)", &s.d_MAD, &s.d_MAD_boot}};
  }
  return {};
}

void set_replications(State& s, std::int32_t B) {
  s.B = B;
  for (Replicates* r : {&s.AVE_d_boot, &s.MED_d_boot, &s.d_AVE_boot, &s.d_MED_boot, &s.d_STD_boot, &s.d_MAD_boot}) {
    *r = State::filled(B);
  }
}

}  // namespace diffboot::app
