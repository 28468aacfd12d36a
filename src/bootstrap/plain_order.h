#pragma once
// Whether a sample's order statistics can be read off a sorted copy.
#include <algorithm>
#include <cmath>
#include <span>

namespace diffboot::bootstrap {

// True when no value is NaN (which has no place in a sorted order) and none
// is a negative zero (which sorts as equal to +0, while selection may return
// either sign): then every order statistic is one unambiguous double.
inline bool has_plain_order(std::span<const double> x) {
  return std::none_of(x.begin(), x.end(), [](double v) { return std::isnan(v) || (v == 0.0 && std::signbit(v)); });
}

}  // namespace diffboot::bootstrap
