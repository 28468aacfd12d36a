#include "plot/histogram_file.h"

#include "plot/gnuplot_text.h"
#include "text/stops.h"
#include "text/units.h"
#include "text/writer.h"

namespace diffboot::plot {
namespace {

int open_target(int unit, HistogramTarget type, std::string_view path) {
  const text::FileMode mode = type == HistogramTarget::report ? text::FileMode::append : text::FileMode::replace;
  return text::open_text_file(unit, path, mode);
}

void corner(int unit, double x, double y) { text::write_record(unit, "(12x,2(es11.4,4x))", {x, y}); }

}  // namespace

void write_histogram(HistogramTarget type, std::string_view path, std::span<const double> bounds,
                        std::span<const double> counts, std::string_view label) {
  const text::Unit file;
  const int u = file.number();
  if (open_target(u, type, path) != 0) {
    text::write_list(text::console, {"Error during output data file opening (subroutine writehistogramdata) - terminate"});
    text::write_list(text::console, {"type = ", static_cast<std::int32_t>(type)});
    text::stop_run();
  }
  const auto k = static_cast<std::int32_t>(counts.size());
  if (type == HistogramTarget::report) {
    text::write_record(u, "(a)", {" "});
    text::write_record(u, "(a,i8)", {"Histogram data with class number (Scott 1979): ", k});
    text::write_record(u, "(a)", {label});
    text::write_record(u, "(a)", {" "});
  }
  for (std::size_t i = 0; i < counts.size(); ++i) {
    corner(u, bounds[i], 0.0);
    corner(u, bounds[i], counts[i]);
    corner(u, bounds[i + 1], counts[i]);
    corner(u, bounds[i + 1], 0.0);
  }
  text::close_text_file(u);
}

void write_plot_script(std::string_view path, std::string_view sample1_data, std::string_view sample2_data,
                       const std::array<std::string, 2>& titles) {
  const text::Unit file;
  const int u = file.number();
  if (text::open_text_file(u, path, text::FileMode::replace) != 0) {
    text::write_list(text::console, {"Error during plot file opening - terminate"});
    text::stop_run();
  }
  text::write_record(u, "(a)", {" set key"});
  text::write_record(u, "(a)", {" set nogrid"});
  text::write_record(u, "((a))", {" set title \" Histograms\""});
  text::write_record(u, "(a)", {" set autoscale x"});
  text::write_record(u, "(a)", {" set autoscale y"});
  // "lt" names the line type: a bare number after "w l" is refused by gnuplot 5.
  // Keys of the run's own labels are drawn as they are written: gnuplot's
  // enhanced text would read '_', '^', '@' and braces in them as markup.
  const std::string literal = titles == default_titles ? "" : " noenhanced";
  const std::string title1 = gnuplot_text(titles[0]) + literal, title2 = gnuplot_text(titles[1]) + literal;
  text::write_record(u, "(a,a,a,a,a,i4,a,a)", {" plot '", sample1_data, "' title ", title1, " w l lt ", 7, ",", "\\"});
  text::write_record(u, "(a,a,a,a,a,i4)", {"'", sample2_data, "' title ", title2, " w l lt ", 5});
  text::write_record(u, "(1x,a)", {"pause mouse key"});
  text::close_text_file(u);
}

}  // namespace diffboot::plot
