// What the library hands the doors: levels read as the command line reads
// them, whole numbers, the measure catalogue, a watched run, and frames read
// by the tables' rules.
#include "diffboot/rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "diffboot/frames.h"
#include "diffboot/watch.h"

namespace diffboot {
namespace {

TEST(RulesTest, LevelsAreReadAsTheCommandLineReadsThem) {
  struct Case {
    const char* text;
    double alpha, level;
  };
  const Case cases[] = {{"0.99", 0.005, 0.99}, {"99", 0.005, 0.99}, {"99.9%", 0.0005, 0.999}, {" 95% ", 0.025, 0.95},
                        {"5E-1", 0.25, 0.5}, {"80", 0.1, 0.8}};
  for (const Case& c : cases) {
    const Level l = level_from_text(c.text);
    EXPECT_EQ(l.alpha, c.alpha) << c.text;
    EXPECT_EQ(l.level, c.level) << c.text;
  }
  EXPECT_EQ(level_from_number(99).alpha, 0.005);
  EXPECT_EQ(level_from_number(0.9).level, 0.9);
  for (const char* bad : {"0.49", "0.9995", "abc", "", "100", "95%%", "nan"}) {
    EXPECT_THROW(level_from_text(bad), Error) << bad;
  }
  try {
    level_from_number(0.9995);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "level 0.9995 is not a level from 0.5 to 0.999 (default 0.95); also 50 to 99.9, 95 or 95%");
  }
}

TEST(RulesTest, WholeNumbersKeepToTheirRange) {
  EXPECT_EQ(whole_number(99, "R", limits::min_replications, limits::max_replications), 99);
  for (double bad : {98.0, 99.5, 1e7, -1.0}) {
    EXPECT_THROW(whole_number(bad, "R", limits::min_replications, limits::max_replications), Error) << bad;
  }
  try {
    whole_number(0, "seed", 1, limits::largest_seed);
    FAIL();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "seed 0 is not a whole number from 1 to 2147483647");
  }
}

TEST(RulesTest, AccelerationsAreNamedAsTheCommandLineNamesThem) {
  EXPECT_EQ(acceleration_from_text("grid"), Acceleration::grid);
  EXPECT_EQ(acceleration_from_text("samples"), Acceleration::samples);
  for (const char* bad : {"Samples", "", "jackknife"}) {
    try {
      acceleration_from_text(bad);
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), "acceleration \"" + std::string(bad) + "\" is not grid or samples");
    }
  }
}

TEST(RulesTest, TheCatalogueNamesEveryMeasure) {
  const std::vector<MeasureFacts> all = measure_catalogue();
  ASSERT_EQ(all.size(), 11u);
  EXPECT_EQ(all[2].name, "d_AVE");
  EXPECT_EQ(all[2].words, "difference of means");
  EXPECT_TRUE(all[2].data_units && all[2].unpaired && !all[2].paired && all[2].poisson);
  const std::optional<MeasureFacts> q = measure_facts("d_Q2.5");
  ASSERT_TRUE(q);
  EXPECT_EQ(q->words, "difference of 2.5% quantiles");
  EXPECT_EQ(measure_facts("Q90_d")->words, "90% quantile of differences");
  EXPECT_FALSE(measure_facts("cohen"));
  EXPECT_FALSE(measure_facts("delta")->data_units);
  EXPECT_FALSE(measure_facts("delta")->poisson);
  // Only lift is printed in percent.
  for (const MeasureFacts& m : all) EXPECT_EQ(m.percent, m.name == "lift") << m.name;
  EXPECT_FALSE(measure_facts("d_Q90")->percent);
  EXPECT_EQ(measure_names(Experiment::paired), (std::vector<std::string>{"AVE_d", "MED_d", "g", "lift"}));
  EXPECT_EQ(measure_names(Experiment::unpaired, Method::poisson), (std::vector<std::string>{"d_AVE", "d_STD", "g", "lift"}));
  EXPECT_EQ(quantile_name(0.9, Experiment::unpaired), "d_Q90");
  EXPECT_EQ(quantile_name(0.999, Experiment::paired), "Q99.9_d");
}

TEST(RulesTest, AWatchedRunEndsWhenTheWatcherThrows) {
  const std::vector<double> x(200, 1.0), y(200, 2.0);
  Options o;
  o.replications = 1000000;
  int looks = 0;
  const auto run = [&](Control& c) { return analyse(x, y, o, c); };
  EXPECT_THROW(watched(run, [&](double) {
                 if (++looks == 2) throw std::runtime_error("interrupted");
               }),
               std::runtime_error);
  EXPECT_EQ(looks, 2);
  o.replications = 99;
  EXPECT_EQ(watched(run, [](double) {}).measures.size(), 4u);
  // A run of few values but many measures and replicates is long all the same.
  Options many;
  many.replications = 1000000;
  many.measures = {"all"};
  many.quantiles = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9};
  EXPECT_GE(work_of(4, 4, many), watched_work);
}

