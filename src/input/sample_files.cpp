#include "input/sample_files.h"

#include <sys/stat.h>

#include <ostream>
#include <string>
#include <utility>

#include "text/reader.h"
#include "text/stops.h"
#include "numeric/side_by_side.h"
#include "text/units.h"
#include "text/writer.h"

namespace diffboot::input {
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

std::string decimal_comma_warning(std::string_view name, std::string_view record) {
  return "Warning: file \"" + std::string(name) + "\" holds values with a decimal comma, such as \"" +
         std::string(record) + "\"; each was read up to the comma\r\n";
}

// The values of a file and the warning to give about them.
struct FileCount {
  std::int64_t n;
  std::string warning;
};

// Skips the "#" lines at the top and steps back onto the first other line.
void skip_header(int unit) {
  std::string first(1, ' ');
  do {
    text::read_chars(unit, first, 1);
  } while (first[0] == '#');
  text::backspace_record(unit);
}

FileCount count_values(int unit, std::string_view name) {
  std::int64_t k = 1;
  double scratch = 0.0;
  text::ReadStatus status = text::ReadStatus::ok;
  std::string warning;
  for (;;) {
    text::read_real(unit, scratch, status);
    if (status != text::ReadStatus::ok) break;
    if (warning.empty() && decimal_comma(text::last_record(unit))) {
      warning = decimal_comma_warning(name, text::last_record(unit));
    }
    ++k;
  }
  text::close_text_file(unit);
  return {k - 1, warning};
}

bool open_again(int unit, std::string_view name) {
  return text::open_text_file(unit, name, text::FileMode::read) == text::open_ok;
}

// Reads the values of a file opened again (`opened` false: it would not open).
int read_values(int unit, bool opened, std::string_view name, std::span<double> values) {
  if (!opened) text::fatal_io_error("Input error: cannot open file \"" + std::string(name) + "\" again");
  skip_header(unit);
  for (double& v : values) text::read_real(unit, v);
  text::close_text_file(unit);
  return 0;
}

}  // namespace

SampleCounts count_samples(std::string_view filename_x, std::string_view filename_y) {
  const text::Unit file_x, file_y;
  const int unit_x = file_x.number(), unit_y = file_y.number();
  open_or_stop(unit_x, filename_x, "x1");
  open_or_stop(unit_y, filename_y, "x2");
  skip_header(unit_x);
  skip_header(unit_y);
  // The two files are counted side by side; warnings come in file order.
  const auto [x, y] = numeric::side_by_side([&] { return count_values(unit_x, filename_x); },
                                   [&] { return count_values(unit_y, filename_y); });
  text::error_stream() << x.warning << y.warning;
  return {x.n, y.n};
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
                  std::span<double> x2) {
  const text::Unit file_x, file_y;
  const int unit_x = file_x.number(), unit_y = file_y.number();
  const bool x_opened = open_again(unit_x, filename_x);
  const bool y_opened = x_opened && open_again(unit_y, filename_y);
  numeric::side_by_side([&] { return read_values(unit_x, x_opened, filename_x, x1); },
               [&] { return read_values(unit_y, y_opened, filename_y, x2); });
}

}  // namespace diffboot::input
