#pragma once
// How a run ends: the exit statuses of the program, all in one place, and
// the end that each early way out of a run makes.
#include <string>

namespace diffboot::app {

// A run that reached its results.
inline constexpr int results_status = 0;
// A stop the program detected and explained: no results were produced.
inline constexpr int stop_status = 1;
// A usage error of the command line.
inline constexpr int usage_status = 2;
// A fatal input/output error (-1 as a byte).
inline constexpr int fatal_io_status = 255;

// An end of the application's own: the exit status and the text for
// standard error (as it stands; may be empty).
struct RunEnd {
  int status;
  std::string error_text;
};

// The end that the exception being handled makes (call inside a catch): a
// RunEnd as it is; a stop explained on the console, status 1; a fatal
// input/output error, status 255 with its report and CR LF; a failure of the
// numerical library, its record on the console and its stop text, status 1;
// an output file that could not take its name, status 255 with its report;
// a lack of memory or another failure, status 255 with a line saying so.
RunEnd current_run_end();

}  // namespace diffboot::app
