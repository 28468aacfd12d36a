#pragma once
// Pairs of values taken from a table, and what pairing left out: a pair
// whose half is missing (an empty or NA cell, a row absent from one group, or
// a row without an id) is left out whole and counted by its reason.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace diffboot::tables {

// The pairs kept and the count of those left out.
struct Pairs {
  std::vector<double> x, y;
  std::int64_t offered = 0;          // pairs before any was left out
  std::int64_t missing_x = 0;        // left out: x missing (both halves counted in `both` too)
  std::int64_t missing_y = 0;        // left out: y missing
  std::int64_t both = 0;             // left out: both missing
  std::int64_t without_id = 0;       // left out: a row without an id
  std::int64_t cells_missing_x = 0;  // missing cells among the x halves (absent rows not counted)
  std::int64_t cells_missing_y = 0;

  // The pairs left out, for any reason.
  std::int64_t dropped() const { return missing_x + missing_y - both + without_id; }
};

// A half of a pair: a row's value (nothing for a missing cell), or no row.
struct Half {
  bool present = false;
  std::optional<double> value;
};

// Keeps the pair (x, y) when both halves hold a value, else counts it.
void add_pair(Pairs& pairs, const Half& x, const Half& y);

// Counts a row left out for having no id.
void add_row_without_id(Pairs& pairs);

// One line on standard error saying what was left out, such as " pairs: 42
// of 153 left out (Ozone missing in 37, Solar.R in 7, both in 2)"; empty when
// nothing was.
std::string dropped_pairs_line(const Pairs& pairs, const std::string& name_x, const std::string& name_y);

}  // namespace diffboot::tables
