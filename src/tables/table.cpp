#include "tables/table.h"

#include <csv.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "numbers/free_form.h"

namespace diffboot::tables {

// The parser, the file it reads in blocks, and the rows of the last block;
// the rows' strings are kept and reused, so that reading allocates nothing
// once the first block's rows are in place.
struct TableParse {
  std::FILE* file = nullptr;
  bool regular = true;        // a regular file: read whatever its size
  std::uint64_t taken_in = 0;  // bytes read so far
  csv_parser parser{};
  bool initialised = false;
  bool finished = false;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::size_t> widths;  // the cells each row has
  std::vector<std::int64_t> lines;  // the line each row begins at
  std::vector<char> overflow;       // the row has more cells than any row may
  std::size_t filled = 0, taken = 0;
  std::size_t most_cells = SIZE_MAX;  // cells kept of a row; more mark it overflowing
  std::int64_t line = 1;      // the line the row being parsed begins at
  std::int64_t newlines = 0;  // line ends inside its quoted cells
  std::size_t row_bytes = 0;  // bytes of the cells of the row being parsed
  std::int64_t long_line = 0;  // the first row longer than a line may be, once parsed
  std::size_t raw_columns = 0;  // cells of the header line, row names included
  // Row names known only by the rows' width (a header one cell short of
  // them, nothing quoted): every row must keep that width.
  bool named_by_width = false;
  // Where the first row was one cell longer than the header, unquoted, but a
  // row after it was not: the line of each, for the message.
  std::int64_t longer_line = 0, shorter_line = 0;

  ~TableParse() {
    if (initialised) csv_free(&parser);
    if (file != nullptr) std::fclose(file);
  }
};

namespace {

constexpr std::size_t block_size = 1 << 16;
constexpr std::size_t max_line = std::size_t{1} << 24;            // bytes of a line
constexpr std::uint64_t max_stream = std::uint64_t{1} << 30;      // bytes from a pipe or device

void new_row(TableParse& p) {
  if (p.filled == p.rows.size()) {
    p.rows.emplace_back(), p.widths.push_back(0), p.lines.push_back(0), p.overflow.push_back(0);
  }
}

extern "C" void on_field(void* data, std::size_t length, void* parse) {
  auto& p = *static_cast<TableParse*>(parse);
  const char* text = data == nullptr ? "" : static_cast<const char*>(data);
  new_row(p);
  p.newlines += std::count(text, text + length, '\n');
  p.row_bytes += length + 1;
  std::vector<std::string>& row = p.rows[p.filled];
  std::size_t& width = p.widths[p.filled];
  if (width >= p.most_cells) {
    p.overflow[p.filled] = 1;
    return;
  }
  if (width == row.size()) row.emplace_back();
  row[width++].assign(text, length);
}

// Every unquoted line end comes here: the end of a row of cells, or of a line
// without any (a blank line, or the LF after a CR).
extern "C" void on_row_end(int end, void* parse) {
  auto& p = *static_cast<TableParse*>(parse);
  const bool has_cells = p.filled < p.widths.size() && (p.widths[p.filled] > 0 || p.overflow[p.filled] != 0);
  if (has_cells) p.lines[p.filled++] = p.line;
  if (p.row_bytes > max_line && p.long_line == 0) p.long_line = p.line;
  p.line += p.newlines + (end == '\n' ? 1 : 0);
  p.newlines = 0;
  p.row_bytes = 0;
}

// The fields of `line` split at `delimiter` outside quotes (any run of
// blanks for a blank), and the count of each candidate delimiter.
std::size_t fields_outside_quotes(std::string_view line, char delimiter) {
  std::size_t fields = 0;
  bool quoted = false, in_field = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    const bool separates = !quoted && (delimiter == ' ' ? (c == ' ' || c == '\t') : c == delimiter);
    if (delimiter == ' ') {
      if (!separates && !in_field) ++fields;
      in_field = !separates;
    } else if (separates) {
      ++fields;
    }
  }
  return delimiter == ' ' ? fields : fields + 1;
}

// The delimiter the header line holds most of, outside quotes: comma, tab or
// semicolon; with none of them, a blank when the first row's blank-separated
// fields match the header's (or one more, for row names), else comma.
char guess_delimiter(std::string_view header, std::string_view first_row) {
  const std::array<char, 3> candidates{',', '\t', ';'};
  char best = ',';
  std::size_t most = 1;
  for (char c : candidates) {
    if (const std::size_t count = fields_outside_quotes(header, c); count > most) best = c, most = count;
  }
  if (most > 1) return best;
  const std::size_t h = fields_outside_quotes(header, ' '), r = fields_outside_quotes(first_row, ' ');
  return h >= 1 && r >= 2 && (r == h || r == h + 1) ? ' ' : ',';
}

// The line of `text` from `start` up to its first line end outside quotes,
// and whether that line end was found.
std::pair<std::string_view, bool> line_at(std::string_view text, std::size_t start) {
  bool quoted = false;
  for (std::size_t i = start; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (text[i] == '\n' && !quoted) return {text.substr(start, i - start), true};
  }
  return {text.substr(std::min(start, text.size())), false};
}

// Whether a row of `width` cells is one cell longer than a header of
// `header` cells, an empty cell at its end aside.
bool one_cell_longer(const std::vector<std::string>& cells, std::size_t width, std::size_t header) {
  return width == header + 1 || (width == header + 2 && without_blanks(cells[header + 1]).empty());
}

std::string column_name(const Table& t, std::size_t column) {
  return column < t.header.size() ? t.header[column] : std::to_string(column + 1);
}

std::string quoted_path(const std::string& path) { return "the table \"" + path + "\""; }

}  // namespace

