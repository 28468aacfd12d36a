// Measures read from names once: the kinds of either experiment, and the one
// message for a name that is not a measure of the experiment.
#include "analysis/measure.h"

#include <gtest/gtest.h>

#include <cmath>
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

TEST(MeasureTest, QuantileMeasuresByTheirProbabilities) {
  EXPECT_EQ(quantile_name(0.1, Experiment::unpaired), "d_Q10");
  EXPECT_EQ(quantile_name(0.999, Experiment::unpaired), "d_Q99.9");
  EXPECT_EQ(quantile_name(0.0005, Experiment::paired), "Q0.05_d");
  EXPECT_FALSE(measure_named("d_Q"));
  struct Case {
    std::vector<double> p;
    const char* problem;  // nullptr: none
  };
  const Case cases[] = {
      {{0.1, 0.5, 0.999}, nullptr},
      {{0.0}, "quantile 0 is not a probability strictly between 0 and 1"},
      {{0.5, 1.0}, "quantile 1 is not a probability strictly between 0 and 1"},
      {{std::nan("")}, "quantile nan is not a probability strictly between 0 and 1"},
      {{0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 0.95}, "10 quantiles, but at most 9"},
      {{0.9, 0.5, 0.9}, "quantile 0.9 is asked for twice"},
      {{1e-15, 0.5}, nullptr},  // d_Q0.0000000000001: 15 characters
      {{0.5, 1e-16}, "quantile 1e-16 cannot be named: its percent, written out, takes more than 15 characters"},
      {{1e-300}, "quantile 1e-300 cannot be named: its percent, written out, takes more than 15 characters"},
      {{0.999999999999999}, "quantile 0.999999999999999 cannot be named: its percent, written out, takes more than 15 characters"},
      {{0.9999999999999999}, "quantile 0.9999999999999999 cannot be named: its percent, written out in 15 characters, rounds to 100"},
      {{0.99999999999999}, nullptr},  // d_Q99.999999999999: 15 characters
  };
  for (const Case& c : cases) EXPECT_EQ(quantiles_problem(c.p).value_or(""), c.problem ? c.problem : "");
  const std::vector<double> p{0.9, 0.1};
  // kinds: the other measures chosen; with names, only those named (a
  // quantile measure alone names none of the experiment's own).
  struct Named {
    std::vector<std::string> names;
    Experiment e;
    std::vector<double> chosen;
    std::vector<MeasureKind> kinds;
    bool named;
    const char* problem;
  };
  const Named named[] = {
      {{}, Experiment::unpaired, {0.9, 0.1}, {}, false, nullptr},
      {{"d_Q10", "d_AVE", "d_Q90"}, Experiment::unpaired, {0.9, 0.1}, {MeasureKind::d_AVE}, true, nullptr},
      {{"Q90_d", "Q90_d"}, Experiment::paired, {0.9}, {}, true, nullptr},
      {{"d_Q90"}, Experiment::unpaired, {0.9}, {}, true, nullptr},
      {{"Q90_d"}, Experiment::unpaired, {}, {}, true, "Q90_d is not a measure of an unpaired experiment"},
      {{"d_Q50"}, Experiment::unpaired, {}, {}, true,
       "\"d_Q50\" is not a measure; the measures of an unpaired experiment are d_AVE, d_MED, d_STD, d_MAD, g, delta, "
       "lift, d_Q90, d_Q10, all"},
  };
  for (const Named& c : named) {
    const ParsedMeasures parsed = parse_measures(c.names, c.e, p);
    EXPECT_EQ(parsed.quantiles, c.chosen) << (c.problem ? c.problem : "");
    EXPECT_EQ(parsed.kinds, c.kinds) << (c.problem ? c.problem : "");
    EXPECT_EQ(parsed.named, c.named) << (c.problem ? c.problem : "");
    EXPECT_EQ(parsed.problem.value_or(""), c.problem ? c.problem : "");
  }
}

}  // namespace
}  // namespace diffboot::analysis
