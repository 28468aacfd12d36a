// The figure: its format by extension, its script and data, and real
// renderings by gnuplot in each format for a paired and an unpaired run.
#include "plot/figure.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <algorithm>
#include <regex>
#include <cmath>
#include <string>
#include <vector>

#include "app/batch.h"
#include "figure/figure_text.h"
#include "support/console_capture.h"
#include "support/pixels.h"
#include "support/program.h"

namespace diffboot::plot {
namespace {

using figure::character_count;
using figure::figure_number;
using figure::bounds_text;
using figure::interval_text;

TEST(FigureTest, FormatByExtension) {
  const std::pair<const char*, std::optional<FigureFormat>> cases[] = {
      {"fig.svg", FigureFormat::svg}, {"a/b.c.PNG", FigureFormat::png}, {"x.pdf", FigureFormat::pdf},
      {"fig.gif", std::nullopt},      {"svg", std::nullopt},             {"fig.", std::nullopt},
  };
  for (const auto& [file, format] : cases) EXPECT_EQ(figure_format(file), format) << file;
}

// A figure of two small samples and one measure whose BCa interval has a
// bound that is not a number.
Figure small_figure(std::span<const double> x, std::span<const double> y, std::span<const double> replicates) {
  Figure f{"out.svg", FigureFormat::svg, false, 95, 1999, {"x.txt", x, 2.0, 1.0, 2.0}, {"y's.txt", y, 3.0, 1.5, 3.0},
           {}};
  f.measures.push_back({"difference of means", "d_AVE", 0.5, -1.0, 1.5, -0.5, std::nan(""), replicates});
  return f;
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(FigureTest, ScriptAndData) {
  const std::vector<double> x{1, 2, 3}, y{2, 3, 4, 5}, replicates{0.0, 0.2, 0.3, 0.7, std::nan("")};
  Figure f = small_figure(x, y, replicates);
  f.measures.push_back({"difference of medians", "d_MED", std::nan(""), 0.0, 1.0, 0.0, 1.0, replicates});
  f.width = 9;  // room for the measures' names in words beside their long texts
  const std::string script = figure_script(f), data = figure_data(f);
  for (const char* text : {"set terminal svg size 648,360", "set output './out.svg'", "data = './out.svg.dat'",
                           "'#0072B2'", "'#E69F00'", "set multiplot title 'x.txt − y' . \"\\047\" . 's.txt (unpaired): 95% intervals, B = 1999'",
                           "set xtics ('x.txt (n = 3)' 1, 'y' . \"\\047\" . 's.txt (n = 4)' 2)", "set ylabel 'value'",
                           "set ytics nomirror scale 0 ('difference of means (d_AVE)' 2, 'difference of medians (d_MED)' 1)",
                           "set label 'cannot be drawn: no finite estimate'",
                           "set label '0.500, BCa interval not defined'", "set label 't [−1.00, 1.50]'",
                           "set arrow from 0, graph 0"}) {
    EXPECT_NE(script.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(count(data, "\n1 "), 3u) << "one point per value of x in column 1";
  EXPECT_EQ(count(data, "\n2 "), 4u) << "and of y in column 2";
  EXPECT_EQ(count(script, "'#CC79A7' notitle"), 0u) << "no BCa bar without both bounds";
  f.width = 4;
  EXPECT_NE(figure_script(f).find("set ytics nomirror scale 0 ('d_AVE' 2, 'd_MED' 1)"), std::string::npos)
      << "a narrow figure names the measures in code";
  for (const std::string& text : {script, data}) {
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.find("inf"), std::string::npos);
  }
}

TEST(FigureTest, EachUnitlessMeasureOnItsOwnAxis) {
  // g in sd units, delta on −1 to 1 and lift in percent never share an axis:
  // each panel's range is its measure's alone. Columns: the measure, its
  // estimate and bounds, the range its axis must hold, the widest it may be,
  // the axis's name.
  const std::vector<double> x{1, 2, 3, 5}, y{2, 3, 4, 6}, r_g{1.0, 1.2, 1.4}, r_delta{0.2, 0.4, 0.5}, r_lift{1.5, 2.0, 2.5};
  struct Row {
    const char* name;
    double estimate, lower, upper;
    std::span<const double> replicates;
    double must_low, must_high, widest;
    const char* axis;
  };
  const Row rows[] = {
      {"g", 1.2, 0.9, 1.5, r_g, 0.9, 1.5, 2.0, "set xlabel 'a − b: g in sd units'"},
      {"delta", 0.4, 0.1, 0.6, r_delta, -1.0, 1.0, 2.5, "set xlabel 'a − b: delta from −1 to 1'"},
      {"lift", 2.0, 1.4, 2.6, r_lift, 140.0, 260.0, 200.0, "set xlabel 'a − b: lift in percent'"},
  };
  Figure f{"out.svg", FigureFormat::svg, false, 95, 1999, {"a", x, 2.75, 1.7, 2.5}, {"b", y, 3.75, 1.7, 3.5}, {}};
  f.measures.push_back({"difference of means", "d_AVE", -1.0, -2.0, 0.1, -2.0, 0.1, r_g});
  for (const Row& r : rows) f.measures.push_back({r.name, r.name, r.estimate, r.lower, r.upper, r.lower, r.upper, r.replicates});
  const std::string script = figure_script(f);
  static const std::regex xrange(R"(set xrange \[([^:]+):([^\]]+)\])");
  std::vector<std::pair<double, double>> ranges;
  for (auto it = std::sregex_iterator(script.begin(), script.end(), xrange); it != std::sregex_iterator(); ++it) {
    ranges.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
  }
  ASSERT_EQ(ranges.size(), 5u) << "the samples, the differences and an axis for each of g, delta and lift";
  for (std::size_t k = 0; k < 3; ++k) {
    const Row& r = rows[k];
    const auto [low, high] = ranges[k + 2];
    EXPECT_LE(low, r.must_low) << r.name;
    EXPECT_GE(high, r.must_high) << r.name;
    EXPECT_LE(high - low, r.widest) << r.name << ": its axis is its own";
    EXPECT_NE(script.find(r.axis), std::string::npos) << r.axis;
  }
  EXPECT_NE(script.find("set label '200% [140%, 260%] BCa'"), std::string::npos) << "lift's numbers in percent";
}

TEST(FigureTest, SizesByFormat) {
  // Columns: the format, the size asked for (inches), the terminal's size.
  const std::vector<double> x{1, 2, 3}, replicates{0.1, 0.2};
  const std::tuple<FigureFormat, double, double, const char*> cases[] = {
      {FigureFormat::svg, 7, 5, "svg size 504,360 noenhanced font 'sans,8'"},
      {FigureFormat::png, 7, 5, "pngcairo size 1400,1000 noenhanced font 'sans,8' fontscale 2.083"},
      {FigureFormat::pdf, 7, 5, "pdfcairo size 7in,5in noenhanced font 'sans,8' fontscale 0.75 linewidth 2"},
      {FigureFormat::pdf, 3.5, 2.5, "pdfcairo size 3.5in,2.5in"},
      {FigureFormat::png, 3.5, 2.5, "pngcairo size 700,500"},
  };
  for (const auto& [format, width, height, terminal] : cases) {
    Figure f = small_figure(x, x, replicates);
    f.format = format, f.width = width, f.height = height;
    EXPECT_NE(figure_script(f).find(terminal), std::string::npos) << terminal;
  }
}

TEST(FigureTest, WhatEachSizeOfSampleShows) {
  // Paired runs: a line per pair, or past most_pair_lines the differences on
  // their own axis; samples past most_points as half violins, not points.
  const std::vector<double> few(10, 1.0), many(most_pair_lines + 1, 1.0), replicates{0.1, 0.2};
  std::vector<double> crowd(most_points + 1), other(most_points + 1);
  for (std::size_t i = 0; i < crowd.size(); ++i) crowd[i] = static_cast<double>(i % 97), other[i] = static_cast<double>(i % 89);
  Figure f = small_figure(few, few, replicates);
  f.paired = true;
  EXPECT_NE(figure_data(f).find("# pairs: a line from x to y each"), std::string::npos);
  EXPECT_NE(figure_data(f).find("\n1 1 "), std::string::npos) << "a line's ends stay on their columns";
  f.x.values = f.y.values = many;
  EXPECT_EQ(figure_data(f).find("# pairs"), std::string::npos);
  EXPECT_NE(figure_script(f).find("axes x1y2"), std::string::npos);
  f.x.values = crowd, f.y.values = other;
  EXPECT_EQ(count(figure_data(f), "half violin outline (x, value)"), 3u) << "x, y and the differences";
}

TEST(FigureTest, NamesInTheScript) {
  // Columns: the figure's name, its `set output` line, a sample name, its tick label.
  struct Case {
    const char* file;
    const char* output;
    const char* sample;
    const char* label;
  };
  const Case cases[] = {
      {"/tmp/a.svg", "set output '/tmp/a.svg'\n", "plain.txt", "'plain.txt (n = 1)'"},
      {"|cmd.svg", "set output './|cmd.svg'\n", "q'uote`cmd`.txt", "'q' . \"\\047\" . 'uote`cmd`.txt (n = 1)'"},
      {"new\nline.svg", "set output './new' . \"\\012\" . 'line.svg'\n", "new\nline", "'new\\nline (n = 1)'"},
      {"\t.svg", "set output './' . \"\\011\" . '.svg'\n", "bad\xff", "'bad\\xFF (n = 1)'"},
      {"'q.svg", "set output './' . \"\\047\" . 'q.svg'\n", "'a%d", "\"\\047\" . 'a%%d (n = 1)'"},
  };
  const std::vector<double> one{1.0};
  for (const Case& c : cases) {
    Figure f = small_figure(one, one, one);
    f.file = c.file;
    f.x.label = c.sample;
    const std::string script = figure_script(f);
    EXPECT_NE(script.find(c.output), std::string::npos) << c.file;
    EXPECT_NE(script.find(c.label), std::string::npos) << c.sample;
  }
}

// Real renderings: the built program with the real gnuplot.
class RenderedFigure : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::on_path("gnuplot")) GTEST_SKIP() << "gnuplot is not installed";
    testing::write_file("first.txt", "4.1\n5.2\n3.9\n6.3\n5.5\n4.8\n5.0\n6.1\n");
    testing::write_file("second.txt", "3.2\n4.4\n3.1\n5.0\n4.1\n3.9\n4.6\n4.0\n");
  }
  int run(const std::string& args, const std::string& samples = " first.txt second.txt") {
    testing::Launch launch;
    launch.arguments = args + samples;
    launch.path = "/usr/bin:/bin";
    launch.input = "/dev/null";
    outcome_ = testing::run_built_program(launch);
    return outcome_.status;
  }
  testing::TempDir dir_;
  testing::Outcome outcome_{};
};

// The part of an svg that draws the plot element `id` ("gnuplot_plot_2a":
// the second element of the first panel).
std::string svg_group(const std::string& svg, const std::string& id) {
  const std::size_t start = svg.find("<g id=\"" + id + "\"");
  if (start == std::string::npos) return {};
  return svg.substr(start, svg.find("<g id=\"gnuplot_plot", start + 1) - start);
}

TEST_F(RenderedFigure, SvgHoldsEveryValueAndEveryMeasureWithItsNumbers) {
  // Columns: the experiment, the elements that draw x's and y's points, the
  // measures.
  const std::tuple<const char*, const char*, const char*, std::vector<std::string>> runs[] = {
      {"-u", "gnuplot_plot_1a", "gnuplot_plot_2a",
       {"difference of means (d_AVE)", "difference of medians (d_MED)", "difference of SDs (d_STD)",
        "difference of MADs (d_MAD)"}},
      {"-p", "gnuplot_plot_2a", "gnuplot_plot_3a", {"mean difference (AVE_d)", "median difference (MED_d)"}},
  };
  for (const auto& [type, x_points, y_points, rows] : runs) {
    ASSERT_EQ(run(std::string(type) + " -f json -l 90 -B 999 --figure fig.svg"), 0) << outcome_.err;
    const std::string svg = testing::read_file("fig.svg");
    EXPECT_EQ(count(svg_group(svg, x_points), "<polygon"), 8u) << type << ": a disc per value of x";
    EXPECT_EQ(count(svg_group(svg, y_points), "<polygon"), 8u) << type << ": and of y";
    EXPECT_EQ(svg.find("<use", svg.find("</defs>")), std::string::npos) << "every mark a plain shape";
    if (std::string(type) == "-p") {
      EXPECT_EQ(count(svg_group(svg, "gnuplot_plot_1a"), " L"), 8u) << "a line per pair";
    }
    EXPECT_NE(svg.find(std::string("first − second (") + (type[1] == 'p' ? "paired" : "unpaired") +
                       "): 90% intervals, B = 999"),
              std::string::npos);
    for (const std::string& row : rows) EXPECT_EQ(count(svg, ">" + row + "<"), 1u) << row;
    const nlohmann::json results = nlohmann::json::parse(outcome_.out);
    ASSERT_EQ(results["measures"].size(), rows.size());
    for (const auto& m : results["measures"]) {
      const std::string bca = interval_text(m["estimate"], m["bca_lower"], m["bca_upper"]) + " BCa";
      const std::string t = "t " + bounds_text(m["t_lower"], m["t_upper"]);
      EXPECT_EQ(count(svg, ">" + bca + "<"), 1u) << bca;
      EXPECT_EQ(count(svg, ">" + t + "<"), 1u) << t;
    }
    const std::string drawn = svg;
    std::filesystem::remove("fig.svg");
    EXPECT_EQ(std::system("gnuplot fig.svg.gp"), 0) << "the kept script redraws the figure from the kept data";
    EXPECT_EQ(testing::read_file("fig.svg"), drawn);
  }
}

TEST_F(RenderedFigure, SeveralGroupsEachValueAndAColumnPerComparison) {
  testing::write_file("third.txt", "5.9\n6.4\n7.1\n5.5\n6.8\n");
  // Columns: the experiment, the elements that draw each group's points (a
  // paired figure's first element draws the lines of its pairs).
  const std::tuple<const char*, std::vector<const char*>> runs[] = {
      {"-u", {"gnuplot_plot_1a", "gnuplot_plot_4a", "gnuplot_plot_7a"}},
      {"-p --sequential", {"gnuplot_plot_2a", "gnuplot_plot_5a", "gnuplot_plot_8a"}},
  };
  for (const auto& [type, points] : runs) {
    const bool paired = std::string(type) != "-u";
    testing::write_file("third.txt", paired ? "5.9\n6.4\n7.1\n5.5\n6.8\n6.0\n6.2\n5.8\n" : "5.9\n6.4\n7.1\n5.5\n6.8\n");
    ASSERT_EQ(run(std::string(type) + " -f json -B 999 --figure fig.svg" + (paired ? "" : " --control"),
                  " first.txt second.txt third.txt"), 0) << outcome_.err;
    const std::string svg = testing::read_file("fig.svg");
    for (std::size_t g = 0; g < 3; ++g) {
      EXPECT_EQ(count(svg_group(svg, points[g]), "<polygon"), !paired && g == 2 ? 5u : 8u) << type << ": group " << g;
    }
    if (paired) {
      EXPECT_EQ(count(svg_group(svg, "gnuplot_plot_1a"), " L"), 16u) << "a line per pair";
    }
    const nlohmann::json results = nlohmann::json::parse(outcome_.out);
    ASSERT_EQ(results["comparisons"].size(), 2u);
    for (const auto& c : results["comparisons"]) {
      std::string name = c["comparison"];
      name.replace(name.find(" - "), 3, " \u2212 ");
      EXPECT_EQ(count(svg, ">" + name + "<"), 1u) << name;
      const auto& m = c["measures"][0];
      const std::string bca = interval_text(m["estimate"], m["bca_lower"], m["bca_upper"]) + " BCa";
      EXPECT_EQ(count(svg, ">" + bca + "<"), 1u) << bca;
    }
  }
}

TEST_F(RenderedFigure, ProportionsAndClustersDrawWhatWasResampled) {
  testing::write_file("ones.txt", "1\n0\n1\n1\n0\n1\n1\n0\n1\n1\n");
  testing::write_file("zeros.txt", "0\n0\n1\n0\n0\n1\n0\n1\n0\n0\n");
  ASSERT_EQ(run("-u --proportions --figure fig.svg", " ones.txt zeros.txt"), 0) << outcome_.err;
  std::string data = testing::read_file("fig.svg.dat"), svg = testing::read_file("fig.svg");
  EXPECT_EQ(count(data, ": Wilson interval"), 2u);
  EXPECT_NE(svg.find(">ones (7 of 10)<"), std::string::npos);
  ASSERT_EQ(run("--counts --figure fig.svg", " 7/10 3/10"), 0) << outcome_.err;  // counts alone draw the same
  EXPECT_EQ(count(testing::read_file("fig.svg.dat"), ": Wilson interval"), 2u);
  EXPECT_NE(testing::read_file("fig.svg").find(">x (7 of 10)<"), std::string::npos);
  testing::write_file("s.csv", "user,arm,v\nu1,A,1\nu1,A,3\nu2,A,10\nu3,A,2\nu3,A,4\nu4,B,5\nu5,B,7\nu5,B,6\nu6,B,8\n");
  ASSERT_EQ(run("--table s.csv --by arm --value v --cluster user --figure fig.svg", " A B"), 0) << outcome_.err;
  data = testing::read_file("fig.svg.dat"), svg = testing::read_file("fig.svg");
  EXPECT_NE(data.find("# sample 1 by cluster: column, value, radius\n"), std::string::npos);
  EXPECT_NE(svg.find(">A (n = 3 users, 5 rows)<"), std::string::npos);
}

TEST_F(RenderedFigure, LabelsAreDrawnAsWritten) {
  // Quotes, formats, a macro, escapes and backquotes at the start, in the
  // middle and at the end of a label: each is drawn as it is written, in the
  // figure (title, tic labels) and in the histograms' keys (2.tmp).
  const std::string a = "'5% a''b\"c\\d@e`f`%d'", b = "%`g`@h\\'";
  std::string quoted;
  for (char c : a + "," + b) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  ASSERT_EQ(run("-u -C . --figure fig.svg --labels '" + quoted + "'"), 0) << outcome_.err;
  const std::string svg = testing::read_file("fig.svg");
  EXPECT_NE(svg.find(">" + a + " − " + b + " (unpaired)"), std::string::npos);
  EXPECT_NE(svg.find(">" + a + " (n = 8)<"), std::string::npos);
  EXPECT_NE(svg.find(">" + b + " (n = 8)<"), std::string::npos);
  ASSERT_EQ(std::system("gnuplot -e \"set terminal svg; set output 'keys.svg'\" 2.tmp < /dev/null"), 0);
  const std::string keys = testing::read_file("keys.svg");
  EXPECT_NE(keys.find(">" + a + "<"), std::string::npos);
  EXPECT_NE(keys.find(">" + b + "<"), std::string::npos);
}

// A text of an svg as a box in the svg's units (points): its anchor, baseline
// and font size give its place, an average character 0.6 em wide (a minus
// sign 0.84) its width.
struct TextBox {
  std::string text;
  double left, right, top, bottom;
};

std::vector<TextBox> text_boxes(const std::string& svg) {
  static const std::regex text(
      R"re(<g transform="translate\(([\d.]+),([\d.]+)\)( rotate\(270\))?"[^>]*font-size="([\d.]+)"\s*text-anchor="(\w+)">\s*<text>([^<]*)</text>)re");
  std::vector<TextBox> boxes;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    std::string shown = m[6];
    while (!shown.empty() && shown.front() == ' ') shown.erase(0, 1);
    if (shown.empty()) continue;
    const double x = std::stod(m[1]), y = std::stod(m[2]), size = std::stod(m[4]);
    std::size_t minus = 0;
    for (std::size_t at = shown.find("−"); at != std::string::npos; at = shown.find("−", at + 1)) ++minus;
    const double length = size * (0.6 * static_cast<double>(character_count(shown)) + 0.24 * static_cast<double>(minus));
    const double start = m[5] == "start" ? 0.0 : m[5] == "middle" ? -0.5 * length : -length;
    if (m[3].matched) boxes.push_back({shown, x - 0.75 * size, x + 0.2 * size, y - start - length, y - start});
    else boxes.push_back({shown, x + start, x + start + length, y - 0.75 * size, y + 0.2 * size});
  }
  return boxes;
}

