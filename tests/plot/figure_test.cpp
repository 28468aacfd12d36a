// The figure: its format by extension, its data blocks and script, and real
// renderings by gnuplot in each format for a paired and an unpaired run.
#include "plot/figure.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/batch.h"
#include "support/console_capture.h"
#include "support/pixels.h"
#include "support/program.h"

namespace diffboot::plot {
namespace {

TEST(FigureTest, FormatByExtension) {
  const std::pair<const char*, std::optional<FigureFormat>> cases[] = {
      {"fig.svg", FigureFormat::svg}, {"a/b.c.PNG", FigureFormat::png}, {"x.pdf", FigureFormat::pdf},
      {"fig.gif", std::nullopt},      {"svg", std::nullopt},             {"fig.", std::nullopt},
  };
  for (const auto& [file, format] : cases) EXPECT_EQ(figure_format(file), format) << file;
}

Figure small_figure(std::vector<double>& replicates) {
  static const std::vector<double> bounds{0.0, 1.0, 3.0}, counts{2.0, 5.0}, flat{2.0, 2.0}, one{4.0};
  Figure f{"out.svg", FigureFormat::svg, "x.txt (n_x = 7) and y's.txt (n_y = 4)", {"x.txt", bounds, counts},
           {"y's.txt", flat, one}, {}};
  f.panels.push_back({"AVE_d = mean(x − y)", "AVE_d", 0.5, -1.0, 2.0, -0.5, std::nan(""), replicates});
  return f;
}

TEST(FigureTest, DataBlocks) {
  std::vector<double> replicates{0.0, 20.0, 20.0, 40.0, std::nan("")};
  const std::string data = figure_data(small_figure(replicates));
  std::vector<std::string> blocks;
  std::size_t start = data.find('\n') + 1;
  for (std::size_t end; (end = data.find("\n\n\n", start)) != std::string::npos; start = end + 3) {
    blocks.push_back(data.substr(start, end - start + 1));
  }
  ASSERT_EQ(blocks.size(), 6u) << "two samples, then replicates, t bar, BCa bar and estimate of one panel";
  EXPECT_EQ(blocks[0], "# sample 1 and sample 2: class centre, count, class width\n0.5 2 1\n2 5 2\n");
  EXPECT_EQ(blocks[1], "2 4 1\n") << "a class of no width is drawn one unit wide";
  // 40 classes of width 1 over [0, 40]: the 0 in the first, both 20s in [20, 21), the 40 in the last; NaN left out.
  EXPECT_NE(blocks[2].find(": replicate classes, t bar, BCa bar, estimate\n0.5 1 1\n"), std::string::npos);
  EXPECT_NE(blocks[2].find("\n20.5 2 1\n"), std::string::npos);
  EXPECT_NE(blocks[2].find("\n39.5 1 1\n"), std::string::npos);
  EXPECT_EQ(blocks[3], "-1 2.36\n2 2.36\n") << "the t bar above the tallest class (2)";
  EXPECT_EQ(blocks[4], "0 0\n0 0\n") << "a BCa bound that is not a number: no bar";
  EXPECT_EQ(blocks[5], "0.5 0\n0.5 2.9\n");
}

TEST(FigureTest, Script) {
  std::vector<double> replicates{1.0, 2.0, 3.0};
  const std::string script = figure_script(small_figure(replicates));
  for (const char* text : {"set terminal svg", "set output './out.svg'", "data = './out.svg.dat'", "'#0072B2'", "'#E69F00'",
                           "title 'x.txt'", "title 'y''s.txt'", "set title 'AVE_d = mean(x − y)'",
                           "title \"Student's t\"", "set arrow from 0, graph 0", "set xlabel 'value'",
                           "set ylabel 'count'", "set multiplot title 'x.txt (n_x = 7) and y''s.txt (n_y = 4)'"}) {
    EXPECT_NE(script.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(script.find("title 'BCa'"), std::string::npos) << "no BCa bar without both bounds";
}

TEST(FigureTest, NamesInTheScript) {
  // Columns: the figure's name, its `set output` line, a sample name, its key.
  struct Case {
    const char* file;
    const char* output;
    const char* sample;
    const char* key;
  };
  const Case cases[] = {
      {"/tmp/a.svg", "set output '/tmp/a.svg'\n", "plain.txt", "title 'plain.txt'"},
      {"|cmd.svg", "set output './|cmd.svg'\n", "q'uote`cmd`.txt", "title 'q''uote`cmd`.txt'"},
      {"new\nline.svg", "set output './new' . \"\\012\" . 'line.svg'\n", "new\nline", "title 'new\\nline'"},
      {"\t.svg", "set output './' . \"\\011\" . '.svg'\n", "bad\xff", "title 'bad\\xFF'"},
  };
  for (const Case& c : cases) {
    std::vector<double> replicates{1.0};
    Figure f = small_figure(replicates);
    f.file = c.file;
    f.x.name = c.sample;
    const std::string script = figure_script(f);
    EXPECT_NE(script.find(c.output), std::string::npos) << c.file;
    EXPECT_NE(script.find(c.key), std::string::npos) << c.sample;
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
  int run(const std::string& args) {
    testing::Launch launch;
    launch.arguments = args + " first.txt second.txt";
    launch.path = "/usr/bin:/bin";
    launch.input = "/dev/null";
    outcome_ = testing::run_built_program(launch);
    return outcome_.status;
  }
  testing::TempDir dir_;
  testing::Outcome outcome_{};
};

TEST_F(RenderedFigure, SvgHoldsNamesTitlesAndBars) {
  const std::pair<const char*, std::vector<std::string>> runs[] = {
      {"-u", {"d_AVE = mean(x) − mean(y)", "d_MED = median(x) − median(y)", "d_STD = sd(x) − sd(y)",
              "d_MAD = mad(x) − mad(y)"}},
      {"-p", {"AVE_d = mean(x − y)", "MED_d = median(x − y)"}},
  };
  for (const auto& [type, titles] : runs) {
    ASSERT_EQ(run(std::string(type) + " --figure fig.svg"), 0) << outcome_.err;
    const std::string svg = testing::read_file("fig.svg");
    for (const char* name : {"first.txt", "second.txt"}) EXPECT_NE(svg.find(name), std::string::npos) << name;
    for (const std::string& title : titles) EXPECT_NE(svg.find(title), std::string::npos) << title;
    const auto count = [&svg](const std::string& text) {
      std::size_t n = 0;
      for (std::size_t at = svg.find(text); at != std::string::npos; at = svg.find(text, at + 1)) ++n;
      return n;
    };
    EXPECT_EQ(count("Student's t"), titles.size()) << "one t bar per measure";
    EXPECT_EQ(count(">BCa<"), titles.size()) << "one BCa bar per measure";
    const std::string drawn = svg;
    std::filesystem::remove("fig.svg");
    EXPECT_EQ(std::system("gnuplot fig.svg.gp"), 0) << "the kept script redraws the figure from the kept data";
    EXPECT_EQ(testing::read_file("fig.svg"), drawn);
  }
}

TEST_F(RenderedFigure, PngHoldsBothSampleColours) {
  if (!testing::on_path("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  ASSERT_EQ(run("-u --figure fig.png"), 0) << outcome_.err;
  ASSERT_EQ(std::system("convert fig.png -depth 8 fig.ppm"), 0);
  const std::string ppm = testing::read_file("fig.ppm");
  EXPECT_TRUE(testing::has_colour(ppm, 0x0072B2, 8)) << "sample 1's blue";
  EXPECT_TRUE(testing::has_colour(ppm, 0xE69F00, 8)) << "sample 2's orange";
}

TEST_F(RenderedFigure, PdfOpens) {
  if (!testing::on_path("pdfinfo")) GTEST_SKIP() << "poppler-utils is not installed";
  ASSERT_EQ(run("-p --figure fig.pdf"), 0) << outcome_.err;
  const std::string info = testing::output_of("pdfinfo fig.pdf 2>&1");
  EXPECT_NE(info.find("Pages:"), std::string::npos) << info;
  EXPECT_EQ(info.find("Error"), std::string::npos) << info;
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
