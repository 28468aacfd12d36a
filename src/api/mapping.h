#pragma once
// The library's public kinds mapped onto the engine's own, one to one. The
// public ones must already be checked to be one of their values.
#include "analysis/settings.h"
#include "bootstrap/experiment.h"
#include "diffboot/diffboot.h"

namespace diffboot::api {

inline bootstrap::Experiment engine_experiment(diffboot::Experiment e) {
  return e == diffboot::Experiment::paired ? bootstrap::Experiment::paired : bootstrap::Experiment::unpaired;
}

inline analysis::Acceleration engine_acceleration(diffboot::Acceleration a) {
  return a == diffboot::Acceleration::samples ? analysis::Acceleration::samples : analysis::Acceleration::grid;
}

}  // namespace diffboot::api
