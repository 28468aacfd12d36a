// The numerical library's way of ending a run: console record, stop text.
#include "numeric/errors.h"

#include <gtest/gtest.h>

#include "support/console_capture.h"

namespace diffboot::numeric {
namespace {

TEST(ErrorsTest, NrerrorWritesMessageAndStopText) {
  testing::ConsoleCapture capture;
  const text::RunEnd end = testing::run_end_of([] { nrerror("sort: NSTACK too small"); });
  EXPECT_EQ(capture.out(), " nrerror: sort: NSTACK too small\r\n");
  EXPECT_EQ(end.status, 1);
  EXPECT_EQ(end.error_text, "program terminated by nrerror\r\n");
}

TEST(ErrorsTest, Assert2NeedsBothConditions) {
  const std::pair<bool, bool> failing[] = {{false, true}, {true, false}, {false, false}};
  for (const auto& [c1, c2] : failing) {
    testing::ConsoleCapture capture;
    const text::RunEnd end = testing::run_end_of([&] { assert2(c1, c2, "select args"); });
    EXPECT_EQ(capture.out(), " nrerror: an assertion failed with this tag:select args\r\n");
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(end.error_text, "program terminated by assert2\r\n");
  }
  testing::ConsoleCapture capture;
  assert2(true, true, "select args");
  EXPECT_EQ(capture.out(), "");
}

}  // namespace
}  // namespace diffboot::numeric
