// The estimation plot's script and data: a panel of the samples above a
// panel of the measures, laid out for the canvas's size, every number that
// reaches gnuplot finite.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "plot/density.h"
#include "plot/figure.h"
#include "plot/figure_text.h"
#include "plot/gnuplot_text.h"

namespace diffboot::plot {
namespace {

// Okabe and Ito's colours, told apart by colour-blind readers: blue and
// orange for the samples, bluish green and reddish purple for the intervals.
constexpr const char* sample1_colour = "#0072B2";
constexpr const char* sample2_colour = "#E69F00";
constexpr const char* t_colour = "#009E73";
constexpr const char* bca_colour = "#CC79A7";
constexpr double png_dots_per_inch = 200.0;
constexpr std::size_t longest_label = 28;  // characters of a sample's label in the title and under its column
constexpr double character_width = 0.72;   // a wide average character, in ems of the font
constexpr double half_violin = 0.38;       // a half violin's greatest width, in columns or rows
constexpr double summary_offset = 0.38;    // the mean ± SD line's distance from its column

constexpr double largest = std::numeric_limits<double>::max();

// The font: 8 points on the default 7 × 5 inches, in proportion on other
// canvases (from 6 to 14 points), so that the layout keeps its room.
double font_points(const Figure& f) { return std::clamp(8.0 * std::min(f.width / 7.0, f.height / 5.0), 6.0, 14.0); }

// A coordinate as the data and the script hold it: the shortest text that
// reads back as the double; no infinity or NaN reaches gnuplot.
std::string number(double v) {
  const double finite = std::isnan(v) ? 0.0 : std::clamp(v, -largest, largest);
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, finite).ptr};
}

std::string point(double x, double y) { return number(x) + " " + number(y) + "\n"; }

