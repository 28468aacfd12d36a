#pragma once
// The record reader: answers from the console and values from sample files,
// one record (line) at a time. Carriage returns are dropped wherever they
// stand; tabs expand to tab stops (every 8 columns, or TABSIZE); a UTF-8
// byte-order mark before a file's first line is skipped. Memory stays
// bounded whatever the length of a line.
#include <cstdint>
#include <string>
#include <string_view>

#include "text/units.h"

namespace diffboot::text {

// Read status of `read_real`.
enum class ReadStatus {
  ok,        // a value was read
  no_value,  // the record begins with a null value (a comma or slash): no number
  end,       // the end of the source came before a value
  invalid,   // the characters found are not a valid value
};

// Tab width given by a TABSIZE value: a non-negative whole number, or 8 when
// the variable is unset or holds anything else; 0 leaves tabs as they are.
int parse_tab_size(const char* value);

// Copies the next record of `source` (`console` or a unit open for reading)
// into `field`, cut or blank-padded to `length` characters ("(a)" reads with
// the field's length, "(a1)" with 1). The end of the source ends the run as a
// fatal input error naming the source.
void read_chars(int source, std::string& field, std::size_t length);

// Reads one free-form value from the next records of `source` into `target`
// and sets `status`; empty records are passed over. Never ends the run. A
// null value (comma or slash) leaves `target` unchanged.
void read_real(int source, double& target, ReadStatus& status);

// As above without a status: the end of the source or an invalid value ends
// the run as a fatal input error naming the source and the record; a null
// value leaves `target` unchanged.
void read_real(int source, double& target);

// The record last read from `source`: carriage returns removed, tabs as they
// stand; empty before the first read.
std::string_view last_record(int source);

// The characters the last read from `source` took for its value, as tabs
// and TABSIZE make them: up to a blank, comma or slash.
std::string_view last_item(int source);

// The number of the record last read from `source`, counting from 1 at its
// first line; 0 before the first read.
std::int64_t record_number(int source);

// From now on until it is closed, the records of `unit` read a comma as a
// decimal point ("5,1" is 5.1); a comma no longer separates values.
void read_decimal_commas(int unit);

// Steps `unit` back one record, so that the next read reads the last record
// again. Before the first record, and a second time in a row, it does nothing.
void backspace_record(int unit);

}  // namespace diffboot::text
