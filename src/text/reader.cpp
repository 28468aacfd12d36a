#include "text/reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>

#include "numbers/free_form.h"
#include "terminal/terminal_line.h"
#include "text/open_files.h"
#include "text/stops.h"

namespace diffboot::text {

using numbers::FreeForm;
using numbers::FreeFormField;
using numbers::parse_free_form;
namespace {

// File records longer than this are cut: a value that ends inside the kept
// part is still read, the rest of the line is passed over unstored.
constexpr std::size_t max_record = std::size_t{1} << 24;
// Answer lines are kept up to this length and the rest is passed over; an
// answer line longer than max_answer_line is a fatal input error (a stream
// without line ends, such as /dev/zero, would otherwise be read for ever).
constexpr std::size_t max_answer = std::size_t{1} << 16;
constexpr std::size_t max_answer_line = std::size_t{1} << 20;
constexpr std::size_t read_ahead = std::size_t{1} << 16;
// The UTF-8 byte-order mark that some programs write before a file's first line.
constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

int tab_size() {
  static const int size = parse_tab_size(std::getenv("TABSIZE"));
  return size;
}

std::string source_name(int source) {
  if (source == console) return "standard input";
  const OpenFile* file = find_unit(source);
  return file == nullptr ? "unit " + std::to_string(source) : "file \"" + file->name + "\"";
}

void append_bounded(RecordInput& in, const char* data, std::size_t size) {
  const std::size_t room = max_record - std::min(max_record, in.record.size());
  if (size > room) in.overlong = true;
  in.record.append(data, std::min(size, room));
}

// Refills the read-ahead buffer; false at the end of the file.
bool refill(OpenFile& f) {
  if (f.at_eof || f.memory) return false;
  if (f.buffer.empty()) f.buffer.resize(read_ahead);
  errno = 0;
  f.begin = 0;
  f.end = std::fread(f.buffer.data(), 1, f.buffer.size(), f.file);
  f.cr_ahead = std::memchr(f.buffer.data(), '\r', f.end) != nullptr;
  if (f.end == 0) {
    if (std::ferror(f.file) != 0) {
      fatal_io_error("Input error: cannot read file \"" + f.name + "\": " + std::strerror(errno));
    }
    f.at_eof = true;
    return false;
  }
  return true;
}

// Reads the next line of a file into its record; false at the end of the file.
bool next_file_line(OpenFile& f) {
  RecordInput& in = f.input;
  in.record.clear();
  in.overlong = false;
  in.may_hold_cr = false;
  bool partial = false;
  while (f.begin < f.end || refill(f)) {
    const char* start = (f.memory ? f.memory->data() : f.buffer.data()) + f.begin;
    const std::size_t size = f.end - f.begin;
    in.may_hold_cr = in.may_hold_cr || f.cr_ahead;
    const void* newline = std::memchr(start, '\n', size);
    if (newline != nullptr) {
      const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(newline) - start);
      append_bounded(in, start, length);
      f.begin += length + 1;
      return true;
    }
    append_bounded(in, start, size);
    f.begin = f.end;
    partial = true;
  }
  return partial;
}

// An answer line from the terminal, through the line editor.
bool next_terminal_line(RecordInput& in) {
  std::optional<std::string> line = terminal::read_terminal_line();
  if (!line) return false;
  if (line->size() > max_answer) line->resize(max_answer);
  in.record = std::move(*line);
  return true;
}

bool next_console_line(Console& c) {
  RecordInput& in = c.input;
  in.record.clear();
  in.overlong = false;
  if (c.streams.in == &std::cin && terminal::answers_from_terminal()) return next_terminal_line(in);
  std::streambuf& buffer = *c.streams.in->rdbuf();
  std::size_t length = 0;
  for (int ch = buffer.sbumpc(); ch != std::char_traits<char>::eof(); ch = buffer.sbumpc()) {
    if (ch == '\n') return true;
    if (++length > max_answer_line) {
      fatal_io_error("Input error: line " + std::to_string(in.number + 1) + " of standard input is longer than " +
                     std::to_string(max_answer_line) + " characters");
    }
    if (length <= max_answer) in.record += static_cast<char>(ch);
  }
  return length > 0;
}

RecordInput& input_of(int source) {
  if (source == console) return console_state().input;
  OpenFile* file = find_unit(source);
  if (file == nullptr || file->mode != FileMode::read) {
    fatal_io_error("Input error: " + source_name(source) + " is not open for reading");
  }
  return file->input;
}

// Advances `source` to its next record; false at the end of the source.
bool next_record(int source) {
  RecordInput& in = input_of(source);
  if (in.replay) {
    in.replay = false;
    ++in.number;
    return true;
  }
  const bool got = source == console ? next_console_line(console_state()) : next_file_line(*find_unit(source));
  if (!got) return false;
  if (source != console && !in.has_record && in.record.starts_with(byte_order_mark)) {
    in.record.erase(0, byte_order_mark.size());
  }
  if (in.may_hold_cr && in.record.find('\r') != std::string::npos) {
    in.record.erase(std::remove(in.record.begin(), in.record.end(), '\r'), in.record.end());
  }
  if (in.decimal_comma) std::replace(in.record.begin(), in.record.end(), ',', '.');
  in.has_record = true;
  ++in.number;
  return true;
}

// The first `length` columns of `record` with tabs expanded to tab stops.
std::string expand_tabs(std::string_view record, std::size_t length) {
  const int tab = tab_size();
  std::string out;
  for (char c : record) {
    if (out.size() >= length) break;
    if (c == '\t' && tab > 0) {
      const std::size_t stop = (out.size() / static_cast<std::size_t>(tab) + 1) * static_cast<std::size_t>(tab);
      out.resize(std::min(stop, length), ' ');
    } else {
      out += c;
    }
  }
  out.resize(length, ' ');
  return out;
}

// A short, printable excerpt of a record for an error report.
std::string excerpt(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 40)) out += (c >= 32 && c < 127) ? c : '?';
  if (text.size() > 40) out += "...";
  return out;
}

}  // namespace

