// What the analysis decides on its own: the degrees of freedom of each t
// quantile, the notes on numbers that would mislead and the intervals they
// withhold, and the range of a bounded measure. (Its results are otherwise
// tested through the library and the program.)
#include "analysis/analysis.h"

#include <gtest/gtest.h>

#include "bootstrap/effect_sizes.h"
#include "support/samples.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace diffboot::analysis {
namespace {

TEST(AnalysisTest, TQuantileDegreesOfFreedom) {
  // alpha = 0.05; n_x = 6, n_y = 8 gives nu = 12, 10, 5 and n_x = n_y = 6
  // gives nu = 10, 8, 5: exact quantiles (mpmath, as in the distribution tests).
  struct Case {
    std::int64_t n_x, n_y;
    double means, spreads, paired;
  };
  const double t5 = -2.0150483733330242, t8 = -1.8595480375308984, t10 = -1.8124611228116764,
               t12 = -1.7822875556493201;
  const Case cases[] = {{6, 8, t12, t10, t5}, {6, 6, t10, t8, t5}};
  for (const Case& c : cases) {
    const TQuantiles t = t_quantiles(0.05, c.n_x, c.n_y);
    EXPECT_NEAR(t.means, c.means, 1e-12) << c.n_x << " " << c.n_y;
    EXPECT_NEAR(t.spreads, c.spreads, 1e-12) << c.n_x << " " << c.n_y;
    EXPECT_NEAR(t.paired, c.paired, 1e-12) << c.n_x << " " << c.n_y;
  }
}

// The measure `name` of an analysis of x and y.
struct Analysed {
  std::vector<MeasureRun> runs;
  const MeasureRun& operator[](std::string_view name) const {
    for (const MeasureRun& r : runs) {
      if (r.name == name) return r;
    }
    throw std::out_of_range(std::string(name));
  }
};

Analysed analysed(const std::vector<double>& x, const std::vector<double>& y, Experiment e,
                  std::vector<std::string> measures, std::int32_t permutations = 0) {
  Settings settings;
  settings.experiment = e;
  settings.measures = parse_measures(measures, e).kinds;
  settings.permutations = permutations;
  return {run_bootstrap(x, y, summarise(x, y), settings, nullptr)};
}

TEST(AnalysisTest, HalfQuantileIsTheMedianToTheBit) {
  // Every way the median is read and its acceleration formed: counts, draws
  // by rank (beyond 131609 values), the grid
  // in its written order and by algebra (beyond 10^6 pairs), the two-sample
  // formula, and two threads.
  struct Case {
    const char* shape;
    std::size_t n_x, n_y;
    Experiment e;
    Acceleration acceleration;
    unsigned threads;
    std::int32_t replications;
  };
  const Case cases[] = {
      {"random", 30, 41, Experiment::unpaired, Acceleration::grid, 1, 1999},
      {"tied", 12, 9, Experiment::unpaired, Acceleration::samples, 2, 1999},
      {"random", 1100, 1001, Experiment::unpaired, Acceleration::grid, 2, 199},
      {"random", 25, 25, Experiment::paired, Acceleration::grid, 2, 1999},
      {"tied", 20, 20, Experiment::paired, Acceleration::grid, 1, 499},
      {"tied", 131700, 131700, Experiment::paired, Acceleration::grid, 2, 99},
  };
  for (const Case& c : cases) {
    const std::vector<double> x = testing::shaped_sample(c.shape, c.n_x, 7), y = testing::shaped_sample("random", c.n_y, 8);
    Settings settings;
    settings.experiment = c.e;
    settings.acceleration = c.acceleration;
    settings.threads = c.threads;
    settings.replications = c.replications;
    settings.quantiles = {0.9, 0.5};
    const Analysed a{run_bootstrap(x, y, summarise(x, y), settings, nullptr)};
    const bool paired = c.e == Experiment::paired;
    const MeasureRun &median = a[paired ? "MED_d" : "d_MED"], &half = a[paired ? "Q50_d" : "d_Q50"];
    const std::string what = std::string(c.shape) + " " + std::to_string(c.n_x) + " " + std::to_string(c.n_y);
    const bootstrap::Result &m = median.result, &q = half.result;
    for (auto field : {&bootstrap::Result::estimate, &bootstrap::Result::t_lower, &bootstrap::Result::t_upper,
                       &bootstrap::Result::bca_lower, &bootstrap::Result::bca_upper, &bootstrap::Result::se,
                       &bootstrap::Result::bias, &bootstrap::Result::z0, &bootstrap::Result::acceleration,
                       &bootstrap::Result::percentile_lower, &bootstrap::Result::percentile_upper,
                       &bootstrap::Result::basic_lower, &bootstrap::Result::basic_upper}) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(m.*field), std::bit_cast<std::uint64_t>(q.*field)) << what;
    }
    EXPECT_TRUE(std::ranges::equal(median.replicates, half.replicates)) << what;
  }
}

