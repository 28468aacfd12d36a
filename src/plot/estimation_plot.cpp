// The estimation plot's script and data: a panel of the samples above a
// panel of the measures in the data's units and one for each unitless
// measure's scale, laid out in inches for the canvas so that no text leaves it or
// meets another, every mark a plain shape sized in points, every number
// that reaches gnuplot finite.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "plot/axis_ticks.h"
#include "plot/density.h"
#include "plot/effect_scale.h"
#include "plot/figure.h"
#include "plot/figure_text.h"
#include "plot/gnuplot_text.h"
#include "plot/swarm.h"

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
constexpr double em_width = 0.72;          // a wide average character's width, in ems of the font
constexpr double line_ems = 1.3;           // a line of text's height, in ems
constexpr double row_lines = 2.5;          // an effect row's least height, in lines (its two numbers and a gap)
constexpr double bottom_lines = 3.2;       // an effect panel's tick labels and axis name, in lines
constexpr double half_violin = 0.38;       // a half violin's greatest width, in columns or rows
constexpr double bca_points = 4.5;         // the BCa bar's thickness at 8-point text
constexpr double smallest_font = 3.0, largest_font = 14.0;  // points

constexpr double largest = std::numeric_limits<double>::max();

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
    return {std::clamp(low - pad, -largest / 2, largest / 2), std::clamp(high + pad, -largest / 2, largest / 2)};
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

bool finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

// ---- What is drawn ------------------------------------------------------

// An effect panel, an axis of its own: the measures in the data's units, or
// those of one unitless scale (g, delta, lift each on its own axis, so that
// percent and standard deviations never share one).
struct EffectPanel {
  const EffectScale* scale;  // nullptr: the data's units
  std::vector<const FigureMeasure*> rows;
  bool unitless() const { return scale != nullptr; }
};

// The panel of the data's units first, then one per unitless scale in the
// order its first measure comes.
std::vector<EffectPanel> effect_panels(const Figure& f) {
  std::vector<EffectPanel> panels{{nullptr, {}}};
  for (const FigureMeasure& m : f.measures) {
    const EffectScale* s = unitless_scale(m.name);
    auto at = std::find_if(panels.begin(), panels.end(), [&](const EffectPanel& p) { return p.scale == s; });
    if (at == panels.end()) at = panels.insert(panels.end(), EffectPanel{s, {}});
    at->rows.push_back(&m);
  }
  std::erase_if(panels, [](const EffectPanel& p) { return p.rows.empty(); });
  return panels;
}

// A measure's factor and suffix: 1 and "" in the data's units.
double factor_of(const FigureMeasure& m) {
  const EffectScale* s = unitless_scale(m.name);
  return s != nullptr ? s->factor : 1.0;
}
std::string_view suffix_of(const FigureMeasure& m) {
  const EffectScale* s = unitless_scale(m.name);
  return s != nullptr ? s->suffix : std::string_view();
}

// The measure's name in words and code ("difference of means (d_AVE)"), or
// in code alone.
std::string measure_label(const FigureMeasure& m, bool words) {
  return words ? std::string(m.words) + " (" + std::string(m.name) + ")" : std::string(m.name);
}

// The text beside a measure: its estimate and BCa bounds, then its t bounds.
std::pair<std::string, std::string> measure_numbers(const FigureMeasure& m) {
  if (!std::isfinite(m.estimate)) return {"cannot be drawn: no finite estimate", ""};
  const double k = factor_of(m);
  const std::string_view suffix = suffix_of(m);
  const std::string bca = finite(m.bca_lower, m.bca_upper)
                              ? interval_text(k * m.estimate, k * m.bca_lower, k * m.bca_upper, suffix) + " BCa"
                              : figure_number(k * m.estimate, 3) + std::string(suffix) + ", BCa interval not defined";
  const std::string t = finite(m.t_lower, m.t_upper) ? "t " + bounds_text(k * m.t_lower, k * m.t_upper, suffix)
                                                     : "t interval not defined";
  return {bca, t};
}

// Whether the run shows its differences in a third column (a paired run
// with too many pairs for a line each).
bool differences_column(const Figure& f) { return f.paired && f.x.values.size() > most_pair_lines; }
bool pair_lines(const Figure& f) { return f.paired && !differences_column(f); }

// ---- The canvas and the layout ------------------------------------------

// An axis: its range as drawn and its ticks.
struct Axis {
  double low, high;
  bool log_scale;
  std::vector<Tick> ticks;
  // Where `v` lies along the axis, from 0 (low) to 1 (high).
  double at(double v) const {
    if (!log_scale) return (v - low) / (high - low);
    return (std::log10(std::max(v, low)) - std::log10(low)) / (std::log10(high) - std::log10(low));
  }
};