int parse_tab_size(const char* value) {
  constexpr int standard = 8;
  if (value == nullptr || *value == '\0') return standard;
  long long n = 0;
  for (const char* p = value; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return standard;
    n = std::min<long long>(n * 10 + (*p - '0'), 1'000'000'000);
  }
  return static_cast<int>(n);
}

void read_chars(int source, std::string& field, std::size_t length) {
  if (!next_record(source)) {
    fatal_io_error("Input error: end of " + source_name(source) + " where a line was expected");
  }
  field = expand_tabs(input_of(source).record, length);
}

void read_real(int source, double& target, ReadStatus& status) {
  while (next_record(source)) {
    const RecordInput& in = input_of(source);
    const FreeFormField field = parse_free_form(in.record, tab_size() > 0);
    if (field.kind == FreeForm::blank && !in.overlong) continue;
    // In a record that was cut, only a value followed by a separator is whole.
    const bool whole = !in.overlong || (field.kind != FreeForm::blank &&
                                        field.text.data() + field.text.size() < in.record.data() + in.record.size());
    if (!whole || field.kind == FreeForm::invalid || field.kind == FreeForm::blank) {
      status = ReadStatus::invalid;
    } else if (field.kind == FreeForm::no_value) {
      status = ReadStatus::no_value;
    } else {
      target = field.value;
      status = ReadStatus::ok;
    }
    return;
  }
  status = ReadStatus::end;
}

void read_real(int source, double& target) {
  ReadStatus status = ReadStatus::ok;
  read_real(source, target, status);
  if (status == ReadStatus::end) {
    fatal_io_error("Input error: end of " + source_name(source) + " where a number was expected");
  }
  if (status == ReadStatus::invalid) {
    const RecordInput& in = input_of(source);
    fatal_io_error("Input error: \"" + excerpt(parse_free_form(in.record, tab_size() > 0).text) + "\" in record " +
                   std::to_string(in.number) + " of " + source_name(source) + " is not a number");
  }
}

std::string_view last_record(int source) { return input_of(source).record; }

std::string_view last_item(int source) { return parse_free_form(input_of(source).record, tab_size() > 0).text; }

std::int64_t record_number(int source) { return static_cast<std::int64_t>(input_of(source).number); }

void read_decimal_commas(int unit) { input_of(unit).decimal_comma = true; }

void backspace_record(int unit) {
  RecordInput& in = input_of(unit);
  if (!in.has_record || in.replay) return;
  in.replay = true;
  --in.number;
}

}  // namespace diffboot::text
