#pragma once
// Notes on numbers that are what their definitions say but would mislead a
// reader who takes them at face value: a lift over a sample 2 of negative or
// uncertain mean, bounds read at levels the replicates do not reach. Both the
// ordinary and the Poisson bootstrap add them to their measures' notes, a
// line each (no line end).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bootstrap/result.h"

namespace diffboot::analysis {

// The notes on a lift whose sample 2 (paired: the pairs' second halves) has
// this mean, standard deviation and size: a negative mean turns the lift's
// sign around; a mean within two standard errors of 0 makes the lift
// unstable (its replicates and bounds swing with the few resamples whose
// mean nears 0). None for a mean of 0 (the lift is not defined).
std::vector<std::string> lift_notes(double mean, double sd, std::size_t n);

// The note on a measure whose BCa or percentile bounds are the smallest or
// the largest of its B replicates because their levels lie beyond them
// (bootstrap::beyond_replicates), read from its z0 and acceleration at
// alpha as its intervals were formed: which bounds, and the B the levels
// need. Nothing where every level lies within the replicates, or the
// measure's bounds are not numbers.
std::optional<std::string> extreme_level_note(std::string_view name, const bootstrap::Result& r, double alpha,
                                              std::size_t replications);

}  // namespace diffboot::analysis
