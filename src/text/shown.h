#pragma once
// Text from outside the program (file names, table cells, headers, groups,
// labels) as it is shown to a reader: nothing in it can move a terminal's
// cursor, retitle or clear it, or end a record.
#include <string>
#include <string_view>

namespace diffboot::text {

// `s` with every byte that is not printable UTF-8 shown as text: control
// characters (C0, DEL and the C1 range U+0080 to U+009F) as \n, \t, \r or
// \xNN, and each byte of an invalid UTF-8 sequence as \xNN.
std::string shown(std::string_view s);

}  // namespace diffboot::text