TableReader::TableReader(const std::string& path, std::optional<char> delimiter, bool decimal_comma, bool outcomes)
    : parse_(std::make_unique<TableParse>()) {
  table_.path = path;
  table_.outcomes = outcomes;
  TableParse& p = *parse_;
  p.file = std::fopen(path.c_str(), "rb");
  struct stat info {};
  if (p.file == nullptr || fstat(fileno(p.file), &info) != 0) {
    throw TableReadError("cannot read " + quoted_path(path) + ": " + std::strerror(errno));
  }
  p.regular = S_ISREG(info.st_mode);
  // The first two lines, for the delimiter, with the byte-order mark dropped.
  std::string start;
  std::array<char, block_size> block;
  std::size_t line_ends = 0, scanned = 0, line_start = 0;
  bool quoted = false;
  for (bool done = false; !done;) {
    errno = 0;
    const std::size_t got = std::fread(block.data(), 1, block.size(), p.file);
    if (got < block.size() && std::ferror(p.file) != 0) {
      throw TableReadError("cannot read " + quoted_path(path) + ": " + std::strerror(errno));
    }
    start.append(block.data(), got);
    p.taken_in += got;
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
      throw TableError("\"" + path + "\" is UTF-16 text; save it as UTF-8 (iconv -f UTF-16 -t UTF-8) and try again");
    }
    for (; scanned < start.size() && line_ends < 2; ++scanned) {
      if (start[scanned] == '"') quoted = !quoted;
      if (start[scanned] == '\n' && !quoted) ++line_ends, line_start = scanned + 1;
    }
    if (start.size() - line_start > max_line) {
      throw TableError(quoted_path(path) + ", line " + std::to_string(line_ends + 1) + " is longer than 16 MiB");
    }
    done = got < block.size() || line_ends == 2;
  }
  if (start.starts_with("\xEF\xBB\xBF")) start.erase(0, 3);
  const std::string_view header = line_at(start, 0).first, first_row = line_at(start, header.size() + 1).first;
  table_.delimiter = delimiter ? *delimiter : guess_delimiter(header, first_row);
  const bool quoted_first_cell = without_blanks(first_row).starts_with('"');
  table_.decimal_comma = table_.delimiter == ';' || (decimal_comma && table_.delimiter != ',');
  if (csv_init(&p.parser, CSV_STRICT | CSV_REPALL_NL | CSV_STRICT_FINI | CSV_APPEND_NULL) != 0) {
    throw TableError("cannot read " + quoted_path(path) + ": out of memory");
  }
  p.initialised = true;
  csv_set_delim(&p.parser, static_cast<unsigned char>(table_.delimiter));
  csv_set_blk_size(&p.parser, block_size);
  parse(start.data(), start.size());
  while (p.filled == 0 && parse_more()) {
  }
  if (p.filled == 0) throw TableError(quoted_path(path) + " has no header line");
  if (p.overflow[0] != 0) throw TableError(quoted_path(path) + " has a header line of too many cells");
  std::vector<std::string> names(p.rows[0].begin(), p.rows[0].begin() + static_cast<std::ptrdiff_t>(p.widths[0]));
  p.raw_columns = names.size();
  p.most_cells = names.size() + 2;  // row names and one empty cell at the end may come on top
  p.taken = 1;
  // Row names: an empty first header cell, or a header one cell shorter
  // than the rows. A first row one cell longer that begins with a quoted
  // cell is enough; unquoted, every row read so far must be one cell longer
  // (and the rest are held to it as they come), else the first row is a
  // row of too many cells.
  while (p.taken == p.filled && parse_more()) {
  }
  const bool longer_first = p.taken < p.filled && p.widths[p.taken] == names.size() + 1 &&
                            !without_blanks(p.rows[p.taken][names.size()]).empty();
  bool every_row_longer = true;
  for (std::size_t r = p.taken; r < p.filled && every_row_longer; ++r) {
    every_row_longer = p.overflow[r] == 0 && one_cell_longer(p.rows[r], p.widths[r], names.size());
    if (!every_row_longer && longer_first) p.longer_line = p.lines[p.taken], p.shorter_line = p.lines[r];
  }
  const bool longer_row = longer_first && (quoted_first_cell || every_row_longer);
  p.named_by_width = longer_row && !quoted_first_cell;
  table_.row_names = (names.size() > 1 && names[0].empty()) || longer_row;
  if (table_.row_names && !longer_row) names.erase(names.begin());
  table_.header = std::move(names);
}

TableReader::~TableReader() = default;

