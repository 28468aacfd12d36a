#pragma once
// Whether a sample's order statistics can be read off a sorted copy.
#include <algorithm>
#include <cmath>
#include <span>

namespace diffboot::numeric {

// A value with one place in a sorted order: not NaN (which has none) and not
// a negative zero (which sorts as equal to +0, while selection may return
// either sign).
inline bool is_plain(double v) { return v == v && !(v == 0.0 && std::signbit(v)); }

// True when every value is plain: then every order statistic is one
// unambiguous double.
inline bool has_plain_order(std::span<const double> x) { return std::all_of(x.begin(), x.end(), is_plain); }

}  // namespace diffboot::numeric
