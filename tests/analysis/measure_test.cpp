// Measures read from names once: the kinds of either experiment, and the one
// message for a name that is not a measure of the experiment.
#include "analysis/measure.h"

#include <gtest/gtest.h>

#include <set>

namespace diffboot::analysis {
namespace {

TEST(MeasureTest, NamesParseToKindsOrOneMessage) {
  using K = MeasureKind;
  struct Case {
    std::vector<std::string> names;
    Experiment e;
    std::vector<K> kinds;
    const char* problem;  // nullptr: none
  };
  const Case cases[] = {
      {{"d_AVE", "delta", "g"}, Experiment::unpaired, {K::d_AVE, K::delta, K::g}, nullptr},
      {{"MED_d", "g"}, Experiment::paired, {K::MED_d, K::g}, nullptr},
      {{}, Experiment::paired, {}, nullptr},
      {{"AVE_d", "delta"}, Experiment::paired, {}, "delta is not a measure of a paired experiment"},
      {{"d_AVE"}, Experiment::paired, {}, "d_AVE is not a measure of a paired experiment"},
      {{"d_AVE", "cohen"}, Experiment::unpaired, {},
       "\"cohen\" is not a measure; the measures of an unpaired experiment are d_AVE, d_MED, d_STD, d_MAD, g, delta, lift, all"},
      {{"D_AVE"}, Experiment::paired, {}, "\"D_AVE\" is not a measure; the measures of a paired experiment are AVE_d, MED_d, g, lift, all"},
      {{""}, Experiment::paired, {}, "\"\" is not a measure; the measures of a paired experiment are AVE_d, MED_d, g, lift, all"},
  };
  for (const Case& c : cases) {
    const ParsedMeasures parsed = parse_measures(c.names, c.e);
    EXPECT_EQ(parsed.kinds, c.kinds) << (c.problem ? c.problem : "");
    EXPECT_EQ(parsed.problem.value_or(""), c.problem ? c.problem : "");
  }
}

TEST(MeasureTest, EachKindHasItsOwnNameAndStatistic) {
  std::set<bootstrap::Statistic> statistics;
  for (int k = 0; k <= static_cast<int>(MeasureKind::lift); ++k) {
    const auto kind = static_cast<MeasureKind>(k);
    EXPECT_EQ(info(kind).kind, kind);
    EXPECT_EQ(measure_named(info(kind).name), kind) << info(kind).name;
    statistics.insert(info(kind).statistic);
  }
  EXPECT_EQ(statistics.size(), 9u) << "no measure falls back on another's permutation statistic";
  EXPECT_FALSE(measure_named("lift_x"));
  EXPECT_EQ(info(MeasureKind::delta).range.lower, -1.0);
  EXPECT_EQ(info(MeasureKind::lift).range.lower, -1.0);
}

}  // namespace
}  // namespace diffboot::analysis