TEST(AnalysisTest, AMeasureAskedForAloneKeepsItsBits) {
  // A run forms only what the measures asked for read off the resamples
  // (no counts for the means alone, no spread for the medians alone): each
  // measure's results and replicates are those of the run of them all.
  const std::vector<double> x = testing::shaped_sample("random", 30, 7), y = testing::shaped_sample("tied", 41, 8);
  const std::vector<std::vector<std::string>> unpaired = {{"d_AVE"}, {"d_MED"}, {"d_STD"}, {"d_MAD"}, {"g"},
                                                          {"delta"}, {"lift"},  {"d_AVE", "lift"}};
  const std::vector<std::vector<std::string>> paired = {{"AVE_d"}, {"MED_d"}, {"g"}, {"lift"}};
  for (Experiment e : {Experiment::unpaired, Experiment::paired}) {
    const std::vector<double> y_e = e == Experiment::paired ? std::vector<double>(y.begin(), y.begin() + 30) : y;
    const std::vector<std::vector<std::string>>& each = e == Experiment::paired ? paired : unpaired;
    const Analysed all = analysed(x, y_e, e, e == Experiment::paired ? std::vector<std::string>{"AVE_d", "MED_d", "g", "lift"}
                                                                    : std::vector<std::string>{"d_AVE", "d_MED", "d_STD",
                                                                                               "d_MAD", "g", "delta", "lift"});
    for (const std::vector<std::string>& asked : each) {
      const Analysed some = analysed(x, y_e, e, asked);
      for (const std::string& name : asked) {
        const bootstrap::Result &got = some[name].result, &expected = all[name].result;
        for (auto field : {&bootstrap::Result::estimate, &bootstrap::Result::se, &bootstrap::Result::bca_lower,
                           &bootstrap::Result::bca_upper, &bootstrap::Result::acceleration}) {
          EXPECT_EQ(std::bit_cast<std::uint64_t>(got.*field), std::bit_cast<std::uint64_t>(expected.*field)) << name;
        }
        EXPECT_TRUE(std::ranges::equal(some[name].replicates, all[name].replicates)) << name;
      }
    }
  }
}

TEST(AnalysisTest, QuantilesHaveNoPermutationPValue) {
  const std::vector<double> x{1, 2, 3, 4, 5, 6}, y{2, 4, 6, 8};
  Settings settings;
  settings.quantiles = {0.9};
  settings.permutations = 99;
  const Analysed a{run_bootstrap(x, y, summarise(x, y), settings, nullptr)};
  EXPECT_TRUE(std::isnan(a["d_Q90"].p_permutation));
  EXPECT_EQ(a["d_Q90"].notes, std::vector<std::string>{"d_Q90: p_permutation is not given: the permutation test takes no quantile"});
  EXPECT_FALSE(std::isnan(a["d_MED"].p_permutation));
}