TEST_F(RenderedFigure, LegendBothEffectPanelsAndAxisNames) {
  testing::write_file("chicks.csv", "feed,weight\nA,179\nA,160\nA,136\nA,227\nA,217\nA,168\nB,309\nB,229\nB,181\nB,141\nB,260\n");
  ASSERT_EQ(run("-u --measures d_AVE,d_MED,g,delta --unit g --figure fig.svg --table chicks.csv --by feed", " A B"), 0)
      << outcome_.err;
  const std::string svg = testing::read_file("fig.svg"), data = testing::read_file("fig.svg.dat");
  for (const char* text : {"mean ± SD", "median", "BCa", "t", "weight (g)", "difference in weight, A − B (g)",
                           "A − B: g in sd units", "A − B: delta from −1 to 1", "difference of means (d_AVE)",
                           "difference of medians (d_MED)", "Hedges' g (g)", "Cliff's delta (delta)"}) {
    EXPECT_EQ(count(svg, std::string(">") + text + "<"), 1u) << text;
  }
  for (const char* block : {"# g: estimate", "# g: BCa interval", "# delta: t interval", "# delta: replicates'"}) {
    EXPECT_NE(data.find(block), std::string::npos) << block << ": drawn in the unitless panel";
  }
}

TEST_F(RenderedFigure, LiftInPercentInTheUnitlessPanel) {
  testing::write_file("chicks.csv", "feed,weight\nA,179\nA,160\nA,136\nA,227\nB,309\nB,229\nB,181\nB,141\n");
  ASSERT_EQ(run("-u --measures lift --figure fig.svg --table chicks.csv --by feed", " A B"), 0) << outcome_.err;
  const std::string svg = testing::read_file("fig.svg"), data = testing::read_file("fig.svg.dat");
  EXPECT_EQ(count(svg, ">A − B: lift in percent<"), 1u);
  EXPECT_NE(svg.find("%] BCa"), std::string::npos) << "its numbers in percent";
  EXPECT_NE(data.find("# lift: estimate"), std::string::npos);
}

