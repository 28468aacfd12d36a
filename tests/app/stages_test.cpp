// Stages whose arithmetic on the program state is not visible in a report
// line by line: the degrees of freedom of the t quantiles and the size check.
#include "app/stages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "app/state.h"
#include "support/console_capture.h"

namespace diffboot::app {
namespace {

TEST(StagesTest, TQuantileDegreesOfFreedom) {
  // alpha = 0.05; unpaired n_x = 6, n_y = 8 gives nu = 12, 10, 5 and paired
  // n = 6 gives nu = 10, 8, 5: exact quantiles (mpmath, as in the
  // distribution tests).
  struct Case {
    std::int32_t n_x, n_y;
    double n2, n4, x1;
  };
  const double t5 = -2.0150483733330242, t8 = -1.8595480375308984, t10 = -1.8124611228116764,
               t12 = -1.7822875556493201;
  const Case cases[] = {{6, 8, t12, t10, t5}, {6, 6, t10, t8, t5}};
  for (const Case& c : cases) {
    reset_state();
    State& s = state();
    s.alpha = 0.05;
    s.n_x = c.n_x;
    s.n_y = c.n_y;
    t_quantiles();
    EXPECT_NEAR(s.tquant_n2, c.n2, 1e-12) << c.n_x << " " << c.n_y;
    EXPECT_NEAR(s.tquant_n4, c.n4, 1e-12) << c.n_x << " " << c.n_y;
    EXPECT_NEAR(s.tquant_x1, c.x1, 1e-12) << c.n_x << " " << c.n_y;
  }
}

TEST(StagesTest, CountBeyondThirtyTwoBitsCannotBeAllocated) {
  const std::int64_t largest = std::numeric_limits<std::int32_t>::max();
  testing::ConsoleCapture capture;
  EXPECT_EQ(sample_size(largest, "x: space requested not possible - terminate"), largest);
  const text::RunEnd end =
      testing::run_end_of([&] { sample_size(largest + 1, "y: space requested not possible - terminate"); });
  EXPECT_EQ(end.error_text, "");
  EXPECT_EQ(capture.out(), " y: space requested not possible - terminate\r\n");
}

}  // namespace
}  // namespace diffboot::app
