// The streamed jackknife against the literal one: leave-one-out columns
// built in full and passed to ave_var and med_mad, and accelerations over the
// materialised n_x x n_y matrices, must agree bit for bit.
#include "bootstrap/leave_one_out.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "bootstrap/bca.h"
#include "numeric/quantiles.h"
#include "numeric/summaries.h"
#include "support/samples.h"

namespace diffboot::bootstrap {
namespace {

using testing::bits;
using testing::shaped_sample;

// The columns of the literal layout, with their statistics.
LeaveOneOut literal(const std::vector<double>& x) {
  LeaveOneOut out;
  for (std::size_t j = 0; j < x.size(); ++j) {
    std::vector<double> column(x);
    column.erase(column.begin() + static_cast<std::ptrdiff_t>(j));
    double ave, var, med, mad;
    numeric::ave_var(column, ave, var);
    numeric::med_mad(column, med, mad);
    out.ave.push_back(ave);
    out.std.push_back(std::sqrt(var));
    out.med.push_back(med);
    out.mad.push_back(mad);
  }
  return out;
}

void expect_same_bits(const std::vector<double>& a, const std::vector<double>& b, const std::string& what) {
  ASSERT_EQ(a.size(), b.size()) << what;
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(bits(a[i]), bits(b[i])) << what << " column " << i;
}

TEST(LeaveOneOutTest, ColumnStatisticsMatchTheLiteralColumns) {
  for (const char* shape : {"random", "tied", "skewed"}) {
    for (std::size_t n : {2, 3, 4, 7, 8, 9, 16, 17, 31, 32, 33, 40, 64, 97}) {
      const std::vector<double> x = shaped_sample(shape, n, static_cast<unsigned>(n));
      const LeaveOneOut streamed = leave_one_out(x, Spread::with);
      const LeaveOneOut expected = literal(x);
      const std::string what = std::string(shape) + " n=" + std::to_string(n);
      expect_same_bits(streamed.ave, expected.ave, what + " ave");
      expect_same_bits(streamed.std, expected.std, what + " std");
      expect_same_bits(streamed.med, expected.med, what + " med");
      expect_same_bits(streamed.mad, expected.mad, what + " mad");
    }
  }
}

TEST(LeaveOneOutTest, QuantilesMatchTheLiteralColumns) {
  for (const char* shape : {"random", "tied", "signed zeros"}) {
    for (std::size_t n : {2, 3, 4, 9, 40, 97}) {
      const std::vector<double> x = shaped_sample(shape, n, static_cast<unsigned>(n));
      for (double p : {0.01, 0.3, 0.5, 0.9, 0.999}) {
        const std::vector<double> fast = leave_one_out_quantiles(x, sorted_for_quantiles(x), p);
        for (std::size_t j = 0; j < n; ++j) {
          std::vector<double> column(x);
          column.erase(column.begin() + static_cast<std::ptrdiff_t>(j));
          std::sort(column.begin(), column.end());
          const double q = numeric::quantile_of_ranks(column.size(), p, [&column](std::size_t k) { return column[k - 1]; });
          ASSERT_EQ(fast[j], q) << shape << " n=" << n << " p " << p << " column " << j;
        }
      }
    }
  }
}

// Long enough (70 values) for full blocks of columns and a remainder; NaN,
// infinities and signed zeros placed inside and outside the first block.
std::vector<double> with_specials(std::vector<std::pair<std::size_t, double>> at) {
  std::vector<double> x = shaped_sample("random", 70, 5);
  for (const auto& [i, v] : at) x[i] = v;
  return x;
}

TEST(LeaveOneOutTest, NanAndSignedZeros) {
  // NaN and infinities: the columns' own statistics, bit for bit. A negative
  // zero is read as +0 (in O(n log n), not column by column): a zero median
  // may be +0 where med_mad gives -0, nothing else differs, and the
  // accelerations the medians give, paired and over the unpaired grid, are
  // the same bits.
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<double> samples[] = {{1, std::nan(""), 3, 2, 5},
                                         {0.0, -0.0, 1, -0.0, 0.0, 2},
                                         {-0.0, 0.0, -0.0},
                                         with_specials({{3, std::nan("")}}),
                                         with_specials({{40, inf}}),
                                         with_specials({{1, inf}, {50, -inf}}),
                                         std::vector<double>(40, -0.0),
                                         shaped_sample("signed zeros", 97, 3)};
  const std::vector<double> other = shaped_sample("tied", 9, 2);
  const LeaveOneOut b = leave_one_out(other, Spread::with);
  for (const auto& x : samples) {
    for (auto sums : {leave_one_out, leave_one_out_by_algebra}) {
      const LeaveOneOut streamed = sums(x, Spread::with);
      const LeaveOneOut expected = literal(x);
      if (sums == leave_one_out) {
        expect_same_bits(streamed.ave, expected.ave, "ave");
        expect_same_bits(streamed.std, expected.std, "std");
      }
      expect_same_bits(streamed.mad, expected.mad, "mad");
      ASSERT_EQ(streamed.med.size(), expected.med.size());
      for (std::size_t j = 0; j < x.size(); ++j) {
        EXPECT_TRUE(streamed.med[j] == expected.med[j] || (std::isnan(streamed.med[j]) && std::isnan(expected.med[j])))
            << "column " << j;
      }
      EXPECT_EQ(bits(acceleration(streamed.med)), bits(acceleration(expected.med)));
      EXPECT_EQ(bits(unpaired_accelerations(streamed, b)[1]), bits(unpaired_accelerations(expected, b)[1]));
    }
  }
}

TEST(LeaveOneOutTest, AccelerationsMatchTheMaterialisedMatrices) {
  for (const char* shape : {"random", "tied", "skewed"}) {
    const std::vector<double> x1 = shaped_sample(shape, 13, 1), x2 = shaped_sample(shape, 9, 2);
    const LeaveOneOut a = leave_one_out(x1, Spread::with), b = leave_one_out(x2, Spread::with);
    const LeaveOneOut la = literal(x1), lb = literal(x2);
    const std::array<const std::vector<double>*, 4> ca{&la.ave, &la.med, &la.std, &la.mad};
    const std::array<const std::vector<double>*, 4> cb{&lb.ave, &lb.med, &lb.std, &lb.mad};
    const std::array<double, 4> streamed = unpaired_accelerations(a, b);
    for (std::size_t k = 0; k < 4; ++k) {
      std::vector<double> matrix;  // column by column, i fastest
      for (std::size_t j = 0; j < x2.size(); ++j) {
        for (std::size_t i = 0; i < x1.size(); ++i) matrix.push_back((*ca[k])[i] - (*cb[k])[j]);
      }
      EXPECT_EQ(bits(streamed[k]), bits(acceleration(matrix))) << shape << " measure " << k;
    }
  }
}

TEST(LeaveOneOutTest, PairedDifferencesExample) {
  // x3 = (1, 2, 3, 10): jackknife means (5, 14/3, 13/3, 2), m = 4,
  // S2 = 50/9, S3 = 20/3, acc = 0.6/sqrt(50); medians (3, 3, 2, 2), acc = 0.
  const std::vector<double> x3{1, 2, 3, 10};
  const LeaveOneOut jack = leave_one_out(x3, Spread::without);
  EXPECT_EQ(jack.ave, (std::vector<double>{5, 14.0 / 3.0, 13.0 / 3.0, 2}));
  EXPECT_EQ(jack.med, (std::vector<double>{3, 3, 2, 2}));
  EXPECT_NEAR(acceleration(jack.ave), 0.6 / std::sqrt(50.0), 1e-15);
  EXPECT_NEAR(acceleration(jack.ave), 0.0848528, 1e-7);
  EXPECT_EQ(acceleration(jack.med), 0.0);
}

TEST(LeaveOneOutTest, SpreadThresholdIsRelative) {
  // 1.0e-12 in single precision, widened: the relative spread that counts as none.
  const double threshold = 9.999999960041972e-13;
  struct Case {
    std::vector<double> v;
    bool flat;
  };
  const Case cases[] = {
      {{1.0, 1.0 + threshold / 2, 1.0}, true},
      {{1.0, 1.0 + 4 * threshold, 1.0}, false},
      {{1e6, 1e6 + 1e-7, 1e6}, true},             // 1e-13 relative: flat, though 1e-7 apart
      {{1e-14, 3e-14, 2e-14, 1e-14}, false},      // tiny values keep their acceleration
      {{0.0, threshold, threshold}, false},
      {{0.0, 0.0, 0.0}, true},                    // equal values: exactly flat
      {{-2.5, -2.5, -2.5}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(acceleration(c.v) == 0.0, c.flat) << c.v[0] << " " << c.v[1];
  const std::vector<double> metres{1.0, 3.0, 2.0, 1.0, 7.0};
  std::vector<double> nanometres(metres);
  for (double& v : nanometres) v *= 1e-14;
  EXPECT_NEAR(acceleration(nanometres) / acceleration(metres), 1.0, 1e-12) << "the acceleration has no unit";
}

}  // namespace
}  // namespace diffboot::bootstrap
