// Resample statistics read off counts against the literal route: resample,
// then ave_var and med_mad on the resample, bit for bit, over many draws.
#include "bootstrap/resample_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numeric/summaries.h"
#include "support/samples.h"

namespace diffboot::bootstrap {
namespace {

using testing::bits;

std::vector<double> sample(const std::string& shape, std::size_t n) { return testing::shaped_sample(shape, n, n * 31); }

TEST(ResampleStatsTest, CountsAgreeWithMedMadOnTheResample) {
  for (const char* shape : {"random", "tied", "skewed", "signed zeros", "nan"}) {
    for (std::size_t n : {1, 2, 3, 4, 5, 10, 11, 64, 101}) {
      const std::vector<double> x = sample(shape, n);
      ResampleCounter counter(x);
      numeric::UniformState fast, literal;
      numeric::init_uniform(fast);
      numeric::init_uniform(literal);
      std::vector<double> out(n), expected(n);
      for (int rep = 0; rep < 200; ++rep) {
        const ResampleStats s = counter.draw(fast, out);
        numeric::resample(literal, x, expected);
        double ave, var, med, mad;
        numeric::ave_var(expected, ave, var);
        numeric::med_mad(expected, med, mad);
        const std::string what = std::string(shape) + " n=" + std::to_string(n) + " rep " + std::to_string(rep);
        ASSERT_EQ(bits(s.ave), bits(ave)) << what;
        ASSERT_EQ(bits(s.std), bits(std::sqrt(var))) << what;
        ASSERT_EQ(bits(s.med), bits(med)) << what;
        ASSERT_EQ(bits(s.mad), bits(mad)) << what;
        for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(bits(out[i]), bits(expected[i])) << what;
      }
    }
  }
}

TEST(ResampleStatsTest, LargeSamplesCopiesAndTheMeanAndMedianAlone) {
  // Beyond 2^17 values the gathering asks for its reads ahead; a copy of a
  // counter shares its sorted order; without spread the mean and median
  // keep their bits. All against the literal route.
  for (const char* shape : {"random", "tied"}) {
    const std::vector<double> x = sample(shape, (std::size_t{1} << 17) + 3);
    const ResampleCounter original(x);
    ResampleCounter counter = original;
    numeric::UniformState fast, literal;
    numeric::init_uniform(fast);
    numeric::init_uniform(literal);
    std::vector<double> out(x.size()), expected(x.size());
    for (bool spread : {true, false}) {
      const ResampleStats s = counter.draw(fast, out, spread);
      numeric::resample(literal, x, expected);
      double ave, var, med, mad;
      numeric::ave_var(expected, ave, var);
      numeric::med_mad(expected, med, mad);
      EXPECT_EQ(bits(s.ave), bits(ave)) << shape;
      EXPECT_EQ(bits(s.med), bits(med)) << shape;
      if (spread) {
        EXPECT_EQ(bits(s.std), bits(std::sqrt(var))) << shape;
        EXPECT_EQ(bits(s.mad), bits(mad)) << shape;
      }
      EXPECT_EQ(out, expected) << shape;
    }
  }
}

}  // namespace
}  // namespace diffboot::bootstrap
