#pragma once
// The sample data files: optional "#" header lines at the top, then one value
// per line read free-form, up to the end of the file or the first line that
// holds no number. Both passes stream the files; memory does not grow with them.
#include <cstdint>
#include <span>
#include <string_view>

namespace diffboot::input {

struct SampleCounts {
  std::int64_t n_x;
  std::int64_t n_y;
};

// Counts the values of both files (names trimmed of leading and trailing
// blanks), both open at once. A file that does not open writes
// "x1: Error during data file opening - terminate" (or "x2: ...") and stops
// the run; sample 2 is opened only after sample 1 has opened. A file that ends
// inside its header is a fatal input error.
SampleCounts count_samples(std::string_view filename_x, std::string_view filename_y);

// Reads the first x1.size() values of sample 1 into x1, then the first
// x2.size() values of sample 2 into x2, one file after the other. The counts
// must come from count_samples on the same files.
void read_samples(std::string_view filename_x, std::span<double> x1, std::string_view filename_y,
                  std::span<double> x2);

}  // namespace diffboot::input