// A plot area in inches from the canvas's lower left corner.
struct Area {
  double left, right, bottom, top;
  double width() const { return right - left; }
  double height() const { return top - bottom; }
};

struct Layout {
  double width, height, font;  // inches, inches, points
  bool words;                  // the measures named in words and code
  std::size_t label_length;    // characters of a sample's label
  Area samples;
  std::vector<Area> effects;   // one per effect panel
  double legend;               // inches at the top of the samples' area that the legend keeps free
  bool legend_in_one_row;
  double ch() const { return em_width * font / 72.0; }
  double line() const { return line_ems * font / 72.0; }
  double sx(double inches) const { return inches / width; }
  double sy(double inches) const { return inches / height; }
};

// The width of `text` in average characters (em_width ems each), from a
// sans-serif font's widths: digits and most lower-case letters narrower
// than the average, capitals, m, w, % and the minus sign (U+2212) wider;
// never less than 0.6 em a character (0.84 a minus sign), as wide as text
// in a font of wider digits and punctuation runs.
double text_width(std::string_view text) {
  double ems = 0.0, plain = 0.0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      if ((c & 0xC0) == 0x80) continue;  // a continuation byte
      const bool minus = text.substr(i, 3) == "\u2212";
      ems += minus ? 0.84 : 0.8;
      plain += minus ? 0.84 : 0.6;
      continue;
    }
    plain += 0.6;
    if (c >= '0' && c <= '9') {
      ems += 0.64;
    } else if (c >= 'a' && c <= 'z') {
      ems += std::string_view("ijlft").find(static_cast<char>(c)) != std::string_view::npos ? 0.4
             : c == 'm' || c == 'w'                                                      ? 0.98
                                                                                         : 0.63;
    } else if (c >= 'A' && c <= 'Z') {
      ems += c == 'I' ? 0.3 : c == 'M' || c == 'W' ? 1.0 : 0.78;
    } else {
      ems += std::string_view(" .,:;'!|").find(static_cast<char>(c)) != std::string_view::npos ? 0.34
             : std::string_view("()[]-").find(static_cast<char>(c)) != std::string_view::npos ? 0.4
             : c == '%'                                                                      ? 0.96
                                                                                             : 0.84;
    }
  }
  return std::max(ems, plain) / em_width;
}

// A level in percent as written: "95", "99.9".
std::string percent_text(double percent) {
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, percent, std::chars_format::fixed).ptr};
}

// The title with the samples named `x` and `y`.
std::string title_of(const Figure& f, std::string_view x, std::string_view y) {
  return std::string(x) + " − " + std::string(y) + " (" + (f.paired ? "paired" : "unpaired") +
         "): " + percent_text(f.level_percent) + "% intervals, B = " + std::to_string(f.replications);
}

std::string sample_label(const FigureSample& s, std::size_t length) {
  return shortened(s.label, length) + " (n = " + std::to_string(s.values.size()) + ")";
}

constexpr const char* legend_entries[] = {"mean ± SD", "median", "BCa", "t"};

// The legend's width in characters: its entries in one row, or in two.
double legend_characters(bool one_row) {
  const auto entry = [](const char* text) { return 6.0 + static_cast<double>(character_count(text)); };
  if (one_row) return entry(legend_entries[0]) + entry(legend_entries[1]) + entry(legend_entries[2]) + entry(legend_entries[3]);
  return std::max(entry(legend_entries[0]), entry(legend_entries[1])) +
         std::max(entry(legend_entries[2]), entry(legend_entries[3]));
}