// A frame's columns as a door hands them over.
struct Frame {
  std::vector<std::string> by, id, value_texts;
  std::vector<double> values;
  Column column(const std::string& name, const std::vector<std::string>& texts) const {
    return {name, {}, texts, {}, true};
  }
};

FrameSamples groups_of(const Frame& f, Experiment e, std::array<std::string, 2> groups = {"a", "b"}) {
  const Column value = f.values.empty() ? f.column("v", f.value_texts) : Column{"v", f.values, {}, {}, false};
  return frame_groups(f.column("g", f.by), value, f.id.empty() ? Column{} : f.column("id", f.id), groups, e);
}

std::string stop_of(const Frame& f, Experiment e, std::array<std::string, 2> groups = {"a", "b"}) {
  try {
    groups_of(f, e, groups);
  } catch (const Error& error) {
    return error.what();
  }
  return "no stop";
}

TEST(FramesTest, PairsByIdCountingWhatIsLeftOut) {
  // ids 1, 2 in both groups; 3 in a only; a row without an id in each; a missing value in b's 2
  const Frame f{{"a", "b", "a", "b", "a", "a", "b", "c"},
                {"1", "1", "2", "2", "3", "NA", " ", "1"},
                {},
                {1.0, 10.0, 2.0, std::nan(""), 3.0, 4.0, 5.0, 6.0}};
  const FrameSamples s = groups_of(f, Experiment::paired);
  EXPECT_EQ(s.x, std::vector<double>{1.0});
  EXPECT_EQ(s.y, std::vector<double>{10.0});
  EXPECT_EQ(s.missing_y, 1);
  EXPECT_EQ(s.pairs_dropped, 4);  // id 2 (y missing), id 3 (no y), two rows without an id
  EXPECT_EQ(s.notes, " pairs: 4 of 5 left out (b missing in 2, no id in 2)\n");
  Frame without_ids = f;
  without_ids.id.clear();
  const FrameSamples u = groups_of(without_ids, Experiment::unpaired);
  EXPECT_EQ(u.x, (std::vector<double>{1.0, 2.0, 3.0, 4.0}));
  EXPECT_EQ(u.y, (std::vector<double>{10.0, 5.0}));
  EXPECT_EQ(u.missing_y, 1);
}

TEST(FramesTest, StopsInTheProgramsWords) {
  const Frame unequal{{"a", "a", "a", "a", "b", "b", "b"}, {}, {}, {1, 2, 3, 4, 5, 6, 7}};
  const Frame twice{{"a", "a", "b"}, {"1", "1", "2"}, {}, {1, 2, 3}};
  const Frame text{{"a", "b", "a"}, {}, {"1", "2", "1_0"}, {}};
  const Frame groups{{"0.5", "1", "0.5"}, {}, {}, {1, 2, 3}};
  EXPECT_EQ(stop_of(unequal, Experiment::paired), "the groups \"a\" and \"b\" have 4 and 3 rows: pair them by id (id =)");
  EXPECT_EQ(stop_of(twice, Experiment::paired), "the data have the id \"1\" twice in the group \"a\" (rows 1 and 2)");
  EXPECT_EQ(stop_of(text, Experiment::unpaired), "the column \"v\", row 3: \"1_0\" is not a number");
  EXPECT_EQ(stop_of(twice, Experiment::unpaired), "the ids pair rows: they go with a paired experiment");
  EXPECT_EQ(stop_of(groups, Experiment::unpaired, {"1", "1.0"}), "\"1\" and \"1.0\" name the same group: compare two groups");
  EXPECT_EQ(stop_of(groups, Experiment::unpaired, {"0.50", "2"}), "the data have no group \"2\" in column \"g\" (its groups: 0.5, 1)");
  EXPECT_EQ(groups_of(groups, Experiment::unpaired, {"0.50", "1"}).x.size(), 2u);  // found by value
}

TEST(FramesTest, ColumnsPairByRowAndMasksAreMissing) {
  const std::vector<double> a{1, 2, 3, 4}, b{5, 6, std::nan(""), 8};
  const std::vector<std::uint8_t> mask{0, 1, 0, 0};
  const FrameSamples s = frame_columns({"a", a, {}, mask, false}, {"b", b, {}, {}, false}, Experiment::paired);
  EXPECT_EQ(s.x, (std::vector<double>{1, 4}));
  EXPECT_EQ(s.pairs_dropped, 2);
  EXPECT_EQ((std::array<std::int64_t, 2>{s.missing_x, s.missing_y}), (std::array<std::int64_t, 2>{1, 1}));
  Options o;
  o.experiment = Experiment::unpaired;
  o.replications = 99;
  const FrameSamples u = frame_columns({"a", a, {}, mask, false}, {"b", b, {}, {}, false}, Experiment::unpaired);
  const Results r = analyse(u, o);
  EXPECT_EQ((std::array<std::int64_t, 4>{r.n_x, r.n_y, r.missing_x, r.missing_y}), (std::array<std::int64_t, 4>{3, 3, 1, 1}));
}

}  // namespace
}  // namespace diffboot
