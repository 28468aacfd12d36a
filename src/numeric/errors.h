#pragma once
// Failure reporting of the numerical library: a console record
// " nrerror: <message>", then a stop text on standard error, exit status 1.
#include <string_view>

namespace diffboot::numeric {

// Writes " nrerror: " + message and ends the run with the stop text
// "program terminated by nrerror".
[[noreturn]] void nrerror(std::string_view message);

// Returns when c1 and c2 both hold; otherwise writes
// " nrerror: an assertion failed with this tag:" + tag and ends the run with
// the stop text "program terminated by assert2".
void assert2(bool c1, bool c2, std::string_view tag);

}  // namespace diffboot::numeric
