#include "support/program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <filesystem>

#include "support/console_capture.h"

namespace diffboot::testing {
namespace {

std::string quoted(const std::string& s) { return "'" + s + "'"; }

// PATH with every relative entry made absolute from the current directory.
std::string absolute_path_list(const std::string& path) {
  std::string out;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find(':', start), path.size());
    const std::string entry = path.substr(start, end - start);
    if (!out.empty()) out += ':';
    out += entry.empty() || entry[0] == '/' ? entry : (std::filesystem::current_path() / entry).string();
    start = end + 1;
  }
  return out;
}

}  // namespace

Outcome run_built_program(const Launch& launch) {
  const std::filesystem::path here = std::filesystem::current_path();
  const std::string input = " < " + quoted((here / launch.input).string());
  const std::string program = launch.shell_prefix + " env -u TABSIZE " + launch.env + " PATH=" +
                              quoted(absolute_path_list(launch.path)) + " " + DIFFBOOT_EXE + " " + launch.arguments +
                              (launch.typed ? "" : input);
  const std::string out = quoted((here / "stdout.txt").string());
  const std::string err = quoted((here / "stderr.txt").string());
  std::string command = launch.terminal ? "script -qec \"" + program + "\" /dev/null" + (launch.typed ? input : "") +
                                              " > " + out + " 2>&1"
                                        : program + " > " + out + " 2> " + err;
  if (!launch.directory.empty()) command = "cd " + quoted(launch.directory) + " && " + command;
  std::filesystem::remove(here / "stderr.txt");
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(here / "stdout.txt"), read_file(here / "stderr.txt")};
}

pid_t start_built_program(const std::vector<std::string>& arguments, const std::string& path, const std::string& log) {
  std::vector<std::string> words{DIFFBOOT_EXE};
  words.insert(words.end(), arguments.begin(), arguments.end());
  const std::string out = log + ".out", err = log + ".err", search = "PATH=" + path;
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int in = open("/dev/null", O_RDONLY);
  const int to_out = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int to_err = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(in, STDIN_FILENO);
  dup2(to_out, STDOUT_FILENO);
  dup2(to_err, STDERR_FILENO);
  unsetenv("TABSIZE");
  putenv(const_cast<char*>(search.c_str()));
  execv(DIFFBOOT_EXE, argv.data());
  _exit(127);
}

Outcome wait_for_program(pid_t pid, const std::string& log) {
  int raw = 0;
  while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(log + ".out"), read_file(log + ".err")};
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name), had_value_(std::getenv(name) != nullptr) {
  if (had_value_) saved_ = std::getenv(name);
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_value_) {
    setenv(name_.c_str(), saved_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

}  // namespace diffboot::testing