struct Range {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void add(double v) {
    if (!std::isfinite(v)) return;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  bool empty() const { return !(low <= high); }
  bool holds(double v) const { return low <= v && v <= high; }
  // Widened by `fraction` of its width on each side, so that a single value
  // still has a width.
  Range padded(double fraction) const {
    if (empty()) return {-1.0, 1.0};
    double width = high - low;
    if (!(width > 0.0) || !std::isfinite(width)) width = std::isfinite(width) ? std::max(std::fabs(low), 1.0) : largest;
    const double pad = fraction * width;
    return {std::clamp(low - pad, -largest, largest), std::clamp(high + pad, -largest, largest)};
  }
};

// The data file's blocks, numbered as gnuplot's "index" counts them.
struct Drawing {
  std::string data;
  std::size_t blocks = 0;
  // Appends `rows` after the comment line `what`; returns the block's index.
  std::size_t block(std::string_view what, const std::string& rows) {
    data += "# " + comment_text(what) + "\n" + rows + "\n\n";
    return blocks++;
  }
};

// The plot command of a panel, one element at a time.
struct Plot {
  std::vector<std::string> elements;
  void add(std::size_t block, std::string_view style) {
    elements.push_back("data index " + std::to_string(block) + " " + std::string(style));
  }
  std::string command() const {
    std::string s = "plot ";
    for (std::size_t i = 0; i < elements.size(); ++i) s += (i == 0 ? "" : ", \\\n     ") + elements[i];
    return s + "\n";
  }
};

// The left and right edges of a panel's plotting area, as fractions of the
// canvas.
struct Margins {
  double left, right;
};

// What the canvas has room for: the measures' panel's margins (their names
// on the left, their numbers on the right), whether the names can be words
// and code or only code, the length of the samples' labels in the title,
// and the most ticks on the axis of differences.
struct Layout {
  Margins margins;
  bool words;
  std::size_t label_length;
  int ticks;
};

// Inches a character of the figure's font takes.
double character_inches(const Figure& f) { return character_width * font_points(f) / 72.0; }

std::string panel_frame(double bottom, double height, const Margins& m) {
  return "set origin 0, " + number(bottom) + "\nset size 1, " + number(height) + "\nset lmargin at screen " +
         number(m.left) + "\nset rmargin at screen " + number(m.right) + "\n";
}

std::string terminal_line(const Figure& f) {
  const std::string font = " noenhanced font 'sans," + number(font_points(f)) + "'";
  switch (f.format) {
    case FigureFormat::svg:
      return "set terminal svg size " + number(std::round(f.width * 72)) + "," + number(std::round(f.height * 72)) +
             font + " background '#ffffff'\n";
    case FigureFormat::png:
      return "set terminal pngcairo size " + number(std::round(f.width * png_dots_per_inch)) + "," +
             number(std::round(f.height * png_dots_per_inch)) + font + " fontscale " +
             number(png_dots_per_inch / 72.0) + " background '#ffffff'\n";
    case FigureFormat::pdf:
      return "set terminal pdfcairo size " + number(f.width) + "in," + number(f.height) + "in" + font + "\n";
  }
  return {};
}

// ---- The samples --------------------------------------------------------

// The share of the canvas's height the measures' panel takes: more rows,
// more room.
double measures_height(const Figure& f) {
  return std::clamp(0.3 + 0.045 * static_cast<double>(f.measures.size()), 0.4, 0.6);
}

double point_size(std::size_t n) { return n <= 100 ? 0.9 : n <= 500 ? 0.6 : 0.4; }

std::string points_rows(double column, std::span<const double> values) {
  std::string rows;
  for (double v : values) rows += point(column, v);
  return rows;
}

// A closed outline of `d` standing on the line x = column (a column's half
// violin), towards `side` (+1 right, -1 left), `half_violin` at its widest.
std::string upright_violin_rows(double column, double side, const Density& d) {
  std::string rows;
  for (std::size_t i = 0; i < d.at.size(); ++i) rows += point(column + side * half_violin * d.height[i], d.at[i]);
  return rows + point(column, d.at.back()) + point(column, d.at.front());
}

// A closed outline of `d` lying on the line y = row (a measure's half violin).
std::string lying_violin_rows(double row, const Density& d) {
  std::string rows;
  for (std::size_t i = 0; i < d.at.size(); ++i) rows += point(d.at[i], row + half_violin * 1.6 * d.height[i]);
  return rows + point(d.at.back(), row) + point(d.at.front(), row);
}

struct Summary {
  double mean, sd, median;
};

// The mean ± SD as a line broken at the mean, and a tick at the median.
std::string summary_rows(double at, const Summary& s, double gap) {
  std::string rows;
  if (s.sd > gap) {
    rows += point(at, s.mean - s.sd) + point(at, s.mean - gap) + "\n";
    rows += point(at, s.mean + gap) + point(at, s.mean + s.sd) + "\n";
  }
  return rows + point(at - 0.07, s.median) + point(at + 0.07, s.median);
}

Summary differences_summary(const std::vector<double>& d) {
  const auto n = static_cast<double>(d.size());
  double mean = 0.0, squares = 0.0;
  for (double v : d) mean += v / n;
  for (double v : d) squares += (v - mean) * (v - mean);
  std::vector<double> sorted(d);
  std::sort(sorted.begin(), sorted.end());
  const std::size_t h = sorted.size() / 2;
  const double median = sorted.size() % 2 == 1 ? sorted[h] : 0.5 * (sorted[h - 1] + sorted[h]);
  return {mean, d.size() > 1 ? std::sqrt(squares / (n - 1.0)) : 0.0, median};
}

// A column of values: every value as a point (spread sideways by gnuplot's
// jitter), or its half violin when there are too many to see one by one.
void add_column(Drawing& d, Plot& p, std::string_view what, double column, double side,
                std::span<const double> values, const char* colour, std::string_view axes) {
  const std::string colour_spec = std::string(" lc rgb '") + colour + "'";
  if (values.size() <= most_points) {
    p.add(d.block(std::string(what) + ": column, value", points_rows(column, values)),
          "using 1:2 " + std::string(axes) + "with points pt 7 ps " + number(point_size(values.size())) + colour_spec +
              " notitle");
    return;
  }
  const Density shape = density_of(values);
  if (shape.at.empty()) {
    p.add(d.block(std::string(what) + ": column, value", points_rows(column, values.first(1))),
          "using 1:2 " + std::string(axes) + "with points pt 7" + colour_spec + " notitle");
    return;
  }
  p.add(d.block(std::string(what) + ": half violin outline (x, value)", upright_violin_rows(column, side, shape)),
        "using 1:2 " + std::string(axes) + "with filledcurves closed fs transparent solid 0.5 noborder" + colour_spec +
            " notitle");
}

std::string sample_label(const FigureSample& s, std::size_t length) {
  return shortened(s.label, length) + " (n = " + std::to_string(s.values.size()) + ")";
}

std::string samples_panel(Drawing& d, const Figure& f, const Layout& layout) {
  const bool lines = f.paired && f.x.values.size() <= most_pair_lines;
  const bool differences = f.paired && !lines;
  Range values;
  for (double v : f.x.values) values.add(v);
  for (double v : f.y.values) values.add(v);
  const Range y = values.padded(0.06);
  const double gap = 0.012 * (y.high - y.low);
  // Room for the value axis's numbers and name (and the differences' on the right): about 0.8 inch.
  const double side = std::clamp(0.8 * font_points(f) / 8.0 / f.width, 0.05, 0.25);
  const double below = measures_height(f);
  std::string s = panel_frame(below, 0.92 - below, {side, differences ? 1.0 - side : 0.97});
  s += "unset key\nunset label\nunset arrow\nunset grid\nset border 3\nset xtics nomirror scale 0\nset ytics nomirror\n";
  s += "set xrange [0.45:" + std::string(differences ? "3.6" : "2.55") + "]\nset yrange [" + number(y.low) + ":" +
       number(y.high) + "]\nset ylabel 'value'\nunset xlabel\n";
  s += "set xtics (" + gnuplot_tic_text(sample_label(f.x, layout.label_length)) + " 1, " +
       gnuplot_tic_text(sample_label(f.y, layout.label_length)) + " 2" +
       (differences ? ", " + gnuplot_tic_text("differences (x − y)") + " 3" : std::string()) + ")\n";
  s += lines ? "unset jitter\n" : "set jitter overlap 0.5 spread 0.4 wrap 8\n";
  Plot p;
  if (lines) {
    std::string rows;
    for (std::size_t i = 0; i < f.x.values.size() && i < f.y.values.size(); ++i) {
      rows += point(1.0, f.x.values[i]) + point(2.0, f.y.values[i]) + "\n";
    }
    p.add(d.block("pairs: a line from x to y each", rows), "using 1:2 with lines lw 0.6 lc rgb 'gray60' notitle");
  }
  add_column(d, p, "sample 1", 1.0, 1.0, f.x.values, sample1_colour, "");
  add_column(d, p, "sample 2", 2.0, -1.0, f.y.values, sample2_colour, "");
  p.add(d.block("mean ± SD of each sample, broken at the mean; median ticks",
                summary_rows(1.0 - summary_offset, {f.x.mean, f.x.sd, f.x.median}, gap) + "\n" +
                    summary_rows(2.0 + summary_offset, {f.y.mean, f.y.sd, f.y.median}, gap)),
        "using 1:2 with lines lw 2 lc rgb 'black' notitle");
  if (differences) {
    std::vector<double> diff(f.x.values.size());
    for (std::size_t i = 0; i < diff.size(); ++i) diff[i] = f.x.values[i] - f.y.values[i];
    Range dr;
    for (double v : diff) dr.add(v);
    const Range y2 = dr.padded(0.06);
    s += "set y2range [" + number(y2.low) + ":" + number(y2.high) + "]\nset y2tics nomirror\nset y2label 'x − y'\n";
    add_column(d, p, "differences", 3.0, 1.0, diff, "gray40", "axes x1y2 ");
    p.add(d.block("differences: mean ± SD, median tick",
                  summary_rows(3.0 + summary_offset, differences_summary(diff), 0.012 * (y2.high - y2.low))),
          "using 1:2 axes x1y2 with lines lw 2 lc rgb 'black' notitle");
  } else {
    s += "unset y2tics\nunset y2label\n";
  }
  return s + p.command() + "unset y2tics\nunset y2label\nset border 31\n";
}

// ---- The measures -------------------------------------------------------

// The measure's name in words and code ("difference of means (d_AVE)"), or
// in code alone.
std::string measure_label(const FigureMeasure& m, bool words) {
  return words ? std::string(m.words) + " (" + std::string(m.name) + ")" : std::string(m.name);
}

bool finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

// The text beside a measure: its estimate and BCa bounds, then its t bounds.
std::pair<std::string, std::string> measure_numbers(const FigureMeasure& m) {
  if (!std::isfinite(m.estimate)) return {"cannot be drawn: no finite estimate", ""};
  if (!m.in_data_units) {
    const std::string bca = finite(m.bca_lower, m.bca_upper) ? interval_text(m.estimate, m.bca_lower, m.bca_upper) + " BCa"
                                                             : figure_number(m.estimate, 3);
    return {bca, "(no units: not drawn)"};
  }
  const std::string bca = finite(m.bca_lower, m.bca_upper)
                              ? interval_text(m.estimate, m.bca_lower, m.bca_upper) + " BCa"
                              : figure_number(m.estimate, 3) + ", BCa interval not defined";
  const std::string t = finite(m.t_lower, m.t_upper) ? "t " + bounds_text(m.t_lower, m.t_upper)
                                                     : "t interval not defined";
  return {bca, t};
}

// The range the measures share: the middle 99% of each one's replicates, its
// estimate and bounds, and zero when it is near.
Range effect_range(const Figure& f) {
  Range r;
  for (const FigureMeasure& m : f.measures) {
    if (!m.in_data_units) continue;
    std::vector<double> sorted;
    for (double v : m.replicates) {
      if (std::isfinite(v)) sorted.push_back(v);
    }
    std::sort(sorted.begin(), sorted.end());
    if (!sorted.empty()) {
      r.add(sorted[static_cast<std::size_t>(0.005 * static_cast<double>(sorted.size() - 1))]);
      r.add(sorted[static_cast<std::size_t>(0.995 * static_cast<double>(sorted.size() - 1))]);
    }
    for (double v : {m.estimate, m.t_lower, m.t_upper, m.bca_lower, m.bca_upper}) r.add(v);
  }
  if (!r.empty() && !r.holds(0.0) && std::fabs(r.low > 0.0 ? r.low : r.high) <= 0.5 * (r.high - r.low)) r.add(0.0);
  return r;
}

// A step between tick marks of 1, 2 or 5 times a power of ten that marks
// `r` at most `ticks` times.
double tick_step(const Range& r, int ticks) {
  const double width = r.high - r.low;
  // Below the smallest normal double a power of ten rounds to 0 or loses its
  // digits: such a range has no marks in between.
  if (!(width / ticks >= std::numeric_limits<double>::min()) || !std::isfinite(width)) return 1.0;
  double step = std::pow(10.0, std::floor(std::log10(width / ticks)));
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (width / (step * factor) <= ticks) return step * factor;
  }
  return step * 10.0;
}

