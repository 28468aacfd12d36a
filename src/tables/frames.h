#pragma once
// The two samples of a data frame handed over by a door as columns, by the
// rules of the program's tables (see two_samples.h): the values of two
// columns, or the rows of two groups in the long form, paired by id or in
// order.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tables/two_samples.h"

namespace diffboot::tables {

// A column: numbers (NaN missing) or texts, and a mask of missing cells
// (empty, or nonzero where missing).
struct FrameColumn {
  std::string name;
  std::span<const double> numbers;
  std::span<const std::string> texts;
  std::span<const std::uint8_t> missing;
  bool is_text = false;
  bool outcomes = false;  // 0/1 outcomes: texts TRUE/FALSE/yes/no, numbers 0 or 1 only (read_cell)

  std::size_t size() const { return is_text ? texts.size() : numbers.size(); }
  // Whether cell i is masked, NaN, or an empty or missing text.
  bool missing_at(std::size_t i) const;
  // Cell i as a sample value: nothing when missing; a text that is not a
  // number throws TableError naming the column and the row (from 1).
  std::optional<double> value(std::size_t i) const;
  // Cell i as a group or id key: its text without blanks around it, a number
  // as its shortest text ("2", "0.5"); empty when missing.
  std::string key(std::size_t i) const;
};

// Two columns' values (paired: the rows whose two cells both hold numbers).
TwoSamples frame_columns(const FrameColumn& a, const FrameColumn& b, bool paired);

// The rows of groups `groups` of `by`, their values in `value`, paired by
// `id` when it has cells, else in order.
TwoSamples frame_groups(const FrameColumn& by, const FrameColumn& value, const FrameColumn& id,
                        const std::array<std::string, 2>& groups, bool paired);

}  // namespace diffboot::tables
