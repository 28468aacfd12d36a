// The library's figure: what it lays out from a run's results, and what it
// refuses to draw.
#include "diffboot/figure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace diffboot {
namespace {

std::size_t discs(const FigurePanel& p, const std::string& role) {
  std::size_t n = 0;
  for (const FigureMark& m : p.marks) n += m.role == role ? m.x.size() : 0;
  return n;
}

TEST(FigureLayoutTest, TheRunsValuesMeasuresAndWords) {
  const std::vector<double> x{1.0, 2.0, NAN, 4.0, 5.0, 7.0}, y{2.0, NAN, 3.5, 4.5, 6.0, 6.5};
  struct Case {
    Experiment experiment;
    std::size_t values, pairs, panels;
  } cases[] = {{Experiment::unpaired, 10, 0, 5}, {Experiment::paired, 8, 4, 4}};
  for (const Case& c : cases) {
    Options o;
    o.experiment = c.experiment, o.replications = 99, o.keep_replicates = true, o.missing = Missing::skip;
    o.measures = {"all"};
    const Results r = analyse(x, y, o);
    FigureOptions fo;
    fo.label_x = "a", fo.label_y = "b", fo.unit = "g";
    const FigureLayout f = figure_layout(x, y, r, fo);
    ASSERT_EQ(f.panels.size(), c.panels);
    EXPECT_TRUE(f.panels[0].samples);
    EXPECT_EQ(discs(f.panels[0], "values"), c.values);
    std::size_t lines = 0;
    for (const FigureMark& m : f.panels[0].marks) lines += m.role == "pairs" ? m.breaks.size() + (m.x.empty() ? 0 : 1) : 0;
    EXPECT_EQ(lines, c.pairs);
    EXPECT_EQ(f.panels[0].y.title, "value (g)");
    std::size_t estimates = 0, rows = 0;
    for (std::size_t k = 1; k < f.panels.size(); ++k) {
      estimates += discs(f.panels[k], "estimate"), rows += f.panels[k].categories.size();
      EXPECT_FALSE(f.panels[k].x.ticks.empty());
    }
    EXPECT_EQ(estimates, r.measures.size());
    EXPECT_EQ(rows, r.measures.size());
    EXPECT_EQ(f.legend.size(), 4u);
    EXPECT_EQ(f.title.substr(0, 7), "a \u2212 b");
  }
}

TEST(FigureLayoutTest, SeveralGroupsAColumnEachAndAStoppedComparison) {
  const std::vector<std::string> names{"c", "a", "b"};
  const std::vector<double> c{5.1, 4.7, 6.2, 5.5, 4.9}, a{5.8, 5.0, 6.9, 5.9, 6.1, 6.3}, b{7.0};
  Options o;
  o.replications = 99, o.keep_replicates = true;
  const Results ac = analyse(a, c, o);
  const FigureComparison comparisons[] = {{1, 0, a, c, &ac}, {2, 0, b, c, nullptr}};
  FigureOptions fo;
  fo.unit = "g";
  const FigureLayout f = groups_figure_layout(names, comparisons, Design::control, fo);
  ASSERT_EQ(f.panels.size(), 2u);
  EXPECT_EQ(discs(f.panels[0], "values"), c.size() + a.size() + b.size());
  EXPECT_EQ(f.panels[0].categories.size(), 3u);
  const FigurePanel& effects = f.panels[1];
  EXPECT_TRUE(effects.upright);
  EXPECT_EQ(discs(effects, "estimate"), 1u);
  ASSERT_EQ(effects.categories.size(), 2u);
  EXPECT_EQ(effects.categories[0].at, 2.0);  // under its group
  EXPECT_EQ(effects.categories[1].label, "b \u2212 c");
  EXPECT_EQ(effects.texts.back().text, "stopped");
  EXPECT_EQ(effects.y.title, "difference of means (g)");
  EXPECT_EQ(f.title, "each group \u2212 c (unpaired): 95% intervals, B = 99");
}

TEST(FigureLayoutTest, RefusesWhatCannotBeDrawn) {
  const std::vector<double> x{1.0, 2.0, 3.0, 4.0}, y{-1.0, 2.0, 3.0, 5.0};
  Options o;
  o.replications = 99;
  const Results without = analyse(x, y, o);
  o.keep_replicates = true;
  const Results with = analyse(x, y, o);
  FigureOptions log;
  log.log_scale = true, log.label_y = "b";
  FigureOptions tiny;
  tiny.width = 0.5;
  struct Case {
    const Results* r;
    FigureOptions fo;
    const char* message;
  } cases[] = {{&without, {}, "the figure needs the measures' replicates: run with keep_replicates"},
               {&with, log, "--log draws positive values only, and \"b\" holds -1"},
               {&with, tiny, "a figure's width and height are 1 to 40 inches each"}};
  for (const Case& c : cases) {
    try {
      figure_layout(x, y, *c.r, c.fo);
      ADD_FAILURE() << c.message;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

}  // namespace
}  // namespace diffboot
