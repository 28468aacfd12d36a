#pragma once
// The estimation figure of a run as data, laid out once by the library so
// that every painter (the program's gnuplot script, matplotlib, ggplot2, a
// web page) draws the same figure: the samples' panel (every value, each
// sample's mean ± SD and median, a legend) and the effect panels (the
// differences in the data's units on one axis, g, delta and lift each on
// its own), every mark and text in place.
//
// Places on the page are in inches from its lower left corner; marks are in
// their panel's axis units; discs' diameters are in points; lines' widths
// are in points at 8-point text (drawn × font / 8); colours are "#rrggbb".
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "diffboot/diffboot.h"
#include "diffboot/groups.h"

namespace diffboot {

struct FigureOptions {
  double width = 7.0, height = 5.0;  // inches, 1 to 40 each
  std::string label_x = "x", label_y = "y";  // the samples' names
  std::string value_name = "value";  // what the values are, on the data axis
  std::string unit;                  // the values' unit, such as "g"; empty for none
  bool log_scale = false;            // the data axis logarithmic (every value positive)
  std::string cluster_name = "cluster";  // with Options::clusters: what a cluster is ("user"), a disc each
};

struct FigureTick {
  double at;
  std::string label;  // U+2212 for the minus sign
};

struct FigureAxis {
  double low, high;
  bool log_scale;
  std::vector<FigureTick> ticks;
  std::string title;  // empty for none
};

enum class MarkKind {
  discs,  // a disc at each point, diameter[i] points across
  lines,  // lines through the points, a new one at each index of `breaks`
  area,   // the closed outline through the points, filled
};

struct FigureMark {
  std::string role;  // "values", "violin", "pairs", "summary", "mean"; "replicates", "t", "bca", "estimate"
  std::string what;  // in words, such as "sample 1: column, value, radius"
  MarkKind kind;
  std::vector<double> x, y;
  std::vector<double> diameter;     // discs
  std::vector<std::size_t> breaks;  // lines
  std::string colour;
  double width;                     // lines
  double opacity;                   // areas
  bool second_axis;                 // on the panel's y2 axis
};

// A text anchored at its left end: x in inches on the page, y in the panel's y units.
struct FigureText {
  std::string text;
  double x, y;
  std::string colour;
};

struct FigurePanel {
  bool samples;                          // the samples' panel; else an effect panel
  double left, right, bottom, top;       // the plot area, in inches
  FigureAxis x, y;                       // samples: columns on x, values on y; effects: values on x, rows on y
  std::optional<FigureAxis> y2;          // a paired run's differences, right of the samples
  std::vector<FigureTick> categories;    // samples: the columns under x; effects: the rows on y
  std::vector<FigureMark> marks;         // in drawing order
  std::vector<FigureText> texts;
  bool zero_line;                        // a dashed line at 0 (across an upright panel)
  bool upright;                          // an effect panel of several groups: comparisons in columns under x, values on y
};

// A legend entry: its mark ("mean_sd", "median", "bca", "t") from `left` to
// `right` at height `y`, its text starting at `text_x`, all in inches.
struct FigureLegendEntry {
  std::string kind, text;
  double left, right, y, text_x;
};

struct FigureLayout {
  double width, height, font;  // inches; the text's points
  std::string title;
  std::vector<FigurePanel> panels;  // the samples' first, then the effect panels from the top
  std::vector<FigureLegendEntry> legend;
  double bca_thickness;  // the BCa bar's thickness in points
  double line, ch;       // a line of text's height and an average character's width, in inches
};

// The figure of `results`, which kept its replicates, for the samples `x`
// and `y` it analysed (missing values as NaN: left out as the run left
// them). Throws Error when the replicates were not kept, or a log axis meets
// a value that is not positive.
FigureLayout figure_layout(std::span<const double> x, std::span<const double> y, const Results& results,
                           const FigureOptions& options = {});

// A comparison of several groups as the figure shows it: the groups
// compared (x − y, by their places among the names), the values it analysed
// (paired: its pairs by position), and its results, which kept their
// replicates (nullptr where it stopped). Its first measure is drawn.
struct FigureComparison {
  std::size_t x, y;
  std::span<const double> values_x, values_y;
  const Results* results;
};

// The figure of several groups (`groups` their names, in order): every
// group's values above, the values of the first comparison it is in (a line
// per pair of a paired comparison), and below, each comparison under its
// group. Options' labels are not used. Throws Error as figure_layout does.
FigureLayout groups_figure_layout(std::span<const std::string> groups, std::span<const FigureComparison> comparisons,
                                  Design design, const FigureOptions& options = {});

}  // namespace diffboot
