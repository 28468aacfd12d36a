// What the analysis decides on its own: the degrees of freedom of each t
// quantile. (Its results are tested through the library and the program.)
#include "analysis/analysis.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace diffboot::analysis
