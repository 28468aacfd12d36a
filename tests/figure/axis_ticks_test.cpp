// The ticks of a figure's axis: at least four at round numbers on any range,
// linear or logarithmic, and labels far enough apart.
#include "figure/axis_ticks.h"

#include <gtest/gtest.h>

namespace diffboot::figure {
namespace {

TEST(AxisTicksTest, FourAtLeastAtRoundNumbers) {
  // Columns: the range, log or not, the axis's length and the labels' spacing
  // (inches), the labels expected ("" for a tick without one).
  struct Case {
    double low, high;
    bool log_scale;
    double length, spacing;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {-1.9, -0.7, false, 3.0, 0.5, {"\u22121.8", "\u22121.6", "\u22121.4", "\u22121.2", "\u22121.0", "\u22120.8"}},
      {-132, 51, false, 1.6, 0.5, {"\u2212100", "", "0", ""}},  // too close: every other, zero's phase
      {-0.2, 4.1, false, 1.0, 0.15, {"0", "1", "2", "3", "4"}},
      {0.02, 900, true, 3.0, 0.25, {"0.1", "1", "10", "100"}},                 // decades
      {0.5, 40, true, 3.0, 0.25, {"0.5", "1", "2", "5", "10", "20"}},           // and their 2 and 5 multiples
      {120, 170, true, 1.0, 0.25, {"120", "", "140", "", "160", ""}},          // less than a decade: linear steps
      {1e-3, 1e6, true, 2.0, 0.25, {"0.01", "1", "100", "10000", "1e+06"}},    // every other decade
      {-132, 51, false, -0.3, 0.5, {"\u2212100", "\u221250", "0", "50"}},  // no room at all: not thinned
  };
  for (const Case& c : cases) {
    std::vector<std::string> labels;
    for (const Tick& t : axis_ticks(c.low, c.high, c.log_scale, c.length, c.spacing)) {
      EXPECT_TRUE(t.at >= c.low && t.at <= c.high) << t.at;
      labels.push_back(t.label);
    }
    EXPECT_EQ(labels, c.labels) << c.low << " to " << c.high;
  }
}

}  // namespace
}  // namespace diffboot::figure
