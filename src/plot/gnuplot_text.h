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

// `text` with what is not printable UTF-8 shown as gnuplot_text() shows it,
// for comment lines, which end at a line break.
std::string comment_text(std::string_view text);

// A gnuplot string expression whose value is exactly the file name `path`:
// relative names start with "./", so that gnuplot never takes one for a
// pipe ('|', '<'); printable runs in single quotes, every other byte as a
// double-quoted octal escape ("\012"), joined by gnuplot's '.' operator.
std::string file_name_expression(std::string_view path);

}  // namespace diffboot::plot