// Parses `size` bytes of the file; a stray quote stops the reading.
void TableReader::parse(const char* data, std::size_t size) {
  TableParse& p = *parse_;
  if (csv_parse(&p.parser, data, size, on_field, on_row_end, &p) != size) fail();
  if (p.long_line != 0 || csv_get_buffer_size(&p.parser) > max_line || p.row_bytes > max_line) {
    const std::int64_t line = p.long_line != 0 ? p.long_line : p.line;
    throw TableError(quoted_path(table_.path) + ", line " + std::to_string(line) + " is longer than 16 MiB");
  }
}

// Parses the next block of the file into rows; false when the file is done.
bool TableReader::parse_more() {
  TableParse& p = *parse_;
  if (p.finished) return false;
  // A row the last block left unfinished moves to the front.
  const std::size_t partial = p.filled < p.widths.size() ? p.widths[p.filled] : 0;
  const char partial_overflow = p.filled < p.overflow.size() ? p.overflow[p.filled] : 0;
  if (partial > 0) std::swap(p.rows[0], p.rows[p.filled]);
  std::fill(p.widths.begin(), p.widths.end(), 0);
  std::fill(p.overflow.begin(), p.overflow.end(), 0);
  if (!p.widths.empty()) p.widths[0] = partial, p.overflow[0] = partial_overflow;
  p.filled = p.taken = 0;
  std::array<char, block_size> block;
  errno = 0;
  const std::size_t got = std::fread(block.data(), 1, block.size(), p.file);
  if (got < block.size() && std::ferror(p.file) != 0) {
    throw TableReadError("cannot read " + quoted_path(table_.path) + ": " + std::strerror(errno));
  }
  p.taken_in += got;
  if (!p.regular && p.taken_in > max_stream) {
    throw TableError(quoted_path(table_.path) + " is not a regular file and holds more than 1 GiB");
  }
  parse(block.data(), got);
  if (got < block.size()) {
    if (csv_fini(&p.parser, on_field, on_row_end, &p) != 0) fail();
    p.finished = true;
  }
  return true;
}

void TableReader::fail() const {
  throw TableError(quoted_path(table_.path) + ", line " + std::to_string(parse_->line) +
                   ": a quote stands inside a cell, or a quoted cell is not closed");
}

void TableReader::too_wide(std::int64_t line) const {
  std::string why;
  if (line == parse_->longer_line && parse_->shorter_line != 0) {
    why = ", line " + std::to_string(parse_->shorter_line) +
          " not: only a header one cell short of every row marks row names";
  }
  throw TableError(quoted_path(table_.path) + ", line " + std::to_string(line) + " has more cells than the header (" +
                   std::to_string(parse_->raw_columns) + ")" + why);
}

std::optional<Row> TableReader::next_row() {
  TableParse& p = *parse_;
  while (p.taken == p.filled) {
    if (!parse_more()) return std::nullopt;
  }
  const std::size_t r = p.taken++;
  const std::size_t names = table_.row_names ? 1 : 0;
  const std::size_t columns = table_.header.size() + names;
  std::size_t width = p.widths[r];
  if (p.overflow[r] != 0 || width > columns + 1 || (width == columns + 1 && !without_blanks(p.rows[r][columns]).empty())) {
    too_wide(p.lines[r]);
  }
  if (p.named_by_width && width < columns) {
    throw TableError(quoted_path(table_.path) + ", line " + std::to_string(p.lines[r]) + " has " +
                     std::to_string(width) + " cells where the rows above it have " + std::to_string(columns) +
                     " (row names, then the header's " + std::to_string(table_.header.size()) + " columns)");
  }
  width = std::min(width, columns);
  const std::size_t first = std::min(names, width);
  return Row{p.lines[r], std::span<const std::string>(p.rows[r].data() + first, width - first)};
}

std::size_t column_of(const Table& t, const std::string& name) {
  const auto named = std::find(t.header.begin(), t.header.end(), name);
  if (named != t.header.end()) {
    if (std::find(named + 1, t.header.end(), name) != t.header.end()) {
      throw TableError(quoted_path(t.path) + " has two columns named \"" + shortened(name) + "\"");
    }
    return static_cast<std::size_t>(named - t.header.begin());
  }
  if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos && name.size() < 10) {
    const std::size_t number = std::stoul(name);
    if (number >= 1 && number <= t.header.size()) return number - 1;
  }
  throw TableError(quoted_path(t.path) + " has no column \"" + shortened(name) + "\" (its columns: " +
                   name_list(t.header) + ")");
}

std::optional<double> cell_value(const Table& t, const Row& row, std::size_t column) {
  const std::string_view cell = column < row.cells.size() ? std::string_view(row.cells[column]) : std::string_view();
  const CellReading r = read_cell(cell, t.decimal_comma, t.outcomes);
  if (r.problem != nullptr) {
    throw TableError(quoted_path(t.path) + ", line " + std::to_string(row.line) + ", column \"" +
                     shortened(column_name(t, column)) + "\": \"" + shortened(cell) + "\" is " + r.problem);
  }
  return r.value;
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
