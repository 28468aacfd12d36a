#pragma once
// The formatted record writer: every line the program produces is one record
// written here, ended by CR LF on every destination (console included). A
// control character or a byte that is not UTF-8 in a record's text is
// written as \n, \xNN (text/shown.h), never as itself.
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <variant>

#include "text/units.h"

namespace diffboot::text {

// An item of a formatted record: character field (full length, trailing
// blanks included), 32-bit integer or double.
using Item = std::variant<std::string_view, std::int32_t, double>;

// An item of a free-form record: character field or integer.
using ListItem = std::variant<std::string_view, std::int32_t>;

// Writes one record of `items` under `format` (descriptors a, iw, fw.d, esw.d,
// nx and groups with repeat counts) to `destination` (`console` or an open
// unit). A failed write ends the run as a fatal input/output error naming the
// destination. A malformed format or an item of the wrong kind is a defect of
// the caller and throws std::invalid_argument.
void write_record(int destination, std::string_view format, std::initializer_list<Item> items);

// Writes one free-form record: a blank, then the character items as they
// stand and each integer right-justified in 12 columns. No items: one blank.
void write_list(int destination, std::initializer_list<ListItem> items);

}  // namespace diffboot::text
