// Stages whose arithmetic on the program state is not visible in a report
// line by line: the size check.
#include "app/stages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "app/state.h"
#include "support/console_capture.h"

namespace diffboot::app {
namespace {

TEST(StagesTest, CountBeyondThirtyTwoBitsCannotBeAllocated) {
  const std::int64_t largest = std::numeric_limits<std::int32_t>::max();
  testing::ConsoleCapture capture;
  EXPECT_EQ(sample_size(largest, "x: space requested not possible - terminate"), largest);
  const app::RunEnd end =
      testing::run_end_of([&] { sample_size(largest + 1, "y: space requested not possible - terminate"); });
  EXPECT_EQ(end.error_text, "");
  EXPECT_EQ(capture.out(), " y: space requested not possible - terminate\r\n");
}

}  // namespace
}  // namespace diffboot::app
