#include "report/report.h"

#include <charconv>
#include <cstdint>
#include <cmath>
#include <string>
#include <utility>

#include "text/stops.h"
#include "text/writer.h"

namespace diffboot::report {
namespace {

// A sample's size in ten places, as counts of more than 2^31 - 1 trials too.
void write_size(int out, const char* label, std::int64_t n) {
  if (n <= INT32_MAX) return text::write_record(out, "(a,i10)", {label, static_cast<std::int32_t>(n)});
  std::string digits = std::to_string(n);
  if (digits.size() < 10) digits.insert(0, 10 - digits.size(), ' ');
  text::write_record(out, "(a,a)", {label, digits});
}

void write_header(int out, const Report& r) {
  using text::write_record;
  write_record(out, "(a,a)", {"Sample 1 (x): ", r.filename_x});
  write_size(out, "n_x = ", r.n_x);
  write_record(out, "(a)", {" "});
  write_record(out, "(a,a)", {"Sample 2 (y): ", r.filename_y});
  write_size(out, "n_y = ", r.n_y);
  const std::pair<const char*, std::int64_t> left_out[] = {
      {"missing_x = ", r.missing_x}, {"missing_y = ", r.missing_y}, {"pairs_dropped = ", r.pairs_dropped}};
  for (const auto& [label, count] : left_out) {
    if (count > 0) write_record(out, "(a,a)", {label, std::to_string(count)});
  }
  for (const auto& [label, count] : {std::pair{"clusters_x = ", r.clusters_x}, std::pair{"clusters_y = ", r.clusters_y}}) {
    if (count > 0) write_record(out, "(a,a)", {label, std::to_string(count) + " (" + r.cluster + ")"});
  }
  write_record(out, "(a)", {" "});
  write_record(out, "(a)", {r.experiment == Experiment::paired ? "Experiment type:   paired" : "Experiment type: unpaired"});
  write_record(out, "(a)", {" "});
  if (std::round(r.alpha * 1000.0) / 1000.0 == r.alpha) {
    write_record(out, "(a,f5.3,a,a,i8,a)",
                 {"(1-2*alpha) Bootstrap confidence intervals (alpha = ", r.alpha, ",", " B = ", r.replications, ")"});
  } else {
    // Alphas of more than three decimals (0.0005) in full, not rounded away.
    char text[32];
    const std::string alpha(text, std::to_chars(text, text + sizeof text, r.alpha, std::chars_format::fixed).ptr);
    write_record(out, "(a,a,a,a,i8,a)",
                 {"(1-2*alpha) Bootstrap confidence intervals (alpha = ", alpha, ",", " B = ", r.replications, ")"});
  }
  write_record(out, "(a)", {std::string(79, ' ')});
  write_record(out, "(27x,a)", {"Student's t                 BCa                     "});
  write_record(out, "(a)", {std::string(72, ' ')});
  write_record(out, "(27x,a)", {"lower bound  upper bound    lower bound  upper bound"});
  write_record(out, "(a)", {std::string(89, ' ')});
}

void write_rows(int out, const Report& r) {
  const std::string test_label = std::string(r.test) + " = ";
  const std::string_view test = test_label;
  for (const ResultRow& row : r.rows) {
    const bootstrap::Result& v = *row.result;
    const double k = row.factor;
    text::write_record(out, "(a,(4x,es11.4,2(4x,es11.4,2x,es11.4)))",
                       {row.label, k * v.estimate, k * v.t_lower, k * v.t_upper, k * v.bca_lower, k * v.bca_upper});
  }
  if (r.permutations == 0) return;
  for (const ResultRow& row : r.rows) {
    if (r.holm && !row.t_test) {
      text::write_record(out, "(a,4x,a,es11.4,4x,a,es11.4)",
                         {row.label, "p_permutation = ", row.p_permutation, "p_holm = ", row.p_holm});
    } else if (r.holm) {
      text::write_record(out, "(a,4x,a,es11.4,4x,a,es11.4,4x,a,es11.4)",
                         {row.label, "p_permutation = ", row.p_permutation, "p_holm = ", row.p_holm, test, row.p_t});
    } else if (!row.t_test) {
      text::write_record(out, "(a,4x,a,es11.4)", {row.label, "p_permutation = ", row.p_permutation});
    } else {
      text::write_record(out, "(a,4x,a,es11.4,4x,a,es11.4)",
                         {row.label, "p_permutation = ", row.p_permutation, test, row.p_t});
    }
  }
}

}  // namespace

void list_report(const Report& report) {
  write_header(text::console, report);
  write_rows(text::console, report);
}

void write_report(ReportMode mode, const Report& report, std::string_view path) {
  int out = text::console;
  const text::Unit file;
  if (mode != ReportMode::file) {
    for (int i = 0; i < 10; ++i) text::write_record(text::console, "(a)", {" "});
  } else {
    if (text::open_text_file(file.number(), path, text::FileMode::replace) != 0) {
      text::write_list(text::console, {"Error during output data file opening (subroutine info2) - terminate"});
      text::stop_run();
    }
    out = file.number();
  }
  write_header(out, report);
  write_rows(out, report);
  if (mode == ReportMode::file) text::close_text_file(out);
}

}  // namespace diffboot::report