// The layout of `f` on its canvas. The font is 8 points on 7 × 5 inches and
// in proportion (6 to 14 points), smaller where the text would not fit;
// from the top: the title, the samples' panel (the legend in its top left
// corner), each effect panel with rows of at least `row_lines` lines.
Layout layout_of(const Figure& f) {
  const std::vector<EffectPanel> panels = effect_panels(f);
  const double w = f.width, h = f.height;
  std::size_t rows = 0;
  double words = 0.0, codes = 0.0, numbers = 0.0;
  for (const FigureMeasure& m : f.measures) {
    words = std::max(words, text_width(measure_label(m, true)));
    codes = std::max(codes, text_width(measure_label(m, false)));
    const auto [bca, t] = measure_numbers(m);
    numbers = std::max({numbers, text_width(bca), text_width(t)});
  }
  double lines = 2.2 + 1.6 + 0.3 + 6.5;  // title, sample labels, bottom, least samples' panel
  for (const EffectPanel& p : panels) {
    lines += 0.7 + (static_cast<double>(p.rows.size()) + 0.4) * row_lines + bottom_lines;
    rows += p.rows.size();
  }
  const double proportional = std::clamp(8.0 * std::min(w / 7.0, h / 5.0), 6.0, largest_font);
  const double by_height = h * 72.0 / (lines * line_ems);
  const double least_plot = std::max(1.0, 0.3 * w);
  const double by_width = (w - least_plot) * 72.0 / ((codes + numbers + 5.0) * em_width);
  Layout l{w, h, std::max(smallest_font, std::min({proportional, by_height, by_width})), false, 0, {}, {}, 0.0, true};
  const double ch = l.ch(), line = l.line();
  l.words = (words + numbers + 5.0) * ch <= w - std::max(26.0 * ch, 0.3 * w);
  // The effect panels from the bottom up, their rows higher where there is room.
  const double spare = h - lines * line;
  const double row = row_lines * line + std::clamp(0.4 * spare / std::max<double>(static_cast<double>(rows), 1.0), 0.0, 1.5 * line);
  const double left = (l.words ? words : codes) * ch + 2.5 * ch;
  const double right = w - numbers * ch - 2.5 * ch;
  double y = 0.3 * line;
  l.effects.resize(panels.size());
  for (std::size_t k = panels.size(); k-- > 0;) {
    const double bottom = y + bottom_lines * line;
    y = bottom + (static_cast<double>(panels[k].rows.size()) + 0.4) * row;
    l.effects[k] = {left, right, bottom, y};
    y += 0.7 * line;
  }
  const double samples_bottom = y + 1.6 * line;
  const double samples_top = h - 2.2 * line;
  // The data axis's labels: up to 8 characters of ticks, and its name.
  const double axis_room = 0.4 * line + 1.3 * line + 9.0 * ch;
  l.samples = {axis_room, differences_column(f) ? w - axis_room : w - 2.0 * ch, samples_bottom, samples_top};
  l.legend_in_one_row = legend_characters(true) * ch <= l.samples.width() - 2.0 * ch;
  l.legend = (l.legend_in_one_row ? 1.0 : 2.0) * line + 0.5 * line;
  const double fixed = static_cast<double>(character_count(title_of(f, "", "")));
  const double title_room = std::floor((w / ch - 2.0 - fixed) / 2.0);
  const double columns = differences_column(f) ? 3.0 : 2.0;
  const double column_room = std::floor(l.samples.width() / columns / ch - 2.0 - 11.0);
  l.label_length = static_cast<std::size_t>(std::clamp(std::min(title_room, column_room), 3.0, static_cast<double>(longest_label)));
  return l;
}

// ---- Gnuplot's frame ----------------------------------------------------

std::string terminal_line(const Figure& f, const Layout& l) {
  // Text and lines in points, lines thinner with the font.
  const std::string font = " noenhanced font 'sans," + number(std::round(l.font * 10) / 10) + "'";
  // The cairo terminals draw a font a third larger than its size in points
  // (they reckon text at 96 an inch): scaled by 3/4, its em is the point
  // size the layout reckons with, as in the svg.
  const double lines = l.font / 8.0;
  switch (f.format) {
    case FigureFormat::svg:  // a unit is a point
      return "set terminal svg size " + number(std::round(f.width * 72)) + "," + number(std::round(f.height * 72)) +
             font + " linewidth " + number(lines) + " background '#ffffff'\n";
    case FigureFormat::png:  // 200 pixels an inch
      return "set terminal pngcairo size " + number(std::round(f.width * png_dots_per_inch)) + "," +
             number(std::round(f.height * png_dots_per_inch)) + font + " fontscale " +
             number(0.75 * png_dots_per_inch / 72.0) + " linewidth " + number(lines * png_dots_per_inch / 72.0) +
             " background '#ffffff'\n";
    case FigureFormat::pdf:  // a cairo line width of 1 is half a point
      return "set terminal pdfcairo size " + number(f.width) + "in," + number(f.height) + "in" + font +
             " fontscale 0.75 linewidth " + number(2.0 * lines) + "\n";
  }
  return {};
}

std::string panel_frame(const Layout& l, const Area& a) {
  return "set lmargin at screen " + number(l.sx(a.left)) + "\nset rmargin at screen " + number(l.sx(a.right)) +
         "\nset bmargin at screen " + number(l.sy(a.bottom)) + "\nset tmargin at screen " + number(l.sy(a.top)) + "\n";
}