// An interval as a bar at height y, or a vertical tick where it has no width.
std::string bar_rows(double lower, double upper, double y, double tick) {
  if (lower == upper) return point(lower, y - tick) + point(lower, y + tick);
  return point(lower, y) + point(upper, y);
}

std::string measures_panel(Drawing& d, const Figure& f, const Layout& layout) {
  const auto rows = static_cast<double>(f.measures.size());
  const Range x = effect_range(f).padded(0.06);
  std::string s = panel_frame(0.0, measures_height(f), layout.margins);
  s += "unset jitter\nunset key\nunset label\nunset arrow\nset border 1\nset ytics nomirror scale 0 (";
  for (std::size_t k = 0; k < f.measures.size(); ++k) {
    s += (k == 0 ? "" : ", ") + gnuplot_tic_text(measure_label(f.measures[k], layout.words)) + " " +
         number(rows - static_cast<double>(k));
  }
  s += ")\nset xtics nomirror scale 1 " + number(tick_step(x, layout.ticks)) + "\nset grid xtics lc rgb 'gray92'\n";
  s += "set xrange [" + number(x.low) + ":" + number(x.high) + "]\nset yrange [0.45:" + number(rows + 0.85) + "]\n";
  s += "unset ylabel\nset xlabel " +
       gnuplot_text("difference " + shortened(f.x.label, layout.label_length) + " − " +
                    shortened(f.y.label, layout.label_length) + ", in the data's units") +
       "\n";
  if (x.holds(0.0)) s += "set arrow from 0, graph 0 to 0, graph 1 nohead dashtype 2 lc rgb 'gray50'\n";
  Plot p;
  for (std::size_t k = 0; k < f.measures.size(); ++k) {
    const FigureMeasure& e = f.measures[k];
    const double y = rows - static_cast<double>(k);
    const auto [bca_text, t_text] = measure_numbers(e);
    s += "set label " + gnuplot_text(bca_text) + " at graph 1.02, first " + number(y + 0.14) + " left\n";
    if (!t_text.empty()) {
      s += "set label " + gnuplot_text(t_text) + " at graph 1.02, first " + number(y - 0.24) + " left tc rgb '" +
           t_colour + "'\n";
    }
    if (!std::isfinite(e.estimate) || !e.in_data_units) continue;
    const std::string name(e.name);
    if (const Density shape = density_of(e.replicates); !shape.at.empty()) {
      p.add(d.block(name + ": replicates' half violin outline (x, y)", lying_violin_rows(y, shape)),
            "using 1:2 with filledcurves closed fs transparent solid 0.35 noborder lc rgb 'gray55' notitle");
    }
    if (finite(e.t_lower, e.t_upper)) {
      p.add(d.block(name + ": t interval", bar_rows(e.t_lower, e.t_upper, y - 0.16, 0.08)),
            std::string("using 1:2 with lines lw 1.5 lc rgb '") + t_colour + "' notitle");
    }
    if (finite(e.bca_lower, e.bca_upper)) {
      p.add(d.block(name + ": BCa interval", bar_rows(e.bca_lower, e.bca_upper, y, 0.12)),
            std::string("using 1:2 with lines lw 5 lc rgb '") + bca_colour + "' notitle");
    }
    p.add(d.block(name + ": estimate", point(e.estimate, y)), "using 1:2 with points pt 7 ps 0.8 lc rgb 'black' notitle");
  }
  if (p.elements.empty()) p.add(d.block("nothing to draw", point(0.0, 0.0)), "using 1:2 with dots lc rgb '#ffffff' notitle");
  return s + p.command();
}

