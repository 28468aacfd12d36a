#pragma once
// The sample data files: optional "#" header lines at the top, then one value
// per line read free-form, up to the end of the file or the first line that
// holds no number. Both passes stream the files; memory does not grow with them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace diffboot::input {

// Why the file `name` cannot be read (the system's text of the error, a
// directory's included), or nothing. Nothing is opened: a named pipe's
// writer must meet only the real read.
std::optional<std::string> unreadable(const std::string& name);

struct SampleCounts {
  std::int64_t n_x;
  std::int64_t n_y;
  std::int64_t missing_x = 0, missing_y = 0;  // missing values skipped
  std::string header_x, header_y;              // the first item of a header line, empty without one
  // Whether the two files' missing values stand at the same places among
  // their data lines (compared by a fingerprint of the places), so that
  // pairing the values by position pairs lines.
  bool missing_in_step = true;
};

// How sample files are read: with decimal commas ("5,1" is 5.1) or not.
struct SampleReading {
  bool decimal_comma = false;
};

// Counts the values of both files (opened by exactly the names given), both
// open at once. A first line that begins with a word and is followed by a
// number is a header, skipped; lines whose first item is NA, NaN or null are
// missing values, skipped and counted (one line on standard error a file);
// the data end at the first other line that holds no number or begins with
// a null value (one line on standard error when numbers follow it, or when
// it begins as a number that cannot be read, such as 1e400). A UTF-16
// file stops the run with a message. A file that does not open writes
// "x1: Error during data file opening - terminate" (or "x2: ...") and stops
// the run; sample 2 is opened only after sample 1 has opened. A file that is
// not a regular file and holds more than 1 GiB stops the run with a message
// naming it. A file that ends inside its header is a fatal input error.
// Unless `reading` asks for decimal commas, a value written as digits, a
// comma and digits ("5,1") stops the run naming the file, the line and the
// text; so does a first line that holds delimiters and words (a table). With
// decimal commas, a number of more than one point or comma ("1.234,5")
// stops the run naming the file and the line.
SampleCounts count_samples(std::string_view filename_x, std::string_view filename_y, const SampleReading& reading = {});

// Stops the run with "x1: data file would be overwritten by the output file
// <name> - terminate" (x2 for sample 2) when a sample file is one of
// `outputs` (same device and inode).
void stop_if_output(std::string_view filename_x, std::string_view filename_y, std::span<const std::string> outputs);

// Reads the first x1.size() values of sample 1 into x1 and the first
// x2.size() values of sample 2 into x2. The counts must come from
// count_samples on the same files. Both passes take the two files side by
// side on two threads, with the outcome of taking them one after the other.
void read_samples(std::string_view filename_x, std::span<double> x1, std::string_view filename_y,
                  std::span<double> x2, const SampleReading& reading = {});

}  // namespace diffboot::input
