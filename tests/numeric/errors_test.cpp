// The numerical library's failures: the record and stop text they carry.
#include "numeric/errors.h"

#include <gtest/gtest.h>

#include "support/library_error.h"

namespace diffboot::numeric {
namespace {

TEST(ErrorsTest, NumericErrorCarriesMessageAndStopText) {
  EXPECT_EQ(testing::library_error_of([] { throw_numeric_error("sort: NSTACK too small"); }),
            "nrerror: sort: NSTACK too small | program terminated by nrerror");
}

TEST(ErrorsTest, RequireBothNeedsBothConditions) {
  const std::pair<bool, bool> failing[] = {{false, true}, {true, false}, {false, false}};
  for (const auto& [c1, c2] : failing) {
    EXPECT_EQ(testing::library_error_of([&] { require_both(c1, c2, "select args"); }),
              "nrerror: an assertion failed with this tag:select args | program terminated by assert2");
  }
  require_both(true, true, "select args");
}

}  // namespace
}  // namespace diffboot::numeric