std::string notes_of(const MeasureRun& r) {
  std::string all;
  for (const std::string& note : r.notes) all += note + "|";
  return all;
}

TEST(AnalysisTest, NotesOnNumbersThatWouldMislead) {
  struct Case {
    const char* what;
    std::vector<double> x, y;
    Experiment experiment;
    std::vector<std::string> measures;
    std::string measure, note;          // the measure with the note, and the note
    bool withheld;                      // its se, bias, z0 and bounds NaN
  };
  const Case cases[] = {
      {"tied unpaired g", {1, 1, 1, 2}, {1, 1, 1, 1}, Experiment::unpaired, {"g"}, "g",
       "g: 643 of 1999 replicates are not finite numbers (constant resamples); its intervals are not given|", true},
      {"paired g", {1, 2, 4}, {0, 0.5, 0}, Experiment::paired, {"g"}, "g",
       " replicates are not finite numbers (constant resamples); its intervals are not given|", true},
      {"sd beyond the largest double", {1e308, -1e308, 1.7e308, -1.7e308, 5e307}, {1, 2, 3, 4}, Experiment::unpaired, {},
       "d_STD", " replicates are not finite numbers (values beyond the largest double); its intervals are not given|",
       true},
      {"separated samples", {1, 2, 3, 4}, {11, 12, 13, 14}, Experiment::unpaired, {"delta"}, "delta",
       "delta: every replicate equals the estimate, so its intervals have no width; that reflects the samples' sizes "
       "(4 and 4 values), not certainty|",
       false},
      {"constant differences", {2, 3, 5}, {1, 2, 4}, Experiment::paired, {}, "AVE_d",
       "AVE_d: every replicate equals the estimate, so its intervals have no width; that reflects the 3 pairs, not "
       "certainty|",
       false},
      {"lift over a mean of 0", {1, 2, 3, 4}, {-1, 1, -2, 2}, Experiment::unpaired, {"lift"}, "lift",
       "lift: not defined, as the mean of sample 2 is 0|", true},
      {"paired lift over a mean of 0", {1, 2, 4}, {0.5, -0.5, 0}, Experiment::paired, {"lift"}, "lift",
       "lift: not defined, as the mean of sample 2 is 0|", true},
      {"lift over resamples of mean 0", {1, 2, 3, 4}, {-2, 1, 1, 3}, Experiment::unpaired, {"lift"}, "lift",
       " replicates are not finite numbers (resamples of sample 2 whose mean is 0); its intervals are not given|",
       true},
  };
  for (const Case& c : cases) {
    const Analysed a = analysed(c.x, c.y, c.experiment, c.measures);
    const MeasureRun& m = a[c.measure];
    EXPECT_NE(notes_of(m).find(c.note), std::string::npos) << c.what << ": " << notes_of(m);
    const bootstrap::Result& r = m.result;
    for (double v : {r.se, r.bias, r.z0, r.t_lower, r.t_upper, r.bca_lower, r.bca_upper, r.percentile_lower,
                     r.percentile_upper, r.basic_lower, r.basic_upper}) {
      EXPECT_EQ(std::isnan(v), c.withheld) << c.what;
    }
    for (const MeasureRun& other : a.runs) {
      if (other.name == c.measure || !other.chosen) continue;
      EXPECT_TRUE(std::isfinite(other.result.bca_lower) && std::isfinite(other.result.bca_upper))
          << c.what << ": " << other.name << " goes on";
    }
  }
}

