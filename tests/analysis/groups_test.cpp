// The comparisons of several groups: Holm's adjustment against its
// definition, and what keeps a list of groups from a design.
#include "analysis/groups.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace diffboot::analysis {
namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(GroupRulesTest, HolmStepsDownTheSortedPValues) {
  // The i-th smallest of m p-values times m - i + 1, at most 1, never below
  // an adjusted smaller one; a p-value not given stays NaN and is not counted.
  struct Case {
    std::vector<double> p, adjusted;
  };
  const Case cases[] = {
      {{0.2}, {0.2}},
      {{0.01, 0.04, 0.03}, {0.03, 0.06, 0.06}},  // 0.04 x 1 is below 0.03 x 2: raised to it
      {{0.5, 0.4}, {0.8, 0.8}},
      {{0.6, 0.7, 0.01}, {1.0, 1.0, 0.03}},      // 0.6 x 2 is capped at 1
      {{0.02, 0.02}, {0.04, 0.04}},              // ties
      {{0.3, nan, 0.01}, {0.3, nan, 0.02}},      // m = 2
      {{nan, nan}, {nan, nan}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    const std::vector<double> got = holm(c.p);
    ASSERT_EQ(got.size(), c.adjusted.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      if (std::isnan(c.adjusted[i])) {
        EXPECT_TRUE(std::isnan(got[i])) << i;
      } else {
        EXPECT_DOUBLE_EQ(got[i], c.adjusted[i]) << "p-value " << i << " of " << c.p.size();
      }
    }
  }
}

TEST(GroupRulesTest, DesignsAndTheirProblems) {
  EXPECT_EQ(comparison_name("horsebean", "casein"), "horsebean - casein");
  const auto pairs = [](std::size_t n, Design d) {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    for (const GroupPair& p : comparisons(n, d)) out.emplace_back(p.x, p.y);
    return out;
  };
  using P = std::vector<std::pair<std::size_t, std::size_t>>;
  EXPECT_EQ(pairs(4, Design::control), (P{{1, 0}, {2, 0}, {3, 0}}));
  EXPECT_EQ(pairs(4, Design::sequential), (P{{1, 0}, {2, 1}, {3, 2}}));

  const SameGroup by_value = [](std::string_view a, std::string_view b) { return std::stod(std::string(a)) == std::stod(std::string(b)); };
  struct Case {
    std::vector<std::string> groups;
    Design design;
    std::string problem;  // empty: none
    SameGroup same = {};
  };
  const Case cases[] = {
      {{"a", "b", "c"}, Design::control, ""},
      {{"a", "b", "a"}, Design::sequential, "the group \"a\" is named twice: name each group once"},
      {{"a", "b", "a"}, Design::control, "the control \"a\" is among the groups compared with it (\"a\")"},
      {{"a", "b", "b"}, Design::control, "the group \"b\" is named twice: name each group once"},
      {{"a"}, Design::sequential, "1 group named (\"a\"), but a comparison needs two"},
      {{}, Design::control, "0 groups named, but a comparison needs two"},
      {{"1", "2", "2.0"}, Design::sequential, "\"2\" and \"2.0\" name one group: name each group once", by_value},
      {{"1", "2", "2.0"}, Design::sequential, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(groups_problem(c.groups, c.design, c.same).value_or(""), c.problem) << c.groups.size();
  }
}

}  // namespace
}  // namespace diffboot::analysis