TEST_F(RenderedFigure, NoTextLeavesTheFigureOrMeetsAnother) {
  // Columns: the run, its sizes. The paired run's lift is far from zero in
  // percent (−15000% and the like), its numbers the widest text.
  testing::write_file("low.txt", "0.7\n-1.6\n-0.2\n-1.2\n-0.1\n3.4\n3.7\n0.8\n0.0\n2.0\n");
  testing::write_file("high.txt", "1.9\n0.8\n1.1\n0.1\n-0.1\n4.4\n5.5\n1.6\n4.6\n3.4\n");
  const std::pair<std::string, std::vector<const char*>> runs[] = {
      {"-u --measures all --labels Dextro-hyoscyamine,Laevo-hyoscine first.txt second.txt",
       {"3,2.5", "3.5,3", "7,5", "12,4", "40,30"}},
      {"-p --measures all --unit h low.txt high.txt", {"4,3", "7,5", "5,7"}},
  };
  for (const auto& [args, sizes] : runs) {
    for (const char* size : sizes) {
      ASSERT_EQ(run("--figure fig.svg --figure-size " + std::string(size) + " " + args, ""), 0) << outcome_.err;
      const std::string svg = testing::read_file("fig.svg");
      const auto [width, height] = std::pair{std::stod(svg.substr(svg.find("width=\"") + 7)),
                                             std::stod(svg.substr(svg.find("height=\"") + 8))};
      const std::vector<TextBox> boxes = text_boxes(svg);
      EXPECT_GT(boxes.size(), 30u) << size;
      for (std::size_t i = 0; i < boxes.size(); ++i) {
        const TextBox& a = boxes[i];
        EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.right <= width && a.bottom <= height) << args << " " << size << ": " << a.text;
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
          const TextBox& b = boxes[j];
          EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
              << args << " " << size << ": \"" << a.text << "\" meets \"" << b.text << "\"";
        }
      }
    }
  }
}