// The title with the samples named `x` and `y`.
std::string title_of(const Figure& f, std::string_view x, std::string_view y) {
  return std::string(x) + " − " + std::string(y) + " (" + (f.paired ? "paired" : "unpaired") +
         "): " + std::to_string(f.level_percent) + "% intervals, B = " + std::to_string(f.replications);
}

// The layout of `f` on its canvas: the measures named in words where names
// and numbers leave the plot 30% of the canvas (code alone otherwise), the
// labels as long as the title has room for (from 8 to 28 characters), a
// tick about every 0.6 inch.
Layout layout_of(const Figure& f) {
  const double inch = character_inches(f), across = f.width / inch;
  std::size_t words = 0, codes = 0, numbers = 0;
  for (const FigureMeasure& m : f.measures) {
    words = std::max(words, character_count(measure_label(m, true)));
    codes = std::max(codes, character_count(measure_label(m, false)));
    const auto [bca, t] = measure_numbers(m);
    numbers = std::max({numbers, character_count(bca), character_count(t)});
  }
  const bool in_words = static_cast<double>(words + numbers) <= 0.7 * across;
  const double left = (static_cast<double>(in_words ? words : codes) * inch + 0.25) / f.width;
  const double right = (static_cast<double>(numbers) * inch + 0.2) / f.width;
  const Margins margins{std::clamp(left, 0.08, 0.45), 1.0 - std::clamp(right, 0.08, 0.45)};
  const double fixed = static_cast<double>(character_count(title_of(f, "", "")));
  const double room = std::floor((across - 2.0 - fixed) / 2.0);
  const auto length = static_cast<std::size_t>(std::clamp(room, 8.0, static_cast<double>(longest_label)));
  const int ticks = std::clamp(static_cast<int>((margins.right - margins.left) * f.width / 0.6), 2, 6);
  return {margins, in_words, length, ticks};
}

}  // namespace