TEST(AnalysisTest, NoTTestWithoutSpread) {
  for (Experiment e : {Experiment::paired, Experiment::unpaired}) {
    const Analysed a = analysed({3, 4, 6}, {1, 2, 4}, e, {}, 99);
    const bool paired = e == Experiment::paired;
    if (!paired) {
      const Analysed constant = analysed({3, 3, 3}, {1, 1, 1}, e, {}, 99);
      EXPECT_TRUE(std::isnan(constant["d_AVE"].p_t));
      EXPECT_NE(notes_of(constant["d_AVE"]).find("d_AVE: p_t is not given: a t-test cannot be formed, as each "
                                                 "sample's values are all equal|"),
                std::string::npos);
      EXPECT_TRUE(std::isfinite(a["d_AVE"].p_t)) << "spread in each sample";
      continue;
    }
    EXPECT_TRUE(std::isnan(a["AVE_d"].p_t));
    EXPECT_NE(notes_of(a["AVE_d"]).find("AVE_d: p_t is not given: a t-test cannot be formed, as the differences are "
                                        "all equal|"),
              std::string::npos);
  }
}

TEST(AnalysisTest, DeltasIntervalsStayWithinItsRange) {
  // Chick weights, horsebean against linseed: delta's t and basic intervals
  // reach below -1 unclipped.
  const std::vector<double> horsebean{179, 160, 136, 227, 217, 168, 108, 124, 143, 140};
  const std::vector<double> linseed{309, 229, 181, 141, 260, 203, 148, 169, 213, 257, 244, 271};
  const Analysed a = analysed(horsebean, linseed, Experiment::unpaired, {"delta"});
  const bootstrap::Result& r = a["delta"].result;
  EXPECT_EQ(r.t_lower, -1.0);
  EXPECT_EQ(r.basic_lower, -1.0);
  for (double v : {r.t_upper, r.bca_lower, r.bca_upper, r.percentile_lower, r.percentile_upper, r.basic_upper}) {
    EXPECT_TRUE(v >= -1.0 && v <= 1.0) << v;
  }
}

// The lift is mean(x) / mean(y) − 1 (paired: of the pairs' means), with no
// estimate and no p-value where mean(y) is 0; its t, percentile and basic
// bounds and its se agree, within Monte Carlo error, with a bootstrap drawn
// here on its own (pairs drawn whole).
TEST(AnalysisTest, LiftAgainstItsDefinitionAndAnIndependentBootstrap) {
  std::mt19937_64 rng(7);
  std::lognormal_distribution<double> skewed(1.0, 0.6);
  for (Experiment e : {Experiment::unpaired, Experiment::paired}) {
    const bool paired = e == Experiment::paired;
    std::vector<double> x(paired ? 60 : 50), y(60);
    for (double& v : y) v = skewed(rng);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = paired ? y[i] * 1.1 + skewed(rng) - 2.0 : skewed(rng) * 1.2;
    const auto mean = [](const std::vector<double>& v) {
      double sum = 0.0;
      for (double a : v) sum += a;
      return sum / static_cast<double>(v.size());
    };
    Settings settings;
    settings.experiment = e;
    settings.replications = 9999;
    settings.measures = {MeasureKind::lift};
    settings.permutations = 99;
    const std::vector<MeasureRun> runs = run_bootstrap(x, y, summarise(x, y), settings, nullptr);
    const MeasureRun& lift = *std::ranges::find(runs, MeasureKind::lift, &MeasureRun::kind);
    const bootstrap::Result& r = lift.result;
    EXPECT_NEAR(r.estimate, mean(x) / mean(y) - 1.0, 1e-12 * std::fabs(r.estimate));
    EXPECT_TRUE(lift.notes.empty());
    EXPECT_TRUE(lift.p_permutation > 0.0 && lift.p_permutation <= 1.0);

    const std::size_t b = 20000;
    std::vector<double> boot(b);
    std::vector<double> rx(x.size()), ry(y.size());
    for (double& v : boot) {
      std::uniform_int_distribution<std::size_t> pick_x(0, x.size() - 1), pick_y(0, y.size() - 1);
      for (std::size_t i = 0; i < x.size(); ++i) {
        const std::size_t j = pick_x(rng);
        rx[i] = x[j];
        if (paired) ry[i] = y[j];
      }
      if (!paired) {
        for (double& w : ry) w = y[pick_y(rng)];
      }
      v = mean(rx) / mean(ry) - 1.0;
    }
    std::ranges::sort(boot);
    const double m = mean(boot);
    double ss = 0.0;
    for (double v : boot) ss += (v - m) * (v - m);
    const double se = std::sqrt(ss / static_cast<double>(b - 1));
    const double lower = boot[b * 25 / 1000], upper = boot[b * 975 / 1000];
    const char* what = paired ? "paired" : "unpaired";
    EXPECT_NEAR(r.se, se, 0.04 * se) << what;
    EXPECT_NEAR(r.percentile_lower, lower, 0.12 * se) << what;
    EXPECT_NEAR(r.percentile_upper, upper, 0.12 * se) << what;
    EXPECT_NEAR(r.basic_lower, 2.0 * r.estimate - upper, 0.12 * se) << what;
    EXPECT_NEAR(r.basic_upper, 2.0 * r.estimate - lower, 0.12 * se) << what;
    // BCa: shifted from the percentile interval by the skew, as wide within a quarter.
    const double width = upper - lower;
    EXPECT_NEAR(r.bca_upper - r.bca_lower, width, 0.25 * width) << what;
    EXPECT_TRUE(r.bca_lower < r.estimate && r.estimate < r.bca_upper) << what;
  }
  const Analysed zero = analysed({1, 2, 3, 4}, {-1, 1, -2, 2}, Experiment::unpaired, {"lift"}, 99);
  EXPECT_TRUE(std::isnan(zero["lift"].result.estimate));
  EXPECT_TRUE(std::isnan(zero["lift"].p_permutation));
  EXPECT_TRUE(std::isfinite(zero["d_AVE"].p_permutation)) << "the other measures go on";
}