TEST_F(RenderedFigure, MarksHaveTheSameSizeInPointsInEveryFormat) {
  if (!testing::on_path("pdftocairo") || !testing::on_path("pdftoppm") || !testing::on_path("convert")) {
    GTEST_SKIP() << "poppler-utils or ImageMagick is not installed";
  }
  for (const char* format : {"svg", "pdf", "png"}) ASSERT_EQ(run(std::string("-u --figure fig.") + format), 0) << outcome_.err;
  // A disc's width: the extent of the first shape filled with sample 1's blue.
  const auto disc_width = [](const std::string& svg, const std::string& fill, const std::string& numbers_after) {
    const std::size_t at = svg.find(numbers_after, svg.find(fill));
    std::vector<double> xs;
    static const std::regex pair(R"(([\d.]+)[ ,]([\d.]+))");
    const std::string shape = svg.substr(at, svg.find_first_of("'\"", at + numbers_after.size()) - at);
    for (auto it = std::sregex_iterator(shape.begin(), shape.end(), pair); it != std::sregex_iterator(); ++it) {
      xs.push_back(std::stod((*it)[1]));
    }
    return xs.empty() ? 0.0 : *std::max_element(xs.begin(), xs.end()) - *std::min_element(xs.begin(), xs.end());
  };
  ASSERT_EQ(std::system("pdftocairo -svg fig.pdf from_pdf.svg"), 0);
  const double svg_width = disc_width(testing::read_file("fig.svg"), "rgb(  0, 114, 178)", "points = '");
  const double pdf_width = disc_width(testing::read_file("from_pdf.svg"), "fill:rgb(0%,44.7", "d=\"");
  EXPECT_GT(svg_width, 2.0);
  EXPECT_NEAR(pdf_width, svg_width, 0.1 * svg_width) << "points in svg and pdf";
  // The png against the pdf drawn at its 200 pixels an inch: as much blue.
  ASSERT_EQ(std::system("pdftoppm -r 200 -png fig.pdf from_pdf && convert from_pdf-1.png -depth 8 pdf.ppm && "
                        "convert fig.png -depth 8 png.ppm"), 0);
  const auto blue = [](const std::string& ppm) { return testing::colour_pixels(ppm, 0x0072B2, 24); };
  const double png_blue = blue(testing::read_file("png.ppm")), pdf_blue = blue(testing::read_file("pdf.ppm"));
  EXPECT_NEAR(png_blue, pdf_blue, 0.15 * pdf_blue);
}