std::string tics_list(const std::vector<Tick>& ticks) {
  std::string s = "(";
  // Appended piece by piece: GCC 12 at -O3 warns (-Wstringop-overflow) on
  // "literal" + std::string&& here.
  for (std::size_t i = 0; i < ticks.size(); ++i) {
    s.append(i == 0 ? "" : ", ").append(gnuplot_tic_text(ticks[i].label)).append(" ").append(number(ticks[i].at));
  }
  return s + ")";
}

// A disc of `diameter` points at (x, y) as a row of the data: gnuplot's
// circles take their radius in units of the x axis, `per_unit` inches each.
std::string disc_row(double x, double y, double diameter, double per_unit) {
  return number(x) + " " + number(y) + " " + number(diameter / 144.0 / per_unit) + "\n";
}

std::string discs(const char* colour, std::string_view axes = "") {
  return "using 1:2:3 " + std::string(axes) + "with circles fs solid 1.0 noborder lc rgb '" + colour + "' notitle";
}

// ---- The samples --------------------------------------------------------

// A point's diameter in points: smaller for more values, in proportion to the font.
double point_diameter(std::size_t n, const Layout& l) {
  return (n <= 100 ? 4.2 : n <= 500 ? 3.0 : 2.2) * l.font / 8.0;
}

// The data axis: the values and each mean ± SD, padded, with room above
// for the legend; on a log axis only positive values count.
Axis data_axis(const Figure& f, const Layout& l) {
  Range r;
  for (const FigureSample* s : {&f.x, &f.y}) {
    for (double v : s->values) r.add(f.log_scale ? std::log10(v) : v);
    const double top = s->mean + s->sd, bottom = s->mean - s->sd;
    r.add(f.log_scale ? std::log10(top) : top);
    if (!f.log_scale || bottom > 0.0) r.add(f.log_scale ? std::log10(bottom) : bottom);
  }
  Range p = r.padded(0.05);
  const double plot = l.samples.height(), free = std::min(l.legend, 0.5 * plot);
  p.high += (p.high - p.low) * free / (plot - free);
  Axis a{p.low, p.high, f.log_scale, {}};
  if (f.log_scale) a.low = std::pow(10.0, std::max(p.low, -300.0)), a.high = std::pow(10.0, std::min(p.high, 300.0));
  a.ticks = axis_ticks(a.low, a.high, a.log_scale, plot, 1.8 * l.line());
  return a;
}

// Where each value of a column stands: its column, spread sideways in a
// swarm within `spread` columns on either side where points would meet.
std::string swarm_rows(double column, std::span<const double> values, const Axis& y, double diameter, double per_unit,
                       double plot_height, double spread) {
  std::vector<double> heights(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) heights[i] = y.at(values[i]) * plot_height;
  const double d = diameter / 72.0;  // inches
  const int per_side = static_cast<int>(std::floor(spread * per_unit / d));
  const std::vector<double> offsets = swarm_offsets(heights, d, per_side);
  std::string rows;
  for (std::size_t i = 0; i < values.size(); ++i) rows += disc_row(column + offsets[i] / per_unit, values[i], diameter, per_unit);
  return rows;
}

// A closed outline of `d` standing on the line x = column (a column's half
// violin), towards `side` (+1 right, -1 left); on a log axis `d` is of the
// values' logarithms.
std::string upright_violin_rows(double column, double side, const Density& d, bool log_scale) {
  const auto value = [&](double v) { return log_scale ? std::pow(10.0, v) : v; };
  std::string rows;
  for (std::size_t i = 0; i < d.at.size(); ++i) rows += point(column + side * half_violin * d.height[i], value(d.at[i]));
  return rows + point(column, value(d.at.back())) + point(column, value(d.at.front()));
}

// A closed outline of `d` lying on the line y = row (a measure's half violin).
std::string lying_violin_rows(double row, const Density& d, double factor) {
  std::string rows;
  for (std::size_t i = 0; i < d.at.size(); ++i) rows += point(factor * d.at[i], row + half_violin * 1.6 * d.height[i]);
  return rows + point(factor * d.at.back(), row) + point(factor * d.at.front(), row);
}

struct Summary {
  double mean, sd, median;
};

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

// A sample's marks at `at`: the mean ± SD as a line (on a log axis from the
// axis's foot where mean − SD is not positive), the mean as a disc on it,
// the median as a crossbar.
void add_summary(Drawing& d, Plot& p, std::string_view what, double at, const Summary& s, const Axis& y,
                 double per_unit, double diameter, std::string_view axes) {
  const double lower = y.log_scale ? std::max(s.mean - s.sd, y.low) : s.mean - s.sd;
  p.add(d.block(std::string(what) + ": mean ± SD line; median crossbar",
                point(at, lower) + point(at, s.mean + s.sd) + "\n" + point(at - 0.09, s.median) + point(at + 0.09, s.median)),
        "using 1:2 " + std::string(axes) + "with lines lw 1.5 lc rgb 'black' notitle");
  p.add(d.block(std::string(what) + ": mean (x, y, radius)", disc_row(at, s.mean, diameter, per_unit)),
        "using 1:2:3 " + std::string(axes) + "with circles fs solid 1.0 noborder lc rgb 'black' notitle");
}