// Sleep study (Student 1908): extra hours of sleep under two drugs.
const std::vector<double> drug1{0.7, -1.6, -0.2, -1.2, -0.1, 3.4, 3.7, 0.8, 0.0, 2.0};
const std::vector<double> drug2{1.9, 0.8, 1.1, 0.1, -0.1, 4.4, 5.5, 1.6, 4.6, 3.4};

std::vector<double> bounds_of(const bootstrap::Result& r) {
  return {r.t_lower, r.t_upper, r.bca_lower, r.bca_upper, r.percentile_lower, r.percentile_upper, r.basic_lower,
          r.basic_upper};
}

TEST(AnalysisTest, LiftIsClippedOnlyWhereItsSignsBoundIt) {
  // Clipped to -1 where sample 1 holds no negative value and sample 2 only
  // positive ones; elsewhere its replicates below -1 stand.
  struct Case {
    const char* what;
    std::vector<double> x, y;
    Experiment experiment;
    bool clipped;
  };
  const Case cases[] = {
      {"sample 2 of negative mean", {1, 2, 3, 4}, {-5, -6, -7, -4}, Experiment::unpaired, false},
      {"sleep study, unpaired", drug1, drug2, Experiment::unpaired, false},
      {"sleep study, paired", drug1, drug2, Experiment::paired, false},
      {"positive samples, a lift near -1", {0, 0, 0, 0, 0.2, 0, 3}, {1, 2, 1, 3, 2, 1, 2}, Experiment::unpaired, true},
      {"positive pairs, a lift near -1", {0, 0, 0, 0, 0.2, 0, 3}, {1, 2, 1, 3, 2, 1, 2}, Experiment::paired, true},
  };
  for (const Case& c : cases) {
    const MeasureRun lift = analysed(c.x, c.y, c.experiment, {"lift"})["lift"];
    const std::vector<double> b = bounds_of(lift.result);
    const double lowest = *std::ranges::min_element(b);
    const auto below = std::ranges::count_if(lift.replicates, [](double r) { return r < -1.0; });
    if (c.clipped) {
      EXPECT_EQ(lowest, -1.0) << c.what << ": a t or basic bound reaches below -1 unclipped";
      EXPECT_EQ(below, 0) << c.what;
    } else {
      EXPECT_LT(lowest, -1.0) << c.what;
      EXPECT_GT(below, 0) << c.what;
      EXPECT_TRUE(lift.result.bca_lower <= lift.result.estimate && lift.result.estimate <= lift.result.bca_upper)
          << c.what;
    }
  }
  // The sample 2 of negative mean: the estimate -1.4545 within its interval.
  const MeasureRun reversed = analysed({1, 2, 3, 4}, {-5, -6, -7, -4}, Experiment::unpaired, {"lift"})["lift"];
  EXPECT_NEAR(reversed.result.estimate, 2.5 / -5.5 - 1.0, 1e-15);
  EXPECT_NE(notes_of(reversed).find("lift: the mean of sample 2 is negative (-5.5), so the lift's sign reads reversed"),
            std::string::npos);
}

