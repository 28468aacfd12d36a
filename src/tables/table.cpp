#include "tables/table.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <iterator>

#include "numbers/free_form.h"

namespace diffboot::tables {
namespace {

// The rows libcsv hands over, field by field, with the lines they span.
struct Collector {
  Table* table = nullptr;
  std::vector<std::string> row;
  std::int64_t line = 1;       // the line the current row begins at
  std::int64_t newlines = 0;   // line ends inside the current row's quoted fields
  bool header_done = false;
};

extern "C" void on_field(void* data, std::size_t length, void* collector) {
  auto& c = *static_cast<Collector*>(collector);
  const char* text = data == nullptr ? "" : static_cast<const char*>(data);
  c.row.emplace_back(text, length);
  c.newlines += std::count(text, text + length, '\n');
}

extern "C" void on_row_end(int, void* collector) {
  auto& c = *static_cast<Collector*>(collector);
  if (!c.header_done) {
    c.table->header = std::move(c.row);
    c.header_done = true;
  } else {
    c.table->rows.push_back(std::move(c.row));
    c.table->lines.push_back(c.line);
  }
  c.row.clear();
  c.line += 1 + c.newlines;
  c.newlines = 0;
}

std::string read_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TableError("cannot read the table \"" + path + "\"");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The delimiter the header line holds most of: comma, tab or semicolon.
char guess_delimiter(const std::string& text) {
  const std::string first = text.substr(0, text.find('\n'));
  const std::array<char, 3> candidates{',', '\t', ';'};
  char best = ',';
  long most = 0;
  for (char c : candidates) {
    const long count = std::count(first.begin(), first.end(), c);
    if (count > most) best = c, most = count;
  }
  return best;
}

// An empty cell, or one that marks a missing value.
bool is_missing(const std::string& cell) {
  const auto first = cell.find_first_not_of(" \t");
  return first == std::string::npos ||
         numbers::is_missing_value(std::string_view(cell).substr(first, cell.find_last_not_of(" \t") - first + 1));
}

std::string column_name(const Table& t, std::size_t column) {
  return column < t.header.size() ? t.header[column] : std::to_string(column + 1);
}

}  // namespace

Table read_table(const std::string& path, std::optional<char> delimiter) {
  std::string text = read_whole(path);
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  Table table;
  table.path = path;
  table.delimiter = delimiter ? *delimiter : guess_delimiter(text);
  csv_parser parser;
  if (csv_init(&parser, CSV_APPEND_NULL) != 0) throw TableError("cannot read the table \"" + path + "\"");
  csv_set_delim(&parser, static_cast<unsigned char>(table.delimiter));
  Collector collector;
  collector.table = &table;
  const bool parsed = csv_parse(&parser, text.data(), text.size(), on_field, on_row_end, &collector) == text.size() &&
                      csv_fini(&parser, on_field, on_row_end, &collector) == 0;
  csv_free(&parser);
  if (!parsed) throw TableError("the table \"" + path + "\" cannot be read as rows of cells");
  if (table.header.empty()) throw TableError("the table \"" + path + "\" has no header line");
  return table;
}

std::size_t column_of(const Table& t, const std::string& name) {
  const auto named = std::find(t.header.begin(), t.header.end(), name);
  if (named != t.header.end()) return static_cast<std::size_t>(named - t.header.begin());
  if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos && name.size() < 10) {
    const std::size_t number = std::stoul(name);
    if (number >= 1 && number <= t.header.size()) return number - 1;
  }
  std::string names;
  for (const std::string& h : t.header) names += (names.empty() ? "" : ", ") + h;
  throw TableError("the table \"" + t.path + "\" has no column \"" + name + "\" (its columns: " + names + ")");
}

std::optional<double> cell_value(const Table& t, std::size_t row, std::size_t column) {
  const std::vector<std::string>& cells = t.rows[row];
  std::string cell = column < cells.size() ? cells[column] : std::string();
  if (is_missing(cell)) return std::nullopt;
  if (t.delimiter == ';') std::replace(cell.begin(), cell.end(), ',', '.');
  const auto first = cell.find_first_not_of(" \t");
  const std::string trimmed = cell.substr(first, cell.find_last_not_of(" \t") - first + 1);
  const numbers::FreeFormField field = numbers::parse_free_form(trimmed, true);
  if (field.kind != numbers::FreeForm::value || field.text.size() != trimmed.size()) {
    throw TableError("the table \"" + t.path + "\", line " + std::to_string(t.lines[row]) + ", column \"" +
                     column_name(t, column) + "\": \"" + cells[column] + "\" is not a number");
  }
  return field.value;
}

ColumnValues column_values(const Table& t, std::size_t column) {
  ColumnValues out;
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    if (const std::optional<double> v = cell_value(t, r, column)) {
      out.values.push_back(*v);
    } else if (out.missing++ == 0) {
      out.first_missing_line = t.lines[r];
    }
  }
  return out;
}

}  // namespace diffboot::tables
