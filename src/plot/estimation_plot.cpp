// The estimation plot painted by gnuplot: the figure's model (figure_model.h)
// as a script and a data file, every mark a plain shape sized in points,
// every number that reaches gnuplot finite.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "figure/figure_model.h"
#include "figure/figure_text.h"
#include "plot/figure.h"
#include "plot/gnuplot_text.h"

namespace diffboot::plot {
namespace {

using namespace figure;

constexpr double png_dots_per_inch = 200.0;
constexpr double largest = std::numeric_limits<double>::max();

// A coordinate as the data and the script hold it: the shortest text that
// reads back as the double; no infinity or NaN reaches gnuplot.
std::string number(double v) {
  const double finite = std::isnan(v) ? 0.0 : std::clamp(v, -largest, largest);
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, finite).ptr};
}

std::string point(double x, double y) { return number(x) + " " + number(y) + "\n"; }

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

struct Page {
  double width, height;
  double sx(double inches) const { return inches / width; }
  double sy(double inches) const { return inches / height; }
};

std::string terminal_line(FigureFormat format, const FigureModel& m) {
  // Text and lines in points, lines thinner with the font.
  const std::string font = " noenhanced font 'sans," + number(std::round(m.font * 10) / 10) + "'";
  // The cairo terminals draw a font a third larger than its size in points
  // (they reckon text at 96 an inch): scaled by 3/4, its em is the point
  // size the layout reckons with, as in the svg.
  const double lines = m.font / 8.0;
  switch (format) {
    case FigureFormat::svg:  // a unit is a point
      return "set terminal svg size " + number(std::round(m.width * 72)) + "," + number(std::round(m.height * 72)) +
             font + " linewidth " + number(lines) + " background '#ffffff'\n";
    case FigureFormat::png:  // 200 pixels an inch
      return "set terminal pngcairo size " + number(std::round(m.width * png_dots_per_inch)) + "," +
             number(std::round(m.height * png_dots_per_inch)) + font + " fontscale " +
             number(0.75 * png_dots_per_inch / 72.0) + " linewidth " + number(lines * png_dots_per_inch / 72.0) +
             " background '#ffffff'\n";
    case FigureFormat::pdf:  // a cairo line width of 1 is half a point
      return "set terminal pdfcairo size " + number(m.width) + "in," + number(m.height) + "in" + font +
             " fontscale 0.75 linewidth " + number(2.0 * lines) + "\n";
  }
  return {};
}

