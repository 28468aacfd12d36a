#pragma once
// A figure of a run worth keeping, an estimation plot: above, every value
// of the two samples (a line per pair in a paired run) with each sample's
// mean ± SD and median, and a legend of the marks; below, the measures in
// the data's units on one axis of differences and each unitless one (g,
// delta, lift) on an axis of its own, each with its replicates' density, its
// estimate, its BCa interval (thick) and its Student's t interval (thin),
// and their numbers. Drawn by gnuplot from a script and a data file that
// stay beside the figure, so that a user can restyle it.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace diffboot::plot {

enum class FigureFormat { svg, png, pdf };

// The format a figure's file name asks for by its extension (.svg, .png,
// .pdf, in any case); nothing for any other name.
std::optional<FigureFormat> figure_format(std::string_view file);

// Above this many values a sample is drawn as its density (a half violin)
// rather than as points; above this many pairs a paired run shows its
// differences instead of a line per pair.
inline constexpr std::size_t most_points = 2000;
inline constexpr std::size_t most_pair_lines = 500;

// A sample as the figure shows it.
struct FigureSample {
  std::string_view label;          // the file, the table's column or group, or --labels
  std::span<const double> values;  // as read: a paired run's pairs by position
  double mean, sd, median;
};

// A measure's row in an effect panel: the panel of differences in the
// data's units, or the panel of its own scale (effect_scale.h) when its
// name is a unitless measure's.
struct FigureMeasure {
  std::string_view words;          // such as "difference of means"
  std::string_view name;           // such as "d_AVE"
  double estimate, t_lower, t_upper, bca_lower, bca_upper;
  std::span<const double> replicates;
};

struct Figure {
  std::string file;                // the figure; its script is file + ".gp", its data file + ".dat"
  FigureFormat format;
  bool paired = false;
  double level_percent = 95;       // the intervals' level in percent (99.9)
  std::int32_t replications = 0;   // B
  FigureSample x, y;
  std::vector<FigureMeasure> measures;
  double width = 7.0, height = 5.0;  // inches; a png has 200 pixels an inch
  std::string value_name = "value";  // what the values are: a table's value column, else "value"
  std::string unit = {};             // --unit: the values' unit, empty for none
  bool log_scale = false;            // --log: the data axis logarithmic (every value positive)
};

// Why `f` cannot be drawn as asked (a log axis with a value that is not
// positive), or nothing.
std::optional<std::string> figure_problem(const Figure& f);

// The title: "horsebean − linseed (unpaired): 95% intervals, B = 1999", long
// labels shortened in the middle.
std::string figure_title(const Figure& f);

// The figure composed once (its densities estimated once): the terminal
// line (its size and font), the data file, blocks separated by two blank
// lines, each after a comment line saying what it holds, and the plotting
// commands that draw them, in that order.
struct Composition {
  std::string terminal, commands, data;
};
Composition compose_figure(const Figure& f);

// The gnuplot script that draws `f`, composed as `c`, from the data file
// `data` into `output`. Names enter it as string expressions of their exact
// bytes (relative ones after "./"), text (titles, keys) as single-quoted
// strings with control characters and bytes that are not UTF-8 shown as \n,
// \xNN: nothing the user named is ever read by gnuplot as a command, a pipe
// or an option.
std::string figure_script(const Figure& f, const Composition& c, std::string_view output, std::string_view data);

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

}  // namespace diffboot::plot
