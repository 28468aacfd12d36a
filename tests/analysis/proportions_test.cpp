// Proportions: d_PROP and PROP_d are d_AVE's and AVE_d's bootstrap of the
// same 0/1 values, bit for bit; Cohen's h against its closed forms; counts
// against the values written out within Monte Carlo error; the tests of
// proportions against published values; the library's and the command
// line's bad inputs, a row each.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <tuple>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/counts.h"
#include "app/batch.h"
#include "app/command_line.h"
#include "diffboot/diffboot.h"
#include "diffboot/frames.h"
#include "support/console_capture.h"
#include "support/program.h"
#include "support/samples.h"

namespace diffboot {
namespace {

// k ones among n values, spread through the sample.
std::vector<double> ones(int k, int n) {
  std::vector<double> v(static_cast<std::size_t>(n), 0.0);
  for (int i = 0; i < k; ++i) v[static_cast<std::size_t>(i * n / k)] = 1.0;
  return v;
}

bool same_bits(const MeasureResult& a, const MeasureResult& b) {
  const double fa[] = {a.estimate, a.se, a.bias, a.t_lower, a.t_upper, a.bca_lower, a.bca_upper, a.percentile_lower,
                       a.percentile_upper, a.basic_lower, a.basic_upper, a.z0, a.acceleration, a.p_permutation};
  const double fb[] = {b.estimate, b.se, b.bias, b.t_lower, b.t_upper, b.bca_lower, b.bca_upper, b.percentile_lower,
                       b.percentile_upper, b.basic_lower, b.basic_upper, b.z0, b.acceleration, b.p_permutation};
  return std::memcmp(fa, fb, sizeof fa) == 0 && a.replicates == b.replicates;
}

TEST(Proportions, DifferenceIsTheMeansBootstrapBitForBit) {
  for (const Experiment e : {Experiment::unpaired, Experiment::paired}) {
    for (const Acceleration acc : {Acceleration::grid, Acceleration::samples}) {
      Options o;
      o.experiment = e, o.acceleration = acc, o.permutations = 99, o.keep_replicates = true, o.threads = 3;
      const std::vector<double> x = ones(13, 60), y = ones(27, 60);
      Options values = o;
      values.measures = {e == Experiment::paired ? "AVE_d" : "d_AVE", "lift"};
      Options proportions = o;
      proportions.proportions = true;
      const Results a = analyse(x, y, values), b = analyse(x, y, proportions);
      ASSERT_EQ(b.measures.size(), 3u);
      EXPECT_EQ(b.measures[0].name, e == Experiment::paired ? "PROP_d" : "d_PROP");
      EXPECT_TRUE(same_bits(a.measures[0], b.measures[0])) << "the difference, experiment " << static_cast<int>(e);
      EXPECT_TRUE(same_bits(a.measures[1], b.measures[1])) << "the lift";
      EXPECT_EQ(b.measures[2].name, "h");
    }
  }
}

TEST(Proportions, CohensHAgainstItsClosedForms) {
  const double pi = std::numbers::pi;
  struct Case {
    int kx, nx, ky, ny;
    double h;
  };
  // 2 asin(sqrt(p)): 0 at p = 0, pi/2 at 1/2, pi at 1, pi/3 at 1/4, 2 pi/3 at 3/4.
  for (const Case& c : {Case{8, 8, 8, 8, 0.0}, Case{4, 8, 0, 8, pi / 2}, Case{8, 8, 0, 8, pi},
                        Case{2, 8, 6, 8, -pi / 3}, Case{6, 8, 4, 8, 2 * pi / 3 - pi / 2}}) {
    Options o;
    o.proportions = true, o.measures = {"h"}, o.replications = 99;
    const Results r = analyse(ones(c.kx, c.nx), ones(c.ky, c.ny), o);
    EXPECT_NEAR(r.measures.at(0).estimate, c.h, 1e-15) << c.kx << "/" << c.nx << " against " << c.ky << "/" << c.ny;
  }
}

// The counts' results against those of the values written out: the same
// estimates, standard errors within 3% of each other and of the binomial
// standard error, bounds within a tenth of a standard error, the same
// accelerations but for rounding.
void expect_close(const Results& counts, const Results& rows, double binomial_se) {
  ASSERT_EQ(counts.measures.size(), rows.measures.size());
  for (std::size_t k = 0; k < rows.measures.size(); ++k) {
    const MeasureResult &c = counts.measures[k], &r = rows.measures[k];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.name, r.name);
    EXPECT_NEAR(c.estimate, r.estimate, 1e-15 * (1 + std::fabs(r.estimate)));
    EXPECT_NEAR(c.se / r.se, 1.0, 0.03);
    if (k == 0) {
      EXPECT_NEAR(c.se / binomial_se, 1.0, 0.03);
    }
    for (const auto& [a, b] : {std::pair{c.bca_lower, r.bca_lower}, std::pair{c.bca_upper, r.bca_upper},
                               std::pair{c.t_lower, r.t_lower}, std::pair{c.percentile_upper, r.percentile_upper}}) {
      EXPECT_NEAR(a, b, 0.1 * r.se);
    }
    EXPECT_NEAR(c.acceleration, r.acceleration, 1e-7 * std::fabs(r.acceleration) + 1e-15);
  }
}

TEST(Proportions, CountsAgreeWithTheirRowsWithinMonteCarloError) {
  for (const Acceleration acc : {Acceleration::grid, Acceleration::samples}) {
    Options o;
    o.proportions = true, o.replications = 99999, o.acceleration = acc;
    const Results rows = analyse(ones(41, 300), ones(62, 300), o);
    const Results counts = analyse_counts({41, 300}, {62, 300}, o);
    const double px = 41.0 / 300, py = 62.0 / 300;
    expect_close(counts, rows, std::sqrt(px * (1 - px) / 300 + py * (1 - py) / 300));
  }
}

TEST(Proportions, PairedCountsAgreeWithTheirPairs) {
  // 30 pairs (1, 1), 12 (1, 0), 5 (0, 1), 53 (0, 0).
  std::vector<double> x, y;
  for (const auto& [n, a, b] : {std::tuple{30, 1.0, 1.0}, std::tuple{12, 1.0, 0.0}, std::tuple{5, 0.0, 1.0},
                                std::tuple{53, 0.0, 0.0}}) {
    x.insert(x.end(), static_cast<std::size_t>(n), a), y.insert(y.end(), static_cast<std::size_t>(n), b);
  }
  Options o;
  o.proportions = true, o.replications = 99999, o.experiment = Experiment::paired;
  const Results rows = analyse(x, y, o);
  const Results counts = analyse_counts(PairedTable{30, 12, 5, 53}, o);
  // The difference's se: that of the mean of d in {1, -1, 0} with shares 0.12, 0.05, 0.83.
  const double mean = 0.07, var = 0.12 + 0.05 - mean * mean;
  expect_close(counts, rows, std::sqrt(var / 100));
}

TEST(Proportions, TestsAgainstPublishedValues) {
  Options o;
  o.proportions = true, o.permutations = 99, o.replications = 99;
  // scipy.stats: 2 norm.sf(|z|) of the pooled z; chi2.sf((12 - 5)^2 / 17, 1).
  EXPECT_NEAR(analyse_counts({412, 10000}, {455, 10000}, o).measures[0].p_t, 0.13541688522222617, 1e-7);
  EXPECT_NEAR(analyse_counts(PairedTable{30, 12, 5, 53}, o).measures[0].p_t, 0.08955507441364248, 1e-7);
  const Results none = analyse_counts({0, 10}, {0, 12}, o);
  EXPECT_TRUE(std::isnan(none.measures[0].p_t));
  EXPECT_TRUE(std::ranges::any_of(none.measures[0].notes, [](const std::string& n) { return n.find("p_z is not given") != std::string::npos; }));
}

TEST(Proportions, CountsAtAnyScale) {
  Options o;
  o.proportions = true, o.replications = 199;
  const Results r = analyse_counts({4e8, 1e9}, {400010000, 1e9}, o);
  EXPECT_EQ(r.n_x, 1000000000);
  EXPECT_NEAR(r.measures[0].estimate, -1e-5, 1e-15);
  const double se = std::sqrt(2 * 0.4 * 0.6 / 1e9);
  EXPECT_NEAR(r.measures[0].se / se, 1.0, 0.15);
}

// Each bad input once, where it is decided: the library's message.
TEST(Proportions, BadInputsOfTheLibrary) {
  struct Case {
    const char* what;
    std::function<void()> run;
    const char* message;
  };
  Options p;
  p.proportions = true;
  Options paired = p;
  paired.experiment = Experiment::paired;
  Options quantiles = p;
  quantiles.quantiles = {0.9};
  Options median = p;
  median.measures = {"d_MED"};
  const std::vector<double> two = {0, 1, 2, 1}, fine = {0, 1, 1, 0};
  const std::vector<Case> cases = {
      {"a value not 0/1", [&] { analyse(two, fine, p); }, "sample 1 holds 2, at position 3, which is not 0 or 1 (--proportions)"},
      {"counts not whole", [&] { analyse_counts({12.5, 100}, {3, 10}, p); }, "sample 1: successes 12.5 is not a whole number from 0 to 2^53"},
      {"negative counts", [&] { analyse_counts({3, 10}, {-1, 10}, p); }, "sample 2: successes -1 is not a whole number"},
      {"successes above trials", [&] { analyse_counts({11, 10}, {3, 10}, p); }, "sample 1: 11 successes of 10 trials, more than the trials"},
      {"no trials", [&] { analyse_counts({0, 0}, {3, 10}, p); }, "sample 1: no trials (0 trials)"},
      {"a negative cell", [&] { analyse_counts(PairedTable{1, -2, 3, 4}, p); }, "the pairs' x_only -2 is not a whole number"},
      {"two counts paired", [&] { analyse_counts({3, 10}, {4, 10}, paired); }, "counts of two samples are unpaired"},
      {"quantiles", [&] { analyse(fine, fine, quantiles); }, "the quantile measures are not measures of proportions"},
      {"a measure of values", [&] { analyse(fine, fine, median); }, "d_MED is not a measure of proportions (0/1 values)"},
      {"TRUE among numbers", [&] {
         const std::vector<std::string> a = {"TRUE", "false", "Yes", "2"}, b = {"1", "0", "no", "1"};
         frame_columns({"a", {}, a, {}, true}, {"b", {}, b, {}, true}, Experiment::unpaired, true);
       }, "the column \"a\", row 4: \"2\" is not 0 or 1 (--proportions)"},
  };
  for (const Case& c : cases) {
    try {
      c.run();
      ADD_FAILURE() << c.what << ": no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
    }
  }
}

TEST(Proportions, OutcomeWordsAreOnesAndZeros) {
  const std::vector<std::string> a = {"TRUE", "false", "Yes", " no ", "1", "NA"}, b = {"True", "FALSE", "1", "0", "0", "0"};
  const FrameSamples s = frame_columns({"a", {}, a, {}, true}, {"b", {}, b, {}, true}, Experiment::unpaired, true);
  EXPECT_EQ(s.x, (std::vector<double>{1, 0, 1, 0, 1}));
  EXPECT_EQ(s.y, (std::vector<double>{1, 0, 1, 0, 0, 0}));
  EXPECT_THROW(frame_columns({"a", {}, a, {}, true}, {"b", {}, b, {}, true}, Experiment::unpaired), Error)
      << "without proportions TRUE is not a number";
}

// The command line's own refusals (its parsing and the counts' forms).
TEST(Proportions, BadInputsOfTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"--counts", "412/x", "455/10000"}, 1, "diffboot: --counts \"412/x\": \"x\" is not a number"},
      {{"--counts", "412", "455/10000"}, 1, "diffboot: --counts \"412\" is not SUCCESSES/TRIALS"},
      {{"--counts", "-p", "4/10", "5/10"}, 1, "diffboot: --paired counts are one table"},
      {{"--counts", "--log", "--figure", "f.svg", "4/10", "5/10"}, 2, "diffboot: --log is for samples of values, not for --counts"},
      {{"--proportions", "--quantiles", "0.9", "x", "y"}, 2, "diffboot: --quantiles does not go with --proportions"},
      {{"--proportions", "--poisson", "x", "y"}, 2, "diffboot: --poisson does not go with --proportions"},
  };
  for (const Case& c : cases) {
    testing::ConsoleCapture capture;
    const int status = app::run_command_line(c.args, 1);
    EXPECT_EQ(status, c.status) << c.args[1];
    EXPECT_EQ(capture.err().rfind(c.message, 0), 0u) << capture.err();
  }
}

}  // namespace
}  // namespace diffboot