std::string panel_frame(const Page& page, const Box& a) {
  return "set lmargin at screen " + number(page.sx(a.left)) + "\nset rmargin at screen " + number(page.sx(a.right)) +
         "\nset bmargin at screen " + number(page.sy(a.bottom)) + "\nset tmargin at screen " + number(page.sy(a.top)) + "\n";
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

// The marks of a panel as the data's blocks and the plot command's elements.
// gnuplot's circles take their radius in units of the x axis, `per_unit`
// inches each; its line widths are in units of the terminal's, which grow
// with the font as the model's do.
std::string paint_marks(Drawing& d, const Panel& p) {
  const double per_unit = p.box.width() / (p.x.high - p.x.low);
  Plot plot;
  for (const Mark& m : p.marks) {
    const std::string axes = m.second_axis ? "axes x1y2 " : "";
    const std::string colour = " lc rgb '" + m.colour + "' notitle";
    std::string rows;
    std::size_t next_break = 0;
    for (std::size_t i = 0; i < m.x.size(); ++i) {
      if (m.kind == MarkKind::lines && next_break < m.breaks.size() && m.breaks[next_break] == i) rows += "\n", ++next_break;
      if (m.kind == MarkKind::discs) {
        rows += number(m.x[i]) + " " + number(m.y[i]) + " " + number(m.diameter[i] / 144.0 / per_unit) + "\n";
      } else {
        rows += point(m.x[i], m.y[i]);
      }
    }
    const std::size_t block = d.block(m.what, rows);
    switch (m.kind) {
      case MarkKind::discs: plot.add(block, "using 1:2:3 " + axes + "with circles fs solid 1.0 noborder" + colour); break;
      case MarkKind::lines: plot.add(block, "using 1:2 " + axes + "with lines lw " + number(m.width) + colour); break;
      case MarkKind::area:
        plot.add(block, "using 1:2 " + axes + "with filledcurves closed fs " +
                            (m.opacity < 1.0 ? "transparent solid " + number(m.opacity) : std::string("solid 1.0")) +
                            " noborder" + colour);
        break;
    }
  }
  if (plot.elements.empty()) plot.add(d.block("nothing to draw", point(0.0, 0.0)), "using 1:2 with dots lc rgb '#ffffff' notitle");
  return plot.command();
}

// The legend: a sample of each mark and its name, placed on the page.
std::string legend(const FigureModel& m, const Page& page) {
  const double line = m.line, ch = m.ch;
  std::string s;
  for (const LegendEntry& e : m.legend) {
    const double a = e.left, b = e.right, mid = 0.5 * (a + b), y = e.y;
    const auto arrow = [&](double x1, double y1, double x2, double y2, const std::string& style) {
      return "set arrow from screen " + number(page.sx(x1)) + ", " + number(page.sy(y1)) + " to screen " +
             number(page.sx(x2)) + ", " + number(page.sy(y2)) + " nohead front " + style + "\n";
    };
    switch (e.kind) {
      case LegendKind::mean_sd:
        s += arrow(mid, y - 0.4 * line, mid, y + 0.4 * line, "lw 1.5 lc rgb 'black'");
        s += "set object circle at screen " + number(page.sx(mid)) + ", " + number(page.sy(y)) + " size screen " +
             number(page.sx(m.mark_diameter / 144.0)) + " front fc rgb 'black' fs solid 1.0 noborder\n";
        break;
      case LegendKind::median: s += arrow(a + 0.3 * ch, y, b - 0.3 * ch, y, "lw 1.5 lc rgb 'black'"); break;
      case LegendKind::bca: {
        const double half = m.bca_thickness / 144.0;
        s += "set object rectangle from screen " + number(page.sx(a)) + ", " + number(page.sy(y - half)) + " to screen " +
             number(page.sx(b)) + ", " + number(page.sy(y + half)) + " front fc rgb '#CC79A7' fs solid 1.0 noborder\n";
        break;
      }
      case LegendKind::t: s += arrow(a, y, b, y, "lw 1.5 lc rgb '#009E73'"); break;
    }
    s += "set label " + gnuplot_text(e.text) + " at screen " + number(page.sx(e.text_x)) + ", " + number(page.sy(y)) +
         " left front\n";
  }
  return s;
}

std::string samples_panel(Drawing& d, const FigureModel& m, const Page& page, const Panel& p) {
  std::string s = panel_frame(page, p.box);
  s += "unset key\nunset label\nunset arrow\nunset object\nunset grid\nset border 3\nset xtics nomirror scale 0\n";
  s += "set xrange [" + number(p.x.low) + ":" + number(p.x.high) + "]\n";
  s += p.y.log_scale ? "set logscale y 10\n" : "unset logscale y\n";
  s += "set yrange [" + number(p.y.low) + ":" + number(p.y.high) + "]\nset ytics nomirror " + tics_list(p.y.ticks) + "\n";
  s += "set ylabel " + gnuplot_text(p.y.title) + "\nunset xlabel\n";
  s += "set xtics (";
  for (std::size_t i = 0; i < p.categories.size(); ++i) {
    s += (i == 0 ? "" : ", ") + gnuplot_tic_text(p.categories[i].label) + " " + number(p.categories[i].at);
  }
  s += ")\n" + legend(m, page);
  if (p.y2) {
    s += "set y2range [" + number(p.y2->low) + ":" + number(p.y2->high) + "]\nset y2tics nomirror " + tics_list(p.y2->ticks) +
         "\nset y2label " + gnuplot_text(p.y2->title) + "\n";
  } else {
    s += "unset y2tics\nunset y2label\n";
  }
  return s + paint_marks(d, p) + "unset y2tics\nunset y2label\nunset logscale y\nunset object\nset border 31\n";
}

std::string effect_panel(Drawing& d, const Page& page, const Panel& p) {
  std::string s = panel_frame(page, p.box);
  // The categories name the rows on y, or the columns under x of an upright panel.
  const std::string across = p.upright ? "x" : "y", along = p.upright ? "y" : "x";
  const ModelAxis& values = p.upright ? p.y : p.x;
  s += std::string("unset key\nunset label\nunset arrow\nunset object\nset border ") + (p.upright ? "3" : "1") +
       "\nunset logscale y\nset " + across + "tics nomirror scale 0 (";
  for (std::size_t k = 0; k < p.categories.size(); ++k) {
    s += (k == 0 ? "" : ", ") + gnuplot_tic_text(p.categories[k].label) + " " + number(p.categories[k].at);
  }
  s += ")\nset " + along + "tics nomirror scale 1 " + tics_list(values.ticks) + "\n" + (p.upright ? "unset grid\n" : "") +
       "set grid " + along + "tics lc rgb 'gray92'\n";
  s += "set xrange [" + number(p.x.low) + ":" + number(p.x.high) + "]\nset yrange [" + number(p.y.low) + ":" +
       number(p.y.high) + "]\n";
  s += "unset " + across + "label\nset " + along + "label " + gnuplot_text(values.title) + "\n";
  if (p.zero_line) {
    s += p.upright ? "set arrow from graph 0, first 0 to graph 1, first 0 nohead dashtype 2 lc rgb 'gray50'\n"
                   : "set arrow from 0, graph 0 to 0, graph 1 nohead dashtype 2 lc rgb 'gray50'\n";
  }
  for (const ModelText& t : p.texts) {
    s += "set label " + gnuplot_text(t.text) + " at screen " + number(page.sx(t.x)) + ", first " + number(t.y) + " left" +
         (t.colour == "#000000" ? std::string() : " tc rgb '" + t.colour + "'") + "\n";
  }
  return s + paint_marks(d, p) + (p.upright ? "unset ylabel\n" : "");
}

}  // namespace

