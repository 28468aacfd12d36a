// Medians of large samples by bracketing: the same bits as selecting on a
// copy, taken for plain-ordered samples and declined for the rest.
#include "numeric/bracketed_median.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "numeric/summaries.h"
#include "support/samples.h"

namespace diffboot::numeric {
namespace {

using testing::bits;
using testing::shaped_sample;

double selected_median(std::vector<double> w) { return median_by_select(w); }

std::vector<double> deviations(const std::vector<double>& x, double center) {
  std::vector<double> d(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) d[i] = std::fabs(x[i] - center);
  return d;
}

TEST(BracketedMedianTest, SameBitsAsSelection) {
  struct Case {
    const char* shape;
    std::size_t n;
    bool median_taken, deviation_taken;
  };
  const Case cases[] = {
      {"random", bracketed_minimum, true, true},
      {"random", bracketed_minimum + 1, true, true},
      {"skewed", 100001, true, true},
      {"tied", 70000, true, true},
      {"few values", 70001, true, true},
      {"ascending", 70000, true, true},
      {"descending", 70001, true, true},
      {"organ pipe", 70000, true, true},
      {"huge", 70000, true, true},  // middle values whose sum overflows
      {"equal", 70000, true, true},
      {"random", bracketed_minimum - 1, false, false},
      {"signed zeros", 70000, false, true},  // the deviations are all +0
      {"nan", 70001, false, false},
  };
  for (const Case& c : cases) {
    const std::vector<double> x = shaped_sample(c.shape, c.n, c.n);
    const std::string what = std::string(c.shape) + " n=" + std::to_string(c.n);
    const double expected = selected_median(x);
    double med = -999.0;
    EXPECT_EQ(bracketed_median(x, med), c.median_taken) << what;
    EXPECT_EQ(bits(med), bits(c.median_taken ? expected : -999.0)) << what;
    double deviation = -999.0;
    EXPECT_EQ(bracketed_median_deviation(x, expected, deviation), c.deviation_taken) << what;
    const double expected_deviation = selected_median(deviations(x, expected));
    EXPECT_EQ(bits(deviation), bits(c.deviation_taken ? expected_deviation : -999.0)) << what;
    double m = 0.0, mad = 0.0;
    med_mad(x, m, mad);
    EXPECT_EQ(bits(m), bits(expected)) << what;
    EXPECT_FALSE(std::isinf(m)) << what;
    EXPECT_EQ(bits(mad), bits(expected_deviation * mad_scale)) << what;
  }
}

TEST(BracketedMedianTest, InfinitiesHavePlacesAndNanDeviationsAreDeclined) {
  std::vector<double> x = shaped_sample("random", 70000, 3);
  for (std::size_t i = 0; i < x.size(); i += 7) x[i] = std::numeric_limits<double>::infinity();
  double med = 0.0;
  ASSERT_TRUE(bracketed_median(x, med));
  EXPECT_EQ(bits(med), bits(selected_median(x)));
  double deviation = 0.0;
  EXPECT_FALSE(bracketed_median_deviation(x, std::numeric_limits<double>::infinity(), deviation))
      << "inf - inf is NaN";
}

}  // namespace
}  // namespace diffboot::numeric
