// The library's analyse(): the program's csv bit for bit, calls on two
// threads at once, and the messages of bad input.
#include "diffboot/diffboot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/batch.h"
#include "support/console_capture.h"
#include "support/samples.h"

namespace diffboot {
namespace {

// The fields of a result in the csv's column order, after its name.
std::vector<double> fields(const MeasureResult& m) {
  return {m.estimate,         m.se,          m.bias,        m.t_lower, m.t_upper,       m.bca_lower, m.bca_upper,
          m.percentile_lower, m.percentile_upper, m.basic_lower, m.basic_upper, m.z0, m.acceleration};
}

TEST(AnalyseTest, EqualsTheProgramsCsvBitForBit) {
  struct Case {
    Experiment experiment;
    const char* shape;
    std::size_t n_x, n_y;
    double alpha;
    std::int64_t replications;
    std::optional<std::int32_t> seed;
    Acceleration acceleration = Acceleration::grid;
  };
  const Case cases[] = {
      {Experiment::unpaired, "skewed", 23, 17, 0.05, 1999, std::nullopt},
      {Experiment::unpaired, "tied", 40, 35, 0.01, 499, 7},
      {Experiment::unpaired, "skewed", 9, 30, 0.025, 999, 3, Acceleration::samples},
      {Experiment::paired, "random", 30, 30, 0.1, 999, 123},
      {Experiment::paired, "tied", 12, 12, 0.025, 1999, std::nullopt},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    const std::vector<double> x = testing::shaped_sample(c.shape, c.n_x, 31), y = testing::shaped_sample(c.shape, c.n_y, 32);
    testing::write_sample("x.txt", x);
    testing::write_sample("y.txt", y);
    std::vector<std::string> args{c.experiment == Experiment::paired ? "-p" : "-u", "-f", "csv", "--no-files", "-a",
                                  std::to_string(c.alpha), "-B", std::to_string(c.replications)};
    if (c.seed) args.insert(args.end(), {"-s", std::to_string(*c.seed)});
    if (c.acceleration == Acceleration::samples) args.insert(args.end(), {"--acceleration", "samples"});
    args.insert(args.end(), {"x.txt", "y.txt"});
    testing::ConsoleCapture capture;
    ASSERT_EQ(app::run_command_line(args, 1), 0) << capture.err();
    Options options;
    options.experiment = c.experiment;
    options.alpha = c.alpha;
    options.replications = c.replications;
    options.seed = c.seed;
    options.threads = 2;
    options.acceleration = c.acceleration;
    const Results r = analyse(x, y, options);
    const std::vector<std::string> rows = testing::split(capture.out(), '\n');
    ASSERT_EQ(rows.size(), r.measures.size() + 1) << c.shape;
    for (std::size_t k = 0; k < r.measures.size(); ++k) {
      const std::vector<std::string> cells = testing::split(rows[k + 1], ',');
      EXPECT_EQ(cells[0], r.measures[k].name);
      const std::vector<double> values = fields(r.measures[k]);
      for (std::size_t f = 0; f < values.size(); ++f) {
        EXPECT_EQ(testing::bits_of_text(cells[f + 1]), testing::bits(values[f])) << cells[0] << " column " << f + 1;
      }
    }
    if (c.acceleration == Acceleration::samples) {
      const Results grid = analyse(x, y, {c.experiment, c.alpha, c.replications, c.seed, 2, {}, 0});
      EXPECT_NE(grid.measures[0].acceleration, r.measures[0].acceleration) << "the option reaches the bootstrap";
    }
  }
}

TEST(AnalyseTest, TwoThreadsAtOnce) {
  const std::vector<double> a = testing::shaped_sample("random", 50, 41), b = testing::shaped_sample("skewed", 45, 42);
  const std::vector<double> c = testing::shaped_sample("tied", 33, 43), d = testing::shaped_sample("random", 33, 44);
  const Options unpaired{Experiment::unpaired, 0.05, 999, 5, 1, {}, 0}, paired{Experiment::paired, 0.025, 999, 6, 1, {}, 0};
  const Results first = analyse(a, b, unpaired), second = analyse(c, d, paired);
  Results together[2];
  std::thread one([&] { together[0] = analyse(a, b, unpaired); });
  std::thread two([&] { together[1] = analyse(c, d, paired); });
  one.join();
  two.join();
  for (auto [alone, beside] : {std::pair{&first, &together[0]}, std::pair{&second, &together[1]}}) {
    ASSERT_EQ(alone->measures.size(), beside->measures.size());
    for (std::size_t k = 0; k < alone->measures.size(); ++k) {
      const std::vector<double> x = fields(alone->measures[k]), y = fields(beside->measures[k]);
      for (std::size_t f = 0; f < x.size(); ++f) EXPECT_EQ(testing::bits(x[f]), testing::bits(y[f]));
    }
  }
}

TEST(AnalyseTest, TTestPValues) {
  // Welch's and the paired t-test's two-sided p-values: mpmath at 40 digits
  // (t, Welch-Satterthwaite degrees, regularised incomplete beta).
  const std::vector<double> x{1.1, 2.3, 3.8, 4.0, 5.6}, y{2.9, 3.1, 6.0, 7.2};
  const Results welch = analyse(x, y, {Experiment::unpaired, 0.025, 99, {}, 1, {"d_AVE", "g"}, 99});
  ASSERT_EQ(welch.measures.size(), 2u);
  EXPECT_NEAR(welch.measures[0].p_t, 0.31780492613473556, 1e-10);
  EXPECT_TRUE(std::isnan(welch.measures[1].p_t)) << "g has no t-test of its own";
  const std::vector<double> a{1.2, 3.4, 2.2, 5.1, 4.4, 3.3}, b{0.9, 2.8, 2.5, 3.9, 3.6, 2.1};
  const Results paired = analyse(a, b, {Experiment::paired, 0.025, 99, {}, 1, {}, 99});
  EXPECT_NEAR(paired.measures[0].p_t, 0.042895738154941805, 1e-10);
  EXPECT_GT(paired.measures[1].p_permutation, 0.0);
  // Constant samples: g is not a number, and neither is its p-value.
  const std::vector<double> five(4, 5.0);
  const Results constant = analyse(five, five, {Experiment::unpaired, 0.025, 99, {}, 1, {"d_AVE", "g"}, 99});
  EXPECT_EQ(constant.measures[0].p_permutation, 1.0);
  EXPECT_TRUE(std::isnan(constant.measures[1].p_permutation));
}

TEST(AnalyseTest, NamedMeasuresAreExactlyThoseReported) {
  const std::vector<double> x{1.1, 2.3, 3.8, 4.0, 5.6, 2.2}, y{2.9, 3.1, 6.0, 7.2, 4.4, 3.0};
  const struct {
    Experiment e;
    std::vector<std::string> measures;
    std::vector<std::string> reported;
  } cases[] = {
      {Experiment::unpaired, {"d_Q90"}, {"d_Q90"}},
      {Experiment::unpaired, {"d_Q10", "g"}, {"g", "d_Q10"}},
      {Experiment::unpaired, {}, {"d_AVE", "d_MED", "d_STD", "d_MAD", "d_Q90", "d_Q10"}},
      {Experiment::paired, {"Q90_d"}, {"Q90_d"}},
      {Experiment::paired, {"all"}, {"AVE_d", "MED_d", "g", "lift", "Q90_d", "Q10_d"}},
  };
  for (const auto& c : cases) {
    Options o{c.e, 0.025, 99, {}, 1, c.measures, 0};
    o.quantiles = {0.9, 0.1};
    std::vector<std::string> names;
    for (const MeasureResult& m : analyse(x, y, o).measures) names.push_back(m.name);
    EXPECT_EQ(names, c.reported) << (c.measures.empty() ? "" : c.measures.front());
  }
}

TEST(AnalyseTest, LiftWithAFewInfiniteReplicatesKeepsItsPercentileBounds) {
  // mtcars' am: sample 1 the cars with vs = 1 (7 of 14 manual), sample 2
  // those with vs = 0 (6 of 18): a few resamples of sample 2 hold no manual
  // car, their mean 0 and the lift +Inf. Sample 2 of {1, 0, 0}: hundreds.
  const std::vector<double> vs1{1, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 1, 1, 1};
  const std::vector<double> vs0{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
  const std::vector<double> few{1, 0, 0};
  const struct {
    const std::vector<double>& y;
    bool bounds;  // the percentile, BCa and basic bounds given
  } cases[] = {{vs0, true}, {few, false}};
  for (const auto& c : cases) {
    Options o{Experiment::unpaired, 0.025, 1999, {}, 2, {"lift"}, 0};
    o.keep_replicates = true;
    const MeasureResult lift = analyse(vs1, c.y, o).measures.at(0);
    const auto infinite = std::ranges::count_if(lift.replicates, [](double r) { return std::isinf(r); });
    ASSERT_GT(infinite, 0) << c.y.size();
    EXPECT_TRUE(std::ranges::none_of(lift.replicates, [](double r) { return std::isnan(r); }));
    for (double v : {lift.se, lift.bias, lift.t_lower, lift.t_upper}) EXPECT_TRUE(std::isnan(v)) << c.y.size();
    for (double v : {lift.bca_lower, lift.bca_upper, lift.percentile_lower, lift.percentile_upper, lift.basic_lower,
                     lift.basic_upper}) {
      EXPECT_EQ(std::isfinite(v), c.bounds) << c.y.size() << " " << infinite;
    }
    if (!c.bounds) continue;
    // The percentile bounds are order statistics of the finite replicates.
    std::vector<double> sorted = lift.replicates;
    std::ranges::sort(sorted);
    EXPECT_LE(lift.percentile_upper, sorted[sorted.size() - static_cast<std::size_t>(infinite) - 1]);
    EXPECT_LT(lift.percentile_lower, lift.estimate);
    EXPECT_LT(lift.estimate, lift.percentile_upper);
    EXPECT_LE(lift.bca_lower, lift.bca_upper);
    EXPECT_DOUBLE_EQ(lift.basic_lower, 2 * lift.estimate - lift.percentile_upper);
  }
}

TEST(AnalyseTest, BadInputIsAnErrorWithTheProgramsMessage) {
  struct Case {
    std::size_t n_x, n_y;
    Options options;
    const char* message;
  };
  const auto options = [](Experiment e, double alpha = 0.025, std::int64_t replications = 1999,
                          std::optional<std::int32_t> seed = std::nullopt) {
    return Options{e, alpha, replications, seed, 0, {}, 0};
  };
  const Options unpaired = options(Experiment::unpaired), paired = options(Experiment::paired);
  const Case cases[] = {
      {0, 5, unpaired, "sample 1 has no values"},
      {5, 0, unpaired, "sample 2 has no values"},
      {5, 6, paired, "a paired experiment needs samples of equal size, but sample 1 has 5 values and sample 2 has 6"},
      {2, 6, unpaired, "Too few values for an unpaired experiment: each sample needs at least 3"},
      {1, 1, paired, "Too few values for a paired experiment: at least 2 pairs are needed"},
      {5, 6, options(Experiment::unpaired, 0.3), "alpha 0.3 is not a number from 0.0005 to 0.25"},
      {5, 6, options(Experiment::unpaired, 0.025, 98), "replications 98 is not a whole number from 99 to 1000000"},
      {5, 6, options(Experiment::unpaired, 0.025, 1999, 0), "seed 0 is not a whole number from 1 to 2147483647"},
      {5, 5, Options{Experiment::paired, 0.025, 1999, {}, 0, {"delta"}, 0},
       "delta is not a measure of a paired experiment"},
      {5, 6, Options{Experiment::unpaired, 0.025, 1999, {}, 0, {"cohen"}, 0},
       "\"cohen\" is not a measure; the measures of an unpaired experiment are d_AVE, d_MED, d_STD, d_MAD, g, delta, lift, all"},
      {5, 6, Options{static_cast<Experiment>(7), 0.025, 1999, {}, 0, {}, 0}, "experiment 7 is neither paired nor unpaired"},
      {5, 6, Options{Experiment::unpaired, 0.025, 1999, {}, 0, {}, 98},
       "permutations 98 is not a whole number from 99 to 1000000"},
  };
  for (const Case& c : cases) {
    const std::vector<double> x = testing::counting(1, c.n_x), y = testing::counting(3, c.n_y);
    try {
      analyse(x, y, c.options);
      ADD_FAILURE() << "no error: " << c.message;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  const std::vector<double> with_nan{1, 2, std::nan(""), 4};
  EXPECT_THROW(analyse(with_nan, with_nan, unpaired), Error);
}

TEST(AnalyseTest, KeptReplicatesAreTheProgramsReplicatesFile) {
  struct Case {
    Experiment experiment;
    std::vector<std::string> measures;
  };
  const Case cases[] = {{Experiment::unpaired, {"d_MED", "delta"}}, {Experiment::paired, {"AVE_d", "MED_d", "g"}}};
  for (const Case& c : cases) {
    testing::TempDir dir;
    const std::vector<double> x = testing::shaped_sample("skewed", 14, 51), y = testing::shaped_sample("tied", 14, 52);
    testing::write_sample("x.txt", x);
    testing::write_sample("y.txt", y);
    std::string list;
    for (const std::string& m : c.measures) list += (list.empty() ? "" : ",") + m;
    testing::ConsoleCapture capture;
    const std::vector<std::string> args{c.experiment == Experiment::paired ? "-p" : "-u", "-f", "csv", "-B", "199",
                                        "--measures", list, "--replicates", "r.csv", "x.txt", "y.txt"};
    ASSERT_EQ(app::run_command_line(args, 1), 0) << capture.err();
    Options o{c.experiment, 0.025, 199, {}, 2, c.measures, 0};
    o.keep_replicates = true;
    const Results r = analyse(x, y, o);
    std::ifstream file("r.csv");
    std::string line;
    std::getline(file, line);
    EXPECT_EQ(line, list);
    for (std::size_t i = 0; std::getline(file, line); ++i) {
      const std::vector<std::string> cells = testing::split(line, ',');
      for (std::size_t k = 0; k < r.measures.size(); ++k) {
        ASSERT_EQ(r.measures[k].replicates.size(), 199u);
        EXPECT_EQ(testing::bits_of_text(cells[k]), testing::bits(r.measures[k].replicates[i])) << line;
      }
    }
  }
  EXPECT_TRUE(analyse(testing::counting(1, 5), testing::counting(2, 5), {}).measures[0].replicates.empty());
}

TEST(AnalyseTest, MissingValuesSkippedAreLeftOutAndCounted) {
  const double nan = std::nan("");
  struct Case {
    Experiment experiment;
    std::vector<double> x, y, x_kept, y_kept;
    std::int64_t missing_x, missing_y, pairs_dropped;
  };
  const Case cases[] = {
      {Experiment::unpaired, {nan, 1, 5, 2, nan, 7}, {3, 4, nan, 9}, {1, 5, 2, 7}, {3, 4, 9}, 2, 1, 0},
      {Experiment::paired, {1, nan, 3, 4, 8, 6}, {2, 2, 5, nan, 1, nan}, {1, 3, 8}, {2, 5, 1}, 1, 2, 3},
      {Experiment::paired, {1, 2, 3}, {3, 1, 2}, {1, 2, 3}, {3, 1, 2}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Options skip{c.experiment, 0.025, 199, {}, 1, {}, 0};
    skip.missing = Missing::skip;
    const Results given = analyse(c.x, c.y, skip), kept = analyse(c.x_kept, c.y_kept, skip);
    EXPECT_EQ(given.missing_x, c.missing_x);
    EXPECT_EQ(given.missing_y, c.missing_y);
    EXPECT_EQ(given.pairs_dropped, c.pairs_dropped);
    EXPECT_EQ(given.n_x, kept.n_x);
    for (std::size_t k = 0; k < kept.measures.size(); ++k) {
      const std::vector<double> a = fields(given.measures[k]), b = fields(kept.measures[k]);
      for (std::size_t f = 0; f < a.size(); ++f) EXPECT_EQ(testing::bits(a[f]), testing::bits(b[f]));
    }
  }
  // Skipped, an all-missing sample has no values; an infinity is still bad.
  Options skip;
  skip.missing = Missing::skip;
  // The position is the caller's, missing values before it counted.
  const std::vector<double> none{nan, nan}, some{1, 2, 3}, infinite{1, 2, INFINITY}, after_missing{nan, 1, nan, 2, -INFINITY};
  for (const auto& [x, message] : {std::pair{none, "sample 1 has no values"},
                                   std::pair{infinite, "sample 1 holds a value that is not a finite number, at position 3"},
                                   std::pair{after_missing, "sample 1 holds a value that is not a finite number, at position 5"}}) {
    try {
      analyse(x, some, skip);
      ADD_FAILURE() << message;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), message);
    }
  }
}

TEST(AnalyseTest, ControlFollowsWithoutChangingABitAndCancels) {
  const std::vector<double> x = testing::shaped_sample("random", 700, 61), y = testing::shaped_sample("skewed", 600, 62);
  for (Experiment e : {Experiment::unpaired, Experiment::paired}) {
    const std::span<const double> yy = e == Experiment::paired ? std::span<const double>(y.data(), 600) : y;
    const std::span<const double> xx = e == Experiment::paired ? std::span<const double>(x.data(), 600) : x;
    const Options o{e, 0.025, 299, 9, 2, {}, 9999};  // the permutations in several pieces a thread
    Control control;
    const Results plain = analyse(xx, yy, o), followed = analyse(xx, yy, o, control);
    EXPECT_EQ(control.fraction(), 1.0);
    for (std::size_t k = 0; k < plain.measures.size(); ++k) {
      std::vector<double> a = fields(plain.measures[k]), b = fields(followed.measures[k]);
      a.push_back(plain.measures[k].p_permutation), b.push_back(followed.measures[k].p_permutation);
      for (std::size_t f = 0; f < a.size(); ++f) EXPECT_EQ(testing::bits(a[f]), testing::bits(b[f])) << f;
    }
  }
  // Cancelled from another thread once under way, and before it starts.
  Control control;
  std::thread canceller([&] {
    while (control.fraction() == 0.0) std::this_thread::yield();
    control.cancel();
  });
  EXPECT_THROW(analyse(x, y, {Experiment::unpaired, 0.025, 1000000, {}, 2, {}, 0}, control), Cancelled);
  canceller.join();
  EXPECT_TRUE(control.cancelled());
  EXPECT_THROW(analyse(x, y, {Experiment::unpaired, 0.025, 99, {}, 1, {}, 1000000}, control), Cancelled);
}

TEST(AnalyseTest, AllMeasures) {
  const std::vector<double> x = testing::counting(1, 6), y = testing::counting(3, 6);
  const Results r = analyse(x, y, Options{Experiment::paired, 0.025, 199, {}, 1, {"all"}, 0});
  std::vector<std::string> names;
  for (const MeasureResult& m : r.measures) names.push_back(m.name);
  EXPECT_EQ(names, (std::vector<std::string>{"AVE_d", "MED_d", "g", "lift"}));
}

}  // namespace
}  // namespace diffboot