// A column of values: every value as a disc, or its half violin when there
// are too many to see one by one.
void add_column(Drawing& d, Plot& p, std::string_view what, double column, double side, std::span<const double> values,
                const char* colour, const Axis& y, const Layout& l, double per_unit, double spread, bool swarm,
                std::string_view axes) {
  const double diameter = point_diameter(values.size(), l);
  if (values.size() <= most_points) {
    std::string rows;
    if (swarm) rows = swarm_rows(column, values, y, diameter, per_unit, l.samples.height(), spread);
    else for (double v : values) rows += disc_row(column, v, diameter, per_unit);
    p.add(d.block(std::string(what) + ": column, value, radius", rows), discs(colour, axes));
    return;
  }
  std::vector<double> logs;
  if (y.log_scale) for (double v : values) logs.push_back(std::log10(v));
  const Density shape = density_of(y.log_scale ? std::span<const double>(logs) : values);
  if (shape.at.empty()) {
    p.add(d.block(std::string(what) + ": column, value, radius", disc_row(column, values.front(), diameter, per_unit)),
          discs(colour, axes));
    return;
  }
  p.add(d.block(std::string(what) + ": half violin outline (x, value)", upright_violin_rows(column, side, shape, y.log_scale)),
        "using 1:2 " + std::string(axes) + "with filledcurves closed fs transparent solid 0.5 noborder lc rgb '" +
            colour + "' notitle");
}

// The data axis's name: the values' name, unit and scale.
std::string data_axis_name(const Figure& f) {
  std::string s = f.value_name;
  if (!f.unit.empty() || f.log_scale) {
    s += " (" + f.unit + (f.unit.empty() || !f.log_scale ? "" : ", ") + (f.log_scale ? "log scale" : "") + ")";
  }
  return s;
}

// The legend in the samples' top left corner, which the data axis keeps
// free: a sample of each mark and its name.
std::string legend(const Layout& l) {
  const double ch = l.ch(), line = l.line();
  const double x0 = l.samples.left + ch, top = l.samples.top - 0.25 * line - 0.5 * line;
  const auto width = [&](const char* text) { return (6.0 + static_cast<double>(character_count(text))) * ch; };
  std::string s;
  double column_x = x0;
  for (std::size_t k = 0; k < 4; ++k) {
    const std::size_t row = l.legend_in_one_row ? 0 : k % 2;
    if (k > 0 && (l.legend_in_one_row || row == 0)) {
      column_x += l.legend_in_one_row ? width(legend_entries[k - 1])
                                      : std::max(width(legend_entries[k - 2]), width(legend_entries[k - 1]));
    }
    const double y = top - static_cast<double>(row) * line;
    const double a = column_x, b = column_x + 2.2 * ch, mid = 0.5 * (a + b);
    const auto arrow = [&](double x1, double y1, double x2, double y2, const std::string& style) {
      return "set arrow from screen " + number(l.sx(x1)) + ", " + number(l.sy(y1)) + " to screen " + number(l.sx(x2)) +
             ", " + number(l.sy(y2)) + " nohead front " + style + "\n";
    };
    switch (k) {
      case 0:
        s += arrow(mid, y - 0.4 * line, mid, y + 0.4 * line, "lw 1.5 lc rgb 'black'");
        s += "set object circle at screen " + number(l.sx(mid)) + ", " + number(l.sy(y)) + " size screen " +
             number(l.sx(point_diameter(10, l) / 144.0)) + " front fc rgb 'black' fs solid 1.0 noborder\n";
        break;
      case 1: s += arrow(a + 0.3 * ch, y, b - 0.3 * ch, y, "lw 1.5 lc rgb 'black'"); break;
      case 2: {
        const double half = bca_points * l.font / 8.0 / 144.0;
        s += "set object rectangle from screen " + number(l.sx(a)) + ", " + number(l.sy(y - half)) + " to screen " +
             number(l.sx(b)) + ", " + number(l.sy(y + half)) + " front fc rgb '" + bca_colour + "' fs solid 1.0 noborder\n";
        break;
      }
      default: s += arrow(a, y, b, y, std::string("lw 1.5 lc rgb '") + t_colour + "'"); break;
    }
    s += "set label " + gnuplot_text(legend_entries[k]) + " at screen " + number(l.sx(b + ch)) + ", " + number(l.sy(y)) +
         " left front\n";
  }
  return s;
}