// The script's commands and the data they draw, made together so that the
// commands' block numbers are the data's.
Composition compose_figure(const Figure& f) {
  const Layout layout = layout_of(f);
  Drawing d;
  d.data = "# " + comment_text(figure_title(f)) + "\n";
  std::string s = "set multiplot title " + gnuplot_text(figure_title(f)) + "\n";
  s += samples_panel(d, f, layout);
  s += measures_panel(d, f, layout);
  return {s + "unset multiplot\n", d.data};
}

std::string figure_title(const Figure& f) {
  const std::size_t length = layout_of(f).label_length;
  return title_of(f, shortened(f.x.label, length), shortened(f.y.label, length));
}

std::string figure_data(const Figure& f) { return compose_figure(f).data; }

std::string figure_script(const Figure& f, const Composition& c, std::string_view output, std::string_view data) {
  std::string s = "# The figure of a diffboot run. Restyle it here and draw it again with: gnuplot " +
                  gnuplot_text(comment_text(f.file + ".gp")) + "\n";
  s += "set encoding utf8\n" + terminal_line(f) + "set output " + file_name_expression(output) + "\n";
  s += "data = " + file_name_expression(data) + "\n";
  s += "set style fill transparent solid 0.45\n";
  return s + c.commands + "unset output\n";
}

std::string figure_script(const Figure& f) { return figure_script(f, compose_figure(f), f.file, f.file + ".dat"); }

}  // namespace diffboot::plot
