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

}  // namespace diffboot::app