std::string samples_panel(Drawing& d, const Figure& f, const Layout& l) {
  const bool lines = pair_lines(f), differences = differences_column(f);
  const Axis y = data_axis(f, l);
  // Two columns face each other with their marks outside; three stand in a
  // row, each with its marks on its left and its shape on its right.
  const double x_low = 0.45, x_high = differences ? 3.5 : 2.55;
  const double per_unit = l.samples.width() / (x_high - x_low);
  const double spread = differences ? 0.15 : 0.2, offset = differences ? 0.28 : 0.34;
  std::string s = panel_frame(l, l.samples);
  s += "unset key\nunset label\nunset arrow\nunset object\nunset grid\nset border 3\nset xtics nomirror scale 0\n";
  s += "set xrange [" + number(x_low) + ":" + number(x_high) + "]\n";
  s += y.log_scale ? "set logscale y 10\n" : "unset logscale y\n";
  s += "set yrange [" + number(y.low) + ":" + number(y.high) + "]\nset ytics nomirror " + tics_list(y.ticks) + "\n";
  s += "set ylabel " + gnuplot_text(shortened(data_axis_name(f), static_cast<std::size_t>(l.samples.height() / l.ch()))) +
       "\nunset xlabel\n";
  s += "set xtics (" + gnuplot_tic_text(sample_label(f.x, l.label_length)) + " 1, " +
       gnuplot_tic_text(sample_label(f.y, l.label_length)) + " 2" +
       (differences ? ", " + gnuplot_tic_text(shortened("differences (x − y)", l.label_length + 11)) + " 3" : std::string()) + ")\n";
  s += legend(l);
  Plot p;
  if (lines) {
    std::string rows;
    for (std::size_t i = 0; i < f.x.values.size() && i < f.y.values.size(); ++i) {
      rows += point(1.0, f.x.values[i]) + point(2.0, f.y.values[i]) + "\n";
    }
    p.add(d.block("pairs: a line from x to y each", rows), "using 1:2 with lines lw 0.6 lc rgb 'gray60' notitle");
  }
  add_column(d, p, "sample 1", 1.0, 1.0, f.x.values, sample1_colour, y, l, per_unit, spread, !lines, "");
  add_column(d, p, "sample 2", 2.0, differences ? 1.0 : -1.0, f.y.values, sample2_colour, y, l, per_unit, spread, !lines, "");
  const double mark_diameter = point_diameter(10, l);
  add_summary(d, p, "sample 1", 1.0 - offset, {f.x.mean, f.x.sd, f.x.median}, y, per_unit, mark_diameter, "");
  add_summary(d, p, "sample 2", differences ? 2.0 - offset : 2.0 + offset, {f.y.mean, f.y.sd, f.y.median}, y, per_unit,
              mark_diameter, "");
  if (differences) {
    std::vector<double> diff(f.x.values.size());
    for (std::size_t i = 0; i < diff.size(); ++i) diff[i] = f.x.values[i] - f.y.values[i];
    Range dr;
    for (double v : diff) dr.add(v);
    const Summary summary = differences_summary(diff);
    dr.add(summary.mean - summary.sd), dr.add(summary.mean + summary.sd);
    Range r2 = dr.padded(0.05);
    const double free = std::min(l.legend, 0.5 * l.samples.height());
    r2.high += (r2.high - r2.low) * free / (l.samples.height() - free);
    Axis y2{r2.low, r2.high, false, axis_ticks(r2.low, r2.high, false, l.samples.height(), 1.8 * l.line())};
    s += "set y2range [" + number(y2.low) + ":" + number(y2.high) + "]\nset y2tics nomirror " + tics_list(y2.ticks) +
         "\nset y2label " + gnuplot_text(f.unit.empty() ? "x − y" : "x − y (" + f.unit + ")") + "\n";
    add_column(d, p, "differences", 3.0, 1.0, diff, "gray40", y2, l, per_unit, spread, true, "axes x1y2 ");
    add_summary(d, p, "differences", 3.0 - offset, summary, y2, per_unit, mark_diameter, "axes x1y2 ");
  } else {
    s += "unset y2tics\nunset y2label\n";
  }
  return s + p.command() + "unset y2tics\nunset y2label\nunset logscale y\nunset object\nset border 31\n";
}

// ---- The measures -------------------------------------------------------

