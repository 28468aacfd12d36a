// Histogram classes and their text: the documented samples, edge classes,
// and the open failures of each destination.
#include "plot/histogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <vector>

#include "numeric/summaries.h"
#include "plot/histogram_file.h"
#include "staging/staging.h"
#include "support/console_capture.h"
#include "support/samples.h"

namespace diffboot::plot {
namespace {

struct Histogram {
  std::int32_t k;
  std::vector<double> bounds, counts;
};

Histogram histogram_of(const std::vector<double>& x) {
  const numeric::SampleSummary s = numeric::summarize(x);
  Histogram h{scott_class_number(s.min, s.max, static_cast<std::int64_t>(x.size()), s.std), {}, {}};
  h.bounds.resize(static_cast<std::size_t>(h.k) + 1);
  h.counts.resize(static_cast<std::size_t>(h.k));
  histogram_classes(s.min, s.max, x, h.counts, h.bounds);
  return h;
}

std::vector<double> one_to(std::size_t n) { return testing::counting(1.0, n); }

TEST(HistogramTest, DocumentedSamples) {
  struct Case {
    std::vector<double> x;
    std::vector<double> bounds, counts;
  };
  const Case cases[] = {
      {{0, 1}, {0, 1}, {2}},                                  // h = 0.5105
      {one_to(10), {1, 5.5, 10}, {5, 5}},                     // h = 1.835
      {one_to(100), {1, 20.8, 40.6, 60.4, 80.2, 100}, {20, 20, 20, 20, 20}},  // h = 4.538
      {{4, 4, 4}, {4, 4}, {3}},
      {{2.5}, {2.5, 2.5}, {1}},
  };
  for (const auto& c : cases) {
    const Histogram h = histogram_of(c.x);
    EXPECT_EQ(h.counts, c.counts);
    ASSERT_EQ(h.bounds.size(), c.bounds.size());
    for (std::size_t i = 0; i < h.bounds.size(); ++i) EXPECT_DOUBLE_EQ(h.bounds[i], c.bounds[i]);
  }
}

TEST(HistogramTest, ScottRoundsHalvesAway) {
  // h = (range * n^(1/3)) / (3.49 sd): with n = 1, range = 2.5 * 3.49, sd = 1 gives h = 2.5.
  EXPECT_EQ(scott_class_number(0.0, 2.5 * 3.49, 1, 1.0), 3);
  EXPECT_EQ(scott_class_number(1.0, 1.0, 10, 2.0), 1);
  EXPECT_EQ(scott_class_number(0.0, 1.0, 10, 0.0), 1);
  EXPECT_EQ(scott_class_number(0.0, 1.0, 10, std::nan("")), 1) << "no class number from NaN";
  EXPECT_EQ(scott_class_number(-1e308, 1e308, 10, 1e-300), 1) << "no class number beyond 32 bits";
}

TEST(HistogramTest, ValuesOnBoundsAndLastClass) {
  // Bounds 0, 1, 2, 3 (three classes): 1 and 2 belong to the class above
  // them, 3 (the maximum) to the last class.
  const std::vector<double> x{0, 1, 1, 2, 3};
  std::vector<double> bounds(4), counts(3);
  histogram_classes(0.0, 3.0, x, counts, bounds);
  EXPECT_EQ(counts, (std::vector<double>{1, 2, 2}));
}

TEST(HistogramTest, SearchAgreesWithScanningEveryClass) {
  std::mt19937_64 rng(7);
  for (int trial = 0; trial < 50; ++trial) {
    std::vector<double> x(200);
    for (double& v : x) v = std::round(std::normal_distribution<double>(0, 3)(rng) * 4) / 4;
    const Histogram h = histogram_of(x);
    const double max = *std::max_element(x.begin(), x.end());
    for (std::size_t i = 0; i < h.counts.size(); ++i) {
      double expected = 0;
      const bool last = i + 1 == h.counts.size();
      for (double v : x) expected += (h.bounds[i] <= v && (last ? v <= max : v < h.bounds[i + 1])) ? 1 : 0;
      EXPECT_EQ(h.counts[i], expected);
    }
  }
}

TEST(HistogramTest, ReportSection) {
  testing::TempDir dir;
  testing::ConsoleCapture capture;
  testing::write_file("diffboot.dat", "");
  const Histogram h = histogram_of(one_to(10));
  write_histogram(HistogramTarget::report, "diffboot.dat", h.bounds, h.counts, "Sample 1 (x1):");
  const std::vector<std::string> expected{
      " ",
      "Histogram data with class number (Scott 1979):        2",
      "Sample 1 (x1):",
      " ",
      "             1.0000E+00     0.0000E+00",
      "             1.0000E+00     5.0000E+00",
      "             5.5000E+00     5.0000E+00",
      "             5.5000E+00     0.0000E+00",
      "             5.5000E+00     0.0000E+00",
      "             5.5000E+00     5.0000E+00",
      "             1.0000E+01     5.0000E+00",
      "             1.0000E+01     0.0000E+00",
  };
  EXPECT_EQ(testing::records(testing::read_file("diffboot.dat")), expected);
  write_histogram(HistogramTarget::sample1_plot, "1a.tmp", h.bounds, h.counts, {});
  staging::commit_text_files();
  EXPECT_EQ(testing::records(testing::read_file("1a.tmp")),
            std::vector<std::string>(expected.begin() + 4, expected.end()));
}

TEST(HistogramTest, RangeBeyondTheLargestDouble) {
  // max - min = 2e308 overflows: the bounds are weighted means of the extremes.
  const std::vector<double> x{-1e308, 1e308, 1e308, 0.0};
  std::vector<double> bounds(3), counts(2);
  histogram_classes(-1e308, 1e308, x, counts, bounds);
  EXPECT_EQ(bounds, (std::vector<double>{-1e308, 0.0, 1e308}));
  EXPECT_EQ(counts, (std::vector<double>{1.0, 3.0}));
}

TEST(HistogramTest, NegativeBoundsAndEmptyClasses) {
  testing::TempDir dir;
  testing::ConsoleCapture capture;
  const std::vector<double> bounds{-2.5, 0.0, 20.0}, counts{0, 20};
  write_histogram(HistogramTarget::sample2_plot, "1b.tmp", bounds, counts, {});
  staging::commit_text_files();
  const std::vector<std::string> expected{
      "            -2.5000E+00     0.0000E+00", "            -2.5000E+00     0.0000E+00",
      "             0.0000E+00     0.0000E+00", "             0.0000E+00     0.0000E+00",
      "             0.0000E+00     0.0000E+00", "             0.0000E+00     2.0000E+01",
      "             2.0000E+01     2.0000E+01", "             2.0000E+01     0.0000E+00",
  };
  EXPECT_EQ(testing::records(testing::read_file("1b.tmp")), expected);
}

TEST(HistogramTest, FilesReplacedWithoutLeftovers) {
  testing::TempDir dir;
  testing::ConsoleCapture capture;
  testing::write_file("1a.tmp", std::string(10000, 'x'));
  const std::vector<double> bounds{1, 1}, counts{3};
  write_histogram(HistogramTarget::sample1_plot, "1a.tmp", bounds, counts, {});
  staging::commit_text_files();
  EXPECT_EQ(testing::records(testing::read_file("1a.tmp")).size(), 4u);
}

TEST(HistogramTest, DestinationsThatCannotBeOpened) {
  const std::pair<HistogramTarget, const char*> cases[] = {
      {HistogramTarget::sample1_plot, "1a.tmp"}, {HistogramTarget::sample2_plot, "1b.tmp"},
      {HistogramTarget::report, "diffboot.dat"}};
  for (const auto& [type, file] : cases) {
    testing::TempDir dir;
    testing::ConsoleCapture capture;
    std::filesystem::create_directory(file);
    const std::vector<double> bounds{1, 2}, counts{1};
    const app::RunEnd end = testing::run_end_of([&] { write_histogram(type, file, bounds, counts, "Sample 1 (x1):"); });
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(capture.out(),
              " Error during output data file opening (subroutine writehistogramdata) - terminate\r\n type =            " +
                  std::to_string(static_cast<int>(type)) + "\r\n");
  }
  testing::TempDir dir;
  testing::ConsoleCapture capture;
  const std::vector<double> bounds{1, 2}, counts{1};
  testing::run_end_of([&] { write_histogram(HistogramTarget::report, "diffboot.dat", bounds, counts, "x"); });
  EXPECT_FALSE(std::filesystem::exists("diffboot.dat")) << "appending never creates the report";
}

TEST(HistogramTest, PlotScript) {
  testing::TempDir dir;
  testing::ConsoleCapture capture;
  write_plot_script("2.tmp", "1a.tmp", "1b.tmp");
  staging::commit_text_files();
  const std::vector<std::string> expected{
      " set key", " set nogrid", " set title \" Histograms\"", " set autoscale x", " set autoscale y",
      " plot '1a.tmp' title 'Sample 1' w l lt    7,\\", "'1b.tmp' title 'Sample 2' w l lt    5", " pause mouse key"};
  EXPECT_EQ(testing::records(testing::read_file("2.tmp")), expected);
  std::filesystem::remove("2.tmp");
  std::filesystem::create_directory("2.tmp");
  const app::RunEnd end = testing::run_end_of([] { write_plot_script("2.tmp", "1a.tmp", "1b.tmp"); });
  EXPECT_EQ(end.status, 1);
  EXPECT_EQ(capture.out(), " Error during plot file opening - terminate\r\n");
}

}  // namespace
}  // namespace diffboot::plot
