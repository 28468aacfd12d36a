#pragma once
// The estimation figure painted by gnuplot, from a script and a data file
// that stay beside the figure, so that a user can restyle it.
#include <string>
#include <string_view>

#include "figure/figure.h"
#include "figure/figure_model.h"

namespace diffboot::plot {

using figure::Figure;
using figure::FigureFormat;
using figure::FigureMeasure;
using figure::FigureSample;
using figure::GroupsFigure;
using figure::figure_format;
using figure::figure_problem;
using figure::figure_title;
using figure::most_pair_lines;
using figure::most_points;

// The figure composed once (its densities estimated once): the terminal
// line (its size and font), the data file, blocks separated by two blank
// lines, each after a comment line saying what it holds, and the plotting
// commands that draw them, in that order.
struct Composition {
  std::string terminal, commands, data;
};
Composition compose_figure(const Figure& f);

// A figure laid out (figure_model.h) composed for gnuplot in `format`.
Composition compose_model(const figure::FigureModel& m, FigureFormat format);

// The gnuplot script that draws `f`, composed as `c`, from the data file
// `data` into `output`. Names enter it as string expressions of their exact
// bytes (relative ones after "./"), text (titles, keys) as single-quoted
// strings with control characters and bytes that are not UTF-8 shown as \n,
// \xNN: nothing the user named is ever read by gnuplot as a command, a pipe
// or an option.
std::string figure_script(std::string_view file, const Composition& c, std::string_view output, std::string_view data);

// The data file of `f`, and the script kept beside the figure (it draws
// f.file from f.file + ".dat").
std::string figure_data(const Figure& f);
std::string figure_script(const Figure& f);

// Draws the figure: gnuplot runs on a script and data of this run that have
// no name yet and writes into a file that has none either; only when it has
// exited 0 and the figure is complete do the data, the kept script and the
// figure take the names f.file + ".dat", f.file + ".gp" and f.file (one run
// at a time in a directory), replacing what is there. Otherwise nothing of
// the earlier files changes and nothing is left behind. Returns an empty
// string, or the reason ("gnuplot was not found", "gnuplot ended with status
// 1", "gnuplot wrote no complete figure", ...).
std::string draw_figure(const Figure& f);

// Draws the composition `c` of a figure into `file` in `format`, as draw_figure does.
std::string draw_composition(const std::string& file, FigureFormat format, const Composition& c);

// Draws the figure of several groups, as draw_figure does: an empty string, or the reason.
std::string draw_groups_figure(const GroupsFigure& f);

}  // namespace diffboot::plot
