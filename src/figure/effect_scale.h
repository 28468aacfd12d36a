#pragma once
// How a measure without the data's units is drawn: on an effect panel of
// its own, in its own terms (g in standard deviations, delta on
// −1 to 1, a ratio in percent). A measure that is not listed here is a
// difference in the data's units.
#include <string_view>

namespace diffboot::figure {

struct EffectScale {
  std::string_view measure;  // its code, such as "g"
  std::string_view axis;     // what the unitless axis says of it, such as "g in sd units"
  double factor;             // drawn and printed as value × factor (100 for percent)
  std::string_view suffix;   // after each printed number, such as "%"
  bool bounded;              // whether [low, high] always shows on the axis
  double low, high;
};

inline constexpr EffectScale unitless_scales[] = {
    {"g", "g in sd units", 1.0, "", false, 0.0, 0.0},
    {"delta", "delta from \u22121 to 1", 1.0, "", true, -1.0, 1.0},
    {"lift", "lift in percent", 100.0, "%", false, 0.0, 0.0},
    {"h", "h, a difference of arcsines", 1.0, "", false, 0.0, 0.0},
};

// The scale of the measure `code`; nullptr for a difference in the data's units.
const EffectScale* unitless_scale(std::string_view code);

}  // namespace diffboot::figure
