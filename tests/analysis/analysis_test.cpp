// What the analysis decides on its own: the degrees of freedom of each t
// quantile, the notes on numbers that would mislead and the intervals they
// withhold, and the range of a bounded measure. (Its results are otherwise
// tested through the library and the program.)
#include "analysis/analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace diffboot::analysis {
namespace {

TEST(AnalysisTest, TQuantileDegreesOfFreedom) {
  // alpha = 0.05; n_x = 6, n_y = 8 gives nu = 12, 10, 5 and n_x = n_y = 6
  // gives nu = 10, 8, 5: exact quantiles (mpmath, as in the distribution tests).
  struct Case {
    std::int64_t n_x, n_y;
    double n2, n4, x1;
  };
  const double t5 = -2.0150483733330242, t8 = -1.8595480375308984, t10 = -1.8124611228116764,
               t12 = -1.7822875556493201;
  const Case cases[] = {{6, 8, t12, t10, t5}, {6, 6, t10, t8, t5}};
  for (const Case& c : cases) {
    const TQuantiles t = t_quantiles(0.05, c.n_x, c.n_y);
    EXPECT_NEAR(t.n2, c.n2, 1e-12) << c.n_x << " " << c.n_y;
    EXPECT_NEAR(t.n4, c.n4, 1e-12) << c.n_x << " " << c.n_y;
    EXPECT_NEAR(t.x1, c.x1, 1e-12) << c.n_x << " " << c.n_y;
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
      if (other.name == c.measure) continue;
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

}  // namespace
}  // namespace diffboot::analysis
