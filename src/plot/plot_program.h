#pragma once
// The outside plotting program that shows the histograms.
#include <string>
#include <string_view>

namespace diffboot::plot {

// Starts "gnuplot <script>" (found on PATH, no shell) in `directory` (the
// working directory when empty) with standard input from /dev/null, so it can
// never take an answer meant for this program, and waits for it without a
// time limit. With no display
// (neither DISPLAY nor WAYLAND_DISPLAY), a terminal on standard output and no
// GNUTERM of the user's, it is asked to draw as text (GNUTERM=dumb). Returns
// its exit status, or -1 when it could not be started; the run goes on either way.
int run_plot_program(const std::string& directory, std::string_view script);

// Starts "gnuplot <script>" in the working directory with standard input from
// /dev/null and the environment unchanged (the script names its own terminal),
// and waits for it. Returns its exit status, or -1 when it could not be started
// or was killed.
int run_figure_script(std::string_view script);

// Whether the histograms could be shown: a display, or a terminal on
// standard output to draw on as text.
bool plot_can_be_shown();

// Whether the plotting program opens a window: there is a display.
bool plot_window_expected();

}  // namespace diffboot::plot
