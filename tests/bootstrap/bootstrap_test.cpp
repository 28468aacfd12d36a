// The bootstrap: its draws, its replicates, the percentile rule, the bias
// correction and the stops it can meet.
#include "bootstrap/bootstrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bootstrap/leave_one_out.h"
#include "numeric/distributions.h"
#include "numeric/summaries.h"
#include "support/console_capture.h"
#include "support/samples.h"

namespace diffboot::bootstrap {
namespace {

constexpr std::size_t B = 1999;
using Replicates = std::vector<double>;

struct Unpaired {
  std::vector<double> x1, x2, r1, r2;
  std::array<Replicates, 4> boot{Replicates(B), Replicates(B), Replicates(B), Replicates(B)};
  std::array<Result, 4> results{Result{0.0}, Result{0.0}, Result{0.0}, Result{0.0}};
  std::array<Measure, 4> measures;
  numeric::UniformState g;

  Unpaired(std::vector<double> a, std::vector<double> b)
      : x1(std::move(a)), x2(std::move(b)), r1(x1.size()), r2(x2.size()),
        measures{Measure{results[0], -2.0, boot[0]}, Measure{results[1], -2.0, boot[1]},
                 Measure{results[2], -2.0, boot[2]}, Measure{results[3], -2.0, boot[3]}} {}

