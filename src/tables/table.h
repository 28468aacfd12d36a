#pragma once
// Tables as researchers keep them: a header line of column names, then rows
// of cells separated by commas, tabs or semicolons (RFC 4180 quoting, read by
// libcsv), with CR LF or LF line ends and an optional UTF-8 byte-order mark.
// A column's cells are read as sample values: empty cells and NA, NaN, null
// (any letter case) are missing; any other cell that is not a number is an
// error naming the file, the line, the column and the cell.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace diffboot::tables {

// What keeps a table from being read: what() is the message, one line.
class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Table {
  std::string path;
  char delimiter = ',';
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::int64_t> lines;  // the line each row begins at (the header is line 1)
};

// Reads the table at `path`. The delimiter is `delimiter` when given, else
// the one of comma, tab and semicolon that the header line holds most of
// (comma when none). With a semicolon, a decimal comma in a cell is read as
// a decimal point.
Table read_table(const std::string& path, std::optional<char> delimiter = std::nullopt);

// The column named `name`, or numbered `name` (from 1) when no column has
// that name.
std::size_t column_of(const Table& t, const std::string& name);

// The cell of `row` in `column` as a number; nothing for a missing cell.
std::optional<double> cell_value(const Table& t, std::size_t row, std::size_t column);

// The values of a column, missing cells left out, and how many were missing.
struct ColumnValues {
  std::vector<double> values;
  std::int64_t missing = 0;
  std::int64_t first_missing_line = 0;  // where the first missing cell stands
};
ColumnValues column_values(const Table& t, std::size_t column);

}  // namespace diffboot::tables
