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

bool draws_as_text() {
  return std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
         std::getenv("GNUTERM") == nullptr && isatty(STDOUT_FILENO) == 1;
}

// The environment handed to the plotting program.
std::vector<char*> plot_environment(std::string& dumb) {
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  if (draws_as_text()) {
    dumb = "GNUTERM=dumb";
    env.push_back(dumb.data());
  }
  env.push_back(nullptr);
  return env;
}

}  // namespace

int run_plot_program(const std::string& directory, std::string_view script_name) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return -1;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  std::string program = "gnuplot";
  std::string script(script_name);
  char* argv[] = {program.data(), script.data(), nullptr};
  std::string dumb;
  std::vector<char*> env = plot_environment(dumb);
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

}  // namespace diffboot::plot
