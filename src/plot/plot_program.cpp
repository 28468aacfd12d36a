#include "plot/plot_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace diffboot::plot {
namespace {

bool has_display() { return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr; }

bool draws_as_text() { return !has_display() && std::getenv("GNUTERM") == nullptr && isatty(STDOUT_FILENO) == 1; }

// This process's environment, with `extra` added when not null.
std::vector<char*> environment_with(char* extra) {
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  if (extra != nullptr) env.push_back(extra);
  env.push_back(nullptr);
  return env;
}

// The environment handed to the plotting program.
std::vector<char*> plot_environment(std::string& dumb) {
  if (!draws_as_text()) return environment_with(nullptr);
  dumb = "GNUTERM=dumb";
  return environment_with(dumb.data());
}

// Starts gnuplot on `script` in `directory` with `env` and the descriptors
// `inherited` kept open, and waits for it. Signals the program ignores
// (SIGXFSZ) take their default action in gnuplot.
ProgramEnd run_gnuplot(const std::string& directory, std::string_view script_name, std::vector<char*>& env,
                       std::span<const int> inherited = {}) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return {ProgramEnd::Way::not_started, ENOMEM};
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  for (int fd : inherited) posix_spawn_file_actions_adddup2(&actions, fd, fd);  // clears close-on-exec
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGXFSZ);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::string program = "gnuplot";
  std::string script(script_name);
  char* argv[] = {program.data(), script.data(), nullptr};
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, env.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (started != 0) return {ProgramEnd::Way::not_started, started};
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return {ProgramEnd::Way::not_started, errno};
  }
  if (WIFSIGNALED(status)) return {ProgramEnd::Way::killed, WTERMSIG(status)};
  return {ProgramEnd::Way::exited, WEXITSTATUS(status)};
}

}  // namespace

bool plot_window_expected() { return has_display(); }

bool plot_can_be_shown() { return has_display() || isatty(STDOUT_FILENO) == 1; }

ProgramEnd run_plot_program(const std::string& directory, std::string_view script) {
  std::string dumb;
  std::vector<char*> env = plot_environment(dumb);
  return run_gnuplot(directory, script, env);
}

ProgramEnd run_figure_script(std::string_view script, std::span<const int> inherited) {
  std::vector<char*> env = environment_with(nullptr);
  return run_gnuplot({}, script, env, inherited);
}

std::string describe(const ProgramEnd& end) {
  switch (end.way) {
    case ProgramEnd::Way::exited:
      return end.value == 0 ? std::string() : "gnuplot ended with status " + std::to_string(end.value);
    case ProgramEnd::Way::killed:
      return "gnuplot was killed by signal " + std::to_string(end.value) + " (" + strsignal(end.value) + ")";
    case ProgramEnd::Way::not_started:
      return end.value == ENOENT ? "gnuplot was not found" : "gnuplot could not be started: " + std::string(std::strerror(end.value));
  }
  return {};
}

}  // namespace diffboot::plot
