// Two samples' values taken into TwoSamples, with what was left out said and
// counted: shared by tables read from files and frames from the doors (no
// file is read here).
#include <string>
#include <utility>

#include "tables/two_samples.h"

namespace diffboot::tables {
namespace {

// One line for a sample whose column had missing cells; empty when none.
std::string missing_line(const std::string& label, const ColumnValues& v, const char* line_word) {
  if (v.missing == 0) return {};
  // Appended, never prefixed: GCC 12 at -O3 takes a prefix (insert at 0) for
  // an overlapping copy and stops the build with -Wrestrict.
  std::string line = " ";
  line.append(label).append(": ").append(std::to_string(v.missing));
  line.append(v.missing == 1 ? " missing value" : " missing values");
  line.append(" skipped (first at ").append(line_word).append(" ");
  line.append(std::to_string(v.first_missing_line)).append(")\n");
  return line;
}

}  // namespace

void take_pairs(TwoSamples& s, Pairs pairs, const std::string& name_x, const std::string& name_y) {
  s.notes += dropped_pairs_line(pairs, name_x, name_y);
  s.x = std::move(pairs.x), s.y = std::move(pairs.y);
  s.missing_x = pairs.cells_missing_x, s.missing_y = pairs.cells_missing_y;
  s.pairs_dropped = pairs.dropped();
}

void take_columns(TwoSamples& s, ColumnValues x, ColumnValues y, const std::string& name_x, const std::string& name_y,
                  const char* line_word) {
  s.notes += missing_line(name_x, x, line_word) + missing_line(name_y, y, line_word);
  s.x = std::move(x.values), s.missing_x = x.missing;
  s.y = std::move(y.values), s.missing_y = y.missing;
}

}  // namespace diffboot::tables