// The script's commands and the data they draw, made together so that the
// commands' block numbers are the data's.
Composition compose_model(const FigureModel& m, FigureFormat format) {
  const Page page{m.width, m.height};
  Drawing d;
  d.data = "# " + comment_text(m.title) + "\n";
  std::string s = "set multiplot title " + gnuplot_text(m.title) + "\n";
  for (const Panel& p : m.panels) s += p.samples ? samples_panel(d, m, page, p) : effect_panel(d, page, p);
  return {terminal_line(format, m), s + "unset multiplot\n", d.data};
}

Composition compose_figure(const Figure& f) { return compose_model(figure_model(f), f.format); }

std::string figure_data(const Figure& f) { return compose_figure(f).data; }

std::string figure_script(std::string_view file, const Composition& c, std::string_view output, std::string_view data) {
  std::string s = "# The figure of a diffboot run. Restyle it here and draw it again with: gnuplot " +
                  gnuplot_text(comment_text(std::string(file) + ".gp")) + "\n";
  s += "set encoding utf8\n" + c.terminal + "set output " + file_name_expression(output) + "\n";
  s += "data = " + file_name_expression(data) + "\n";
  s += "set style fill transparent solid 0.45\n";
  return s + c.commands + "unset output\n";
}

std::string figure_script(const Figure& f) { return figure_script(f.file, compose_figure(f), f.file, f.file + ".dat"); }

}  // namespace diffboot::plot