TEST_F(RenderedFigure, LogAxisTakesPositiveDataOnly) {
  std::string lognormal;
  for (int i = 1; i <= 3000; ++i) lognormal += std::to_string(std::exp(3.0 * std::sin(i * 0.37))) + "\n";
  testing::write_file("first.txt", lognormal);
  ASSERT_EQ(run("-u -B 99 --log --figure fig.svg"), 0) << outcome_.err;
  const std::string script = testing::read_file("fig.svg.gp");
  EXPECT_NE(script.find("set logscale y 10"), std::string::npos);
  const std::string ytics = script.substr(script.find("set ytics nomirror ("));
  EXPECT_GE(count(ytics.substr(0, ytics.find('\n')), ","), 3u) << "four ticks at least";
  testing::write_file("second.txt", "3\n0\n5\n");
  EXPECT_EQ(run("-u -B 99 --log --figure fig.svg"), 1);
  EXPECT_NE(outcome_.err.find("cannot draw the figure \"fig.svg\": --log draws positive values only, and \"second\" holds 0"),
            std::string::npos) << outcome_.err;
}

TEST_F(RenderedFigure, ManyPairsShowTheirDifferencesOnTheRightAxis) {
  std::string x, y;
  for (int i = 0; i <= static_cast<int>(most_pair_lines); ++i) {
    x += std::to_string(10 + i % 7) + "\n", y += std::to_string(9 + i % 5) + "\n";
  }
  testing::write_file("first.txt", x);
  testing::write_file("second.txt", y);
  ASSERT_EQ(run("-p -B 99 --unit g --figure fig.svg"), 0) << outcome_.err;
  const std::string svg = testing::read_file("fig.svg");
  EXPECT_NE(svg.find(">x − y (g)<"), std::string::npos);
  EXPECT_NE(svg.find(">differences (x − y)<"), std::string::npos);
}

