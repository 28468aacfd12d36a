#include "plot/figure.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

#include "plot/gnuplot_text.h"
#include "plot/plot_program.h"
#include "staging/unnamed_file.h"

namespace diffboot::plot {
namespace {

// Okabe and Ito's colours, told apart by colour-blind readers: blue and
// orange for the samples, bluish green and reddish purple for the intervals.
constexpr const char* sample1_colour = "#0072B2";
constexpr const char* sample2_colour = "#E69F00";
constexpr const char* t_colour = "#009E73";
constexpr const char* bca_colour = "#CC79A7";
constexpr int replicate_classes = 40;
// Room above the tallest bar, for the interval bars and the legend.
constexpr double headroom = 1.45;
constexpr double t_bar_height = 1.18;
constexpr double bca_bar_height = 1.08;

std::string number(double v) {
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, v).ptr};
}

// `text` with what is not printable UTF-8 shown as gnuplot_text() shows it: for
// comment lines, which end at a line break.
std::string shown(std::string_view text) {
  const std::string q = gnuplot_text(text);
  std::string out;
  for (std::size_t i = 1; i + 1 < q.size(); ++i) out += q[i] == '\'' ? q[i++] : q[i];
  return out;
}

// A gnuplot string expression whose value is exactly the file name `path`:
// relative names start with "./", so that gnuplot never takes one for a
// pipe ('|', '<'); printable runs in single quotes, every other byte as a
// double-quoted octal escape ("\012"), joined by gnuplot's '.' operator.
std::string file_name_expression(std::string_view path) {
  const std::string name = (path.empty() || path.front() != '/' ? "./" : "") + std::string(path);
  std::string out, run;
  const auto flush = [&] {
    if (!run.empty()) out += (out.empty() ? "'" : " . '") + run + "'";
    run.clear();
  };
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c != 0x7f) {
      run += ch == '\'' ? std::string("''") : std::string(1, ch);
      continue;
    }
    flush();
    const char octal[] = {'\\', static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + ((c >> 3) & 7)),
                          static_cast<char>('0' + (c & 7)), '\0'};
    out += std::string(out.empty() ? "\"" : " . \"") + octal + "\"";
  }
  flush();
  return out;
}

constexpr double largest = std::numeric_limits<double>::max();

// b - a, or the largest double of its sign where that overflows: no infinity
// reaches the script or the data.
double difference(double b, double a) {
  const double d = b - a;
  return std::isfinite(d) ? d : std::copysign(largest, d);
}

double clamped(double v) { return std::clamp(v, -largest, largest); }

