#pragma once
// A figure of a run worth keeping: the two samples' histograms above one
// panel per effect measure, each panel the bootstrap distribution of the
// measure with its estimate, its Student's t and its BCa interval. Drawn by
// gnuplot from a script and a data file that stay beside the figure, so that
// a user can restyle it.
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

struct SampleHistogram {
  std::string_view name;             // the file name, for the legend
  std::span<const double> bounds;    // class bounds, classes + 1
  std::span<const double> counts;    // values per class
};

struct MeasurePanel {
  std::string_view title;            // such as "d_MED = median(x) − median(y)"
  std::string_view name;             // such as "d_MED"
  double estimate, t_lower, t_upper, bca_lower, bca_upper;
  std::span<const double> replicates;
};

struct Figure {
  std::string file;                  // the figure; its script is file + ".gp", its data file + ".dat"
  FigureFormat format;
  std::string heading;               // the title line: sizes, level and B
  SampleHistogram x, y;
  std::vector<MeasurePanel> panels;  // two (paired) or four (unpaired)
};

// The data file: blocks separated by two blank lines, in this order: the
// boxes of sample 1 and of sample 2 (centre, count, width), then per panel
// the boxes of its replicates' histogram (40 classes), its t bar, its BCa bar
// and its estimate line (x, y pairs).
std::string figure_data(const Figure& f);

// The gnuplot script that draws `f` from the data file `data` into `output`.
// Names enter it as string expressions of their exact bytes (relative ones
// after "./"), text (titles, keys) as single-quoted strings with control
// characters and bytes that are not UTF-8 shown as \n, \xNN: nothing the
// user named is ever read by gnuplot as a command, a pipe or an option.
std::string figure_script(const Figure& f, std::string_view output, std::string_view data);

// The script kept beside the figure: draws f.file from f.file + ".dat".
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