// The range a panel's measures share: the middle 99% of each one's
// replicates, its estimate and bounds, its scale's bounds, and zero when it
// is near.
Range effect_range(const EffectPanel& panel) {
  Range r;
  for (const FigureMeasure* m : panel.rows) {
    const double k = factor_of(*m);
    std::vector<double> sorted;
    for (double v : m->replicates) {
      if (std::isfinite(v)) sorted.push_back(k * v);
    }
    std::sort(sorted.begin(), sorted.end());
    if (!sorted.empty()) {
      r.add(sorted[static_cast<std::size_t>(0.005 * static_cast<double>(sorted.size() - 1))]);
      r.add(sorted[static_cast<std::size_t>(0.995 * static_cast<double>(sorted.size() - 1))]);
    }
    for (double v : {m->estimate, m->t_lower, m->t_upper, m->bca_lower, m->bca_upper}) r.add(k * v);
    if (const EffectScale* s = unitless_scale(m->name); s != nullptr && s->bounded) r.add(s->low), r.add(s->high);
  }
  if (!r.empty() && !r.holds(0.0) && std::fabs(r.low > 0.0 ? r.low : r.high) <= 0.5 * (r.high - r.low)) r.add(0.0);
  return r;
}

// An interval as a filled bar `half` high on either side of y (an outline
// of four corners), or a vertical tick where it has no width; pngcairo
// draws thick lines with a notch at their start, a shape it draws whole.
std::string block_rows(double lower, double upper, double y, double half, double tick) {
  if (lower == upper) return point(lower, y - tick) + point(lower, y + tick);
  return point(lower, y - half) + point(upper, y - half) + point(upper, y + half) + point(lower, y + half);
}

// An interval as a bar at height y, or a vertical tick where it has no width.
std::string bar_rows(double lower, double upper, double y, double tick) {
  if (lower == upper) return point(lower, y - tick) + point(lower, y + tick);
  return point(lower, y) + point(upper, y);
}

// The effect axis's name, the longest of its forms that fits `room`
// characters: the difference named by the samples (shortened further where
// needed) with the values' name and unit, or the unitless measures' scales.
std::string effect_axis_name(const Figure& f, const EffectPanel& panel, const Layout& l, double room) {
  std::string what;
  if (panel.unitless()) {
    what = panel.scale->axis;
  } else {
    what = !f.unit.empty() ? "(" + f.unit + ")" : f.value_name != "value" ? "" : ", in the data's units";
  }
  const auto form = [&](std::size_t length) {
    const std::string names = shortened(f.x.label, length) + " − " + shortened(f.y.label, length);
    if (panel.unitless()) return names + ": " + what;
    const std::string head = f.value_name != "value" ? "difference in " + f.value_name + ", " : "difference ";
    return head + names + (what.empty() || what[0] == ',' ? what : " " + what);
  };
  for (const bool whole : {true, false}) {
    if (!whole && !panel.unitless()) what = f.unit.empty() ? "" : "(" + f.unit + ")";
    for (std::size_t length = l.label_length; length >= 3; length = length > 8 ? length - 4 : length - 1) {
      if (static_cast<double>(character_count(form(length))) <= room) return form(length);
    }
  }
  return shortened(panel.unitless() ? what : what.empty() ? "x − y" : "x − y " + what, static_cast<std::size_t>(std::max(room, 3.0)));
}

