// Points set side by side: none within a diameter of another in its slot,
// slots filled from the middle out, the same offsets for the same values.
#include "figure/swarm.h"

#include <gtest/gtest.h>

#include <cmath>

namespace diffboot::figure {
namespace {

TEST(SwarmTest, PointsSideBySideFromTheMiddle) {
  // Columns: heights, slots on each side, the offsets expected.
  struct Case {
    std::vector<double> heights;
    int per_side;
    std::vector<double> offsets;
  };
  const Case cases[] = {
      {{0.0, 5.0, 10.0}, 2, {0, 0, 0}},              // apart: all in the middle
      {{1.0, 1.0, 1.0, 1.0}, 2, {0, 2, -2, 4}},      // alike: middle, right, left, right again
      {{1.0, 1.0, 1.0}, 0, {0, 0, 0}},               // no room beside: one column
      {{3.0, 1.0, 1.5, 3.5}, 1, {0, 0, 2, 2}},      // by height, not by order given
      {{1.0, 1.0, 1.0, 1.0}, 1, {0, 2, -2, 0}},      // slots full: the lowest one again
  };
  for (const Case& c : cases) EXPECT_EQ(swarm_offsets(c.heights, 2.0, c.per_side), c.offsets) << c.heights.size();
}

}  // namespace
}  // namespace diffboot::figure
