// Resample statistics read off counts against the literal route: resample,
// then ave_var and med_mad on the resample, bit for bit, over many draws.
#include "bootstrap/resample_stats.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "numeric/summaries.h"

namespace diffboot::bootstrap {
namespace {

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

std::vector<double> sample(const std::string& shape, std::size_t n) {
  std::mt19937_64 rng(n * 31 + shape.size());
  std::vector<double> v(n);
  for (double& x : v) {
    if (shape == "random") x = std::normal_distribution<double>(0, 5)(rng);
    if (shape == "tied") x = static_cast<double>(rng() % 3) - 1.0;  // -1, 0, 1
    if (shape == "skewed") x = std::exp(std::normal_distribution<double>(0, 3)(rng));
    if (shape == "signed zeros") x = (rng() % 2) ? 0.0 : -0.0;
    if (shape == "nan") x = (rng() % 5) ? 1.0 : std::nan("");
  }
  return v;
}

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

}  // namespace
}  // namespace diffboot::bootstrap