std::string effect_panel(Drawing& d, const Figure& f, const Layout& l, const EffectPanel& panel, const Area& area) {
  const auto rows = static_cast<double>(panel.rows.size());
  const Range x = effect_range(panel).padded(0.06);
  const std::vector<Tick> ticks = axis_ticks(x.low, x.high, false, area.width(), 8.0 * l.ch());
  std::string s = panel_frame(l, area);
  s += "unset key\nunset label\nunset arrow\nunset object\nset border 1\nunset logscale y\nset ytics nomirror scale 0 (";
  for (std::size_t k = 0; k < panel.rows.size(); ++k) {
    s += (k == 0 ? "" : ", ") + gnuplot_tic_text(measure_label(*panel.rows[k], l.words)) + " " + number(rows - static_cast<double>(k));
  }
  s += ")\nset xtics nomirror scale 1 " + tics_list(ticks) + "\nset grid xtics lc rgb 'gray92'\n";
  s += "set xrange [" + number(x.low) + ":" + number(x.high) + "]\nset yrange [0.5:" + number(rows + 0.9) + "]\n";
  const double centre = 0.5 * (area.left + area.right), room = 2.0 * std::min(centre, l.width - centre) / l.ch() - 2.0;
  s += "unset ylabel\nset xlabel " + gnuplot_text(effect_axis_name(f, panel, l, room)) + "\n";
  if (x.holds(0.0)) s += "set arrow from 0, graph 0 to 0, graph 1 nohead dashtype 2 lc rgb 'gray50'\n";
  const double per_unit = area.width() / (x.high - x.low);
  Plot p;
  for (std::size_t k = 0; k < panel.rows.size(); ++k) {
    const FigureMeasure& e = *panel.rows[k];
    const double y = rows - static_cast<double>(k), factor = factor_of(e);
    const auto [bca_text, t_text] = measure_numbers(e);
    const std::string at = " at screen " + number(l.sx(area.right + 1.5 * l.ch())) + ", first ";
    s += "set label " + gnuplot_text(bca_text) + at + number(y + 0.14) + " left\n";
    if (!t_text.empty()) s += "set label " + gnuplot_text(t_text) + at + number(y - 0.24) + " left tc rgb '" + t_colour + "'\n";
    if (!std::isfinite(e.estimate)) continue;
    const std::string name(e.name);
    if (const Density shape = density_of(e.replicates); !shape.at.empty()) {
      p.add(d.block(name + ": replicates' half violin outline (x, y)", lying_violin_rows(y, shape, factor)),
            "using 1:2 with filledcurves closed fs transparent solid 0.35 noborder lc rgb 'gray55' notitle");
    }
    if (finite(e.t_lower, e.t_upper)) {
      p.add(d.block(name + ": t interval", bar_rows(factor * e.t_lower, factor * e.t_upper, y - 0.16, 0.08)),
            std::string("using 1:2 with lines lw 1.5 lc rgb '") + t_colour + "' notitle");
    }
    if (finite(e.bca_lower, e.bca_upper)) {
      const double half = bca_points * l.font / 8.0 / 144.0 / (area.height() / (rows + 0.4));
      const std::string style = e.bca_lower == e.bca_upper ? "with lines lw 5" : "with filledcurves closed fs solid 1.0 noborder";
      p.add(d.block(name + ": BCa interval", block_rows(factor * e.bca_lower, factor * e.bca_upper, y, half, 0.12)),
            "using 1:2 " + style + " lc rgb '" + bca_colour + "' notitle");
    }
    p.add(d.block(name + ": estimate (x, y, radius)", disc_row(factor * e.estimate, y, point_diameter(10, l), per_unit)),
          discs("black"));
  }
  if (p.elements.empty()) p.add(d.block("nothing to draw", point(0.0, 0.0)), "using 1:2 with dots lc rgb '#ffffff' notitle");
  return s + p.command();
}

}  // namespace

std::optional<std::string> figure_problem(const Figure& f) {
  if (!f.log_scale) return std::nullopt;
  for (const FigureSample* s : {&f.x, &f.y}) {
    for (double v : s->values) {
      if (!(v > 0.0) || !std::isfinite(v)) {
        return "--log draws positive values only, and \"" + std::string(s->label) + "\" holds " + number(v);
      }
    }
  }
  return std::nullopt;
}

// The script's commands and the data they draw, made together so that the
// commands' block numbers are the data's.
Composition compose_figure(const Figure& f) {
  const Layout l = layout_of(f);
  Drawing d;
  const std::string title = title_of(f, shortened(f.x.label, l.label_length), shortened(f.y.label, l.label_length));
  d.data = "# " + comment_text(title) + "\n";
  std::string s = "set multiplot title " + gnuplot_text(title) + "\n";
  s += samples_panel(d, f, l);
  const std::vector<EffectPanel> panels = effect_panels(f);
  for (std::size_t k = 0; k < panels.size(); ++k) s += effect_panel(d, f, l, panels[k], l.effects[k]);
  return {terminal_line(f, l), s + "unset multiplot\n", d.data};
}

std::string figure_title(const Figure& f) {
  const std::size_t length = layout_of(f).label_length;
  return title_of(f, shortened(f.x.label, length), shortened(f.y.label, length));
}

std::string figure_data(const Figure& f) { return compose_figure(f).data; }

std::string figure_script(const Figure& f, const Composition& c, std::string_view output, std::string_view data) {
  std::string s = "# The figure of a diffboot run. Restyle it here and draw it again with: gnuplot " +
                  gnuplot_text(comment_text(f.file + ".gp")) + "\n";
  s += "set encoding utf8\n" + c.terminal + "set output " + file_name_expression(output) + "\n";
  s += "data = " + file_name_expression(data) + "\n";
  s += "set style fill transparent solid 0.45\n";
  return s + c.commands + "unset output\n";
}

std::string figure_script(const Figure& f) { return figure_script(f, compose_figure(f), f.file, f.file + ".dat"); }

}  // namespace diffboot::plot
