#include "analysis/groups.h"

#include <algorithm>
#include <cmath>

namespace diffboot::analysis {

std::string_view design_name(Design d) { return d == Design::control ? "control" : "sequential"; }

std::optional<std::string> groups_problem(std::span<const std::string> groups, Design d, const SameGroup& same) {
  const auto one = [&same](std::string_view a, std::string_view b) { return same ? same(a, b) : a == b; };
  if (groups.size() < 2) {
    // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) on "literal" + std::string&&.
    std::string s = std::to_string(groups.size());
    if (groups.size() == 1) {
      s.append(" group named (\"").append(groups[0]).append("\")");
    } else {
      s.append(" groups named");
    }
    return s.append(", but a comparison needs two");
  }
  for (std::size_t j = 1; j < groups.size(); ++j) {
    for (std::size_t i = 0; i < j; ++i) {
      if (!one(groups[i], groups[j])) continue;
      if (d == Design::control && i == 0) {
        return "the control \"" + groups[0] + "\" is among the groups compared with it (\"" + groups[j] + "\")";
      }
      if (groups[i] == groups[j]) return "the group \"" + groups[i] + "\" is named twice: name each group once";
      return "\"" + groups[i] + "\" and \"" + groups[j] + "\" name one group: name each group once";
    }
  }
  return std::nullopt;
}

std::vector<GroupPair> comparisons(std::size_t groups, Design d) {
  std::vector<GroupPair> out;
  for (std::size_t k = 1; k < groups; ++k) out.push_back({k, d == Design::control ? 0 : k - 1});
  return out;
}

std::string comparison_name(std::string_view x, std::string_view y) {
  return std::string(x) + " - " + std::string(y);
}

std::vector<double> holm(std::span<const double> p) {
  std::vector<double> adjusted(p.size(), std::nan(""));
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (!std::isnan(p[i])) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&p](std::size_t a, std::size_t b) { return p[a] < p[b]; });
  const std::size_t m = order.size();
  double running = 0.0;
  for (std::size_t j = 0; j < m; ++j) {
    running = std::max(running, std::min(1.0, static_cast<double>(m - j) * p[order[j]]));
    adjusted[order[j]] = running;
  }
  return adjusted;
}

}  // namespace diffboot::analysis
