#pragma once
// Tables as researchers keep them: a header line of column names, then rows
// of cells separated by commas, tabs, semicolons or blanks (RFC 4180 quoting,
// read strictly by libcsv), with CR LF or LF line ends and an optional UTF-8
// byte-order mark. A first column of row names, as R writes them (an empty
// header cell, or a header one cell shorter than the rows, quoted or not), is
// not a column of values: columns are numbered without it. A row of more
// cells than the header (but for one empty cell at its end), a stray quote, a
// line over 16 MiB and more than 1 GiB from a pipe or device stop the reading;
// so does a row of fewer cells where unquoted row names were known by the
// rows' width.
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
#include <string_view>
#include <vector>

namespace diffboot::tables {

// What keeps a table from being read: what() is the message, one line.
class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A table that could not be read from its device (an input/output error).
class TableReadError : public TableError {
 public:
  using TableError::TableError;
};

// What is known of a table once its header line is read.
struct Table {
  std::string path;
  char delimiter = ',';
  std::vector<std::string> header;  // the names of the columns of values
  bool row_names = false;           // a first column of row names precedes them
  bool decimal_comma = false;       // a comma in a cell is a decimal point
  bool outcomes = false;            // cells are 0/1 outcomes (--proportions): see read_cell
};

// A row's cells (row names left out) and the line it begins at, counting
// every line of the file from 1.
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
  // outside quotes; with none, a blank when the header and the first row
  // hold as many blank-separated fields (or the row one more), else comma.
  // With a semicolon, or any delimiter but a comma when `decimal_comma`, a
  // decimal comma in a cell is read as a decimal point. A file that cannot be
  // read throws TableReadError; one that is not a table, TableError.
  // With `outcomes` its cells are read as 0/1 outcomes (read_cell).
  explicit TableReader(const std::string& path, std::optional<char> delimiter = std::nullopt,
                       bool decimal_comma = false, bool outcomes = false);
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
  void parse(const char* data, std::size_t size);
  [[noreturn]] void fail() const;
  [[noreturn]] void too_wide(std::int64_t line) const;

  Table table_;
  std::unique_ptr<TableParse> parse_;
};

// The column named `name`, or numbered `name` (from 1, row names not
// counted) when no column has that name; a name two columns share is an error.
std::size_t column_of(const Table& t, const std::string& name);

// The first 60 bytes of a cell, for a message.
std::string shortened(std::string_view cell);

// The first 20 of `names`, comma-separated, each shortened, with ", ..."
// when there are more.
std::string name_list(const std::vector<std::string>& names);

// `cell` without the blanks around it.
std::string_view without_blanks(std::string_view cell);

// A cell read as a sample value: its number, nothing when missing (empty,
// NA, NaN, null), or what keeps it from being one ("not a number", "out of
// range (beyond the largest double)").
struct CellReading {
  std::optional<double> value;
  const char* problem = nullptr;
};
// With `outcomes` (the values are 0/1, as --proportions has them), the
// words TRUE, FALSE, yes and no (in any letter case: R writes TRUE, pandas
// True, spreadsheets and people true or yes) are 1 and 0, and a number
// other than 0 or 1 is "not 0 or 1 (--proportions)".
CellReading read_cell(std::string_view cell, bool decimal_comma = false, bool outcomes = false);

// The cell of `row` in `column` as a number; nothing for a missing cell. A
// cell that is not a number, or lies beyond the largest double, is an error.
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
