#pragma once
// Text as gnuplot reads it: string expressions whose value is the text
// itself, from which gnuplot takes no backquote, macro, escape or format.
#include <string>
#include <string_view>

namespace diffboot::plot {

// A gnuplot string expression of `s` as it is shown (text/shown.h: control
// characters and bytes that are not UTF-8 as \n, \xNN): its runs without a
// single quote in single quotes, each single quote as "\047", joined by '.'.
// (Doubled quotes inside a single-quoted string are not read reliably, and a
// quote character outside one misleads gnuplot's macro expansion.)
std::string gnuplot_text(std::string_view s);

// gnuplot_text for a tic label, which gnuplot reads as a format for the
// tic's position: every '%' doubled, so that it is drawn as itself.
std::string gnuplot_tic_text(std::string_view s);

// `text` as gnuplot_text() shows it, for comment lines, which end at a line
// break.
std::string comment_text(std::string_view text);

// A gnuplot string expression whose value is exactly the file name `path`:
// relative names start with "./", so that gnuplot never takes one for a
// pipe ('|', '<'); printable runs in single quotes, every other byte and
// each single quote as a double-quoted octal escape ("\012"), joined by
// gnuplot's '.' operator.
std::string file_name_expression(std::string_view path);

}  // namespace diffboot::plot
