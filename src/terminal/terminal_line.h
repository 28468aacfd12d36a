#pragma once
// Answer lines typed at a terminal, with line editing: the editing keys, the
// history of this run's answers, and Tab completion of file names.
#include <optional>
#include <string>

namespace diffboot::terminal {

// Whether standard input is a terminal, so that answers are typed there.
bool answers_from_terminal();

// Discards what was typed at the terminal `fd` and not read yet (keys meant
// for another program's window); nothing when `fd` is not a terminal.
void discard_typed_ahead(int fd);

// Reads one line from the terminal on standard input, without its line end,
// adding it to the history; nothing at the end of input. The prompt has been
// written already: the editor adds none.
std::optional<std::string> read_terminal_line();

}  // namespace diffboot::terminal
