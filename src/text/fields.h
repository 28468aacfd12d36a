#pragma once
// Conversion of one number into one fixed-width output field. A value that
// does not fit its width gives that many asterisks; nothing ever spills over.
#include <cstdint>
#include <string>

namespace diffboot::text {

// iw: decimal digits, "-" if negative, right-justified in w columns.
std::string format_integer(int width, std::int64_t value);

// fw.d: value correctly rounded to d decimals, right-justified in w columns;
// the "0" before the point of a value below one is dropped when it has no room.
std::string format_fixed(int width, int decimals, double value);

// esw.d: one significant digit 1-9 (0 only for zero), d decimals and the
// exponent as "E+nn" (|e| < 100) or "+nnn"; correctly rounded from the exact
// double. NaN and infinities are written as "NaN", "Infinity", "-Infinity".
std::string format_scientific(int width, int decimals, double value);

}  // namespace diffboot::text