TEST(AnalysisTest, NotesOnLiftsAndLevels) {
  // What a user must be told to read the numbers; the numbers stay.
  std::vector<double> near_zero(30);
  for (std::size_t i = 0; i < near_zero.size(); ++i) near_zero[i] = (i % 2 == 0 ? 1.0 : -1.0) + 0.05;
  struct Case {
    const char* what;
    std::vector<double> x, y;
    std::vector<std::string> measures;
    double alpha;
    std::int32_t replications;
    std::string measure, note;  // note: "" for none
  };
  const std::vector<double> x = testing::shaped_sample("random", 20, 1), y = testing::shaped_sample("random", 20, 2);
  const Case cases[] = {
      {"unstable lift", testing::shaped_sample("random", 30, 3), near_zero, {"lift"}, 0.025, 1999, "lift",
       "lift: the mean of sample 2 (0.05) lies within two standard errors (0.371) of 0, so the lift is unstable"},
      {"stable lift", x, y, {"lift"}, 0.025, 1999, "lift", ""},
      {"99.9% from 99 replicates", x, y, {}, 0.0005, 99, "d_AVE",
       "d_AVE: the BCa lower, BCa upper, percentile lower and percentile upper bounds are the smallest or largest of "
       "the 99 replicates, whatever the level: their levels need B = "},
      {"99.9% from 1999 replicates, the BCa level moved out", x, y, {}, 0.0005, 1999, "d_AVE",
       "d_AVE: the BCa lower bound is the smallest or largest of the 1999 replicates, whatever the level: their "
       "levels need B = 3082 or more"},
      {"99% from 1999 replicates", x, y, {}, 0.005, 1999, "d_AVE", ""},
      {"99% from 99 replicates", x, y, {"g"}, 0.005, 99, "g", " replicates, whatever the level: their levels need B = "},
      {"95% from 99 replicates", x, y, {}, 0.025, 99, "d_MED", ""},
  };
  for (const Case& c : cases) {
    Settings settings;
    settings.measures = parse_measures(c.measures, Experiment::unpaired).kinds;
    settings.alpha = c.alpha;
    settings.replications = c.replications;
    const Analysed a{run_bootstrap(c.x, c.y, summarise(c.x, c.y), settings, nullptr)};
    const MeasureRun& m = a[c.measure];
    if (c.note.empty()) {
      EXPECT_EQ(notes_of(m), "") << c.what;
    } else {
      EXPECT_NE(notes_of(m).find(c.note), std::string::npos) << c.what << ": " << notes_of(m);
    }
    EXPECT_TRUE(std::isfinite(m.result.bca_lower) && std::isfinite(m.result.bca_upper)) << c.what;
  }
}

