#pragma once
// The tick marks of a figure's axis: at round numbers (1, 2 or 5 times a
// power of ten; on a log axis powers of ten and their 2 and 5 multiples),
// never fewer than four, as far apart as the labels need where the axis
// has room for that.
#include <string>
#include <vector>

namespace diffboot::figure {

struct Tick {
  double at;
  std::string label;  // U+2212 for the minus sign
};

// Ticks inside [low, high] (low < high, both finite; positive on a log
// axis) on an axis `length` long, preferably at least `spacing` apart
// (both in one unit, such as inches): at least four, and more while they
// keep that spacing; where four are too close, every other label is left
// out (zero keeps its label).
std::vector<Tick> axis_ticks(double low, double high, bool log_scale, double length, double spacing);

}  // namespace diffboot::figure
