// The figure's numbers and names: significant digits, true minus signs,
// bounds told apart, names shortened in the middle; and the density's shape.
#include "figure/figure_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "figure/density.h"

namespace diffboot::figure {
namespace {

TEST(FigureTextTest, Intervals) {
  // Columns: estimate, lower, upper, the text.
  const std::tuple<double, double, double, const char*> cases[] = {
      {-58.6, -92.2, -22.7, "−58.6 [−92.2, −22.7]"},
      {-1.3, -1.9, -1.0, "−1.30 [−1.90, −1.00]"},      // trailing zeros kept
      {100.0, 99.0, 101.0, "100 [99.0, 101]"},          // no bare point after 100
      {1.2345, 1.2341, 1.2349, "1.234 [1.234, 1.235]"},  // alike at three digits: four
      {1.23451, 1.23452, 1.23454, "1.235 [1.235, 1.235]"},  // at most four
      {0.0, 0.0, 0.0, "0.00 [0.00, 0.00]"},
      {123456.0, 1.5e-7, 2e9, "1.23e+05 [1.50e−07, 2.00e+09]"},
  };
  for (const auto& [estimate, lower, upper, text] : cases) EXPECT_EQ(interval_text(estimate, lower, upper), text);
}

TEST(FigureTextTest, ShortenedInTheMiddle) {
  // Columns: name, longest, result (characters, not bytes, are counted).
  const std::tuple<const char*, std::size_t, const char*> cases[] = {
      {"horsebean", 28, "horsebean"},
      {"abcdefghij", 10, "abcdefghij"},
      {"abcdefghijk", 10, "abcd…ghijk"},
      {"äöüäöüäöüäöü", 7, "äöü…äöü"},
  };
  for (const auto& [name, longest, result] : cases) EXPECT_EQ(shortened(name, longest), result) << name;
}

TEST(DensityTest, ShapeOfTheSample) {
  // Two clusters: two peaks of equal height, a valley between them; the
  // highest point is 1; a sample without spread has no density.
  std::vector<double> two;
  for (int i = 0; i < 200; ++i) two.push_back((i % 2 == 0 ? 0.0 : 10.0) + 0.01 * (i % 7));
  const Density d = density_of(two);
  ASSERT_EQ(d.at.size(), 200u);
  const auto at = [&](double x) {
    std::size_t k = 0;
    while (k + 1 < d.at.size() && d.at[k + 1] <= x) ++k;
    return d.height[k];
  };
  EXPECT_GT(at(0.03), 0.9);
  EXPECT_GT(at(10.03), 0.9);
  EXPECT_LT(at(5.0), 0.05);
  EXPECT_DOUBLE_EQ(*std::max_element(d.height.begin(), d.height.end()), 1.0);
  EXPECT_TRUE(density_of(std::vector<double>(5, 3.0)).at.empty());
  EXPECT_TRUE(density_of(std::vector<double>{1.0, std::nan("")}).at.empty());
}

}  // namespace
}  // namespace diffboot::figure
