#include "app/dialogue.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "analysis/settings.h"
#include "app/run_end.h"
#include "text/reader.h"
#include "text/stops.h"
#include "text/writer.h"

namespace diffboot::app {
namespace {

using analysis::alpha_levels;
using text::console;

// A blank, the text, then blanks up to `length` characters.
std::string line(std::string_view text, std::size_t length) {
  std::string s(1, ' ');
  s += text;
  s.resize(length, ' ');
  return s;
}

// A typed name without the blanks before and after it.
std::string trimmed(std::string_view name) {
  const auto first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(name.substr(first, name.find_last_not_of(' ') - first + 1));
}

void banner_line(const std::string& s) { text::write_record(console, "(a)", {s}); }

// What alpha means, for whoever types it at a terminal.
void tell_alpha_meaning(double alpha) {
  if (isatty(STDERR_FILENO) != 1) return;
  char text[96];
  std::snprintf(text, sizeof text, "alpha %g: %ld%% intervals, %g%% beyond each bound\r\n", alpha,
                std::lround((1.0 - 2.0 * alpha) * 100.0), alpha * 100.0);
  text::error_stream() << text;
  text::error_stream().flush();
}

[[noreturn]] void give_up() {
  text::write_list(console, {"OK - terminates"});
  text::stop_run();
}

}  // namespace

void show_banner() {
  const std::string rule(79, '=');
  const std::string blank(79, ' ');
  for (int i = 0; i < 10; ++i) banner_line(" ");
  for (const std::string& s : {rule, blank, line("DIFFBOOT:", 45), blank, rule, blank}) banner_line(s);
  banner_line(line("Two-sample bootstrap: Student's t and BCa confidence intervals", 79));
  banner_line(line("for differences of means, medians, standard deviations and MADs,", 79));
  banner_line(line("or for the mean and median of paired differences.", 79));
  banner_line(blank);
  banner_line(line("B. Efron (1987)", 70));
  banner_line(line("Journal of the American Statistical Association", 79));
  banner_line(line("82(397), 171-185", 79));
  banner_line(blank);
  banner_line(line("https://en.wikipedia.org/wiki/Bootstrapping_(statistics)", 79));
  for (const std::string& s : {blank, rule, blank}) banner_line(s);
}

SampleNames ask_filenames() {
  SampleNames names;
  text::write_list(console, {});
  text::write_record(console, "(a)", {"sample 1 (x):                 [path + filename]"});
  text::read_chars(console, names.filename_x, filename_length);
  text::write_list(console, {});
  text::write_record(console, "(a)", {"sample 2 (y):                 [path + filename]"});
  text::read_chars(console, names.filename_y, filename_length);
  names.path_x = trimmed(names.filename_x);
  names.path_y = trimmed(names.filename_y);
  return names;
}

Experiment ask_experiment_type(std::int32_t n_x, std::int32_t n_y) {
  if (n_x != n_y) return Experiment::unpaired;
  for (int attempt = 1; attempt <= max_attempts; ++attempt) {
    text::write_list(console, {});
    text::write_record(console, "(a)", {"two samples -   paired                      [p]"});
    text::write_record(console, "(a)", {"            - unpaired                      [u]"});
    std::string answer;
    text::read_chars(console, answer, 1);
    if (answer[0] == 'p' || answer[0] == 'u') return answer[0] == 'p' ? Experiment::paired : Experiment::unpaired;
  }
  give_up();
}

double ask_alpha() {
  for (int attempt = 1; attempt <= max_attempts; ++attempt) {
    text::write_list(console, {});
    text::write_record(console, "(4(a,f4.3),a)",
                       {"alpha:          [", alpha_levels[0], ", ", alpha_levels[1], ", ", alpha_levels[2], ", ",
                        alpha_levels[3], "]"});
    double alpha = 0.0;
    text::ReadStatus status = text::ReadStatus::ok;
    text::read_real(console, alpha, status);
    if (status == text::ReadStatus::end) {
      text::fatal_io_error("Input error: end of standard input where a number was expected");
    }
    if (status == text::ReadStatus::ok && std::find(alpha_levels.begin(), alpha_levels.end(), alpha) != alpha_levels.end()) {
      tell_alpha_meaning(alpha);
      return alpha;
    }
  }
  give_up();
}

}  // namespace diffboot::app
