// Output fields at their rounding and width edges. Expected strings are the
// documented examples of the record writer, or hand-rounded from the exact
// binary value where a tie is involved.
#include "text/fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace diffboot::text {
namespace {

struct IntegerCase {
  int width;
  std::int64_t value;
  const char* expected;
};

TEST(FieldsTest, IntegerFields) {
  const IntegerCase cases[] = {
      {1, 1, "1"},          {1, 2, "2"},          {1, 10, "*"},        {4, 7, "   7"},
      {8, 0, "       0"},   {10, -5, "        -5"}, {8, 1999, "    1999"}, {1, -1, "*"},
      {12, 3, "           3"}, {2, -9, "-9"},     {10, -2147483647 - 1LL, "**********"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_integer(c.width, c.value), c.expected) << c.value;
}

struct RealCase {
  int width, decimals;
  double value;
  const char* expected;
};

TEST(FieldsTest, FixedFields) {
  const double inf = std::numeric_limits<double>::infinity();
  const RealCase cases[] = {
      {4, 3, 0.01, ".010"},   {4, 3, 0.025, ".025"}, {4, 3, 0.05, ".050"},  {4, 3, 0.1, ".100"},
      {5, 3, 0.05, "0.050"},  {5, 3, 0.01, "0.010"}, {5, 3, 0.1, "0.100"},  {4, 3, 1.5, "****"},
      {5, 3, 1.5, "1.500"},   {5, 3, -0.05, "-.050"}, {4, 3, -0.05, "****"}, {5, 3, 0.0005, "0.001"},
      {5, 3, 0.0004999, "0.000"}, {6, 3, 9.9996, "10.000"}, {5, 3, inf, "*****"}, {9, 3, inf, " Infinity"},
      {4, 3, std::nan(""), " NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_fixed(c.width, c.decimals, c.value), c.expected) << c.value;
}

TEST(FieldsTest, ScientificFields) {
  const double inf = std::numeric_limits<double>::infinity();
  const RealCase cases[] = {
      {11, 4, 123.456, " 1.2346E+02"},
      {11, 4, 0.001, " 1.0000E-03"},
      {11, 4, -999.0, "-9.9900E+02"},
      {11, 4, 0.0, " 0.0000E+00"},
      {11, 4, 0.000123456, " 1.2346E-04"},
      {11, 4, -0.5, "-5.0000E-01"},
      {11, 4, 1.0e-100, " 1.0000-100"},
      {11, 4, 1.0e100, " 1.0000+100"},
      {11, 4, -1.0e-100, "-1.0000-100"},
      {11, 4, 9.99994e99, " 9.9999E+99"},
      {11, 4, 9.99995e99, " 1.0000+100"},   // stored above the tie: the carry reaches the exponent
      {11, 4, 5.0e-324, " 4.9407-324"},     // smallest subnormal
      {11, 4, 1.7976931348623157e308, " 1.7977+308"},
      {11, 4, 1.5, " 1.5000E+00"},
      {11, 4, 2.5e-5, " 2.5000E-05"},
      {11, 4, 1.00005, " 1.0001E+00"},      // stored above the tie
      {11, 4, 0.125, " 1.2500E-01"},
      {11, 1, 0.125, "    1.2E-01"},        // an exact tie goes to even
      {11, 1, 0.375, "    3.8E-01"},
      {11, 4, inf, "   Infinity"},
      {11, 4, -inf, "  -Infinity"},
      {11, 4, std::nan(""), "        NaN"},
      {8, 4, -1.0, "********"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_scientific(c.width, c.decimals, c.value), c.expected) << c.value;
}

}  // namespace
}  // namespace diffboot::text
