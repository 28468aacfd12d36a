#include "terminal/terminal_line.h"

#include <editline/readline.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace diffboot::terminal {

bool answers_from_terminal() { return isatty(STDIN_FILENO) == 1; }

void discard_typed_ahead(int fd) {
  if (isatty(fd) == 1) tcflush(fd, TCIFLUSH);
}

std::optional<std::string> read_terminal_line() {
  const std::unique_ptr<char, decltype(&std::free)> line(readline(""), &std::free);
  if (!line) return std::nullopt;
  if (*line != '\0') add_history(line.get());
  return std::string(line.get());
}

}  // namespace diffboot::terminal
