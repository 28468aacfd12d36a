#pragma once
// The command line of a batch run: `diffboot [OPTIONS] SAMPLE1 SAMPLE2`.
// Parsing needs no files; what depends on the samples (their sizes) is
// checked by the run itself.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/run_config.h"
#include "app/run_end.h"

namespace diffboot::app {

// What the command line asks for: a batch run, or an end right away with a
// status and text for standard output (help, version) or error (usage).
struct ParsedCommandLine {
  std::optional<RunConfig> options;
  int status = 0;
  std::string out, err;
};

// The program's version, as set in the build.
const char* program_version();

// Parses `args` (without the program name). A usage error gives one line
// naming the problem, then "Try 'diffboot --help'.", status 2.
ParsedCommandLine parse_command_line(std::span<const std::string> args);

// The text of a usage error: "diffboot: <problem>" and the hint line.
std::string usage_error(const std::string& problem);

}  // namespace diffboot::app
