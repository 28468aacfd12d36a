#pragma once
// The estimation figure as data: every panel with its place on the page, its
// axes and ticks, and every mark, text and legend entry, laid out once, so
// that a painter (gnuplot's script here) only paints it. Places on the page
// are in inches from its lower left corner; marks are in their panel's axis
// units; discs' diameters are in points, lines' widths in points at 8-point
// text (drawn × font / 8, as the font grows); colours are "#rrggbb".
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "figure/axis_ticks.h"
#include "figure/figure.h"

namespace diffboot::figure {

struct Box {
  double left, right, bottom, top;
  double width() const { return right - left; }
  double height() const { return top - bottom; }
};

struct ModelAxis {
  double low = 0.0, high = 1.0;
  bool log_scale = false;
  std::vector<Tick> ticks;  // at round numbers; samples' columns and measures' rows are named by `categories`
  std::string title;        // such as "weight (g)"; empty for none
  // Where `v` lies along the axis, from 0 (low) to 1 (high).
  double at(double v) const;
};

enum class MarkKind {
  discs,  // a disc at each point, diameter[i] points across
  lines,  // lines through the points, a new one at each index of `breaks`
  area,   // the closed outline through the points, filled
};

struct Mark {
  std::string what;  // what it shows, such as "sample 1: column, value, radius"
  MarkKind kind = MarkKind::discs;
  std::vector<double> x, y;
  std::vector<double> diameter;     // discs: in points
  std::vector<std::size_t> breaks;  // lines: where a new line starts
  std::string colour = "#000000";
  double width = 1.0;               // lines: in points at 8-point text
  double opacity = 1.0;             // areas
  bool second_axis = false;         // on the panel's y2 axis
  // What a painter may call it: "values", "violin", "pairs", "summary"
  // (mean ± SD line and median crossbar), "mean"; "replicates", "t", "bca",
  // "estimate".
  std::string role;
};

// A text beside a measure's row: x in inches on the page, y in the panel's
// y units; anchored at its left end.
struct ModelText {
  std::string text;
  double x, y;
  std::string colour = "#000000";
};

struct Panel {
  bool samples = false;            // the samples' panel; else an effect panel
  Box box;                         // the plot area, in inches
  ModelAxis x, y;                  // samples: columns on x, values on y; effects: values on x, rows on y
  std::optional<ModelAxis> y2;     // the differences' axis on the right of a samples' panel
  std::vector<Tick> categories;    // samples: the columns' names under x; effects: the rows' names on y
  std::vector<Mark> marks;         // in drawing order
  std::vector<ModelText> texts;
  bool zero_line = false;          // effects: a dashed line at 0
  // An effect panel standing upright: its columns (the comparisons of
  // several groups) named under x, values on y; its zero line across.
  bool upright = false;
};

enum class LegendKind { mean_sd, median, bca, t };

// A legend entry: its sample mark from `left` to `right` at height `y`, its
// text starting at `text_x` (inches on the page).
struct LegendEntry {
  LegendKind kind;
  std::string text;
  double left, right, y, text_x;
};

struct FigureModel {
  double width, height;  // inches
  double font;           // points
  std::string title;
  std::vector<Panel> panels;  // the samples' first, then the effect panels from the top
  std::vector<LegendEntry> legend;
  double bca_thickness;  // the BCa bar's thickness in points (at this font)
  double line, ch;       // a line of text's height and an average character's width, in inches
  double mark_diameter;  // the means' and estimates' discs, in points
};

// The figure `f` laid out on its canvas.
FigureModel figure_model(const Figure& f);

// The figure of several groups laid out on its canvas.
FigureModel groups_model(const GroupsFigure& f);

}  // namespace diffboot::figure
