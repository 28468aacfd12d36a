// The figure's model, as every painter reads it: its panels on the page,
// a mark per value, a point and two bars per measure, ticks inside their
// axes, and the texts beside the rows.
#include "figure/figure_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "figure/figure_text.h"

namespace diffboot::figure {
namespace {

const Mark* find_mark(const Panel& p, const std::string& what) {
  for (const Mark& m : p.marks) {
    if (m.what == what) return &m;
  }
  return nullptr;
}

TEST(FigureModelTest, PanelsMarksTicksAndTexts) {
  const std::vector<double> x{4.1, 5.2, 3.9, 6.3, 5.5, 4.8, 5.0, 6.1}, y{3.2, 4.4, 3.1, 5.0, 4.1, 3.9, 4.6};
  const std::vector<double> r_d{0.5, 0.9, 1.1, 1.4, 1.0}, r_g{0.4, 0.9, 1.3, 1.0}, r_lift{0.1, 0.25, 0.4, 0.3};
  Figure f{"f.svg", FigureFormat::svg, false, 95, 1999, {"a", x, 5.1, 0.85, 5.1}, {"b", y, 4.04, 0.7, 4.1}, {}};
  f.unit = "g";
  f.measures = {{"difference of means", "d_AVE", 1.06, 0.3, 1.8, 0.4, 1.7, r_d},
                {"Hedges' g", "g", 1.3, 0.2, 2.4, 0.3, 2.3, r_g},
                {"relative difference of means", "lift", 0.26, 0.08, 0.44, 0.1, 0.43, r_lift}};
  for (const auto& [width, height] : {std::pair{7.0, 5.0}, {4.0, 3.0}, {12.0, 4.0}}) {
    f.width = width, f.height = height;
    const FigureModel m = figure_model(f);
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    ASSERT_EQ(m.panels.size(), 4u) << size << ": the samples, the differences, g, lift";
    ASSERT_TRUE(m.panels[0].samples);
    EXPECT_EQ(m.title, "a − b (unpaired): 95% intervals, B = 1999");
    // Every panel on the page, the samples' above the effects', each effect
    // panel above the next.
    for (std::size_t k = 0; k < m.panels.size(); ++k) {
      const Box& b = m.panels[k].box;
      EXPECT_TRUE(b.left > 0 && b.right < m.width && b.bottom > 0 && b.top < m.height && b.left < b.right && b.bottom < b.top)
          << size << ": panel " << k;
      if (k > 0) {
        EXPECT_LT(b.top, m.panels[k - 1].box.bottom) << size << ": panel " << k;
      }
    }
    // Columns: the mark, its x (the column, spread sideways at most 0.2), its values.
    const Panel& samples = m.panels[0];
    for (const auto& [what, column, values] : {std::tuple{"sample 1: column, value, radius", 1.0, &x},
                                              std::tuple{"sample 2: column, value, radius", 2.0, &y}}) {
      const Mark* mark = find_mark(samples, what);
      ASSERT_NE(mark, nullptr) << what;
      EXPECT_EQ(mark->kind, MarkKind::discs);
      EXPECT_EQ(mark->y, *values) << what << ": a disc per value, at its value";
      ASSERT_EQ(mark->x.size(), values->size());
      for (double at : mark->x) EXPECT_LE(std::fabs(at - column), 0.2 + 1e-12) << what;
      EXPECT_EQ(mark->diameter.size(), values->size());
    }
    EXPECT_EQ(samples.y.title, "value (g)");
    ASSERT_EQ(samples.categories.size(), 2u);
    EXPECT_EQ(samples.categories[1].label, "b (n = 7)");
    // Ticks inside their axes, four at least.
    for (const Panel& p : m.panels) {
      const ModelAxis& values = p.samples ? p.y : p.x;
      EXPECT_GE(values.ticks.size(), 4u) << size;
      for (const Tick& t : values.ticks) EXPECT_TRUE(values.low <= t.at && t.at <= values.high) << size << ": " << t.label;
    }
    // Each measure: a density, a t bar, a BCa bar and its estimate, in the
    // terms of its axis (lift in percent); its numbers beside its row.
    for (std::size_t k = 0; k < f.measures.size(); ++k) {
      const FigureMeasure& e = f.measures[k];
      const Panel& p = m.panels[k + 1];
      const double factor = e.name == "lift" ? 100.0 : 1.0;
      const std::string name(e.name);
      ASSERT_EQ(p.categories.size(), 1u);
      EXPECT_NE(p.categories[0].label.find(name), std::string::npos);
      const Mark* estimate = find_mark(p, name + ": estimate (x, y, radius)");
      const Mark* t = find_mark(p, name + ": t interval");
      const Mark* bca = find_mark(p, name + ": BCa interval");
      ASSERT_TRUE(estimate && t && bca && find_mark(p, name + ": replicates' half violin outline (x, y)")) << name;
      EXPECT_DOUBLE_EQ(estimate->x[0], factor * e.estimate) << name;
      EXPECT_EQ(t->x, (std::vector<double>{factor * e.t_lower, factor * e.t_upper})) << name;
      EXPECT_DOUBLE_EQ(*std::min_element(bca->x.begin(), bca->x.end()), factor * e.bca_lower) << name;
      EXPECT_DOUBLE_EQ(*std::max_element(bca->x.begin(), bca->x.end()), factor * e.bca_upper) << name;
      EXPECT_TRUE(p.x.low <= factor * e.bca_lower && factor * e.bca_upper <= p.x.high) << name;
      const std::string_view suffix = e.name == "lift" ? "%" : "";
      ASSERT_EQ(p.texts.size(), 2u);
      EXPECT_EQ(p.texts[0].text, interval_text(factor * e.estimate, factor * e.bca_lower, factor * e.bca_upper, suffix) + " BCa");
      EXPECT_EQ(p.texts[1].text, "t " + bounds_text(factor * e.t_lower, factor * e.t_upper, suffix));
      EXPECT_GT(p.texts[0].x, p.box.right) << "beside the plot";
    }
    EXPECT_EQ(m.legend.size(), 4u);
  }
}

// The cluster bootstrap: a disc per cluster at its mean, the clusters and
// rows counted under each sample.
TEST(FigureModelTest, ClustersAreDrawnADiscEach) {
  const std::vector<double> x{1.0, 3.0, 10.0, 2.0, 4.0}, y{5.0, 7.0, 6.0, 8.0};
  const std::vector<std::uint32_t> cx{0, 0, 1, 2, 2}, cy{0, 1, 1, 2};
  Figure f{"f.svg", FigureFormat::svg, false, 95, 1999, {"a", x, 4.0, 3.5, 3.0, cx}, {"b", y, 6.5, 1.3, 6.5, cy}, {}};
  f.cluster_name = "user";
  const Panel p = figure_model(f).panels.at(0);
  const struct {
    const char* what;
    std::vector<double> means;
    const char* label;
  } samples[] = {{"sample 1 by cluster", {2.0, 10.0, 3.0}, "a (n = 3 users, 5 rows)"},
                 {"sample 2 by cluster", {5.0, 6.5, 8.0}, "b (n = 3 users, 4 rows)"}};
  for (std::size_t k = 0; k < 2; ++k) {
    const Mark* m = find_mark(p, std::string(samples[k].what) + ": column, value, radius");
    ASSERT_TRUE(m != nullptr) << samples[k].what;
    EXPECT_EQ(m->y, samples[k].means);
    EXPECT_EQ(p.categories[k].label, samples[k].label);
  }
}

// Binary outcomes: each sample's proportion on its Wilson interval (the
// published 95% bounds of 5 of 10 and of 0 of 10), its counts under it, and
// a legend of the intervals alone.
TEST(FigureModelTest, ProportionsShowWilsonIntervals) {
  const std::vector<double> none;
  const std::vector<double> r{-0.1, 0.2, 0.3, 0.45, 0.5};
  Figure f{"f.svg", FigureFormat::svg, false, 95, 1999, {"a", none, 0, 0, 0}, {"b", none, 0, 0, 0}, {}};
  f.proportions = std::array<Figure::Counts, 2>{{{5, 10}, {0, 10}}};
  f.measures = {{"difference of proportions", "d_PROP", 0.5, 0.2, 0.8, 0.2, 0.8, r}};
  const FigureModel m = figure_model(f);
  const Panel& p = m.panels.at(0);
  const struct {
    const char* what;
    double lower, upper, proportion;
    const char* label;
  } samples[] = {{"sample 1", 0.2366, 0.7634, 0.5, "a (5 of 10)"}, {"sample 2", 0.0, 0.2775, 0.0, "b (0 of 10)"}};
  for (std::size_t k = 0; k < 2; ++k) {
    const Mark* bar = find_mark(p, std::string(samples[k].what) + ": Wilson interval");
    const Mark* dot = find_mark(p, std::string(samples[k].what) + ": proportion (x, y, radius)");
    ASSERT_TRUE(bar != nullptr && dot != nullptr) << samples[k].what;
    EXPECT_NEAR(bar->y[0], samples[k].lower, 5e-5);
    EXPECT_NEAR(bar->y[2], samples[k].upper, 5e-5);
    EXPECT_EQ(dot->y[0], samples[k].proportion);
    EXPECT_EQ(p.categories[k].label, samples[k].label);
  }
  ASSERT_EQ(m.legend.size(), 2u);
  EXPECT_EQ(m.legend[0].kind, LegendKind::bca);
  EXPECT_TRUE(p.y.low < 0.0 && p.y.high > 1.0);
}

}  // namespace
}  // namespace diffboot::figure
