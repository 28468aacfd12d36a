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

void set_replications(State& s, std::int32_t B) {
  s.B = B;
  for (Replicates* r : {&s.AVE_d_boot, &s.MED_d_boot, &s.d_AVE_boot, &s.d_MED_boot, &s.d_STD_boot, &s.d_MAD_boot}) {
    *r = State::filled(B);
  }
}

}  // namespace diffboot::app
