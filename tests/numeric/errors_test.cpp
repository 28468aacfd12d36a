// The numerical library's failures: the record and stop text they carry.
#include "numeric/errors.h"

#include <gtest/gtest.h>

#include "support/library_error.h"

namespace diffboot::numeric {
namespace {

TEST(ErrorsTest, NrerrorCarriesMessageAndStopText) {
  EXPECT_EQ(testing::library_error_of([] { nrerror("sort: NSTACK too small"); }),
            "nrerror: sort: NSTACK too small | program terminated by nrerror");
}

TEST(ErrorsTest, Assert2NeedsBothConditions) {
  const std::pair<bool, bool> failing[] = {{false, true}, {true, false}, {false, false}};
  for (const auto& [c1, c2] : failing) {
    EXPECT_EQ(testing::library_error_of([&] { assert2(c1, c2, "select args"); }),
              "nrerror: an assertion failed with this tag:select args | program terminated by assert2");
  }
  assert2(true, true, "select args");
}

}  // namespace
}  // namespace diffboot::numeric
