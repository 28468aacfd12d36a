#pragma once
// How a run ends early. Every stop travels as a RunEnd exception up to the
// run sequence, which closes the open files, writes the error text to standard
// error and returns the status as the process exit status.
#include <string>

namespace diffboot::text {

// Exit status of a stop that the program detected and explained on the
// console: no results were produced.
inline constexpr int stop_status = 1;
// Exit status of a fatal input/output error of the record layer (-1 as a byte).
inline constexpr int fatal_io_status = 255;

struct RunEnd {
  int status;               // process exit status
  std::string error_text;   // written to standard error as it stands; may be empty
};

// Ends the run with stop_status and nothing on standard error; the caller
// has already written its message.
[[noreturn]] inline void stop_run() { throw RunEnd{stop_status, {}}; }

// Ends the run as a fatal input/output error: report (one line, CR LF added)
// on standard error, exit status 255.
[[noreturn]] inline void fatal_io_error(const std::string& report) {
  throw RunEnd{fatal_io_status, report + "\r\n"};
}

}  // namespace diffboot::text
