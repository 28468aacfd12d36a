#pragma once
// Tables as researchers keep them: a header line of column names, then rows
// of cells separated by commas, tabs or semicolons (RFC 4180 quoting, read by
// libcsv), with CR LF or LF line ends and an optional UTF-8 byte-order mark.
// The rows are read one at a time, so that a table of millions of rows costs
// the memory of the values taken from it, not of its text.
// A column's cells are read as sample values: empty cells and NA, NaN, null
// (any letter case) are missing; any other cell that is not a number is an
// error naming the file, the line, the column and the cell.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace diffboot::tables {

// What keeps a table from being read: what() is the message, one line.
class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What is known of a table once its header line is read.
struct Table {
  std::string path;
  char delimiter = ',';
  std::vector<std::string> header;
};

// A row of cells and the line it begins at (the header is line 1).
struct Row {
  std::int64_t line = 0;
  std::span<const std::string> cells;
};

struct TableParse;  // the reader's parser and the rows it has handed over

// Reads a table's header line on opening, then its rows in order.
class TableReader {
 public:
  // Opens the table at `path`. The delimiter is `delimiter` when given, else
  // the one of comma, tab and semicolon that the header line holds most of
  // (comma when none). With a semicolon, a decimal comma in a cell is read as
  // a decimal point.
  explicit TableReader(const std::string& path, std::optional<char> delimiter = std::nullopt);
  ~TableReader();
  TableReader(const TableReader&) = delete;
  TableReader& operator=(const TableReader&) = delete;

  // The table's name, delimiter and header.
  const Table& table() const { return table_; }

  // The next row, or nothing past the last; its cells stay valid until the
  // next call.
  std::optional<Row> next_row();

 private:
  bool parse_more();
  [[noreturn]] void fail() const;

  Table table_;
  std::unique_ptr<TableParse> parse_;
};

// The column named `name`, or numbered `name` (from 1) when no column has
// that name.
std::size_t column_of(const Table& t, const std::string& name);

// The cell of `row` in `column` as a number; nothing for a missing cell.
std::optional<double> cell_value(const Table& t, const Row& row, std::size_t column);

// The values of a column, missing cells left out, and how many were missing.
struct ColumnValues {
  std::vector<double> values;
  std::int64_t missing = 0;
  std::int64_t first_missing_line = 0;  // where the first missing cell stands
};

// The values of `columns` in the rows still to be read, in one pass; a bad
// cell is reported in the order of the rows, and within a row of `columns`.
std::vector<ColumnValues> column_values(TableReader& reader, const std::vector<std::size_t>& columns);

}  // namespace diffboot::tables
