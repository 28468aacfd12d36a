#pragma once
// The outside plotting program that shows the histograms.
#include <span>
#include <string>
#include <string_view>

namespace diffboot::plot {

// How the plotting program ended: its exit status, the signal that killed
// it, or the error that kept it from starting.
struct ProgramEnd {
  enum class Way { exited, killed, not_started } way;
  int value;
};

// Starts "gnuplot <script>" (found on PATH, no shell) in `directory` (the
// working directory when empty) with standard input from /dev/null, so it can
// never take an answer meant for this program, and waits for it without a
// time limit. With no display
// (neither DISPLAY nor WAYLAND_DISPLAY), a terminal on standard output and no
// GNUTERM of the user's, it is asked to draw as text (GNUTERM=dumb). Returns
// how it ended; the run goes on whichever way.
ProgramEnd run_plot_program(const std::string& directory, std::string_view script);

// "" for an exit status of 0, else what happened: "gnuplot was not found",
// "gnuplot could not be started: <reason>", "gnuplot ended with status N",
// "gnuplot was killed by signal N (<name>)".
std::string describe(const ProgramEnd& end);

// Starts "gnuplot <script>" in the working directory with standard input from
// /dev/null, the environment unchanged (the script names its own terminal)
// and the descriptors `inherited` open, and waits for it.
ProgramEnd run_figure_script(std::string_view script, std::span<const int> inherited);

// Whether the histograms could be shown: a display, or a terminal on
// standard output to draw on as text.
bool plot_can_be_shown();

// Whether the plotting program opens a window: there is a display.
bool plot_window_expected();

}  // namespace diffboot::plot