struct Range {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void add(double v) {
    if (!std::isfinite(v)) return;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  bool empty() const { return !(low <= high); }
  // Widened so that a single value still has a width.
  Range padded(double fraction) const {
    if (empty()) return {-1.0, 1.0};
    const double width = high > low ? difference(high, low) : std::max(std::fabs(low), 1.0);
    return {clamped(low - fraction * width), clamped(high + fraction * width)};
  }
};

struct Boxes {
  std::vector<double> centre, count, width;
  double tallest() const { return count.empty() ? 0.0 : *std::max_element(count.begin(), count.end()); }
};

Boxes sample_boxes(const SampleHistogram& h) {
  Boxes b;
  for (std::size_t i = 0; i < h.counts.size(); ++i) {
    const double w = difference(h.bounds[i + 1], h.bounds[i]);
    b.centre.push_back(0.5 * (h.bounds[i] + h.bounds[i + 1]));
    b.count.push_back(h.counts[i]);
    b.width.push_back(w > 0 ? w : std::max(std::fabs(h.bounds[i]) * 0.1, 1.0));
  }
  return b;
}

Range replicate_range(const MeasurePanel& p) {
  Range r;
  for (double v : p.replicates) r.add(v);
  return r;
}

Boxes replicate_boxes(const MeasurePanel& p) {
  const Range r = replicate_range(p);
  Boxes b;
  if (r.empty()) return b;
  const Range span = r.high > r.low ? r : r.padded(0.5);
  const double width = difference(span.high, span.low) / replicate_classes;
  std::vector<double> counts(replicate_classes, 0.0);
  for (double v : p.replicates) {
    if (!std::isfinite(v)) continue;
    const auto k = static_cast<std::size_t>(std::clamp((v - span.low) / width, 0.0, replicate_classes - 1.0));
    counts[k] += 1.0;
  }
  for (int k = 0; k < replicate_classes; ++k) {
    b.centre.push_back(span.low + (k + 0.5) * width);
    b.count.push_back(counts[static_cast<std::size_t>(k)]);
    b.width.push_back(width);
  }
  return b;
}

void add_boxes(std::string& out, const Boxes& b) {
  if (b.centre.empty()) out += "0 0 1\n";
  for (std::size_t i = 0; i < b.centre.size(); ++i) {
    out += number(b.centre[i]) + " " + number(b.count[i]) + " " + number(b.width[i]) + "\n";
  }
  out += "\n\n";
}

void add_segment(std::string& out, double x0, double y0, double x1, double y1) {
  const bool shown = std::isfinite(x0) && std::isfinite(x1);
  out += shown ? number(x0) + " " + number(y0) + "\n" + number(x1) + " " + number(y1) + "\n" : "0 0\n0 0\n";
  out += "\n\n";
}

// Where each panel sits on the canvas: origin and size as fractions.
struct Place {
  double x, y, width, height;
};

std::vector<Place> panel_places(std::size_t panels) {
  if (panels <= 2) return {{0.0, 0.0, 0.5, 0.55}, {0.5, 0.0, 0.5, 0.55}};
  return {{0.0, 0.275, 0.5, 0.275}, {0.5, 0.275, 0.5, 0.275}, {0.0, 0.0, 0.5, 0.275}, {0.5, 0.0, 0.5, 0.275}};
}

std::string terminal_line(FigureFormat format) {
  switch (format) {
    case FigureFormat::svg: return "set terminal svg size 1000,1100 dynamic noenhanced font 'sans,11' background '#ffffff'\n";
    case FigureFormat::png: return "set terminal pngcairo size 1000,1100 noenhanced font 'sans,10' background '#ffffff'\n";
    case FigureFormat::pdf: return "set terminal pdfcairo size 10in,11in noenhanced font 'sans,10'\n";
  }
  return {};
}

std::string samples_panel(const Figure& f) {
  const double top = std::max(sample_boxes(f.x).tallest(), sample_boxes(f.y).tallest());
  return "set origin 0, 0.56\nset size 1, 0.40\n"
         "set title 'Samples'\nset xlabel 'value'\nset ylabel 'count'\n"
         "set xrange [*:*]\nset yrange [0:" + number(std::max(top, 1.0) * 1.15) + "]\n"
         "set key top right\n"
         "plot data index 0 using 1:2:3 with boxes lc rgb sample1 title " + gnuplot_text(f.x.name) +
         ", \\\n     data index 1 using 1:2:3 with boxes lc rgb sample2 title " + gnuplot_text(f.y.name) + "\n";
}

std::string measure_panel(const MeasurePanel& p, std::size_t k, const Place& place) {
  Range range = replicate_range(p);
  for (double v : {p.estimate, p.t_lower, p.t_upper, p.bca_lower, p.bca_upper}) range.add(v);
  const Range x = range.padded(0.05);
  const double top = std::max(replicate_boxes(p).tallest(), 1.0);
  const std::size_t block = 2 + 4 * k;
  std::string s = "set origin " + number(place.x) + ", " + number(place.y) + "\nset size " + number(place.width) +
                  ", " + number(place.height) + "\n";
  s += "set title " + gnuplot_text(p.title) + "\nset xlabel " + gnuplot_text(std::string(p.name) + ", bootstrap replicates") +
       "\nset ylabel 'count'\n";
  s += "set xrange [" + number(x.low) + ":" + number(x.high) + "]\nset yrange [0:" + number(top * headroom) + "]\n";
  s += "set key top left horizontal samplen 2\nunset arrow\n";
  if (x.low < 0.0 && x.high > 0.0) s += "set arrow from 0, graph 0 to 0, graph 1 nohead dashtype 2 lc rgb 'gray50'\n";
  s += "plot data index " + std::to_string(block) + " using 1:2:3 with boxes lc rgb 'gray75' notitle";
  const auto shown = [](double a, double b) { return std::isfinite(a) && std::isfinite(b); };
  if (shown(p.t_lower, p.t_upper)) {
    s += ", \\\n     data index " + std::to_string(block + 1) + " with lines lw 4 lc rgb tbar title \"Student's t\"";
  }
  if (shown(p.bca_lower, p.bca_upper)) {
    s += ", \\\n     data index " + std::to_string(block + 2) + " with lines lw 4 lc rgb bcabar title 'BCa'";
  }
  if (std::isfinite(p.estimate)) {
    s += ", \\\n     data index " + std::to_string(block + 3) + " with lines lw 2 lc rgb 'black' title 'estimate'";
  }
  return s + "\n";
}

}  // namespace

