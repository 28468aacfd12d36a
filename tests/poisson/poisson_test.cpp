// The Poisson bootstrap: its counts, the vector kernel against the literal
// order, sums that do not depend on how the rows are split or ordered, the
// acceleration from influence values, and the messages of what it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bootstrap/bca.h"
#include "bootstrap/effect_sizes.h"
#include "diffboot/poisson.h"
#include "poisson/analyse.h"
#include "poisson/kernel.h"
#include "poisson/weights.h"

namespace diffboot::poisson {
namespace {

using diffboot::Experiment;  // the library's, not the engine's
using engine::add_replicates;
using engine::add_replicates_literal;
using engine::count_thresholds;
using engine::largest_count;
using engine::poisson_count;
using engine::prepare_rows;
using engine::replicate_word;
using engine::row_key;
using engine::row_word;

std::vector<double> lognormal(std::size_t n, std::uint64_t seed, double location = 1.0) {
  std::mt19937_64 engine(seed);
  std::lognormal_distribution<double> value(location, 0.8);
  std::vector<double> v(n);
  for (double& x : v) x = value(engine);
  return v;
}

std::vector<double> fields(const MeasureResult& m) {
  return {m.estimate,         m.se,          m.bias,        m.t_lower, m.t_upper,       m.bca_lower, m.bca_upper,
          m.percentile_lower, m.percentile_upper, m.basic_lower, m.basic_upper, m.z0, m.acceleration};
}

std::vector<double> fields_of(const bootstrap::Result& m) {
  return {m.estimate,         m.se,          m.bias,        m.t_lower, m.t_upper,       m.bca_lower, m.bca_upper,
          m.percentile_lower, m.percentile_upper, m.basic_lower, m.basic_upper, m.z0, m.acceleration};
}

TEST(PoissonCounts, ThresholdsAreTheRoundedDistribution) {
  long double cdf = 0, term = std::exp(-1.0L);
  for (int k = 1; k <= largest_count; ++k) {
    cdf += term, term /= k;
    const auto t = static_cast<std::int64_t>(std::nearbyint(std::ldexp(cdf, 32)));
    EXPECT_EQ(count_thresholds[static_cast<std::size_t>(k - 1)], t - (std::int64_t{1} << 31)) << k;
  }
  EXPECT_LT(std::ldexp(1.0L - cdf - term, 32), 0.5L);  // no word has a count above 12
}

TEST(PoissonCounts, FrequenciesAreThoseOfPoissonOne) {
  // 2^20 rows × 4 replicates: counts 0..4 within four standard errors of
  // their probabilities, rows of one replicate and replicates of one row alike.
  std::vector<double> frequency(largest_count + 1);
  const int replicates = 4, rows = 1 << 20;
  for (int b = 0; b < replicates; ++b) {
    const std::uint32_t word = replicate_word(7, b);
    for (std::uint64_t i = 0; i < rows; ++i) frequency[poisson_count(row_word(row_key(i, 7, 0), word))] += 1;
  }
  const double total = double{replicates} * rows;
  double p = std::exp(-1.0);
  for (int k = 0; k < 5; ++k, p /= k) {
    EXPECT_NEAR(frequency[k] / total, p, 4 * std::sqrt(p * (1 - p) / total)) << k;
  }
}

TEST(PoissonKernel, VectorSumsAreTheLiteralOnesBitForBit) {
  // Every instruction set this processor runs; values of a scale beyond
  // the frame's clamp (|d| up to 2) take the literal order.
  struct Case {
    std::size_t n;
    bool keyed;
    std::int64_t first, last;  // replicates
    double scale = 1.0;
  };
  for (const Case c : {Case{1, false, 0, 9}, Case{7, true, 3, 40}, Case{513, false, 0, 99}, Case{1100, true, 17, 260},
                       Case{5000, false, 0, 2000}, Case{600, false, 0, 50, 1e300}}) {
    std::vector<double> x = lognormal(c.n, c.n);
    for (double& v : x) v *= c.scale;
    if (c.n > 10) x[3] = std::nan("");
    std::vector<std::uint64_t> keys(c.n);
    std::iota(keys.begin(), keys.end(), 1000);
    const engine::Setup setup{11, c.last, 1};
    const engine::Frame frame = engine::frame_of(engine::summarise(x, 2));
    engine::Sums sums;
    const engine::Rows rows = prepare_rows(x, c.keyed ? std::span<const std::uint64_t>(keys) : std::span<const std::uint64_t>(),
                                   5, frame, setup, sums);
    EXPECT_EQ(rows.in_unit, c.scale == 1.0);
    std::vector<std::int64_t> w_literal(static_cast<std::size_t>(c.last));
    std::vector<double> m_literal(4 * w_literal.size());
    add_replicates_literal(rows, setup.seed, c.first, c.last, w_literal, m_literal);
    for (const engine::Isa isa : {engine::Isa::portable, engine::Isa::avx2, engine::Isa::avx512}) {
      if (!engine::supported(isa)) continue;
      std::vector<std::int64_t> w(w_literal.size());
      std::vector<double> m(m_literal.size());
      add_replicates(rows, setup.seed, c.first, c.last, w, m, isa);
      EXPECT_EQ(w, w_literal) << c.n;
      for (std::size_t k = 0; k < m.size(); ++k) {
        ASSERT_EQ(std::bit_cast<std::uint64_t>(m[k]), std::bit_cast<std::uint64_t>(m_literal[k]))
            << c.n << " " << static_cast<int>(isa) << " " << k;
      }
    }
  }
}

TEST(PoissonKernel, SplitIsExactOnTheGrid) {
  for (double v : {0.0, 1.0, -1.0, 0.3, -0.7071067811865476, 1e-9, 3.0517578125e-05, 1.52587890625e-05, 0.99999999}) {
    const engine::Split s = engine::split(v);
    EXPECT_EQ(s.high + s.low, v);
    EXPECT_EQ(std::nearbyint(s.high * 65536.0), s.high * 65536.0);
    EXPECT_LE(std::fabs(s.low), std::ldexp(1.0, -17));
  }
}

// The results of x and y split into `parts` parts of uneven sizes, keyed by
// position, their sums added in part order (paired: the differences', and
// the second halves' for a lift).
Results in_parts(const std::vector<double>& x, const std::vector<double>& y, std::size_t parts, const Options& o) {
  const poisson::Setup sx{*o.seed, o.replications, 0}, sy{*o.seed, o.replications, 1};
  const auto part = [parts](const std::vector<double>& v, std::size_t k) {
    const auto cut = [&](std::size_t j) { return j == parts ? v.size() : v.size() * j * j / (parts * parts); };
    return std::span(v).subspan(cut(k), cut(k + 1) - cut(k));
  };
  const auto present = [](std::span<const double> p) {
    return static_cast<std::uint64_t>(std::count_if(p.begin(), p.end(), [](double d) { return !std::isnan(d); }));
  };
  const auto whole = [&](const std::vector<double>& v, const Setup& setup, int sample) {
    Summary summary;
    for (std::size_t k = 0; k < parts; ++k) merge(summary, summarise(part(v, k), sample));
    const Frame frame = frame_of(summary);
    Sums total = partition_sums(std::span(v).first(0), 0, frame, setup);
    std::uint64_t position = 0;
    for (std::size_t k = 0; k < parts; ++k) {
      merge(total, partition_sums(part(v, k), position, frame, setup));
      position += present(part(v, k));
    }
    return total;
  };
  if (o.experiment == Experiment::unpaired) return results(whole(x, sx, 1), whole(y, sy, 2), o);
  std::vector<double> d(x.size());
  for (std::size_t i = 0; i < d.size(); ++i) d[i] = std::isnan(x[i]) || std::isnan(y[i]) ? std::nan("") : x[i] - y[i];
  const Sums differences = whole(d, sx, 1);
  Summary summary;
  for (std::size_t k = 0; k < parts; ++k) merge(summary, summarise_second_halves(part(d, k), part(y, k)));
  const Frame frame = frame_of(summary);
  Sums second = second_half_sums({}, {}, 0, differences.frame, frame, sx);
  std::uint64_t position = 0;
  for (std::size_t k = 0; k < parts; ++k) {
    merge(second, second_half_sums(part(d, k), part(y, k), position, differences.frame, frame, sx));
    position += present(part(d, k));
  }
  return results(differences, second, o);
}

TEST(PoissonSums, PartsAndThreadsDoNotShow) {
  std::vector<double> x = lognormal(20000, 1, 6.0), y = lognormal(15000, 2, 6.1), second = lognormal(20000, 7, 5.9);
  x[100] = std::nan(""), second[300] = std::nan("");
  const struct {
    Experiment experiment;
    const std::vector<double>* y;
    std::vector<std::string> measures;
    std::int64_t missing;
  } runs[] = {{Experiment::unpaired, &y, {"d_AVE", "d_STD", "g", "lift"}, 1},
              {Experiment::paired, &second, {"AVE_d", "g", "lift"}, 2}};
  for (const auto& run : runs) {
    Options o;
    o.experiment = run.experiment;
    o.seed = 5, o.replications = 499, o.measures = run.measures, o.threads = 1;
    const Results one = poisson::analyse(x, *run.y, o);
    o.threads = 3;
    const Results threads = poisson::analyse(x, *run.y, o);
    EXPECT_EQ(one.missing_x, run.missing);
    for (std::size_t parts : {1, 7, 64}) {
      const Results split = in_parts(x, *run.y, parts, o);
      ASSERT_EQ(split.measures.size(), run.measures.size());
      for (std::size_t k = 0; k < run.measures.size(); ++k) {
        const std::vector<double> a = fields(one.measures[k]), b = fields(split.measures[k]),
                                  t = fields(threads.measures[k]);
        for (std::size_t f = 0; f < a.size(); ++f) {
          EXPECT_NEAR(b[f], a[f], 1e-12 * std::fabs(a[f])) << parts << " " << one.measures[k].name << " " << f;
          EXPECT_EQ(std::bit_cast<std::uint64_t>(t[f]), std::bit_cast<std::uint64_t>(a[f]));
        }
      }
    }
  }
}

TEST(PoissonSums, KeyedRowsKeepTheirCountsInAnyOrder) {
  const std::vector<double> x = lognormal(3000, 3);
  std::vector<std::uint64_t> keys(x.size());
  std::iota(keys.begin(), keys.end(), 77);
  std::vector<std::size_t> order(x.size());
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937_64(9));
  std::vector<double> shuffled;
  std::vector<std::uint64_t> shuffled_keys;
  for (std::size_t i : order) shuffled.push_back(x[i]), shuffled_keys.push_back(keys[i]);
  const Frame frame = frame_of(summarise(x, 1));
  const poisson::Setup setup{3, 99, 0};
  const Sums a = partition_sums(x, keys, frame, setup), b = partition_sums(shuffled, shuffled_keys, frame, setup);
  EXPECT_EQ(a.weights, b.weights);
  for (std::size_t k = 0; k < a.moments.size(); k += 2) EXPECT_EQ(a.moments[k], b.moments[k]);  // the exact parts
}

TEST(PoissonAcceleration, InfluenceValuesAgreeWithTheJackknifeOfLargeSamples) {
  // The jackknife's acceleration tends to the influence values' one: for
  // thousands of skewed values they agree to a few per cent.
  const std::vector<double> d = lognormal(4000, 4);
  Options o;
  o.experiment = Experiment::paired, o.measures = {"AVE_d", "g"}, o.replications = 99;
  const std::vector<double> zero(d.size(), 0.0);
  const Results r = poisson::analyse(d, zero, o);
  double mean = 0, sd = 0;
  for (double v : d) mean += v / static_cast<double>(d.size());
  for (double v : d) sd += (v - mean) * (v - mean) / static_cast<double>(d.size() - 1);
  sd = std::sqrt(sd);
  std::vector<double> jack_mean;
  for (double v : d) jack_mean.push_back((mean * static_cast<double>(d.size()) - v) / static_cast<double>(d.size() - 1));
  EXPECT_NEAR(r.measures[0].acceleration, bootstrap::acceleration(jack_mean), 1e-3 * std::fabs(r.measures[0].acceleration));
  const double g_jack = bootstrap::acceleration(bootstrap::hedges_g_paired_jackknife(d));
  EXPECT_NEAR(r.measures[1].acceleration, g_jack, 0.05 * std::fabs(g_jack));
  // Unpaired g, whose jackknife leaves out each value of x, then of y.
  const std::vector<double> x = lognormal(30000, 5), y = lognormal(25000, 6, 1.3);
  Options u;
  u.measures = {"g"}, u.replications = 99;
  const double unpaired_jack = bootstrap::acceleration(bootstrap::hedges_g_jackknife(x, y));
  EXPECT_NEAR(poisson::analyse(x, y, u).measures[0].acceleration, unpaired_jack, 0.05 * std::fabs(unpaired_jack));
  // The paired lift mean(x)/mean(y) − 1, whose influence values take both
  // halves of a pair; the second halves correlate with the differences.
  std::vector<double> second = lognormal(4000, 7, 2.0), first(d.size()), differences(d.size());
  for (std::size_t i = 0; i < d.size(); ++i) second[i] += 0.5 * d[i], first[i] = d[i] + second[i];
  for (std::size_t i = 0; i < d.size(); ++i) differences[i] = first[i] - second[i];
  o.measures = {"lift"};
  const MeasureResult lift = poisson::analyse(first, second, o).measures[0];
  long double sum_x = 0, sum_y = 0;
  for (std::size_t i = 0; i < d.size(); ++i) sum_x += first[i], sum_y += second[i];
  EXPECT_NEAR(lift.estimate, static_cast<double>(sum_x / sum_y - 1), 1e-13);
  const double lift_jack = bootstrap::acceleration(bootstrap::lift_paired_jackknife(differences, second));
  EXPECT_NEAR(lift.acceleration, lift_jack, 0.05 * std::fabs(lift_jack));
}

TEST(PoissonLift, WithoutAnEstimateWhereTheMeanOfYIsZero) {
  // Every number NaN, paired and unpaired, and a note that says why.
  std::vector<double> zero_mean(60);
  for (std::size_t i = 0; i < zero_mean.size(); ++i) zero_mean[i] = i % 2 == 0 ? 1.5 : -1.5;
  const std::vector<double> x = lognormal(60, 8);
  for (const bootstrap::Experiment e : {bootstrap::Experiment::paired, bootstrap::Experiment::unpaired}) {
    engine::Settings s;
    s.experiment = e, s.seed = 1, s.replications = 99, s.measures = {"lift"};
    const engine::Outcome r = engine::analyse(x, zero_mean, s);
    for (const double v : fields_of(r.measures[0].result)) EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(r.measures[0].notes, std::vector<std::string>{"lift: not defined, as the mean of sample 2 is 0"});
  }
  // A mean of sample 2 that is not 0, whose resamples' means sometimes
  // are: the intervals withheld, and said so as the usual bootstrap does.
  std::vector<double> some_zero = zero_mean;
  some_zero.push_back(0.5);
  engine::Settings s;
  s.experiment = bootstrap::Experiment::unpaired, s.seed = 1, s.replications = 999, s.measures = {"lift"};
  const engine::Outcome outcome = engine::analyse(x, some_zero, s);
  const engine::MeasureRun& lift = outcome.measures[0];
  EXPECT_TRUE(std::isfinite(lift.result.estimate));
  EXPECT_TRUE(std::isnan(lift.result.bca_lower));
  ASSERT_EQ(lift.notes.size(), 2u);
  EXPECT_TRUE(lift.notes[0].starts_with("lift: ")) << lift.notes[0];
  EXPECT_TRUE(lift.notes[0].ends_with(
      " of 999 replicates are not finite numbers (resamples of sample 2 whose mean is 0); its intervals are not given"))
      << lift.notes[0];
  EXPECT_TRUE(lift.notes[1].starts_with("lift: the mean of sample 2 (0.0082) lies within two standard errors"))
      << lift.notes[1];
}

TEST(PoissonLift, ClippedOnlyWhereItsSignsBoundIt) {
  // As the ordinary bootstrap: -1 bounds the lift only where sample 1 holds
  // no negative value and sample 2 only positive ones, whether the run has
  // the samples (analyse) or only their sums (results).
  const std::vector<double> positive = lognormal(40, 12);
  std::vector<double> sparse(40, 0.0);  // a lift near -1, uncertain
  sparse[3] = 6.0, sparse[17] = 4.0;
  std::vector<double> negative = lognormal(40, 14);
  for (double& v : negative) v = -v;
  std::vector<double> signed_first = positive;
  signed_first[0] = -0.5;
  struct Case {
    const char* what;
    const std::vector<double>&x, &y;
    bool clipped;
  };
  const Case cases[] = {{"positive samples", sparse, positive, true},
                        {"sample 2 negative", positive, negative, false},
                        {"a negative value in sample 1", signed_first, positive, false}};
  for (const Case& c : cases) {
    for (const bootstrap::Experiment e : {bootstrap::Experiment::unpaired, bootstrap::Experiment::paired}) {
      engine::Settings s;
      s.experiment = e, s.seed = 3, s.replications = 999, s.measures = {"lift"};
      const engine::Outcome r = engine::analyse(c.x, c.y, s);
      const bootstrap::Result& lift = r.measures[0].result;
      const double lowest = std::min({lift.t_lower, lift.bca_lower, lift.percentile_lower, lift.basic_lower});
      const bool paired = e == bootstrap::Experiment::paired;
      if (c.clipped) {
        EXPECT_EQ(lowest, -1.0) << c.what << (paired ? ", paired" : "");
      } else if (&c.y == &negative) {
        EXPECT_LT(lowest, -1.0) << c.what;
        EXPECT_TRUE(lift.bca_lower <= lift.estimate && lift.estimate <= lift.bca_upper) << c.what;
        EXPECT_TRUE(r.measures[0].notes[0].starts_with("lift: the mean of sample 2 is negative")) << c.what;
      } else {
        EXPECT_NE(lowest, -1.0) << c.what;
      }
      if (paired) continue;
      // From the sums of each sample, as parts on other machines give them.
      const engine::Frame fx = engine::frame_of(engine::summarise(c.x, 1)), fy = engine::frame_of(engine::summarise(c.y, 2));
      const engine::Sums sx = engine::sums_on_threads(c.x, fx, {3, 999, 0}, 1);
      const engine::Sums sy = engine::sums_on_threads(c.y, fy, {3, 999, 1}, 1);
      EXPECT_EQ(fields_of(engine::results(sx, sy, s).measures[0].result), fields_of(lift)) << c.what;
    }
  }
}

TEST(PoissonG, InAnyUnit) {
  // g and its acceleration from data times 1e155 and 1e-160 (whose cubed
  // spreads leave the double range) are those of the data themselves.
  const std::vector<double> x = lognormal(60, 15), y = lognormal(50, 16, 1.2);
  for (const bootstrap::Experiment e : {bootstrap::Experiment::unpaired, bootstrap::Experiment::paired}) {
    engine::Settings s;
    s.experiment = e, s.seed = 5, s.replications = 999, s.measures = {"g", "lift"};
    const std::vector<double> y_of = e == bootstrap::Experiment::paired ? std::vector<double>(y.begin(), y.begin() + 50)
                                                                        : y;
    const std::vector<double> x_of(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(y_of.size()));
    const engine::Outcome plain = engine::analyse(x_of, y_of, s);
    for (double unit : {1e155, 1e-160, 1e103, 1e-108}) {
      std::vector<double> xs = x_of, ys = y_of;
      for (double& v : xs) v *= unit;
      for (double& v : ys) v *= unit;
      const engine::Outcome scaled = engine::analyse(xs, ys, s);
      for (std::size_t m = 0; m < plain.measures.size(); ++m) {
        const std::vector<double> want = fields_of(plain.measures[m].result), got = fields_of(scaled.measures[m].result);
        for (std::size_t k = 0; k < want.size(); ++k) {
          EXPECT_NEAR(got[k], want[k], 1e-9 * std::fabs(want[k]))
              << plain.measures[m].name << " at " << unit << ", field " << k;
        }
      }
    }
  }
}

TEST(PoissonControl, FollowsWithoutChangingABitAndCancels) {
  const std::vector<double> x = lognormal(700, 9), y = lognormal(700, 10);
  for (const Experiment e : {Experiment::unpaired, Experiment::paired}) {
    Options o;
    o.experiment = e, o.replications = 299, o.threads = 2;
    o.measures = e == Experiment::paired ? std::vector<std::string>{"AVE_d", "lift"} : std::vector<std::string>{};
    Control control;
    const Results plain = poisson::analyse(x, y, o), followed = poisson::analyse(x, y, o, control);
    EXPECT_EQ(control.fraction(), 1.0);
    for (std::size_t k = 0; k < plain.measures.size(); ++k) {
      const std::vector<double> a = fields(plain.measures[k]), b = fields(followed.measures[k]);
      for (std::size_t f = 0; f < a.size(); ++f) EXPECT_EQ(std::bit_cast<std::uint64_t>(a[f]), std::bit_cast<std::uint64_t>(b[f]));
    }
  }
  // Cancelled from another thread once under way, and before it starts.
  Control control;
  std::thread canceller([&] {
    while (control.fraction() == 0.0) std::this_thread::yield();
    control.cancel();
  });
  Options o;
  o.replications = 1000000, o.threads = 2;
  EXPECT_THROW(poisson::analyse(x, y, o, control), Cancelled);
  canceller.join();
  o.replications = 99;
  EXPECT_THROW(poisson::analyse(x, y, o, control), Cancelled);
}

TEST(PoissonErrors, WhatItRefusesSaysWhy) {
  const std::vector<double> x = lognormal(40, 1), y = lognormal(40, 2), few = lognormal(29, 3);
  std::vector<double> infinite = x;
  infinite[4] = INFINITY;
  struct Case {
    std::vector<std::string> measures;
    Experiment experiment;
    const std::vector<double>* x;
    std::int32_t permutations;
    const char* message;
  };
  const std::vector<double> none;
  const Case cases[] = {
      {{"d_MED"}, Experiment::unpaired, &x, 0, "d_MED needs order statistics across the parts of a sample"},
      {{"MED_d"}, Experiment::paired, &x, 0, "MED_d needs order statistics"},
      {{"delta"}, Experiment::unpaired, &x, 0, "delta needs order statistics"},
      {{"d_STD"}, Experiment::paired, &x, 0, "d_STD is not a measure of the Poisson bootstrap of a paired experiment"},
      {{}, Experiment::unpaired, &few, 0, "Too few values for the Poisson bootstrap: each sample needs at least 30"},
      {{}, Experiment::unpaired, &none, 0, "sample 1 has no values"},
      {{}, Experiment::unpaired, &x, 99, "permutation p-values are not part of the Poisson bootstrap"},
      {{}, Experiment::unpaired, &infinite, 0, "sample 1 holds a value that is not a finite number, at position 5"},
  };
  for (const Case& c : cases) {
    Options o;
    o.measures = c.measures, o.experiment = c.experiment, o.permutations = c.permutations;
    try {
      poisson::analyse(*c.x, c.experiment == Experiment::paired ? x : y, o);
      ADD_FAILURE() << c.message;
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
  // Sums of another seed, or with a part missing, are not merged or taken.
  const Frame frame = frame_of(summarise(x, 1));
  Sums a = partition_sums(x, 0, frame, {1, 99, 0});
  const Sums before = a;
  EXPECT_THROW(merge(a, partition_sums(x, 0, frame, {2, 99, 0})), Error);
  EXPECT_EQ(a.weights, before.weights);  // a refused merge leaves its sums whole
  EXPECT_EQ(a.moments, before.moments);
  Options o;
  o.seed = 1, o.replications = 99;
  const Sums half = partition_sums(std::span(y).first(20), 0, frame_of(summarise(y, 2)), {1, 99, 1});
  EXPECT_THROW(results(a, half, o), Error);
  // A paired lift refuses sums of the second halves weighed as a sample of their own.
  o.experiment = Experiment::paired, o.measures = {"lift"};
  EXPECT_THROW(results(a, partition_sums(y, 0, frame_of(summarise(y, 2)), {1, 99, 1}), o), Error);
}

}  // namespace
}  // namespace diffboot::poisson
