#pragma once
// Test support: the built program run as a user runs it, through the shell,
// with TABSIZE unset and a PATH of the test's choosing.
#include <sys/types.h>

#include <string>
#include <vector>

namespace diffboot::testing {

struct Launch {
  std::string arguments;               // command-line words, quoted for the shell
  std::string input = "answers.txt";   // what standard input reads: relative to the current directory, or absolute
  std::string path = "nobin";          // PATH of the run; relative entries are taken from the current directory
  std::string env;                     // further "NAME=value" or "-u NAME" words for env
  std::string directory;               // working directory of the run; the current one when empty
  std::string shell_prefix;            // shell commands run just before the program, in its shell
  bool terminal = false;               // standard output (and error) on a pseudo-terminal
  bool typed = false;                  // with `terminal`: standard input on it too, `input` typed there
};

struct Outcome {
  int status;       // exit status, -1 when killed by a signal
  std::string out;  // standard output (with a terminal: output and error together)
  std::string err;  // standard error
};

// Runs the built program as `launch` says; its output goes through the files
// stdout.txt and stderr.txt of the current directory.
Outcome run_built_program(const Launch& launch = {});

// Starts the built program with exactly `arguments` (no shell: any bytes
// reach it as they are), standard input from /dev/null, standard output and
// error into `log`.out and `log`.err of the current directory, TABSIZE unset
// and PATH = `path`. Returns its process id.
pid_t start_built_program(const std::vector<std::string>& arguments, const std::string& path,
                          const std::string& log = "run");

// Waits for a program started so: its exit status (-1 when a signal ended
// it) and what it wrote.
Outcome wait_for_program(pid_t pid, const std::string& log = "run");

// RAII: sets an environment variable (or unsets it, for nullptr) and restores
// the earlier value on destruction.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, saved_;
  bool had_value_;
};

}  // namespace diffboot::testing
