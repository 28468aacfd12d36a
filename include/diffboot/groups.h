#pragma once
// Several groups in one analysis: each group against a shared control, or
// each against the one before it. Every comparison is analyse() of its two
// groups with the same options (and seed): the same numbers bit for bit as
// the program's comparisons (--control, --sequential) and its run of those
// two samples alone. With permutations, each measure's p-value is adjusted
// across the comparisons by Holm's method (MeasureResult::p_holm); the
// intervals are each comparison's own (for simultaneous ones, ask for a
// level of 1 - alpha / k for k comparisons).
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "diffboot/diffboot.h"
#include "diffboot/frames.h"

namespace diffboot {

// Each group against the first (control), or each against the one before it
// (sequential: a dose series, a time course).
enum class Design { control, sequential };

// A group: its name and values (paired: the pairs by position; NaN missing
// as Options::missing says).
struct Group {
  std::string name;
  std::span<const double> values;
};

// One comparison: group x less group y (x is sample 1, y sample 2).
struct Comparison {
  std::string name;      // "horsebean - casein"
  std::size_t x = 0, y = 0;  // the groups' positions in the list given
  Results results;       // analyse() of the two groups; no measures when it stopped
  // Why it stopped, when its samples are too few for the experiment (a
  // repeated-measures comparison of fewer than 2 pairs): the others go on.
  std::string stopped;
};

// The comparisons of `design` in order: G1 - G0, G2 - G0, ... (control, the
// first group), G1 - G0, G2 - G1, ... (sequential). Throws Error when the
// groups make no design (fewer than two, one named twice, the control among
// the others) or a group holds a value that is not a finite number, before
// anything is computed.
std::vector<Comparison> analyse_groups(std::span<const Group> groups, Design design, const Options& options);

// The groups `groups` of a frame's long form (the rows of `by` naming them,
// their values in `value`), paired by `id` when it has cells: each comparison
// pairs the ids present in both of its groups, as frame_groups() does. A
// group the frame lacks is an Error listing those it has.
std::vector<Comparison> analyse_groups(const Column& by, const Column& value, const Column& id,
                                       std::span<const std::string> groups, Design design, const Options& options);

}  // namespace diffboot
