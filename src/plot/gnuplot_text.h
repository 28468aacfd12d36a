#pragma once
// Text as gnuplot reads it: a single-quoted string literal (single quotes
// doubled), from inside which gnuplot takes no backquote, macro or escape, so
// that no name a user typed reaches it as syntax.
#include <string>
#include <string_view>

namespace diffboot::plot {

// A single-quoted gnuplot string literal of `s` as it is shown: control
// characters and bytes that are not UTF-8 as \n, \t, \r, \xNN.
std::string gnuplot_text(std::string_view s);

}  // namespace diffboot::plot