  void run(unsigned threads = 1) { bootstrap_unpaired({x1, x2, r1, r2}, measures, 0.05, g, threads); }
};

std::vector<double> range(double from, std::size_t n) { return testing::counting(from, n); }

TEST(BootstrapTest, FirstUnpairedReplication) {
  // Replication 1 takes x1 at 6,4,5,1,10,5,1,8,7,2 (mean 4.9, median 5.0) and
  // x2 at 5,8,10,7,2,9,10,2,3,6 (mean 16.2, median 16.5).
  Unpaired u(range(1, 10), range(11, 10));
  u.run();
  const double d_ave = 4.9 - 16.2;
  double ave1, ave2, var;
  numeric::ave_var(std::vector<double>{6, 4, 5, 1, 10, 5, 1, 8, 7, 2}, ave1, var);
  numeric::ave_var(std::vector<double>{15, 18, 20, 17, 12, 19, 20, 12, 13, 16}, ave2, var);
  EXPECT_NEAR(ave1 - ave2, d_ave, 1e-12);
  EXPECT_TRUE(std::find(u.boot[0].begin(), u.boot[0].end(), ave1 - ave2) != u.boot[0].end());
  EXPECT_TRUE(std::find(u.boot[1].begin(), u.boot[1].end(), -11.5) != u.boot[1].end());
  for (const Replicates& r : u.boot) EXPECT_TRUE(std::is_sorted(r.begin(), r.end()));
}

TEST(BootstrapTest, DrawCountsAndRepeatability) {
  Unpaired u(range(1, 7), range(3, 5));
  u.run();
  numeric::UniformState expected;
  numeric::init_uniform(expected);
  for (std::size_t i = 0; i < B * (7 + 5); ++i) numeric::uniform_deviate(expected, expected.resampler_seed);
  EXPECT_EQ(u.g.lcg_word, expected.lcg_word);
  EXPECT_EQ(u.g.shift_word, expected.shift_word);

  Unpaired again(range(1, 7), range(3, 5));
  again.run();
  EXPECT_EQ(u.boot, again.boot);
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(u.results[k].bca_lower, again.results[k].bca_lower);
    EXPECT_EQ(u.results[k].t_upper, again.results[k].t_upper);
  }
}

TEST(BootstrapTest, ThreadCountsGiveTheSameBits) {
  for (const char* shape : {"random", "tied", "skewed"}) {
    const std::vector<double> x = testing::shaped_sample(shape, 57, 21), y = testing::shaped_sample(shape, 44, 22);
    Unpaired one(x, y);
    one.run(1);
    for (unsigned threads : {2u, 3u, 7u}) {
      Unpaired many(x, y);
      many.run(threads);
      EXPECT_EQ(many.boot, one.boot) << shape << " " << threads;
      EXPECT_EQ(many.r1, one.r1) << "the last replication's resample";
      EXPECT_EQ(many.g.lcg_word, one.g.lcg_word);
      EXPECT_EQ(many.g.shift_word, one.g.shift_word);
      for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(many.results[k].bca_upper, one.results[k].bca_upper);
    }
    std::array<Replicates, 2> paired_boot[2];
    std::vector<double> last_resample[2];
    for (unsigned t : {1u, 2u}) {
      std::vector<double> x3(57), r3(57);
      Replicates ave(B), med(B);
      Result ave_d{0.0}, med_d;
      std::array<Measure, 2> m{Measure{ave_d, -2.0, ave}, Measure{med_d, -2.0, med}};
      numeric::UniformState g;
      bootstrap_paired({x, testing::shaped_sample(shape, 57, 23), x3, r3}, m, 0.05, g, t);
      paired_boot[t - 1] = {ave, med};
      last_resample[t - 1] = r3;
    }
    EXPECT_EQ(paired_boot[0], paired_boot[1]) << shape;
    EXPECT_EQ(last_resample[0], last_resample[1]) << shape;
  }
  // d_AVE alone: two replications at a time, in blocks of odd and even sizes.
  const std::vector<double> x = testing::shaped_sample("random", 57, 21), y = testing::shaped_sample("skewed", 44, 22);
  Unpaired one(x, y);
  for (std::size_t k = 1; k < 4; ++k) one.measures[k].drawn = false;
  one.run(1);
  for (unsigned threads : {2u, 3u}) {
    Unpaired many(x, y);
    for (std::size_t k = 1; k < 4; ++k) many.measures[k].drawn = false;
    many.run(threads);
    EXPECT_EQ(many.boot[0], one.boot[0]) << threads;
    EXPECT_EQ(many.r1, one.r1) << "the last replication's resample";
  }
}

TEST(BootstrapTest, PairedRun) {
  const std::vector<double> x1{1, 2, 3, 10, 5}, x2{0, 0, 0, 0, 0};
  std::vector<double> x3(5, -999.0), r3(5);
  Replicates ave(B), med(B);
  Result ave_d{4.2}, med_d;
  std::array<Measure, 2> m{Measure{ave_d, -2.0, ave}, Measure{med_d, -2.0, med}};
  numeric::UniformState g;
  bootstrap_paired({x1, x2, x3, r3}, m, 0.05, g, 1);
  EXPECT_EQ(x3, x1);
  EXPECT_EQ(med_d.estimate, 3.0);
  numeric::UniformState expected;
  numeric::init_uniform(expected);
  for (std::size_t i = 0; i < B * 5; ++i) numeric::uniform_deviate(expected, expected.resampler_seed);
  EXPECT_EQ(g.lcg_word, expected.lcg_word);
  EXPECT_NEAR(ave_d.t_lower - 4.2, 4.2 - ave_d.t_upper, 1e-12);
}

TEST(BootstrapTest, PairedBoundsWithNonZeroAcceleration) {
  // Differences (1, 2, 3, 10): jackknife means (5, 14/3, 13/3, 2) with mean
  // 4, S2 = 50/9 and S3 = 20/3, so acc = (20/3) / (6 (50/9)^1.5) = 0.6/sqrt(50)
  // worked by hand; the medians' jackknife (3, 3, 2, 2) is symmetric: acc 0.
  const std::vector<double> x1{1, 2, 3, 10}, x2{0, 0, 0, 0};
  std::vector<double> x3(4), r3(4);
  Replicates ave(B), med(B);
  Result ave_d{4.0}, med_d;
  std::array<Measure, 2> m{Measure{ave_d, -2.0, ave}, Measure{med_d, -2.0, med}};
  numeric::UniformState g;
  bootstrap_paired({x1, x2, x3, r3}, m, 0.05, g, 1);
  EXPECT_NEAR(ave_d.acceleration, 0.6 / std::sqrt(50.0), 1e-15);
  EXPECT_EQ(med_d.acceleration, 0.0);
  const Levels levels = bca_levels(ave_d.z0, ave_d.acceleration, numeric::norm_quantile(0.05));
  EXPECT_EQ(ave_d.bca_lower, percentile(ave, levels.lower));
  EXPECT_EQ(ave_d.bca_upper, percentile(ave, levels.upper));
  EXPECT_GT(levels.lower, numeric::norm_cdf(ave_d.z0 + (ave_d.z0 + numeric::norm_quantile(0.05))))
      << "a positive acceleration moves the lower level up";
}

TEST(BootstrapTest, AcceleratedLevelsAndBounds) {
  // z0 = 0.5, acc = 0.25, z_alpha = -2: w_lower = -1.5 gives the argument
  // 0.5 - 1.5/1.375 = -13/22; w_upper = 2.5 gives 0.5 + 2.5/0.375 = 43/6.
  // Expected levels from the exact normal distribution function (erfc), which
  // the program's approximation follows to about 1e-7.
  const Levels levels = bca_levels(0.5, 0.25, -2.0);
  const double exact_lower = 0.5 * std::erfc((13.0 / 22.0) / std::sqrt(2.0));
  EXPECT_NEAR(levels.lower, exact_lower, 2e-7);
  EXPECT_NEAR(levels.upper, 1.0, 1e-9);
  Replicates s(B);
  for (std::size_t i = 0; i < B; ++i) s[i] = static_cast<double>(i + 1);  // s(k) = k
  EXPECT_NEAR(percentile(s, levels.lower), 2000.0 * exact_lower, 1e-3) << "s(k) = k interpolates to 2000 p";
  EXPECT_EQ(percentile(s, levels.upper), 1999.0) << "a level from 1999/2000 on gives s(B)";
}

// An unpaired run with the estimates of its samples' summaries.
Unpaired estimated_run(std::vector<double> x, std::vector<double> y) {
  Unpaired u(std::move(x), std::move(y));
  const numeric::SampleSummary a = numeric::summarize(u.x1), b = numeric::summarize(u.x2);
  const double estimates[] = {a.ave - b.ave, a.med - b.med, a.std - b.std, a.mad - b.mad};
  for (std::size_t k = 0; k < 4; ++k) u.results[k].estimate = estimates[k];
  u.run();
  return u;
}

TEST(BootstrapTest, BoundsScaleWithTheData) {
  // The same samples in other units: every bound scales and every z0 stays,
  // also where replicates tie with the estimate (the chick weights' medians
  // and MADs, in grams and in 1e-9 g; examples/chick_*.txt).
  struct Case {
    std::vector<double> x, y;
    double unit;
  };
  const Case cases[] = {
      {testing::shaped_sample("skewed", 40, 3), testing::shaped_sample("random", 30, 4), 1e-14},
      {{179, 160, 136, 227, 217, 168, 108, 124, 143, 140},
       {309, 229, 181, 141, 260, 203, 148, 169, 213, 257, 244, 271},
       1e-9},
  };
  for (const Case& c : cases) {
    std::vector<double> xs(c.x), ys(c.y);
    for (double& v : xs) v *= c.unit;
    for (double& v : ys) v *= c.unit;
    const Unpaired plain = estimated_run(c.x, c.y), scaled = estimated_run(xs, ys);
    for (std::size_t k = 0; k < 4; ++k) {
      const Result& p = plain.results[k];
      const Result& q = scaled.results[k];
      EXPECT_EQ(q.z0, p.z0) << k << " in units of " << c.unit;
      if (std::fabs(p.acceleration) > 1e-6) {
        EXPECT_NEAR(q.acceleration / p.acceleration, 1.0, 1e-9) << k;
      }
      for (auto bound : {&Result::t_lower, &Result::t_upper, &Result::bca_lower, &Result::bca_upper}) {
        EXPECT_NEAR(q.*bound / c.unit / (p.*bound), 1.0, 1e-9) << k << " in units of " << c.unit;
      }
    }
  }
}

TEST(BootstrapTest, StandardDeviationsNearTheLargestDouble) {
  // sd(x) = 1e308 sqrt(4.5/4) ~ 1.06e308 is a double although its variance
  // is not; the accelerations of such values stay finite too.
  const Unpaired u = estimated_run({1e308, -1e308, 1e308, -1e308, 0.5e308}, {1, 2, 3, 4});
  for (const Result& r : u.results) {
    EXPECT_TRUE(std::isfinite(r.se));
    EXPECT_TRUE(std::isfinite(r.acceleration));
  }
  EXPECT_TRUE(std::isfinite(u.results[2].estimate));
  EXPECT_TRUE(std::isfinite(u.results[2].bca_lower) && std::isfinite(u.results[2].bca_upper));
}

TEST(BootstrapTest, PairedMeanAsItsReplicates) {
  // (x, y) and (x - y, 0) are the same paired experiment: the same z0 for
  // the mean, whose estimate is summed as its replicates are; and y = x + 1
  // makes every replicate equal to the estimate (within rounding): z0 = 0.
  const std::vector<double> x = testing::shaped_sample("tied", 30, 5), y = testing::shaped_sample("random", 30, 6);
  std::vector<double> d(30), zeros(30, 0.0), shifted(x);
  for (std::size_t i = 0; i < 30; ++i) d[i] = x[i] - y[i];
  for (double& v : shifted) v += 1.0;
  std::array<Result, 2> results[3];
  const std::pair<const std::vector<double>*, const std::vector<double>*> runs[] = {{&x, &y}, {&d, &zeros}, {&x, &shifted}};
  for (std::size_t k = 0; k < 3; ++k) {
    std::vector<double> x3(30), r3(30);
    Replicates ave(B), med(B);
    std::array<Measure, 2> m{Measure{results[k][0], -2.0, ave}, Measure{results[k][1], -2.0, med}};
    numeric::UniformState g;
    bootstrap_paired({*runs[k].first, *runs[k].second, x3, r3}, m, 0.05, g, 1);
  }
  EXPECT_EQ(results[0][0].z0, results[1][0].z0);
  EXPECT_EQ(results[0][0].bca_lower, results[1][0].bca_lower);
  EXPECT_EQ(results[2][0].z0, 0.0);
  EXPECT_EQ(results[2][1].z0, 0.0);
}

TEST(BootstrapTest, PercentileRule) {
  Replicates s(B);
  for (std::size_t i = 0; i < B; ++i) s[i] = static_cast<double>(i + 1) * 10.0;  // s(k) = 10 k
  struct Case {
    double p, expected;
  };
  const Case cases[] = {
      {0.025, 500.0},                   // k = 50 exactly: s(50)
      {0.0251, 500.0 + 0.2 * 10.0},     // s(50) + 0.2 (s(51) - s(50))
      {0.0004, 10.0},                   // below 1/2000: s(1)
      {0.0, 10.0},
      {0.9995, 19990.0},                // from 1999/2000 on: s(1999)
      {1.0, 19990.0},
  };
  for (const auto& c : cases) EXPECT_NEAR(percentile(s, c.p), c.expected, 1e-9) << c.p;
  EXPECT_TRUE(std::isnan(percentile(s, std::nan(""))));
}

TEST(BootstrapTest, PercentileAndBasicBounds) {
  // Replicates s(k) = k place level p at 2000 p. alpha = 0.025: the plain
  // levels are Phi(-1.95996400) and Phi(1.95996400), 0.025 and 0.975 to 1e-7,
  // so the percentile bounds are 50 and 1950 and, with the estimate 900, the
  // basic bounds 1800 - 1950 = -150 and 1800 - 50 = 1750.
  Replicates s(B);
  for (std::size_t i = 0; i < B; ++i) s[i] = static_cast<double>(i + 1);
  const PlainBounds b = plain_bounds(s, 900.0, numeric::norm_quantile(0.025));
  EXPECT_NEAR(b.percentile_lower, 50.0, 1e-3);
  EXPECT_NEAR(b.percentile_upper, 1950.0, 1e-3);
  EXPECT_NEAR(b.basic_lower, -150.0, 1e-3);
  EXPECT_NEAR(b.basic_upper, 1750.0, 1e-3);
}

TEST(BootstrapTest, PercentileRuleForOtherReplicationCounts) {
  // s(k) = k sits at level k/(B + 1): level 0.025 is at 0.025 (B + 1).
  struct Case {
    std::size_t replications;
    double p, expected;
  };
  const Case cases[] = {
      {99, 0.025, 2.5},       // 2.5 = between s(2) and s(3)
      {99, 0.005, 1.0},       // below 1/100: s(1)
      {99, 0.995, 99.0},      // from 99/100 on: s(B)
      {999, 0.025, 25.0},     // exactly s(25)
      {999, 0.9751, 975.1},
      {9999, 0.025, 250.0},
      {9999, 0.99995, 9999.0},
  };
  for (const Case& c : cases) {
    Replicates s(c.replications);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<double>(i + 1);
    EXPECT_NEAR(percentile(s, c.p), c.expected, 1e-9) << c.replications << " " << c.p;
  }
  // The bias correction divides by B: 49 below and one tie of 99 give 49.5/99 = 0.5.
  Replicates r(99, 1.0);
  for (std::size_t i = 0; i < 49; ++i) r[i] = -1.0;
  r[49] = 0.0;
  EXPECT_EQ(bias_correction(r, 0.0, 1.0), 0.0);
}

TEST(BootstrapTest, BiasCorrectionCountsTiesHalf) {
  Replicates r(B);
  for (std::size_t i = 0; i < B; ++i) r[i] = i < 999 ? -1.0 : (i == 999 ? 0.0 : 1.0);
  EXPECT_EQ(bias_correction(r, 0.0, 1.0), 0.0);
  std::fill(r.begin(), r.end(), 5.0);
  EXPECT_EQ(bias_correction(r, 1.0, 0.0), -1.0e38) << "all above the estimate";
  EXPECT_EQ(bias_correction(r, 9.0, 0.0), 1.0e38) << "all below the estimate";
  // Within 1e-12 (|estimate| + se) a replicate ties: 1 + 4e-16 and 2.9e-12
  // away with se = 2 (tolerance 3e-12) count half, 1e-11 away counts below.
  struct Tie {
    double replicate, se;
    double p0;
  };
  const Tie ties[] = {{1.0 + 4e-16, 0.0, 0.5}, {1.0 - 2.9e-12, 2.0, 0.5}, {1.0 - 1e-11, 2.0, 1.0},
                      {1.0 + 1e-11, 2.0, 0.0}, {std::nan(""), 2.0, 0.0}};
  for (const Tie& t : ties) {
    std::fill(r.begin(), r.end(), t.replicate);
    EXPECT_EQ(bias_correction(r, 1.0, t.se), numeric::norm_quantile(t.p0)) << t.replicate;
  }
  // Near the largest double the tolerance stays 1e-12 of the scale, not infinite.
  r.assign(B, 1.0e308);
  EXPECT_EQ(bias_correction(r, 1.7e308, 1.0e308), numeric::norm_quantile(1.0));
  r.assign(B, 5.0);
  for (double estimate : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    EXPECT_TRUE(std::isnan(bias_correction(r, estimate, 0.0))) << "no z0 for the estimate " << estimate;
  }
  const Levels up = bca_levels(1.0e38, 0.0, -1.96);
  EXPECT_EQ(up.lower, 1.0);
  EXPECT_EQ(up.upper, 1.0);
  const Levels plain = bca_levels(0.0, 0.0, -1.96);
  EXPECT_NEAR(plain.lower, 0.02499789, 1e-8);
  EXPECT_NEAR(plain.upper, 0.97500211, 1e-8);
}

// A sample's leave-one-out statistics (mean, median, sd, MAD) from scratch,
// in long double.
std::array<std::vector<long double>, 4> left_out_statistics(const std::vector<double>& x) {
  const auto median = [](std::vector<long double> w) {
    std::sort(w.begin(), w.end());
    const std::size_t h = w.size() / 2;
    return w.size() % 2 == 1 ? w[h] : (w[h - 1] + w[h]) / 2;
  };
  std::array<std::vector<long double>, 4> out;
  for (std::size_t i = 0; i < x.size(); ++i) {
    std::vector<long double> w(x.begin(), x.end());
    w.erase(w.begin() + static_cast<std::ptrdiff_t>(i));
    const auto n = static_cast<long double>(w.size());
    long double mean = 0, squares = 0;
    for (long double v : w) mean += v / n;
    for (long double v : w) squares += (v - mean) * (v - mean);
    const long double med = median(w);
    std::vector<long double> deviations;
    for (long double v : w) deviations.push_back(std::fabs(v - med));
    out[0].push_back(mean), out[1].push_back(med), out[2].push_back(std::sqrt(squares / (n - 1)));
    out[3].push_back(median(deviations) * static_cast<long double>(numeric::mad_scale));
  }
  return out;
}

TEST(BootstrapTest, TwoSampleAccelerationByItsFormula) {
  // a = (Σ U³/n_x³ + Σ W³/n_y³) / (6 (Σ U²/n_x² + Σ W²/n_y²)^1.5) with the
  // influence values U_i = (n_x − 1)(mean(u) − u_i), W_j = (n_y − 1)(v_j − mean(v)),
  // against its scale (the same with |U|³ and |W|³).
  const char* shapes[] = {"random", "tied", "skewed"};
  for (std::size_t k = 0; k < 12; ++k) {
    const std::vector<double> x = testing::shaped_sample(shapes[k % 3], 5 + 7 * k, 40 + k);
    const std::vector<double> y = testing::shaped_sample(shapes[(k + 1) % 3], 9 + 3 * k, 70 + k);
    const std::array<double, 4> got =
        two_sample_accelerations(leave_one_out(x, Spread::with), leave_one_out(y, Spread::with));
    const std::array<std::vector<long double>, 4> u = left_out_statistics(x), v = left_out_statistics(y);
    for (std::size_t m = 0; m < 4; ++m) {
      long double cubes = 0, squares = 0, scale = 0;
      for (const auto& [w, sign] : {std::pair{&u[m], 1.0L}, std::pair{&v[m], -1.0L}}) {
        const auto n = static_cast<long double>(w->size());
        long double mean = 0;
        for (long double s : *w) mean += s / n;
        for (long double s : *w) {
          const long double influence = sign * (n - 1) * (mean - s);
          cubes += influence * influence * influence / (n * n * n);
          scale += std::fabs(influence * influence * influence) / (n * n * n);
          squares += influence * influence / (n * n);
        }
      }
      const long double denominator = 6 * std::pow(squares, 1.5L);
      const double expected = squares == 0 ? 0.0 : static_cast<double>(cubes / denominator);
      const double tolerance = squares == 0 ? 0.0 : 1e-12 * static_cast<double>(scale / denominator);
      EXPECT_NEAR(got[m], expected, tolerance) << "data set " << k << ", measure " << m;
    }
  }
}

TEST(BootstrapTest, PercentileBetweenNeighboursBeyondTheDoubleRange) {
  // Neighbours whose distance times B + 1 overflows: the point between them
  // as a weighted mean (s(1) and s(2) at levels 1/100 and 2/100).
  struct Case {
    double low, high, p, expected;
  };
  const double big = 1e306;
  const Case cases[] = {
      {1 * big, 3 * big, 0.015, 2 * big},     // (B + 1)(s(2) − s(1)) = 200e306
      {-1.5e308, 1.5e308, 0.015, 0.0},        // the difference itself overflows
      {-1.5e308, 1.5e308, 0.0175, 0.75e308},
      {1 * big, 3 * big, 0.01, 1 * big},      // at s(1)'s own level
  };
  for (const Case& c : cases) {
    Replicates s(99, c.high);
    s[0] = c.low;
    const double got = percentile(s, c.p);
    EXPECT_TRUE(std::isfinite(got)) << c.low << " " << c.p;
    EXPECT_NEAR(got, c.expected, 1e-9 * std::fabs(c.high)) << c.low << " " << c.p;
  }
}

TEST(BootstrapTest, LevelsBeyondTheReplicates) {
  // p (B + 1) below 1 or above B: the rule gives s(1) or s(B) whatever p.
  struct Case {
    double p;
    std::size_t replications;
    bool beyond;
    double needed;  // replications_reaching(p)
  };
  const Case cases[] = {
      {0.0005, 99, true, 1999},   {0.9995, 99, true, 1999},   {0.0005, 1999, false, 1999},
      {0.025, 99, false, 39},     {0.005, 99, true, 199},     {0.995, 199, false, 199},
      {0.00049999, 1999, false, 2000},  // a thousandth of a place short: the levels' rounding
      {0.0004, 1999, true, 2499}, {0.0, 99999, true, INFINITY}, {1.0, 99, true, INFINITY},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(beyond_replicates(c.p, c.replications), c.beyond) << c.p << " " << c.replications;
    EXPECT_EQ(replications_reaching(c.p), c.needed) << c.p;
  }
  EXPECT_FALSE(beyond_replicates(std::nan(""), 99));
}

TEST(BootstrapTest, TwoSampleAccelerationOfAMeasuresOwnJackknife) {
  // The jackknife of d_AVE as a measure's own values (x's leave-one-outs
  // minus mean(y), then mean(x) minus y's) gives the acceleration of the
  // differences' two-sample formula.
  const std::vector<double> x = testing::shaped_sample("skewed", 17, 5), y = testing::shaped_sample("random", 23, 6);
  const LeaveOneOut a = leave_one_out(x, Spread::with), b = leave_one_out(y, Spread::with);
  const double mean_x = numeric::mean_and_sd(x).ave, mean_y = numeric::mean_and_sd(y).ave;
  std::vector<double> jack;
  for (double u : a.ave) jack.push_back(u - mean_y);
  for (double v : b.ave) jack.push_back(mean_x - v);
  const double expected = two_sample_accelerations(a, b)[0];
  EXPECT_NEAR(two_sample_acceleration(jack, x.size()), expected, 1e-9 * std::fabs(expected));
  EXPECT_NE(two_sample_acceleration(jack, x.size()), acceleration(jack)) << "not the pooled jackknife";
}

TEST(BootstrapTest, ConstantSamplesGiveZeroWidthIntervals) {
  testing::ConsoleCapture capture;
  Unpaired u(std::vector<double>(8, 3.0), std::vector<double>(6, 1.0));
  u.results[0].estimate = u.results[1].estimate = 2.0;
  u.run();
  for (const Result& r : u.results) {
    EXPECT_EQ(r.se, 0.0);
    EXPECT_EQ(r.t_lower, r.estimate);
    EXPECT_EQ(r.t_upper, r.estimate);
    EXPECT_EQ(r.bca_lower, r.estimate) << "every replicate equals the estimate";
    EXPECT_EQ(r.bca_upper, r.estimate);
  }
  EXPECT_EQ(capture.out(), "");
}

TEST(BootstrapTest, ConstantPairedDifferencesGoOnWhateverTheirRounding) {
  // y = x + d: every resample of the differences has mean -d and variance 0
  // or a rounding residue; neither may end the run.
  for (double d : {1.0, 0.1, -3.0}) {
    testing::ConsoleCapture capture;
    const std::vector<double> x1{1.5, 2, 7, 4, 4, 9}, x2{1.5 + d, 2 + d, 7 + d, 4 + d, 4 + d, 9 + d};
    std::vector<double> x3(6), r3(6);
    Replicates ave(B), med(B);
    Result ave_d{(1.5 + 2 + 7 + 4 + 4 + 9) / 6 - ((1.5 + d) + (2 + d) + (7 + d) + (4 + d) + (4 + d) + (9 + d)) / 6};
    Result med_d;
    std::array<Measure, 2> m{Measure{ave_d, -2.0, ave}, Measure{med_d, -2.0, med}};
    numeric::UniformState g;
    bootstrap_paired({x1, x2, x3, r3}, m, 0.05, g, 1);
    EXPECT_LT(ave_d.se, 1e-15) << d;
    EXPECT_NEAR(ave_d.t_lower, ave_d.estimate, 1e-14) << d;
    EXPECT_NEAR(med_d.t_upper, med_d.estimate, 1e-14) << d;
    EXPECT_EQ(capture.out(), "") << d;
  }
}

}  // namespace
}  // namespace diffboot::bootstrap