std::optional<FigureFormat> figure_format(std::string_view file) {
  const auto dot = file.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::string ext(file.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "svg") return FigureFormat::svg;
  if (ext == "png") return FigureFormat::png;
  if (ext == "pdf") return FigureFormat::pdf;
  return std::nullopt;
}

std::string figure_data(const Figure& f) {
  std::string out = "# " + shown(f.heading) + "\n# sample 1 and sample 2: class centre, count, class width\n";
  add_boxes(out, sample_boxes(f.x));
  add_boxes(out, sample_boxes(f.y));
  for (const MeasurePanel& p : f.panels) {
    const double top = std::max(replicate_boxes(p).tallest(), 1.0);
    out += "# " + std::string(p.name) + ": replicate classes, t bar, BCa bar, estimate\n";
    add_boxes(out, replicate_boxes(p));
    add_segment(out, p.t_lower, top * t_bar_height, p.t_upper, top * t_bar_height);
    add_segment(out, p.bca_lower, top * bca_bar_height, p.bca_upper, top * bca_bar_height);
    add_segment(out, p.estimate, 0.0, p.estimate, top * headroom);
  }
  return out;
}

std::string figure_script(const Figure& f, std::string_view output, std::string_view data) {
  std::string s = "# The figure of a diffboot run. Restyle it here and draw it again with: gnuplot " +
                  gnuplot_text(shown(f.file + ".gp")) + "\n";
  s += "set encoding utf8\n" + terminal_line(f.format) + "set output " + file_name_expression(output) + "\n";
  s += "data = " + file_name_expression(data) + "\n";
  s += std::string("sample1 = '") + sample1_colour + "'\nsample2 = '" + sample2_colour + "'\ntbar = '" + t_colour +
       "'\nbcabar = '" + bca_colour + "'\n";
  s += "set style fill transparent solid 0.45 border\nset grid ytics lc rgb 'gray90'\n";
  s += "set multiplot title " + gnuplot_text(f.heading) + "\n";
  s += samples_panel(f);
  const std::vector<Place> places = panel_places(f.panels.size());
  for (std::size_t k = 0; k < f.panels.size() && k < places.size(); ++k) s += measure_panel(f.panels[k], k, places[k]);
  return s + "unset multiplot\nunset output\n";
}

std::string figure_script(const Figure& f) { return figure_script(f, f.file, f.file + ".dat"); }

namespace {

// Whether `figure` ends as a whole file of its format does: an SVG's closing
// tag, a PNG's IEND chunk (then its 4-byte checksum), a PDF's end-of-file mark.
bool complete(const staging::UnnamedFile& figure, FigureFormat format) {
  switch (format) {
    case FigureFormat::svg: return figure.tail(64).find("</svg>") != std::string::npos;
    case FigureFormat::png: return figure.tail(8).substr(0, 4) == "IEND";
    case FigureFormat::pdf: return figure.tail(64).find("%%EOF") != std::string::npos;
  }
  return false;
}

}  // namespace

std::string draw_figure(const Figure& f) {
  const std::string directory = std::filesystem::path(f.file).parent_path().string();
  staging::UnnamedFile data(directory), script(directory), kept_script(directory), figure(directory);
  for (const staging::UnnamedFile* file : {&data, &script, &kept_script, &figure}) {
    if (!file->error().empty()) return file->error();
  }
  // gnuplot reads this run's own data and writes into this run's own file,
  // both reached through descriptors, never through a name the user gave.
  if (!data.write(figure_data(f))) return data.error();
  if (!script.write(figure_script(f, figure.child_path(), data.child_path()))) return script.error();
  if (!kept_script.write(figure_script(f))) return kept_script.error();
  const int inherited[] = {data.descriptor(), script.descriptor(), figure.descriptor()};
  if (std::string problem = describe(run_figure_script(script.child_path(), inherited)); !problem.empty()) {
    return problem;
  }
  if (figure.size() <= 0 || !complete(figure, f.format)) return "gnuplot wrote no complete figure";
  // The three take their names one run at a time, so that they always come
  // from one run.
  const staging::DirectoryLock lock(directory);
  for (auto [file, name] : {std::pair{&data, f.file + ".dat"}, {&kept_script, f.file + ".gp"}, {&figure, f.file}}) {
    if (std::string problem = file->give_name(name); !problem.empty()) return "cannot write \"" + name + "\": " + problem;
  }
  return {};
}

}  // namespace diffboot::plot
