#include "tables/table.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <fstream>

#include "numbers/free_form.h"

namespace diffboot::tables {

// The parser, the file it reads in blocks, and the rows of the last block;
// the rows' strings are kept and reused, so that reading allocates nothing
// once the first block's rows are in place.
struct TableParse {
  std::ifstream in;
  csv_parser parser{};
  bool initialised = false;
  bool finished = false;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::size_t> widths;  // the cells each row has
  std::vector<std::int64_t> lines;  // the line each row begins at
  std::size_t filled = 0, taken = 0;
  std::int64_t line = 1;      // the line the row being parsed begins at
  std::int64_t newlines = 0;  // line ends inside its quoted cells

  ~TableParse() {
    if (initialised) csv_free(&parser);
  }
};

namespace {

constexpr std::size_t block_size = 1 << 16;

extern "C" void on_field(void* data, std::size_t length, void* parse) {
  auto& p = *static_cast<TableParse*>(parse);
  const char* text = data == nullptr ? "" : static_cast<const char*>(data);
  if (p.filled == p.rows.size()) {
    p.rows.emplace_back(), p.widths.push_back(0), p.lines.push_back(0);
  }
  std::vector<std::string>& row = p.rows[p.filled];
  std::size_t& width = p.widths[p.filled];
  if (width == row.size()) row.emplace_back();
  row[width++].assign(text, length);
  p.newlines += std::count(text, text + length, '\n');
}

extern "C" void on_row_end(int, void* parse) {
  auto& p = *static_cast<TableParse*>(parse);
  if (p.filled == p.rows.size()) {  // a row without cells
    p.rows.emplace_back(), p.widths.push_back(0), p.lines.push_back(0);
  }
  p.lines[p.filled++] = p.line;
  p.line += 1 + p.newlines;
  p.newlines = 0;
}

// The delimiter the header line holds most of: comma, tab or semicolon.
char guess_delimiter(std::string_view first_line) {
  const std::array<char, 3> candidates{',', '\t', ';'};
  char best = ',';
  long most = 0;
  for (char c : candidates) {
    const long count = std::count(first_line.begin(), first_line.end(), c);
    if (count > most) best = c, most = count;
  }
  return best;
}

std::string_view without_blanks(std::string_view cell) {
  const auto first = cell.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return cell.substr(first, cell.find_last_not_of(" \t") - first + 1);
}

std::string column_name(const Table& t, std::size_t column) {
  return column < t.header.size() ? t.header[column] : std::to_string(column + 1);
}

}  // namespace

TableReader::TableReader(const std::string& path, std::optional<char> delimiter) : parse_(std::make_unique<TableParse>()) {
  table_.path = path;
  TableParse& p = *parse_;
  p.in.open(path, std::ios::binary);
  if (!p.in) throw TableError("cannot read the table \"" + path + "\"");
  // The first line, for the delimiter, and the byte-order mark.
  std::string start;
  std::getline(p.in, start);
  if (p.in.bad()) throw TableError("cannot read the table \"" + path + "\"");
  if (!p.in.eof()) start += '\n';
  if (start.starts_with("\xEF\xBB\xBF")) start.erase(0, 3);
  table_.delimiter = delimiter ? *delimiter : guess_delimiter(start);
  if (csv_init(&p.parser, CSV_APPEND_NULL) != 0) throw TableError("cannot read the table \"" + path + "\"");
  p.initialised = true;
  csv_set_delim(&p.parser, static_cast<unsigned char>(table_.delimiter));
  if (csv_parse(&p.parser, start.data(), start.size(), on_field, on_row_end, &p) != start.size()) fail();
  while (p.filled == 0 && parse_more()) {
  }
  if (p.filled == 0) throw TableError("the table \"" + path + "\" has no header line");
  table_.header.assign(p.rows[0].begin(), p.rows[0].begin() + static_cast<std::ptrdiff_t>(p.widths[0]));
  p.taken = 1;
}

TableReader::~TableReader() = default;

// Parses the next block of the file into rows; false when the file is done.
bool TableReader::parse_more() {
  TableParse& p = *parse_;
  if (p.finished) return false;
  // A row the last block left unfinished moves to the front.
  const std::size_t partial = p.filled < p.widths.size() ? p.widths[p.filled] : 0;
  if (partial > 0) std::swap(p.rows[0], p.rows[p.filled]);
  std::fill(p.widths.begin(), p.widths.end(), 0);
  if (partial > 0) p.widths[0] = partial;
  p.filled = p.taken = 0;
  std::array<char, block_size> block;
  p.in.read(block.data(), block.size());
  const auto got = static_cast<std::size_t>(p.in.gcount());
  if (p.in.bad()) throw TableError("cannot read the table \"" + table_.path + "\"");
  if (csv_parse(&p.parser, block.data(), got, on_field, on_row_end, &p) != got) fail();
  if (got < block.size()) {
    if (csv_fini(&p.parser, on_field, on_row_end, &p) != 0) fail();
    p.finished = true;
  }
  return true;
}

void TableReader::fail() const {
  throw TableError("the table \"" + table_.path + "\" cannot be read as rows of cells");
}

std::optional<Row> TableReader::next_row() {
  TableParse& p = *parse_;
  while (p.taken == p.filled) {
    if (!parse_more()) return std::nullopt;
  }
  const std::size_t r = p.taken++;
  return Row{p.lines[r], std::span<const std::string>(p.rows[r].data(), p.widths[r])};
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

std::optional<double> cell_value(const Table& t, const Row& row, std::size_t column) {
  const std::string_view cell = column < row.cells.size() ? std::string_view(row.cells[column]) : std::string_view();
  std::string_view text = without_blanks(cell);
  if (text.empty() || numbers::is_missing_value(text)) return std::nullopt;
  std::string decimal_point;
  if (t.delimiter == ';' && text.find(',') != std::string_view::npos) {
    decimal_point.assign(text);
    std::replace(decimal_point.begin(), decimal_point.end(), ',', '.');
    text = decimal_point;
  }
  const numbers::FreeFormField field = numbers::parse_free_form(text, true);
  if (field.kind != numbers::FreeForm::value || field.text.size() != text.size()) {
    throw TableError("the table \"" + t.path + "\", line " + std::to_string(row.line) + ", column \"" +
                     column_name(t, column) + "\": \"" + std::string(cell) + "\" is not a number");
  }
  return field.value;
}

std::vector<ColumnValues> column_values(TableReader& reader, const std::vector<std::size_t>& columns) {
  std::vector<ColumnValues> out(columns.size());
  while (const std::optional<Row> row = reader.next_row()) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (const std::optional<double> v = cell_value(reader.table(), *row, columns[k])) {
        out[k].values.push_back(*v);
      } else if (out[k].missing++ == 0) {
        out[k].first_missing_line = row->line;
      }
    }
  }
  return out;
}

}  // namespace diffboot::tables
