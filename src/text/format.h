#pragma once
// Edit-descriptor formats such as "(a,i8)" or "(12x,2(es11.4,4x))", parsed into
// a tree once and then walked by the record writer.
#include <string_view>
#include <vector>

namespace diffboot::text {

enum class Edit { a, i, f, es, x, group };

struct Descriptor {
  Edit edit = Edit::group;
  int width = 0;      // field width; for x the number of columns skipped
  int decimals = 0;   // digits after the point for f and es
  int repeat = 1;     // repeat count of a data descriptor or a group
  std::vector<Descriptor> items;  // members of a group
};

// Parses a format that starts with "(" and ends with ")" (trailing blanks
// allowed). Returns the outermost group. A malformed format is a defect of
// the caller and throws std::invalid_argument naming the format.
Descriptor parse_format(std::string_view format);

}  // namespace diffboot::text
