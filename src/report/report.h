#pragma once
// The results report: the inputs of the run and, per effect measure, the
// estimate with its Student's t and BCa bounds. Listed on the console and
// written to the report file diffboot.dat.
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace diffboot::report {

inline constexpr std::string_view report_file = "diffboot.dat";
// Unit of the report file while `info2` writes it.
inline constexpr int report_unit = 6;

struct ResultRow {
  std::string_view label;          // 8 characters, such as "d_AVE = "
  std::array<double, 5> values;    // estimate, t lower, t upper, BCa lower, BCa upper
};

struct Report {
  std::string_view filename_x, filename_y;  // 79-character fields
  std::int32_t n_x, n_y;
  char experiment_type;                     // 'p', 'u'; anything else: no type line, no rows
  double alpha;
  std::int32_t replications;
  std::vector<ResultRow> rows;
};

// Mode other than 'w': ten one-blank records, then the report, on the console.
// Mode 'w': the report replaces diffboot.dat; a file that cannot be opened
// writes "Error during output data file opening (subroutine info2) - terminate"
// and stops the run, leaving any earlier file as it was.
void info2(char mode, const Report& report);

}  // namespace diffboot::report
