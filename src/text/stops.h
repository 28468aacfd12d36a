#pragma once
// How the record layer and the layers above it end a run early: by a typed
// exception that travels up to the application, which decides the exit
// status and what goes to standard error.
#include <stdexcept>
#include <string>

namespace diffboot::text {

// A stop that the program detected and has explained on the console already.
struct Stopped {};

// A fatal input/output error of the record layer: what() is its report, one
// line for standard error.
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Ends the run after its message has been written to the console.
[[noreturn]] inline void stop_run() { throw Stopped{}; }

// Ends the run as a fatal input/output error with `report`.
[[noreturn]] inline void fatal_io_error(const std::string& report) { throw IoError(report); }

}  // namespace diffboot::text