TEST(AnalysisTest, GInAnyUnit) {
  // g of data times 1e155 (squares beyond the largest double) and 1e-160
  // (squares below the smallest normal double) is g of the data themselves.
  const std::vector<double> x = testing::shaped_sample("random", 30, 11), y = testing::shaped_sample("skewed", 30, 12);
  for (Experiment e : {Experiment::unpaired, Experiment::paired}) {
    const MeasureRun plain = analysed(x, y, e, {"g"})["g"];
    for (double unit : {1e155, 1e-160}) {
      std::vector<double> xs = x, ys = y;
      for (double& v : xs) v *= unit;
      for (double& v : ys) v *= unit;
      const MeasureRun g = analysed(xs, ys, e, {"g"})["g"];
      EXPECT_EQ(notes_of(g), "") << unit;
      const std::vector<double> want = bounds_of(plain.result), got = bounds_of(g.result);
      for (std::size_t k = 0; k < want.size(); ++k) {
        EXPECT_NEAR(got[k], want[k], 1e-12 * std::fabs(want[k])) << unit << " bound " << k;
      }
      for (double bootstrap::Result::*field : {&bootstrap::Result::estimate, &bootstrap::Result::acceleration, &bootstrap::Result::z0, &bootstrap::Result::se}) {
        EXPECT_NEAR(g.result.*field, plain.result.*field, 1e-12 * std::fabs(plain.result.*field)) << unit;
      }
    }
  }
}

TEST(AnalysisTest, BoundsBetweenReplicatesBeyondTheDoubleRange) {
  // 40 values k 3e306 against (k²/30 + 3) 3e306: neighbouring replicates of
  // d_AVE whose distance times B + 1 overflows; the bounds are those of the
  // data in the unit 3e306, in that unit.
  std::vector<double> x(40), y(40), x1(40), y1(40);
  for (std::size_t i = 0; i < 40; ++i) {
    const auto k = static_cast<double>(i + 1);
    x1[i] = k, y1[i] = k * k / 30.0 + 3.0;
    x[i] = x1[i] * 3e306, y[i] = y1[i] * 3e306;
  }
  const Analysed big = analysed(x, y, Experiment::unpaired, {"d_AVE"}), unit = analysed(x1, y1, Experiment::unpaired, {"d_AVE"});
  const std::vector<double> got = bounds_of(big["d_AVE"].result), want = bounds_of(unit["d_AVE"].result);
  for (std::size_t k = 2; k < 6; ++k) {  // BCa and percentile
    EXPECT_TRUE(std::isfinite(got[k])) << k;
    EXPECT_NEAR(got[k] / 3e306, want[k], 1e-9 * std::fabs(want[k])) << k;
  }
}

TEST(AnalysisTest, AccelerationBySamplesForEveryUnpairedMeasure) {
  // --acceleration samples: g, delta and the lift by the two-sample formula
  // over their own jackknife values; grid: their pooled jackknife.
  const std::vector<double> x = testing::shaped_sample("skewed", 15, 21), y = testing::shaped_sample("random", 22, 22);
  struct Case {
    const char* name;
    std::vector<double> jack;
  };
  const Case cases[] = {{"g", bootstrap::hedges_g_jackknife(x, y)},
                        {"delta", bootstrap::cliffs_delta_jackknife(x, y)},
                        {"lift", bootstrap::lift_jackknife(x, y)}};
  for (Acceleration method : {Acceleration::grid, Acceleration::samples}) {
    Settings settings;
    settings.measures = parse_measures({"g", "delta", "lift"}, Experiment::unpaired).kinds;
    settings.acceleration = method;
    const Analysed a{run_bootstrap(x, y, summarise(x, y), settings, nullptr)};
    for (const Case& c : cases) {
      const double want = method == Acceleration::samples ? bootstrap::two_sample_acceleration(c.jack, x.size())
                                                          : bootstrap::acceleration(c.jack);
      EXPECT_EQ(a[c.name].result.acceleration, want) << c.name;
    }
  }
}

}  // namespace
}  // namespace diffboot::analysis
