#include "plot/plot_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

// Starts gnuplot on `script` in `directory` with `env`, and waits for it.
int run_gnuplot(const std::string& directory, std::string_view script_name, std::vector<char*>& env) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  std::string program = "gnuplot";
  std::string script(script_name);
  char* argv[] = {program.data(), script.data(), nullptr};
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool plot_window_expected() { return has_display(); }

bool plot_can_be_shown() { return has_display() || isatty(STDOUT_FILENO) == 1; }

int run_plot_program(const std::string& directory, std::string_view script) {
  std::string dumb;
  std::vector<char*> env = plot_environment(dumb);
  return run_gnuplot(directory, script, env);
}

int run_figure_script(std::string_view script) {
  std::vector<char*> env = environment_with(nullptr);
  return run_gnuplot({}, script, env);
}

}  // namespace diffboot::plot
