// The estimation figure laid out: the samples' panel above the panel of the
// measures in the data's units and one for each unitless measure's scale,
// in inches for the canvas so that no text leaves it or meets another,
// every mark in its panel's axis units and every size in points. Nothing
// here knows a painter.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "figure/axis_ticks.h"
#include "figure/density.h"
#include "figure/effect_scale.h"
#include "figure/figure_model.h"
#include "figure/figure_text.h"
#include "figure/swarm.h"

namespace diffboot::figure {
namespace {

// Okabe and Ito's colours, told apart by colour-blind readers: blue and
// orange for the samples, bluish green and reddish purple for the intervals.
constexpr const char* sample1_colour = "#0072B2";
constexpr const char* sample2_colour = "#E69F00";
constexpr const char* t_colour = "#009E73";
constexpr const char* bca_colour = "#CC79A7";
constexpr std::size_t longest_label = 28;  // characters of a sample's label in the title and under its column
constexpr double em_width = 0.72;          // a wide average character's width, in ems of the font
constexpr double line_ems = 1.3;           // a line of text's height, in ems
constexpr double row_lines = 2.5;          // an effect row's least height, in lines (its two numbers and a gap)
constexpr double bottom_lines = 3.2;       // an effect panel's tick labels and axis name, in lines
constexpr double half_violin = 0.38;       // a half violin's greatest width, in columns or rows
constexpr double bca_points = 4.5;         // the BCa bar's thickness at 8-point text
constexpr double smallest_font = 2.0, largest_font = 14.0;  // points

constexpr double largest = std::numeric_limits<double>::max();

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
bool differences_column(const Figure& f) { return f.paired && !f.proportions && f.x.values.size() > most_pair_lines; }
bool pair_lines(const Figure& f) { return f.paired && !differences_column(f); }

// ---- The canvas and the layout ------------------------------------------

using Axis = ModelAxis;
using Area = Box;

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

// The means of a sample's clusters, in the clusters' order.
std::vector<double> cluster_means(const FigureSample& s) {
  std::size_t k = 0;
  for (std::uint32_t c : s.clusters) k = std::max<std::size_t>(k, c + std::size_t{1});
  std::vector<double> sums(k, 0.0), counts(k, 0.0);
  for (std::size_t i = 0; i < s.values.size() && i < s.clusters.size(); ++i) {
    sums[s.clusters[i]] += s.values[i], counts[s.clusters[i]] += 1.0;
  }
  for (std::size_t c = 0; c < k; ++c) sums[c] /= counts[c];
  return sums;
}

// "B (n = 150 users, 1206 rows)": a sample drawn by its clusters.
std::string cluster_label(const Figure& f, const FigureSample& s, std::size_t clusters, std::size_t length) {
  const std::string what = f.cluster_name.empty() || f.cluster_name.back() == 's' ? f.cluster_name : f.cluster_name + "s";
  return shortened(s.label, length) + " (n = " + std::to_string(clusters) + " " + shortened(what, 12) + ", " +
         std::to_string(s.values.size()) + " rows)";
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
  Axis a{p.low, p.high, f.log_scale, {}, {}};
  if (f.log_scale) a.low = std::pow(10.0, std::max(p.low, -300.0)), a.high = std::pow(10.0, std::min(p.high, 300.0));
  a.ticks = axis_ticks(a.low, a.high, a.log_scale, plot, 1.8 * l.line());
  return a;
}

// Where each value of a column stands: its column, spread sideways in a
// swarm within `spread` columns on either side where points would meet.
std::vector<double> swarm_x(double column, std::span<const double> values, const Axis& y, double diameter,
                            double per_unit, double plot_height, double spread) {
  std::vector<double> heights(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) heights[i] = y.at(values[i]) * plot_height;
  const double d = diameter / 72.0;  // inches
  const int per_side = static_cast<int>(std::floor(spread * per_unit / d));
  std::vector<double> xs = swarm_offsets(heights, d, per_side);
  for (double& x : xs) x = column + x / per_unit;
  return xs;
}

void add_point(Mark& m, double x, double y) {
  m.x.push_back(x);
  m.y.push_back(y);
}

Mark discs_mark(std::string what, const char* colour, bool second_axis) {
  Mark m{std::move(what), MarkKind::discs, {}, {}, {}, {}, colour, 1.0, 1.0, second_axis, {}};
  return m;
}

Mark lines_mark(std::string what, const char* colour, double width, bool second_axis = false) {
  return Mark{std::move(what), MarkKind::lines, {}, {}, {}, {}, colour, width, 1.0, second_axis, {}};
}

Mark area_mark(std::string what, const char* colour, double opacity, bool second_axis = false) {
  return Mark{std::move(what), MarkKind::area, {}, {}, {}, {}, colour, 1.0, opacity, second_axis, {}};
}

// A closed outline of `d` standing on the line x = column (a column's half
// violin), towards `side` (+1 right, -1 left); on a log axis `d` is of the
// values' logarithms.
void upright_violin(Mark& m, double column, double side, const Density& d, bool log_scale) {
  const auto value = [&](double v) { return log_scale ? std::pow(10.0, v) : v; };
  for (std::size_t i = 0; i < d.at.size(); ++i) add_point(m, column + side * half_violin * d.height[i], value(d.at[i]));
  add_point(m, column, value(d.at.back()));
  add_point(m, column, value(d.at.front()));
}

// A closed outline of `d` lying on the line y = row (a measure's half violin).
void lying_violin(Mark& m, double row, const Density& d, double factor) {
  for (std::size_t i = 0; i < d.at.size(); ++i) add_point(m, factor * d.at[i], row + half_violin * 1.6 * d.height[i]);
  add_point(m, factor * d.at.back(), row);
  add_point(m, factor * d.at.front(), row);
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
void add_summary(Panel& p, std::string_view what, double at, const Summary& s, const Axis& y, double diameter,
                 bool second_axis) {
  const double lower = y.log_scale ? std::max(s.mean - s.sd, y.low) : s.mean - s.sd;
  Mark lines = lines_mark(std::string(what) + ": mean ± SD line; median crossbar", "#000000", 1.5, second_axis);
  lines.role = "summary";
  add_point(lines, at, lower), add_point(lines, at, s.mean + s.sd);
  lines.breaks.push_back(2);
  add_point(lines, at - 0.09, s.median), add_point(lines, at + 0.09, s.median);
  p.marks.push_back(std::move(lines));
  Mark mean = discs_mark(std::string(what) + ": mean (x, y, radius)", "#000000", second_axis);
  mean.role = "mean";
  add_point(mean, at, s.mean);
  mean.diameter.push_back(diameter);
  p.marks.push_back(std::move(mean));
}

// A column of values: every value as a disc, or its half violin when there
// are too many to see one by one.
void add_column(Panel& p, std::string_view what, double column, double side, std::span<const double> values,
                const char* colour, const Axis& y, const Layout& l, double per_unit, double spread, bool swarm,
                bool second_axis) {
  const double diameter = point_diameter(values.size(), l);
  if (values.size() <= most_points) {
    Mark m = discs_mark(std::string(what) + ": column, value, radius", colour, second_axis);
    m.role = "values";
    m.x = swarm ? swarm_x(column, values, y, diameter, per_unit, l.samples.height(), spread)
                : std::vector<double>(values.size(), column);
    m.y.assign(values.begin(), values.end());
    m.diameter.assign(values.size(), diameter);
    p.marks.push_back(std::move(m));
    return;
  }
  std::vector<double> logs;
  if (y.log_scale) for (double v : values) logs.push_back(std::log10(v));
  const Density shape = density_of(y.log_scale ? std::span<const double>(logs) : values);
  if (shape.at.empty()) {
    Mark m = discs_mark(std::string(what) + ": column, value, radius", colour, second_axis);
    m.role = "values";
    add_point(m, column, values.front());
    m.diameter.push_back(diameter);
    p.marks.push_back(std::move(m));
    return;
  }
  Mark m = area_mark(std::string(what) + ": half violin outline (x, value)", colour, 0.5, second_axis);
  m.role = "violin";
  upright_violin(m, column, side, shape, y.log_scale);
  p.marks.push_back(std::move(m));
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
std::vector<LegendEntry> legend(const Layout& l, bool proportions = false) {
  const double ch = l.ch(), line = l.line();
  const double x0 = l.samples.left + ch, top = l.samples.top - 0.25 * line - 0.5 * line;
  const auto width = [&](const char* text) { return (6.0 + static_cast<double>(character_count(text))) * ch; };
  std::vector<LegendEntry> entries;
  if (proportions) {  // no mean ± SD or median: the intervals' marks alone, in a row
    entries.push_back({LegendKind::bca, legend_entries[2], x0, x0 + 2.2 * ch, top, x0 + 3.2 * ch});
    const double t = x0 + width(legend_entries[2]);
    entries.push_back({LegendKind::t, legend_entries[3], t, t + 2.2 * ch, top, t + 3.2 * ch});
    return entries;
  }
  double column_x = x0;
  constexpr LegendKind kinds[] = {LegendKind::mean_sd, LegendKind::median, LegendKind::bca, LegendKind::t};
  for (std::size_t k = 0; k < 4; ++k) {
    const std::size_t row = l.legend_in_one_row ? 0 : k % 2;
    if (k > 0 && (l.legend_in_one_row || row == 0)) {
      column_x += l.legend_in_one_row ? width(legend_entries[k - 1])
                                      : std::max(width(legend_entries[k - 2]), width(legend_entries[k - 1]));
    }
    const double y = top - static_cast<double>(row) * line;
    const double a = column_x, b = column_x + 2.2 * ch;
    entries.push_back({kinds[k], legend_entries[k], a, b, y, b + ch});
  }
  return entries;
}

// Wilson's score interval for `successes` of `trials` at z (Wilson, 1927,
// J. Amer. Statist. Assoc. 22, 209-212): lower and upper bound.
std::pair<double, double> wilson_interval(std::int64_t successes, std::int64_t trials, double z) {
  const auto n = static_cast<double>(trials);
  const double p = static_cast<double>(successes) / n, z2 = z * z;
  const double centre = (p + z2 / (2.0 * n)) / (1.0 + z2 / n);
  const double half = z / (1.0 + z2 / n) * std::sqrt(p * (1.0 - p) / n + z2 / (4.0 * n * n));
  return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

// The samples of binary outcomes: each one's proportion as a disc on its
// Wilson 95% interval, its successes and trials under its column.
Panel proportions_panel(const Figure& f, const Layout& l) {
  constexpr double z95 = 1.959963984540054;  // the standard normal's 0.975 quantile
  Panel p;
  p.samples = true;
  p.box = l.samples;
  Range r;
  r.add(0.0), r.add(1.0);
  Range padded = r.padded(0.03);
  const double plot = l.samples.height(), free = std::min(l.legend, 0.5 * plot);
  padded.high += (padded.high - padded.low) * free / (plot - free);
  p.y = {padded.low, padded.high, false, axis_ticks(0.0, 1.0, false, plot, 1.8 * l.line()), {}};
  for (const char* title : {"proportion, Wilson 95% interval", "proportion (Wilson 95%)", "proportion"}) {
    p.y.title = title;
    if (text_width(title) * l.ch() <= plot) break;
  }
  p.x = {0.45, 2.55, false, {}, {}};
  const FigureSample* samples[] = {&f.x, &f.y};
  const char* colours[] = {sample1_colour, sample2_colour};
  for (std::size_t k = 0; k < 2; ++k) {
    const Figure::Counts c = (*f.proportions)[k];
    const double column = static_cast<double>(k + 1);
    p.categories.push_back({column, shortened(samples[k]->label, l.label_length) + " (" + std::to_string(c.successes) +
                                        " of " + std::to_string(c.trials) + ")"});
    if (c.trials <= 0) continue;
    const auto [lower, upper] = wilson_interval(c.successes, c.trials, z95);
    // A bar three points wide at 8-point text, drawn as a filled outline.
    const double half = 1.5 * l.font / 8.0 / 72.0 / (l.samples.width() / (p.x.high - p.x.low));
    Mark bar = area_mark("sample " + std::to_string(k + 1) + ": Wilson interval", colours[k], 1.0);
    bar.role = "wilson";
    add_point(bar, column - half, lower), add_point(bar, column + half, lower);
    add_point(bar, column + half, upper), add_point(bar, column - half, upper);
    p.marks.push_back(std::move(bar));
    Mark dot = discs_mark("sample " + std::to_string(k + 1) + ": proportion (x, y, radius)", colours[k], false);
    dot.role = "proportion";
    add_point(dot, column, static_cast<double>(c.successes) / static_cast<double>(c.trials));
    dot.diameter.push_back(1.5 * point_diameter(10, l));
    p.marks.push_back(std::move(dot));
  }
  return p;
}

Panel samples_panel(const Figure& f, const Layout& l) {
  if (f.proportions) return proportions_panel(f, l);
  const bool lines = pair_lines(f), differences = differences_column(f);
  Panel p;
  p.samples = true;
  p.box = l.samples;
  p.y = data_axis(f, l);
  p.y.title = shortened(data_axis_name(f), static_cast<std::size_t>(l.samples.height() / l.ch()));
  // Two columns face each other with their marks outside; three stand in a
  // row, each with its marks on its left and its shape on its right.
  const double x_low = 0.45, x_high = differences ? 3.5 : 2.55;
  p.x = {x_low, x_high, false, {}, {}};
  const double per_unit = l.samples.width() / (x_high - x_low);
  const double spread = differences ? 0.15 : 0.2, offset = differences ? 0.28 : 0.34;
  p.categories = {{1.0, sample_label(f.x, l.label_length)}, {2.0, sample_label(f.y, l.label_length)}};
  if (differences) p.categories.push_back({3.0, shortened("differences (x − y)", l.label_length + 11)});
  if (lines) {
    Mark m = lines_mark("pairs: a line from x to y each", "#999999", 0.6);
    m.role = "pairs";
    for (std::size_t i = 0; i < f.x.values.size() && i < f.y.values.size(); ++i) {
      if (i > 0) m.breaks.push_back(m.x.size());
      add_point(m, 1.0, f.x.values[i]), add_point(m, 2.0, f.y.values[i]);
    }
    p.marks.push_back(std::move(m));
  }
  if (!f.x.clusters.empty() && !f.y.clusters.empty()) {  // a disc per cluster, at its mean
    const std::vector<double> x = cluster_means(f.x), y = cluster_means(f.y);
    p.categories = {{1.0, cluster_label(f, f.x, x.size(), l.label_length)},
                    {2.0, cluster_label(f, f.y, y.size(), l.label_length)}};
    add_column(p, "sample 1 by cluster", 1.0, 1.0, x, sample1_colour, p.y, l, per_unit, spread, true, false);
    add_column(p, "sample 2 by cluster", 2.0, -1.0, y, sample2_colour, p.y, l, per_unit, spread, true, false);
  } else {
    add_column(p, "sample 1", 1.0, 1.0, f.x.values, sample1_colour, p.y, l, per_unit, spread, !lines, false);
    add_column(p, "sample 2", 2.0, differences ? 1.0 : -1.0, f.y.values, sample2_colour, p.y, l, per_unit, spread,
               !lines, false);
  }
  const double mark_diameter = point_diameter(10, l);
  add_summary(p, "sample 1", 1.0 - offset, {f.x.mean, f.x.sd, f.x.median}, p.y, mark_diameter, false);
  add_summary(p, "sample 2", differences ? 2.0 - offset : 2.0 + offset, {f.y.mean, f.y.sd, f.y.median}, p.y,
              mark_diameter, false);
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
    p.y2 = Axis{r2.low, r2.high, false, axis_ticks(r2.low, r2.high, false, l.samples.height(), 1.8 * l.line()),
                f.unit.empty() ? "x − y" : "x − y (" + f.unit + ")"};
    add_column(p, "differences", 3.0, 1.0, diff, "#666666", *p.y2, l, per_unit, spread, true, true);
    add_summary(p, "differences", 3.0 - offset, summary, *p.y2, mark_diameter, true);
  }
  return p;
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
void block_points(Mark& m, double lower, double upper, double y, double half, double tick) {
  if (lower == upper) {
    add_point(m, lower, y - tick), add_point(m, lower, y + tick);
    return;
  }
  add_point(m, lower, y - half), add_point(m, upper, y - half), add_point(m, upper, y + half), add_point(m, lower, y + half);
}

// An interval as a bar at height y, or a vertical tick where it has no width.
void bar_points(Mark& m, double lower, double upper, double y, double tick) {
  if (lower == upper) {
    add_point(m, lower, y - tick), add_point(m, lower, y + tick);
    return;
  }
  add_point(m, lower, y), add_point(m, upper, y);
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


Panel effect_panel(const Figure& f, const Layout& l, const EffectPanel& panel, const Area& area) {
  const auto rows = static_cast<double>(panel.rows.size());
  const Range x = effect_range(panel).padded(0.06);
  Panel p;
  p.box = area;
  const double centre = 0.5 * (area.left + area.right), room = 2.0 * std::min(centre, l.width - centre) / l.ch() - 2.0;
  p.x = {x.low, x.high, false, axis_ticks(x.low, x.high, false, area.width(), 8.0 * l.ch()),
         effect_axis_name(f, panel, l, room)};
  p.y = {0.5, rows + 0.9, false, {}, {}};
  for (std::size_t k = 0; k < panel.rows.size(); ++k) {
    p.categories.push_back({rows - static_cast<double>(k), measure_label(*panel.rows[k], l.words)});
  }
  p.zero_line = x.holds(0.0);
  const double text_x = area.right + 1.5 * l.ch();
  for (std::size_t k = 0; k < panel.rows.size(); ++k) {
    const FigureMeasure& e = *panel.rows[k];
    const double y = rows - static_cast<double>(k), factor = factor_of(e);
    const auto [bca_text, t_text] = measure_numbers(e);
    p.texts.push_back({bca_text, text_x, y + 0.14, "#000000"});
    if (!t_text.empty()) p.texts.push_back({t_text, text_x, y - 0.24, t_colour});
    if (!std::isfinite(e.estimate)) continue;
    const std::string name(e.name);
    if (const Density shape = density_of(e.replicates); !shape.at.empty()) {
      Mark m = area_mark(name + ": replicates' half violin outline (x, y)", "#8c8c8c", 0.35);
      m.role = "replicates";
      lying_violin(m, y, shape, factor);
      p.marks.push_back(std::move(m));
    }
    if (finite(e.t_lower, e.t_upper)) {
      Mark m = lines_mark(name + ": t interval", t_colour, 1.5);
      m.role = "t";
      bar_points(m, factor * e.t_lower, factor * e.t_upper, y - 0.16, 0.08);
      p.marks.push_back(std::move(m));
    }
    if (finite(e.bca_lower, e.bca_upper)) {
      const double half = bca_points * l.font / 8.0 / 144.0 / (area.height() / (rows + 0.4));
      Mark m = e.bca_lower == e.bca_upper ? lines_mark(name + ": BCa interval", bca_colour, 5.0)
                                          : area_mark(name + ": BCa interval", bca_colour, 1.0);
      m.role = "bca";
      block_points(m, factor * e.bca_lower, factor * e.bca_upper, y, half, 0.12);
      p.marks.push_back(std::move(m));
    }
    Mark m = discs_mark(name + ": estimate (x, y, radius)", "#000000", false);
    m.role = "estimate";
    add_point(m, factor * e.estimate, y);
    m.diameter.push_back(point_diameter(10, l));
    p.marks.push_back(std::move(m));
  }
  return p;
}


// ---- Several groups -----------------------------------------------------

// The groups' colours in turn: Okabe and Ito's without the intervals' two and black (the
// summaries' colour), then a wine red.
constexpr const char* group_colours[] = {"#0072B2", "#E69F00", "#56B4E9", "#D55E00", "#999999", "#F0E442", "#882255"};

// The text under a comparison's column: its estimate and BCa bounds, then its t bounds.
std::pair<std::string, std::string> comparison_numbers(const GroupComparison& c) {
  if (!c.measure) return {"stopped", ""};
  return measure_numbers(*c.measure);
}

// A group of the figure: its values, those of the first comparison it is in.
struct GroupColumn {
  std::string_view label;
  std::vector<double> values;
  Summary summary;
};

std::vector<GroupColumn> group_columns(const GroupsFigure& f) {
  std::vector<GroupColumn> columns(f.groups.size());
  std::vector<bool> taken(f.groups.size(), false);
  for (std::size_t g = 0; g < f.groups.size(); ++g) columns[g].label = f.groups[g];
  for (const GroupComparison& c : f.comparisons) {
    for (const auto& [g, v] : {std::pair{c.x, c.values_x}, std::pair{c.y, c.values_y}}) {
      if (g >= columns.size() || taken[g]) continue;
      taken[g] = true;
      for (double value : v) {
        if (std::isfinite(value)) columns[g].values.push_back(value);
      }
    }
  }
  for (GroupColumn& c : columns) {
    c.summary = c.values.empty() ? Summary{NAN, NAN, NAN} : differences_summary(c.values);
  }
  return columns;
}

// The layout of several groups: the title; the samples' panel, a column per
// group (the legend in its top left corner); the upright effect panel, a
// column per comparison under its group, with the comparison's name and
// numbers beneath.
Layout groups_layout(const GroupsFigure& f) {
  const double w = f.width, h = f.height, columns = static_cast<double>(std::max<std::size_t>(f.groups.size(), 1));
  double widest = 0.0;  // characters a column's texts need
  for (const std::string& g : f.groups) widest = std::max(widest, text_width(g) + 9.0);
  for (const GroupComparison& c : f.comparisons) {
    const auto [bca, t] = comparison_numbers(c);
    widest = std::max({widest, text_width(bca), text_width(t)});
  }
  const double proportional = std::clamp(8.0 * std::min(w / 7.0, h / 5.0), 6.0, largest_font);
  const double lines = 2.2 + 1.6 + 8.0 + 0.7 + 6.0 + 1.2 + 4.6;  // title, samples, effects and their texts
  const double by_height = h * 72.0 / (lines * line_ems);
  const double by_width = (0.8 * w / columns) * 72.0 / (std::min(widest, 40.0) * em_width);
  Layout l{w, h, std::max(smallest_font, std::min({proportional, by_height, by_width})), true, 0, {}, {}, 0.0, true};
  const double line = l.line(), ch = l.ch();
  const double left = 0.4 * line + 1.3 * line + 9.0 * ch, right = w - 2.0 * ch;
  const double effects_bottom = 0.3 * line + 4.6 * line, top = h - 2.2 * line;
  const double split = effects_bottom + 0.42 * (top - effects_bottom - 2.3 * line);
  l.effects = {{left, right, effects_bottom, split}};
  l.samples = {left, right, split + 2.3 * line, top};
  l.legend_in_one_row = legend_characters(true) * ch <= l.samples.width() - 2.0 * ch;
  l.legend = (l.legend_in_one_row ? 1.0 : 2.0) * line + 0.5 * line;
  const double column_room = std::floor(l.samples.width() / columns / ch - 2.0 - 9.0);
  l.label_length = static_cast<std::size_t>(std::clamp(column_room, 3.0, static_cast<double>(longest_label)));
  return l;
}

// The data axis of several groups: every value and each mean ± SD, padded,
// with room above for the legend.
Axis groups_data_axis(const std::vector<GroupColumn>& groups, const Layout& l) {
  Range r;
  for (const GroupColumn& g : groups) {
    for (double v : g.values) r.add(v);
    r.add(g.summary.mean - g.summary.sd), r.add(g.summary.mean + g.summary.sd);
  }
  Range p = r.padded(0.05);
  const double plot = l.samples.height(), free = std::min(l.legend, 0.5 * plot);
  p.high += (p.high - p.low) * free / (plot - free);
  return {p.low, p.high, false, axis_ticks(p.low, p.high, false, plot, 1.8 * l.line()), {}};
}

// A line per pair of each paired comparison, between its two groups.
Mark pair_lines(const GroupsFigure& f) {
  Mark m = lines_mark("pairs: a line between the two groups of a comparison each", "#999999", 0.6);
  m.role = "pairs";
  for (const GroupComparison& c : f.comparisons) {
    for (std::size_t i = 0; i < c.values_x.size() && i < c.values_y.size(); ++i) {
      if (!std::isfinite(c.values_x[i]) || !std::isfinite(c.values_y[i])) continue;
      if (!m.x.empty()) m.breaks.push_back(m.x.size());
      add_point(m, static_cast<double>(c.x + 1), c.values_x[i]), add_point(m, static_cast<double>(c.y + 1), c.values_y[i]);
    }
  }
  return m;
}

Panel groups_samples_panel(const GroupsFigure& f, const Layout& l) {
  const std::vector<GroupColumn> groups = group_columns(f);
  Panel p;
  p.samples = true;
  p.box = l.samples;
  p.y = groups_data_axis(groups, l);
  std::string name = f.value_name;
  if (!f.unit.empty()) name += " (" + f.unit + ")";
  p.y.title = shortened(name, static_cast<std::size_t>(l.samples.height() / l.ch()));
  const auto k = static_cast<double>(f.groups.size());
  p.x = {0.5, k + 0.5, false, {}, {}};
  const double per_unit = l.samples.width() / k;
  if (f.paired) p.marks.push_back(pair_lines(f));
  const double mark_diameter = point_diameter(10, l);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const GroupColumn& c = groups[g];
    const double column = static_cast<double>(g + 1);
    const std::string what = "group " + std::to_string(g + 1);
    p.categories.push_back({column, shortened(c.label, l.label_length) + " (n = " + std::to_string(c.values.size()) + ")"});
    if (!c.values.empty()) {
      const char* colour = group_colours[g % std::size(group_colours)];
      add_column(p, what, f.paired ? column : column - 0.05, -1.0, c.values, colour, p.y, l, per_unit, 0.2, !f.paired,
                 false);
      add_summary(p, what, column + 0.28, c.summary, p.y, mark_diameter, false);
    }
  }
  return p;
}

// The measure's axis in its own terms: the difference in the data's units,
// or a unitless scale.
std::string groups_effect_axis(const GroupsFigure& f, const FigureMeasure& m) {
  if (const EffectScale* s = unitless_scale(m.name)) return std::string(s->axis);
  return std::string(m.words) + (f.unit.empty() ? "" : " (" + f.unit + ")");
}

Panel groups_effect_panel(const GroupsFigure& f, const Layout& l) {
  Panel p;
  p.upright = true;
  p.box = l.effects.front();
  const auto k = static_cast<double>(f.groups.size());
  p.x = {0.5, k + 0.5, false, {}, {}};
  const double per_unit = p.box.width() / k, ch = l.ch(), line = l.line();
  EffectPanel drawn{nullptr, {}};
  for (const GroupComparison& c : f.comparisons) {
    if (c.measure) drawn.scale = unitless_scale(c.measure->name), drawn.rows.push_back(&*c.measure);
  }
  const Range y = effect_range(drawn).padded(0.06);
  p.y = {y.low, y.high, false, axis_ticks(y.low, y.high, false, p.box.height(), 1.8 * line), {}};
  if (!drawn.rows.empty()) {  // its title may reach into the gap above, left of the samples' axis
    const std::string title = groups_effect_axis(f, *drawn.rows.front());
    const double room = (p.box.height() + 2.0 * line) / ch;
    p.y.title = text_width(title) <= room ? title : shortened(title, static_cast<std::size_t>(room));
  }
  p.zero_line = y.holds(0.0);
  // Below the axis, in the panel's units: a line of text `lines` lines down.
  const auto below = [&](double lines) { return y.low - lines * line / p.box.height() * (y.high - y.low); };
  const std::size_t room = static_cast<std::size_t>(std::max(3.0, std::floor(per_unit / ch - 1.0)));
  for (const GroupComparison& c : f.comparisons) {
    const double column = static_cast<double>(c.x + 1);
    const double centre = p.box.left + (column - p.x.low) * per_unit;
    p.categories.push_back({column, shortened(f.groups[c.x] + " − " + f.groups[c.y], room)});
    const auto [bca_text, t_text] = comparison_numbers(c);
    p.texts.push_back({bca_text, centre - 0.5 * text_width(bca_text) * ch, below(2.3), "#000000"});
    if (!t_text.empty()) p.texts.push_back({t_text, centre - 0.5 * text_width(t_text) * ch, below(3.4), t_colour});
    if (!c.measure || !std::isfinite(c.measure->estimate)) continue;
    const FigureMeasure& e = *c.measure;
    const double factor = factor_of(e);
    const std::string name = std::string(e.name) + " of " + p.categories.back().label;
    std::vector<double> scaled;
    for (double v : e.replicates) scaled.push_back(factor * v);
    if (const Density shape = density_of(scaled); !shape.at.empty()) {
      Mark m = area_mark(name + ": replicates' half violin outline (x, y)", "#8c8c8c", 0.35);
      m.role = "replicates";
      upright_violin(m, column + 0.04, 1.0, shape, false);
      p.marks.push_back(std::move(m));
    }
    if (finite(e.t_lower, e.t_upper)) {
      Mark m = lines_mark(name + ": t interval", t_colour, 1.5);
      m.role = "t";
      add_point(m, column - 0.1, factor * e.t_lower), add_point(m, column - 0.1, factor * e.t_upper);
      p.marks.push_back(std::move(m));
    }
    if (finite(e.bca_lower, e.bca_upper)) {
      const double half = bca_points * l.font / 8.0 / 144.0 / per_unit;
      Mark m = area_mark(name + ": BCa interval", bca_colour, 1.0);
      m.role = "bca";
      const double lower = factor * e.bca_lower, upper = factor * e.bca_upper;
      add_point(m, column - half, lower), add_point(m, column + half, lower);
      add_point(m, column + half, upper), add_point(m, column - half, upper);
      p.marks.push_back(std::move(m));
    }
    Mark m = discs_mark(name + ": estimate (x, y, radius)", "#000000", false);
    m.role = "estimate";
    add_point(m, column, factor * e.estimate);
    m.diameter.push_back(point_diameter(10, l));
    p.marks.push_back(std::move(m));
  }
  return p;
}

std::string groups_title(const GroupsFigure& f, const Layout& l) {
  const std::string against = f.sequential || f.groups.empty()
                                  ? std::string("each group − the one before")
                                  : "each group − " + shortened(f.groups.front(), l.label_length);
  return against + " (" + (f.paired ? "paired" : "unpaired") + "): " + percent_text(f.level_percent) +
         "% intervals, B = " + std::to_string(f.replications);
}

}  // namespace

double ModelAxis::at(double v) const {
  if (!log_scale) return (v - low) / (high - low);
  return (std::log10(std::max(v, low)) - std::log10(low)) / (std::log10(high) - std::log10(low));
}

std::optional<std::string> figure_problem(const Figure& f) {
  if (!f.log_scale) return std::nullopt;
  for (const FigureSample* s : {&f.x, &f.y}) {
    for (double v : s->values) {
      if (!(v > 0.0) || !std::isfinite(v)) {
        char text[32];
        const double shown = std::isnan(v) ? 0.0 : std::clamp(v, -largest, largest);
        return "--log draws positive values only, and \"" + std::string(s->label) + "\" holds " +
               std::string(text, std::to_chars(text, text + sizeof text, shown).ptr);
      }
    }
  }
  return std::nullopt;
}

FigureModel figure_model(const Figure& f) {
  const Layout l = layout_of(f);
  FigureModel m{l.width, l.height, l.font, title_of(f, shortened(f.x.label, l.label_length), shortened(f.y.label, l.label_length)),
                {}, legend(l, f.proportions.has_value()), bca_points * l.font / 8.0, l.line(), l.ch(), point_diameter(10, l)};
  m.panels.push_back(samples_panel(f, l));
  const std::vector<EffectPanel> panels = effect_panels(f);
  for (std::size_t k = 0; k < panels.size(); ++k) m.panels.push_back(effect_panel(f, l, panels[k], l.effects[k]));
  return m;
}

std::string figure_title(const Figure& f) { return figure_model(f).title; }

FigureModel groups_model(const GroupsFigure& f) {
  const Layout l = groups_layout(f);
  FigureModel m{l.width, l.height, l.font, groups_title(f, l), {}, legend(l), bca_points * l.font / 8.0, l.line(), l.ch(),
                point_diameter(10, l)};
  m.panels.push_back(groups_samples_panel(f, l));
  m.panels.push_back(groups_effect_panel(f, l));
  return m;
}

}  // namespace diffboot::figure
