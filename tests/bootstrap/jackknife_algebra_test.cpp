// The jackknife by algebra against the written order: leave-one-out means
// and standard deviations within rounding, medians and MADs bit for bit,
// accelerations within 1e-12 of their scale; and the printed results of
// whole analyses (the text report's five digits) identical on 200 random,
// tied and skewed data sets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "bootstrap/bca.h"
#include "bootstrap/leave_one_out.h"
#include "support/samples.h"

namespace diffboot::bootstrap {
namespace {

using testing::shaped_sample;

constexpr const char* shapes[] = {"random", "tied", "skewed"};

// Sizes of the data sets: small and odd, even, and past a block of columns.
std::size_t size_of(std::size_t k) { return 3 + (k * 37) % 190; }

TEST(JackknifeAlgebraTest, LeaveOneOutColumns) {
  for (std::size_t k = 0; k < 30; ++k) {
    const std::vector<double> x = shaped_sample(shapes[k % 3], size_of(k), 100 + k);
    const LeaveOneOut written = leave_one_out(x, Spread::with), algebra = leave_one_out_by_algebra(x, Spread::with);
    const double n = static_cast<double>(x.size());
    for (std::size_t j = 0; j < x.size(); ++j) {
      // The written order's sums are off by at most about n roundings.
      EXPECT_NEAR(algebra.ave[j], written.ave[j], 4 * n * 1.1e-16 * std::fabs(written.ave[j]) + 1e-300) << k;
      EXPECT_NEAR(algebra.std[j], written.std[j], 4 * n * 1.1e-16 * (std::fabs(written.ave[j]) + written.std[j])) << k;
      EXPECT_EQ(testing::bits(algebra.med[j]), testing::bits(written.med[j]));
      EXPECT_EQ(testing::bits(algebra.mad[j]), testing::bits(written.mad[j]));
    }
  }
}

// The acceleration of the grid u_i − v_j in long double (64-bit
// significands: its sums' rounding some 2000 times below a double's), and
// its scale, sum |d|^3 / (6 (sum d^2)^1.5), against which a skewness sum that
// cancels is measured.
std::pair<double, double> reference_acceleration(const std::vector<double>& u, const std::vector<double>& v) {
  const auto mean = [](const std::vector<double>& w) {
    long double sum = 0;
    for (double x : w) sum += x;
    return sum / static_cast<long double>(w.size());
  };
  const long double mu = mean(u), mv = mean(v);  // the grid's mean is mu − mv
  long double s2 = 0, s3 = 0, a3 = 0;
  for (double a : u) {
    for (double b : v) {
      const long double d = (mu - a) - (mv - b);
      s2 += d * d, s3 += d * d * d, a3 += std::fabs(d * d * d);
    }
  }
  if (s2 == 0) return {0.0, 0.0};
  return {static_cast<double>(s3 / (6 * std::pow(s2, 1.5L))), static_cast<double>(a3 / (6 * std::pow(s2, 1.5L)))};
}

TEST(JackknifeAlgebraTest, UnpairedAccelerations) {
  // The algebra within 1e-12 of the exact acceleration's scale, and never
  // further from it than the grid's storage order (which rounds its mean
  // over all n_x·n_y values before cubing the deviations from it).
  for (std::size_t k = 0; k < 30; ++k) {
    const std::vector<double> x = shaped_sample(shapes[k % 3], size_of(k), 200 + k);
    const std::vector<double> y = shaped_sample(shapes[(k + 1) % 3], size_of(k + 5), 300 + k);
    const LeaveOneOut a = leave_one_out(x, Spread::with), b = leave_one_out(y, Spread::with);
    const std::array<double, 4> written = unpaired_accelerations(a, b), algebra = unpaired_accelerations_by_algebra(a, b);
    const std::vector<double>* columns[2][4] = {{&a.ave, &a.med, &a.std, &a.mad}, {&b.ave, &b.med, &b.std, &b.mad}};
    for (std::size_t m = 0; m < 4; ++m) {
      const auto [exact, scale] = reference_acceleration(*columns[0][m], *columns[1][m]);
      if (written[m] == 0.0) {
        EXPECT_EQ(algebra[m], 0.0) << "flat: " << k << " measure " << m;
        continue;
      }
      EXPECT_NEAR(algebra[m], exact, 1e-12 * scale) << k << " measure " << m;
      EXPECT_LE(std::fabs(algebra[m] - exact), std::fabs(written[m] - exact) + 1e-15 * scale) << k << " measure " << m;
    }
  }
}

// The numbers the text report prints of every measure, as it prints them.
std::string printed(const std::vector<analysis::MeasureRun>& runs) {
  std::string out;
  for (const analysis::MeasureRun& m : runs) {
    for (double v : {m.result.estimate, m.result.t_lower, m.result.t_upper, m.result.bca_lower, m.result.bca_upper}) {
      char text[32];
      std::snprintf(text, sizeof text, " %.4E", v);
      out += text;
    }
    out += "\n";
  }
  return out;
}

std::string report_of(const std::vector<double>& x, const std::vector<double>& y, Experiment e, JackknifeSums sums) {
  analysis::Settings settings;
  settings.experiment = e, settings.replications = 199, settings.jackknife = sums;
  return printed(analysis::run_bootstrap(x, y, analysis::summarise(x, y), settings, nullptr));
}

TEST(JackknifeAlgebraTest, TextReportsOf200DataSets) {
  for (std::size_t k = 0; k < 200; ++k) {
    const Experiment e = k % 4 == 0 ? Experiment::paired : Experiment::unpaired;
    const std::size_t n_x = size_of(k), n_y = e == Experiment::paired ? n_x : size_of(k + 11);
    const std::vector<double> x = shaped_sample(shapes[k % 3], n_x, 400 + k);
    const std::vector<double> y = shaped_sample(shapes[(k / 3) % 3], n_y, 600 + k);
    EXPECT_EQ(report_of(x, y, e, JackknifeSums::by_algebra), report_of(x, y, e, JackknifeSums::by_size)) << k;
  }
}

// Around and beyond the switch to the algebra (1000 values a sample), the
// text reports are those of the written order.
TEST(JackknifeAlgebraTest, TextReportsAtModerateSizes) {
  const std::pair<std::size_t, std::size_t> sizes[] = {{1000, 1000}, {1000, 1001}, {1700, 1200}, {3000, 2500}};
  for (std::size_t k = 0; k < std::size(sizes); ++k) {
    const std::vector<double> x = shaped_sample(shapes[k % 3], sizes[k].first, 800 + k);
    const std::vector<double> y = shaped_sample(shapes[(k + 1) % 3], sizes[k].second, 900 + k);
    EXPECT_EQ(report_of(x, y, Experiment::unpaired, JackknifeSums::by_size),
              report_of(x, y, Experiment::unpaired, JackknifeSums::in_order))
        << sizes[k].first << " " << sizes[k].second;
  }
}

}  // namespace
}  // namespace diffboot::bootstrap
