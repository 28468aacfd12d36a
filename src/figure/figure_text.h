#pragma once
// The words and numbers a figure prints: an estimate with its interval at
// the fewest significant digits (three, or four where three would print the
// two bounds alike) with true minus signs, and names shortened in the middle.
#include <cstddef>
#include <string>
#include <string_view>

namespace diffboot::figure {

// `value` at `digits` significant digits as %#g writes it (trailing zeros
// kept, so that every number shows its digits; no bare trailing point), with
// U+2212 for the minus sign.
std::string figure_number(double value, int digits);

// The significant digits an interval is shown with: three, or four when the
// bounds differ but would print alike at three.
int interval_digits(double lower, double upper);

// "[−92.2, −22.7]": the bounds at interval_digits, each followed by
// `suffix` (such as "%").
std::string bounds_text(double lower, double upper, std::string_view suffix = "");

// "−58.6 [−92.2, −22.7]": the estimate and the bounds at interval_digits,
// each followed by `suffix`.
std::string interval_text(double estimate, double lower, double upper, std::string_view suffix = "");

// The characters (UTF-8 code points) of `text`.
std::size_t character_count(std::string_view text);

// `name` when it has at most `longest` characters (UTF-8 code points), else
// its beginning and its end around an ellipsis, `longest` characters in all.
std::string shortened(std::string_view name, std::size_t longest);

}  // namespace diffboot::figure
