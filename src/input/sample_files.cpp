#include "input/sample_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>

#include "numbers/free_form.h"
#include "numeric/side_by_side.h"
#include "text/reader.h"
#include "text/shown.h"
#include "text/stops.h"
#include "text/units.h"
#include "text/writer.h"

namespace diffboot::input {

std::optional<std::string> unreadable(const std::string& name) {
  struct stat info {};
  int error = 0;
  if (stat(name.c_str(), &info) != 0 || access(name.c_str(), R_OK) != 0) error = errno;
  else if (S_ISDIR(info.st_mode)) error = EISDIR;
  if (error == 0) return std::nullopt;
  return std::strerror(error);
}
namespace {


[[noreturn]] void terminate_with(const std::string& message) {
  text::write_list(text::console, {message});
  text::stop_run();
}

void open_or_stop(int unit, std::string_view name, std::string_view label) {
  const int status = text::open_text_file(unit, name, text::FileMode::read);
  if (status == text::open_too_large) {
    terminate_with(std::string(label) + ": \"" + std::string(name) +
                   "\" is not a regular file and holds more than 1 GiB - terminate");
  }
  if (status != text::open_ok) terminate_with(std::string(label) + ": Error during data file opening - terminate");
}

// Digits, one comma, digits and nothing else but blanks: a number written
// with a decimal comma, which the free-form read takes up to the comma.
bool decimal_comma(std::string_view record) {
  const auto first = record.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  record = record.substr(first, record.find_last_not_of(" \t") - first + 1);
  if (record.front() == '+' || record.front() == '-') record.remove_prefix(1);
  const auto comma = record.find(',');
  const auto digits = [](std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  return comma != std::string_view::npos && digits(record.substr(0, comma)) && digits(record.substr(comma + 1));
}

// At most the first 60 bytes of `text`, for a message.
std::string shortened(std::string_view text) {
  return text.size() <= 60 ? std::string(text) : std::string(text.substr(0, 60)) + "...";
}

// Cells separated by commas, semicolons or tabs, with a letter among them:
// the header line of a table.
bool table_header(std::string_view record) {
  return record.find_first_of(",;\t") != std::string_view::npos &&
         std::any_of(record.begin(), record.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

// Whether `item` begins with a word: a letter, after an opening quote if any
// ("weight", "\"weight\"", "Größe", "µg"). A letter beyond ASCII is any
// character from U+00C0 on (and µ), but for the blocks of signs, currency and
// mathematical symbols (U+2000 to U+2BFF, so that "−5" is no word), CJK
// punctuation and the fullwidth forms, and × and ÷.
bool begins_with_word(std::string_view item) {
  if (!item.empty() && (item.front() == '"' || item.front() == '\'')) item.remove_prefix(1);
  if (item.empty()) return false;
  const auto byte = [&](std::size_t k) { return k < item.size() ? static_cast<unsigned char>(item[k]) : 0u; };
  const unsigned lead = byte(0);
  if (lead < 0x80) return std::isalpha(static_cast<int>(lead)) != 0;
  const auto tail = [&](std::size_t k) { return (byte(k) & 0xC0u) == 0x80u ? byte(k) & 0x3Fu : 0x10000000u; };
  std::uint32_t point = 0;
  if (lead >= 0xC2 && lead < 0xE0) point = ((lead & 0x1Fu) << 6) | tail(1);
  else if (lead >= 0xE0 && lead < 0xF0) point = ((lead & 0x0Fu) << 12) | (tail(1) << 6) | tail(2);
  else if (lead >= 0xF0 && lead < 0xF5) point = ((lead & 0x07u) << 18) | (tail(1) << 12) | (tail(2) << 6) | tail(3);
  if (point >= 0x110000) return false;  // not UTF-8
  if (point == 0xB5) return true;
  return point >= 0xC0 && point != 0xD7 && point != 0xF7 && !(point >= 0x2000 && point < 0x2C00) &&
         !(point >= 0x3000 && point < 0x3040) && !(point >= 0xFF00 && point < 0xFF66);
}

// Whether `item` begins as a number does (a digit, or a sign or point and a
// digit) though it is not one that can be read: "1e400", "12abc", "3.4.5".
bool begins_as_number(std::string_view item) {
  if (!item.empty() && (item.front() == '+' || item.front() == '-')) item.remove_prefix(1);
  if (!item.empty() && item.front() == '.') item.remove_prefix(1);
  return !item.empty() && item.front() >= '0' && item.front() <= '9';
}

// Digits with two or more points between them ("1.234.5"): with decimal
// commas read as points, a number written with thousands separators
// ("1.234,5") or two commas.
bool separators_twice(std::string_view item) {
  if (!item.empty() && (item.front() == '+' || item.front() == '-')) item.remove_prefix(1);
  return item.size() > 2 && item.find_first_not_of("0123456789.") == std::string_view::npos &&
         std::count(item.begin(), item.end(), '.') >= 2 && item.find_first_of("0123456789") != std::string_view::npos;
}

// The fingerprint of a list of places extended by `place`: a polynomial
// hash modulo the prime 2^61 − 1, which two different lists of one length
// share only by a rare chance (and then the lists pass as equal).
std::uint64_t place_fingerprint(std::uint64_t fingerprint, std::int64_t place) {
  constexpr std::uint64_t prime = (std::uint64_t{1} << 61) - 1, base = 1000003;
  __extension__ using Wide = unsigned __int128;
  const Wide next = static_cast<Wide>(fingerprint) * base + static_cast<std::uint64_t>(place) + 1;
  return static_cast<std::uint64_t>(next % prime);
}

// The values of a file and the warnings to give about them, in order.
struct FileCount {
  std::int64_t n;
  std::string warning;
  std::int64_t missing;
  std::string header;
  std::uint64_t missing_at;  // a fingerprint of the places of the missing values among the data lines
  std::string stop;  // what stops the run, when the file cannot be read as a sample
};

// The first item of a record: up to a blank, comma or slash.
std::string_view first_item(std::string_view record) {
  const auto start = record.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  record.remove_prefix(start);
  return record.substr(0, record.find_first_of(" \t,/"));
}

std::string plural(std::int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Skips the "#" lines at the top and steps back onto the first other line;
// a file that begins with a UTF-16 byte-order mark stops the run.
void skip_header(int unit, std::string_view name, std::string_view label) {
  std::string first(1, ' ');
  do {
    text::read_chars(unit, first, 1);
    const std::string_view record = text::last_record(unit);
    if (text::record_number(unit) == 1 && (record.starts_with("\xFF\xFE") || record.starts_with("\xFE\xFF"))) {
      terminate_with(std::string(label) + ": \"" + std::string(name) +
                     "\" is UTF-16 text; save it as UTF-8 (iconv -f UTF-16 -t UTF-8) and try again - terminate");
    }
  } while (first[0] == '#');
  text::backspace_record(unit);
}

// Whether the next record that is not blank begins with a number; that
// record is read again by the next read.
bool number_follows(int unit) {
  double scratch = 0.0;
  text::ReadStatus status = text::ReadStatus::ok;
  text::read_real(unit, scratch, status);
  if (status == text::ReadStatus::ok) text::backspace_record(unit);
  return status == text::ReadStatus::ok;
}

// Lines that begin with a number from here to the end of the file.
std::int64_t numbers_to_the_end(int unit) {
  std::int64_t count = 0;
  double scratch = 0.0;
  for (text::ReadStatus status = text::ReadStatus::ok; status != text::ReadStatus::end;) {
    text::read_real(unit, scratch, status);
    count += status == text::ReadStatus::ok ? 1 : 0;
  }
  return count;
}

// Counts the values of a file: a header line (first of the data, beginning
// with a word, with a number on the next line that is not blank) and missing
// values are passed over; any other line without a number ends the data, and
// standard error says so when numbers follow it or it begins as a number.
// With decimal commas, a number of two separators ("1.234,5") stops the run.
FileCount count_values(int unit, std::string_view name, std::string_view label, const SampleReading& reading) {
  std::int64_t n = 0, missing_count = 0, first_missing_line = 0;
  std::string first_missing, warning, header;
  std::uint64_t missing_at = 0;
  double scratch = 0.0;
  text::ReadStatus status = text::ReadStatus::ok;
  for (bool first = true;; first = false) {
    text::read_real(unit, scratch, status);
    if (status == text::ReadStatus::end) break;
    const std::string_view record = text::last_record(unit);
    if (status == text::ReadStatus::ok) {
      if (!reading.decimal_comma && decimal_comma(record)) {
        return {n, {}, 0, {}, 0, std::string(label) + ": \"" + std::string(name) + "\", line " +
                                  std::to_string(text::record_number(unit)) + ": \"" + shortened(record) +
                                  "\" has a decimal comma: read it with --decimal-comma, or the file as a table with --table - terminate"};
      }
      ++n;
      continue;
    }
    const std::string item(first_item(record));
    // What stands at the line, for a message: its first item, or the
    // separator that begins it (the record is not kept by later reads).
    const auto start = record.find_first_not_of(" \t");
    const std::string shown = !item.empty() || start == std::string_view::npos ? item : std::string(record.substr(start, 1));
    if (status == text::ReadStatus::invalid && numbers::is_missing_value(item)) {
      missing_at = place_fingerprint(missing_at, n + missing_count);
      if (missing_count++ == 0) first_missing = item, first_missing_line = text::record_number(unit);
      continue;
    }
    const std::int64_t line = text::record_number(unit);
    // The value as the reader took it (tabs as TABSIZE makes them), which
    // began as a number but did not read.
    const std::string_view token = text::last_item(unit);
    const bool unreadable_value = status == text::ReadStatus::invalid && begins_as_number(token);
    if (first && table_header(record)) {
      return {n, {}, 0, {}, 0, std::string(label) + ": \"" + std::string(name) +
                                "\" looks like a table: use --table FILE COLUMN1 COLUMN2 or --by - terminate"};
    }
    if (reading.decimal_comma && unreadable_value && separators_twice(token)) {
      return {n, {}, 0, {}, 0, std::string(label) + ": \"" + std::string(name) + "\", line " + std::to_string(line) +
                                ": a number with more than one point or comma (such as 1.234,5) cannot be read with "
                                "--decimal-comma; write it without thousands separators (1234,5) - terminate"};
    }
    const bool header_like = first && status == text::ReadStatus::invalid && begins_with_word(item);
    if (header_like && number_follows(unit)) {  // a header line: its item names the sample
      header = item;
      continue;
    }
    const std::int64_t later = numbers_to_the_end(unit);
    if (later > 0 || unreadable_value) {
      // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) on "literal" + std::string&&.
      warning.append(" ").append(label).append(": the data end at line ").append(std::to_string(line));
      warning.append(" (\"").append(text::shown(shortened(shown))).append("\")");
      if (later > 0) {
        warning.append("; ").append(plural(later, "later line begins", "later lines begin")).append(" with a number and ");
        warning.append(later == 1 ? "is" : "are").append(" not read\r\n");
      } else {
        warning.append(", which is not a number that can be read\r\n");
      }
    }
    break;
  }
  if (missing_count > 0) {
    warning.append(" ").append(label).append(": ").append(plural(missing_count, "missing value", "missing values"));
    warning.append(" skipped (first at line ").append(std::to_string(first_missing_line)).append(": \"");
    warning.append(text::shown(first_missing)).append("\")\r\n");
  }
  text::close_text_file(unit);
  return {n, warning, missing_count, header, missing_at, {}};
}

bool open_again(int unit, std::string_view name, const SampleReading& reading) {
  const bool opened = text::open_text_file(unit, name, text::FileMode::read) == text::open_ok;
  if (opened && reading.decimal_comma) text::read_decimal_commas(unit);
  return opened;
}

// Reads the values of a file opened again (`opened` false: it would not
// open). Before the last value counted, a line without a number can only be
// the header or a missing value: it is passed over.
int read_values(int unit, bool opened, std::string_view name, std::span<double> values) {
  if (!opened) text::fatal_io_error("Input error: cannot open file \"" + std::string(name) + "\" again");
  skip_header(unit, name, "");
  text::ReadStatus status = text::ReadStatus::ok;
  for (double& v : values) {
    do {
      text::read_real(unit, v, status);
    } while (status == text::ReadStatus::invalid);
    if (status != text::ReadStatus::ok) text::fatal_io_error("Input error: file \"" + std::string(name) + "\" changed while it was read");
  }
  text::close_text_file(unit);
  return 0;
}

// `work`, made to run on another thread with the calling thread's records,
// where the sample files are open.
template <typename Work>
auto in_these_records(Work work) {
  return [&records = text::current_records(), work] {
    const text::RecordsScope same(records);
    return work();
  };
}

}  // namespace

SampleCounts count_samples(std::string_view filename_x, std::string_view filename_y, const SampleReading& reading) {
  const text::Unit file_x, file_y;
  const int unit_x = file_x.number(), unit_y = file_y.number();
  open_or_stop(unit_x, filename_x, "x1");
  open_or_stop(unit_y, filename_y, "x2");
  if (reading.decimal_comma) text::read_decimal_commas(unit_x), text::read_decimal_commas(unit_y);
  skip_header(unit_x, filename_x, "x1");
  skip_header(unit_y, filename_y, "x2");
  // The two files are counted side by side; warnings come in file order.
  const auto [x, y] =
      numeric::side_by_side([&] { return count_values(unit_x, filename_x, "x1", reading); },
                            in_these_records([&] { return count_values(unit_y, filename_y, "x2", reading); }));
  if (!x.stop.empty()) terminate_with(x.stop);
  if (!y.stop.empty()) terminate_with(y.stop);
  text::error_stream() << x.warning << y.warning;
  const bool in_step = x.missing == y.missing && x.missing_at == y.missing_at;
  return {x.n, y.n, x.missing, y.missing, x.header, y.header, in_step};
}

void stop_if_output(std::string_view filename_x, std::string_view filename_y,
                    std::span<const std::string> outputs) {
  const std::pair<std::string_view, const char*> samples[] = {{filename_x, "x1"}, {filename_y, "x2"}};
  for (const auto& [name, label] : samples) {
    struct stat sample {};
    if (stat(std::string(name).c_str(), &sample) != 0) continue;
    for (const std::string& output : outputs) {
      struct stat out {};
      if (stat(output.c_str(), &out) == 0 && out.st_dev == sample.st_dev && out.st_ino == sample.st_ino) {
        terminate_with(std::string(label) + ": data file would be overwritten by the output file " + output +
                       " - terminate");
      }
    }
  }
}

void read_samples(std::string_view filename_x, std::span<double> x1, std::string_view filename_y,
                  std::span<double> x2, const SampleReading& reading) {
  const text::Unit file_x, file_y;
  const int unit_x = file_x.number(), unit_y = file_y.number();
  const bool x_opened = open_again(unit_x, filename_x, reading);
  const bool y_opened = x_opened && open_again(unit_y, filename_y, reading);
  numeric::side_by_side([&] { return read_values(unit_x, x_opened, filename_x, x1); },
                        in_these_records([&] { return read_values(unit_y, y_opened, filename_y, x2); }));
}

}  // namespace diffboot::input
