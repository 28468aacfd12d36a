#pragma once
// Several groups in one run: which comparisons a design makes of them, what
// keeps a list of groups from one, and Holm's adjustment of the p-values of
// one measure across the comparisons. The program and the library both take
// their comparisons from here.
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace diffboot::analysis {

// How the groups are compared: each with the first (a shared control), or
// each with the one before it (steps of a sequence).
enum class Design { control, sequential };

// "control" or "sequential".
std::string_view design_name(Design d);

// One comparison: the groups at positions x and y of the list, x less y (x
// is sample 1, y sample 2).
struct GroupPair {
  std::size_t x, y;
};

// Whether two names name one group (by default: the same text).
using SameGroup = std::function<bool(std::string_view, std::string_view)>;

// What keeps `groups` (the control first, for Design::control) from a
// design: fewer than two groups, a group named twice, the control among the
// groups compared with it; nothing when they make one.
std::optional<std::string> groups_problem(std::span<const std::string> groups, Design d, const SameGroup& same = {});

// The comparisons of the design in order: G1 - G0, G2 - G0, ... (control),
// G1 - G0, G2 - G1, ... (sequential). `groups` must make a design.
std::vector<GroupPair> comparisons(std::size_t groups, Design d);

// A comparison's name: "G1 - G0".
std::string comparison_name(std::string_view x, std::string_view y);

// Holm's step-down adjustment of the p-values of one family: with the m
// p-values that are numbers sorted, p(1) <= ... <= p(m), the i-th becomes
// max over j <= i of min(1, (m - j + 1) p(j)). A NaN (a p-value not given)
// stays NaN and does not count in m.
std::vector<double> holm(std::span<const double> p);

}  // namespace diffboot::analysis
