#include "input/sample_files.h"

#include <string>

#include "text/reader.h"
#include "text/run_end.h"
#include "text/units.h"
#include "text/writer.h"

namespace diffboot::input {
namespace {

constexpr int unit_x = 1;
constexpr int unit_y = 2;

std::string_view trimmed(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

void open_or_stop(int unit, std::string_view name, std::string_view message) {
  if (text::open_text_file(unit, trimmed(name), text::FileMode::read) != 0) {
    text::write_list(text::console, {message});
    text::stop_run();
  }
}

// Skips the "#" lines at the top and steps back onto the first other line.
void skip_header(int unit) {
  std::string first(1, ' ');
  do {
    text::read_chars(unit, first, 1);
  } while (first[0] == '#');
  text::backspace_record(unit);
}

std::int64_t count_values(int unit) {
  std::int64_t k = 1;
  double scratch = 0.0;
  text::ReadStatus status = text::ReadStatus::ok;
  for (;;) {
    text::read_real(unit, scratch, status);
    if (status != text::ReadStatus::ok) break;
    ++k;
  }
  text::close_text_file(unit);
  return k - 1;
}

void read_values(int unit, std::string_view name, std::span<double> values) {
  if (text::open_text_file(unit, trimmed(name), text::FileMode::read) != 0) {
    text::fatal_io_error("Input error: cannot open file \"" + std::string(trimmed(name)) + "\" again");
  }
  skip_header(unit);
  for (double& v : values) text::read_real(unit, v);
  text::close_text_file(unit);
}

}  // namespace

SampleCounts count_samples(std::string_view filename_x, std::string_view filename_y) {
  open_or_stop(unit_x, filename_x, "x1: Error during data file opening - terminate");
  open_or_stop(unit_y, filename_y, "x2: Error during data file opening - terminate");
  skip_header(unit_x);
  skip_header(unit_y);
  SampleCounts counts{};
  counts.n_x = count_values(unit_x);
  counts.n_y = count_values(unit_y);
  return counts;
}

void read_samples(std::string_view filename_x, std::span<double> x1, std::string_view filename_y,
                  std::span<double> x2) {
  read_values(unit_x, filename_x, x1);
  read_values(unit_y, filename_y, x2);
}

}  // namespace diffboot::input
