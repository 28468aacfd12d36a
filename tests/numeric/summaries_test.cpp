// Means, variances, medians, MADs and moments on the documented small
// samples, with the exact values worked by hand.
#include "numeric/summaries.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/library_error.h"

namespace diffboot::numeric {
namespace {

TEST(SummariesTest, MedianAndMad) {
  struct Case {
    std::vector<double> data;
    double med, mad;
  };
  const Case cases[] = {
      {{3, 1, 2}, 2.0, 1.4826},          // deviations (1, 1, 0)
      {{1, 2, 3, 4}, 2.5, 1.4826},       // deviations (1.5, .5, .5, 1.5), median 1
      {{5}, 5.0, 0.0},
      {{2, 2, 2, 9}, 2.0, 0.0},
      // Middle values beyond half the largest double: halves added, not inf.
      {{1.7e308, 1.7e308}, 1.7e308, 0.0},
      {{-1.6e308, -1.7e308}, -1.7e308 * 0.5 + -1.6e308 * 0.5, (1.7e308 * 0.5 - 1.6e308 * 0.5) * 1.4826},
  };
  for (const auto& c : cases) {
    const std::vector<double> before = c.data;
    double med = 0, mad = 0;
    med_mad(c.data, med, mad);
    EXPECT_EQ(med, c.med);
    EXPECT_EQ(mad, c.mad);
    EXPECT_EQ(c.data, before) << "the caller's order is kept";
  }
}

TEST(SummariesTest, MeanAndVariance) {
  double ave = 0, var = 0;
  ave_var(std::vector<double>{1, 2, 3, 4}, ave, var);
  EXPECT_EQ(ave, 2.5);
  EXPECT_EQ(var, 5.0 / 3.0);
  ave_var(std::vector<double>{7}, ave, var);
  EXPECT_EQ(ave, 7.0);
  EXPECT_TRUE(std::isnan(var)) << "0/0 for one value";
}

TEST(SummariesTest, MeanAndSdBeyondOverflow) {
  // Columns: data, mean, sd. The squares of 1e308 overflow; the sd of
  // (1e308, -1e308) is sqrt(2) 1e308 and that of (a, a, a) is 0 exactly.
  // Ordinary data keep ave_var's bits; NaN data stay NaN.
  struct Case {
    std::vector<double> data;
    double ave, sd;
  };
  const Case cases[] = {
      {{1e308, -1e308}, 0.0, std::sqrt(2.0) * 1e308},
      {{1.5e308, 1.5e308, 1.5e308}, 1.5e308, 0.0},
      {{1, 2, 3, 4}, 2.5, std::sqrt(5.0 / 3.0)},
      {{1e308, std::nan("")}, std::nan(""), std::nan("")},
  };
  for (const Case& c : cases) {
    const MeanSd m = mean_and_sd(c.data);
    if (std::isnan(c.ave)) {
      EXPECT_TRUE(std::isnan(m.ave) && std::isnan(m.sd));
      continue;
    }
    EXPECT_EQ(m.ave, c.ave) << c.data[0];
    EXPECT_NEAR(m.sd, c.sd, 1e-15 * c.sd) << c.data[0];
  }
}

TEST(SummariesTest, Moment) {
  double ave, adev, sdev, var, skew, curt;
  moment(std::vector<double>{1, 2, 3, 4}, ave, adev, sdev, var, skew, curt);
  EXPECT_EQ(ave, 2.5);
  EXPECT_EQ(adev, 1.0);
  EXPECT_EQ(var, 5.0 / 3.0);
  EXPECT_EQ(sdev, std::sqrt(5.0 / 3.0));
  EXPECT_EQ(skew, 0.0);
  EXPECT_DOUBLE_EQ(curt, 10.25 / (4 * (5.0 / 3.0) * (5.0 / 3.0)) - 3.0);
}

TEST(SummariesTest, MomentStops) {
  struct Case {
    std::vector<double> data;
    const char* console;
  };
  const Case cases[] = {
      {{2, 2}, "nrerror: moment: no skew or kurtosis when zero variance | program terminated by nrerror"},
      {{1}, "nrerror: moment: n must be at least 2 | program terminated by nrerror"},
      {{}, "nrerror: moment: n must be at least 2 | program terminated by nrerror"},
  };
  for (const auto& c : cases) {
    double ave, adev, sdev, var, skew, curt;
    EXPECT_EQ(testing::library_error_of([&] { moment(c.data, ave, adev, sdev, var, skew, curt); }), c.console);
  }
}

TEST(SummariesTest, SummaryOfOneValue) {
  const SampleSummary s = summarize(std::vector<double>{3.5});
  EXPECT_EQ(s.ave, 3.5);
  EXPECT_TRUE(std::isnan(s.std));
  EXPECT_EQ(s.min, 3.5);
  EXPECT_EQ(s.max, 3.5);
  EXPECT_EQ(s.med, 3.5);
  EXPECT_EQ(s.mad, 0.0);
}

}  // namespace
}  // namespace diffboot::numeric