TEST_F(RenderedFigure, ConstantSamplesRender) {
  testing::write_file("first.txt", "5\n5\n5\n5\n");
  testing::write_file("second.txt", "5\n5\n5\n");
  ASSERT_EQ(run("-u --figure fig.svg"), 0) << outcome_.err;
  const std::string svg = testing::read_file("fig.svg");
  EXPECT_EQ(count(svg, ">0.00 [0.00, 0.00] BCa<"), 4u) << "every interval of no width, each drawn as a tick";
}

TEST_F(RenderedFigure, DenormalEffectsRender) {
  // Effects narrower than the smallest normal double: an axis without marks in between.
  testing::write_file("first.txt", "4.9e-324\n0\n0\n");
  testing::write_file("second.txt", "0\n0\n0\n");
  for (const char* type : {"-u", "-p"}) EXPECT_EQ(run(std::string(type) + " --figure fig.svg"), 0) << outcome_.err;
}

TEST_F(RenderedFigure, PngHoldsBothSampleColours) {
  if (!testing::on_path("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  for (const char* type : {"-u", "-p"}) {
    ASSERT_EQ(run(std::string(type) + " --figure fig.png"), 0) << outcome_.err;
    ASSERT_EQ(std::system("convert fig.png -depth 8 fig.ppm"), 0);
    const std::string ppm = testing::read_file("fig.ppm");
    EXPECT_NE(ppm.find("1400 1000"), std::string::npos) << "7 x 5 inches at 200 an inch";
    EXPECT_TRUE(testing::has_colour(ppm, 0x0072B2, 8)) << type << ": sample 1's blue";
    EXPECT_TRUE(testing::has_colour(ppm, 0xE69F00, 8)) << type << ": sample 2's orange";
  }
}

TEST_F(RenderedFigure, PdfHasItsPageSize) {
  if (!testing::on_path("pdfinfo")) GTEST_SKIP() << "poppler-utils is not installed";
  // Columns: the size option, the page size pdfinfo reads (points).
  const std::pair<const char*, const char*> cases[] = {
      {"-u ", "504 x 360 pts"}, {"-p ", "504 x 360 pts"}, {"-p --figure-size 3.5,3 ", "252 x 216 pts"}};
  for (const auto& [options, page] : cases) {
    ASSERT_EQ(run(std::string(options) + "--figure fig.pdf"), 0) << outcome_.err;
    const std::string info = testing::output_of("pdfinfo fig.pdf 2>&1");
    EXPECT_NE(info.find(page), std::string::npos) << info;
    EXPECT_EQ(info.find("Error"), std::string::npos) << info;
  }
}

TEST(FigureFailureTest, ResultsStayWhenTheFigureCannotBeDrawn) {
  // Each way gnuplot can fail: the results are printed, the earlier figure,
  // script and data kept, nothing else left.
  struct Case {
    const char* gnuplot;  // the stand-in's script, or nullptr for none
    const char* reason;
  };
  const Case cases[] = {
      {nullptr, "gnuplot was not found"},
      {"#!/bin/sh\nexit 1\n", "gnuplot ended with status 1"},
      {"#!/bin/sh\nexit 0\n", "gnuplot wrote no complete figure"},
      {"#!/bin/sh\nkill -SEGV $$\n", "gnuplot was killed by signal 11 (Segmentation fault)"},
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    testing::write_file("x.txt", "1\n2\n3\n4\n5\n6\n");
    testing::write_file("y.txt", "2\n4\n3\n8\n");
    for (const char* file : {"fig.png", "fig.png.gp", "fig.png.dat"}) testing::write_file(file, "earlier\n");
    std::filesystem::create_directory("bin");
    if (c.gnuplot != nullptr) {
      testing::write_file("bin/gnuplot", c.gnuplot);
      std::filesystem::permissions("bin/gnuplot", std::filesystem::perms::owner_all);
    }
    const std::string bin = (dir.path() / "bin").string();
    testing::ScopedEnv path("PATH", bin.c_str());
    testing::ConsoleCapture capture;
    const std::vector<std::string> args{"-f", "csv", "--figure", "fig.png", "x.txt", "y.txt"};
    EXPECT_EQ(app::run_command_line(args, 1), 1);
    EXPECT_EQ(capture.err(), std::string("diffboot: cannot draw the figure \"fig.png\": ") + c.reason + "\n");
    const std::string out = capture.out();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 5) << "the results are printed";
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) files += entry.is_regular_file();
    EXPECT_EQ(files, 5u) << c.reason << ": the samples and the three earlier files, nothing else";
    for (const char* file : {"fig.png", "fig.png.gp", "fig.png.dat"}) {
      EXPECT_EQ(testing::read_file(file), "earlier\n") << file;
    }
  }
}

}  // namespace
}  // namespace diffboot::plot
