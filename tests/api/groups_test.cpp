// The library's comparisons of several groups: each analyse() of its two
// groups bit for bit, frames paired by id as frame_groups() pairs them, a
// comparison of too few pairs stopped alone, and Holm's p-values.
#include "diffboot/groups.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/groups.h"
#include "support/samples.h"

namespace diffboot {
namespace {

// Every number of a measure, as bits.
std::vector<std::uint64_t> bits_of(const MeasureResult& m) {
  std::vector<std::uint64_t> out;
  for (double v : {m.estimate, m.se, m.bias, m.t_lower, m.t_upper, m.bca_lower, m.bca_upper, m.percentile_lower,
                   m.percentile_upper, m.basic_lower, m.basic_upper, m.z0, m.acceleration, m.p_permutation, m.p_t}) {
    out.push_back(testing::bits(v));
  }
  return out;
}

void expect_same(const Results& got, const Results& alone, const std::string& what) {
  EXPECT_EQ(got.n_x, alone.n_x) << what;
  EXPECT_EQ(got.n_y, alone.n_y) << what;
  EXPECT_EQ(got.missing_x, alone.missing_x) << what;
  EXPECT_EQ(got.missing_y, alone.missing_y) << what;
  EXPECT_EQ(got.pairs_dropped, alone.pairs_dropped) << what;
  ASSERT_EQ(got.measures.size(), alone.measures.size()) << what;
  for (std::size_t i = 0; i < got.measures.size(); ++i) {
    EXPECT_EQ(got.measures[i].name, alone.measures[i].name) << what;
    EXPECT_EQ(bits_of(got.measures[i]), bits_of(alone.measures[i])) << what << " " << got.measures[i].name;
  }
}

// p_holm of every measure is Holm's adjustment of the comparisons' p_permutation.
void expect_holm(const std::vector<Comparison>& comparisons) {
  for (std::size_t i = 0; i < comparisons[0].results.measures.size(); ++i) {
    std::vector<double> p;
    for (const Comparison& c : comparisons) p.push_back(c.results.measures[i].p_permutation);
    const std::vector<double> adjusted = analysis::holm(p);
    for (std::size_t k = 0; k < comparisons.size(); ++k) {
      EXPECT_EQ(testing::bits(comparisons[k].results.measures[i].p_holm), testing::bits(adjusted[k]));
    }
  }
}

TEST(AnalyseGroupsTest, EachComparisonIsAnalyseOfItsTwoGroups) {
  const double nan = std::nan("");
  const std::vector<double> g0 = testing::shaped_sample("skewed", 12, 1), g1 = testing::shaped_sample("random", 12, 2);
  std::vector<double> g2 = testing::shaped_sample("random", 12, 3);
  g2[4] = nan;
  const std::vector<Group> groups = {{"c", g0}, {"a", g1}, {"b", g2}};
  for (const Experiment e : {Experiment::unpaired, Experiment::paired}) {
    for (const Design design : {Design::control, Design::sequential}) {
      Options o{e, 0.025, 199, 9, 1, {}, 199};
      o.missing = Missing::skip;
      const std::vector<Comparison> got = analyse_groups(groups, design, o);
      ASSERT_EQ(got.size(), 2u);
      const std::size_t y1 = design == Design::control ? 0 : 1;
      EXPECT_EQ(got[1].name, std::string("b - ") + (y1 == 0 ? "c" : "a"));
      EXPECT_EQ(got[1].x, 2u);
      EXPECT_EQ(got[1].y, y1);
      expect_same(got[0].results, analyse(g1, g0, o), got[0].name);
      expect_same(got[1].results, analyse(g2, groups[y1].values, o), got[1].name);
      expect_holm(got);
    }
  }
}

TEST(AnalyseGroupsTest, FramesPairEachComparisonByItsIds) {
  // Ids 1-6 at t0; t1 lacks 4 and holds NA for 6; t2 shares only id 1 with t1.
  const std::vector<std::string> time = {"t0", "t0", "t0", "t0", "t0", "t0", "t1", "t1", "t1", "t1", "t1", "t2", "t2",
                                         "t2", "t2"};
  const std::vector<std::string> ids = {"1", "2", "3", "4", "5", "6", "3", "1", "2", "5", "6", "1", "4", "8", "9"};
  const std::vector<double> value = {5.1, 4.7, 6.2, 5.5, 4.9, 6.0, 6.9, 5.8, 5.0, 5.9, std::nan(""), 6.4, 7.0, 6.1, 5.5};
  const Column by{"time", {}, time, {}, true}, v{"value", value, {}, {}, false}, id{"id", {}, ids, {}, true};
  Options o{Experiment::paired, 0.025, 199, {}, 1, {}, 199};
  const std::vector<std::string> names = {"t0", "t1", "t2"};
  const std::vector<Comparison> control = analyse_groups(by, v, id, names, Design::control, o);
  ASSERT_EQ(control.size(), 2u);
  for (const Comparison& c : control) {
    EXPECT_EQ(c.stopped, "");
    expect_same(c.results, analyse(frame_groups(by, v, id, {names[c.x], names[c.y]}, o.experiment), o), c.name);
  }
  EXPECT_EQ(control[0].results.pairs_dropped, 2);
  expect_holm(control);

  // t2 - t1 pairs one id: it stops, the comparison before it is given.
  const std::vector<Comparison> steps = analyse_groups(by, v, id, names, Design::sequential, o);
  expect_same(steps[0].results, control[0].results, steps[0].name);
  EXPECT_EQ(steps[1].name, "t2 - t1");
  EXPECT_EQ(steps[1].stopped, "Too few values for a paired experiment: at least 2 pairs are needed");
  EXPECT_TRUE(steps[1].results.measures.empty());
  EXPECT_EQ(steps[1].results.n_x, 1);
  EXPECT_EQ(steps[1].results.pairs_dropped, 7);  // of the ids 3, 1, 2, 5, 6, 4, 8, 9
  // The family of the p-values is the comparisons that give them.
  EXPECT_EQ(testing::bits(steps[0].results.measures[0].p_holm), testing::bits(steps[0].results.measures[0].p_permutation));
}

TEST(AnalyseGroupsTest, BadGroupsAreErrorsBeforeAnythingIsComputed) {
  const std::vector<double> a = {1, 2, 3, 4}, b = {2, 3, 4, 5}, inf = {1, 2, INFINITY};
  const std::vector<std::string> time = {"a", "a", "a", "b", "b", "b"};
  const std::vector<double> value = {1, 2, 3, 4, 5, 6};
  const Column by{"time", {}, time, {}, true}, v{"value", value, {}, {}, false}, none{};
  struct Case {
    std::vector<Group> groups;
    Design design;
    std::string message;
  };
  const Case cases[] = {
      {{{"a", a}}, Design::control, "1 group named (\"a\"), but a comparison needs two"},
      {{{"a", a}, {"b", b}, {"b", b}}, Design::control, "the group \"b\" is named twice: name each group once"},
      {{{"a", a}, {"b", b}, {"a", a}}, Design::control, "the control \"a\" is among the groups compared with it (\"a\")"},
      {{{"a", a}, {"b", b}, {"i", inf}}, Design::sequential,
       "the group \"i\" holds a value that is not a finite number, at position 3"},
  };
  for (const Case& c : cases) {
    try {
      analyse_groups(c.groups, c.design, Options{});
      ADD_FAILURE() << c.message;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  const std::vector<std::string> named = {"a", "b", "c"}, twice = {"1", "a", "1.0"};
  try {
    analyse_groups(by, v, none, named, Design::control, Options{});
    ADD_FAILURE() << "no group c";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "the data have no group \"c\" in column \"time\" (its groups: a, b)");
  }
  try {
    analyse_groups(by, v, none, twice, Design::sequential, Options{});
    ADD_FAILURE() << "1 and 1.0";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "\"1\" and \"1.0\" name one group: name each group once");
  }
}

}  // namespace
}  // namespace diffboot
