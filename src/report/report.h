#pragma once
// The results report: the inputs of the run and, per effect measure, the
// estimate with its Student's t and BCa bounds. Listed on the console or
// written to the report file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bootstrap/result.h"
#include "bootstrap/experiment.h"

namespace diffboot::report {

using bootstrap::Experiment;

// Where `write_report` writes the report; any other value lists it on the console.
enum class ReportMode : char { console = '-', file = 'w' };

struct ResultRow {
  std::string label;                 // 8 characters, such as "d_AVE = " (longer for a quantile: "d_Q99.9 = ")
  const bootstrap::Result* result;   // its estimate, t bounds and BCa bounds are printed
  double p_permutation = 0.0, p_t = 0.0;  // printed when the report has permutations
  bool t_test = false;                    // p_t too: a mean measure
  double factor = 1.0;                    // estimate and bounds printed times this (100: in percent)
  double p_holm = 0.0;                    // printed when the report has Holm's p-values
};

struct Report {
  std::string_view filename_x, filename_y;  // 79-character fields
  std::int64_t n_x, n_y;
  Experiment experiment;
  double alpha;
  std::int32_t replications;
  std::vector<ResultRow> rows;
  std::int32_t permutations = 0;     // of the p-values; 0: none, and no line for them
  // What a table run left out, each in a line under n_y when above 0:
  // missing cells of each sample, and pairs left out for a missing half.
  std::int64_t missing_x = 0, missing_y = 0, pairs_dropped = 0;
  bool holm = false;                 // with permutations and several groups: p_holm after each row's p-values
  // --cluster: each sample's clusters, in a line under its missing values
  // ("clusters_x = 300 (user)"), when above 0.
  std::int64_t clusters_x = 0, clusters_y = 0;
  std::string cluster = {};
  std::string_view test = "p_t";     // the test of the mean measure's row: p_t, or of proportions p_z, p_mcnemar
};

// The report: its header, a line per row, and with permutations a line of
// p-values per row after them ("d_AVE =     p_permutation =  1.0000E-04
// p_t =  2.3456E-05").
// ReportMode::console (or any mode but 'w'): ten one-blank records, then the
// report, on the console. ReportMode::file: the report replaces the file
// `path`; a file that cannot be opened writes "Error during output data file
// opening (subroutine info2) - terminate" and stops the run, leaving any
// earlier file as it was.
void write_report(ReportMode mode, const Report& report, std::string_view path);

// The report block alone, from "Sample 1 (x): " to the last result record, on
// the console: what write_report lists after its ten blank records.
void list_report(const Report& report);

}  // namespace diffboot::report
