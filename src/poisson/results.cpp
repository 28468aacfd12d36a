#include "poisson/results.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "analysis/notes.h"
#include "bootstrap/bootstrap.h"
#include "bootstrap/effect_sizes.h"
#include "numeric/distributions.h"

namespace diffboot::poisson::engine {
namespace {

constexpr std::string_view unpaired_names[] = {"d_AVE", "d_STD", "g", "lift"};
constexpr std::string_view paired_names[] = {"AVE_d", "g", "lift"};
constexpr std::string_view unpaired_defaults[] = {"d_AVE", "d_STD"};
constexpr std::string_view paired_defaults[] = {"AVE_d"};
// Measures of the ordinary bootstrap that need order statistics.
constexpr std::string_view ordered_names[] = {"d_MED", "d_MAD", "MED_d", "delta"};

// A sample's mean and standard deviation from weights summing to w and the
// sums Σ w·d, Σ w·d² of its scaled deviations from the pivot.
struct Moments {
  double pivot, offset, mean, sd;  // offset: mean − pivot
};

Moments moments_of(const Frame& f, double w, double first, double second) {
  const double m = first / w;
  const double var = std::max(0.0, (second - first * m) / (w - 1.0));
  const double offset = std::ldexp(m, f.scale);
  return {f.pivot, offset, f.pivot + offset, std::ldexp(std::sqrt(var), f.scale)};
}

// The moments of the whole sample and of replicate b.
Moments estimate_moments(const Sums& s) {
  const auto p = [&s](std::size_t k) { return s.powers[2 * k] + s.powers[2 * k + 1]; };
  return moments_of(s.frame, static_cast<double>(s.rows), p(0), p(1));
}

Moments replicate_moments(const Sums& s, std::size_t b, int sample) {
  const double w = static_cast<double>(s.weights[b]);
  if (w < 2.0) {
    throw Error("a Poisson resample of sample " + std::to_string(sample) +
                " drew fewer than two values: the sample is too small for the Poisson bootstrap");
  }
  const double* m = &s.moments[4 * b];
  return moments_of(s.frame, w, m[0] + m[1], m[2] + m[3]);
}

// The central power sums Σ (z − μ)^j, j = 0..6, of a sample, in its own units.
std::array<long double, 7> central_sums(const Sums& s) {
  std::array<long double, 7> p{};
  p[0] = static_cast<long double>(s.rows);
  for (std::size_t j = 1; j < 7; ++j) {
    p[j] = static_cast<long double>(s.powers[2 * (j - 1)]) + static_cast<long double>(s.powers[2 * (j - 1) + 1]);
  }
  const long double m = p[1] / p[0];
  std::array<long double, 7> c{};
  for (int j = 0; j < 7; ++j) {
    long double sum = 0, binomial = 1;
    for (int i = j; i >= 0; --i) {
      sum += binomial * p[static_cast<std::size_t>(i)] * std::pow(-m, static_cast<long double>(j - i));
      binomial = binomial * static_cast<long double>(i) / static_cast<long double>(j - i + 1);
    }
    c[static_cast<std::size_t>(j)] = j == 0 ? p[0] : std::ldexp(sum, j * s.frame.scale);
  }
  c[1] = 0;
  return c;
}

// A measure as a function of the two samples' moments and sizes.
using Statistic = double (*)(const Moments& x, const Moments& y, double n_x, double n_y);

double difference_of_means(const Moments& x, const Moments& y, double, double) {
  return (x.pivot - y.pivot) + (x.offset - y.offset);
}
double difference_of_sds(const Moments& x, const Moments& y, double, double) { return x.sd - y.sd; }
double unpaired_g(const Moments& x, const Moments& y, double n_x, double n_y) {
  return bootstrap::hedges_g(x.mean, x.sd, static_cast<std::size_t>(n_x), y.mean, y.sd, static_cast<std::size_t>(n_y));
}
double lift(const Moments& x, const Moments& y, double n_x, double n_y) {
  return difference_of_means(x, y, n_x, n_y) / y.mean;
}
double paired_mean(const Moments& d, const Moments&, double, double) { return d.mean; }
// mean(x)/mean(y) − 1 of pairs, as mean(x − y)/mean(y).
double paired_lift(const Moments& d, const Moments& y, double, double) { return d.mean / y.mean; }
double paired_g(const Moments& d, const Moments&, double n, double) {
  return bootstrap::hedges_g_paired(d.mean, d.sd, static_cast<std::size_t>(n));
}

Statistic statistic_of(std::string_view name, Experiment e) {
  if (e == Experiment::paired) return name == "AVE_d" ? paired_mean : name == "g" ? paired_g : paired_lift;
  if (name == "d_AVE") return difference_of_means;
  if (name == "d_STD") return difference_of_sds;
  if (name == "g") return unpaired_g;
  return lift;
}

// The influence coefficients (a, b) of a measure in each sample.
struct Coefficients {
  std::array<double, 2> a{}, b{};
};

Coefficients coefficients_of(std::string_view name, Experiment e, const Moments& x, const Moments& y,
                             const std::array<long double, 7>& cx, const std::array<long double, 7>& cy) {
  const auto plug_in_sd = [](const std::array<long double, 7>& c) { return static_cast<double>(std::sqrt(c[2] / c[0])); };
  if (e == Experiment::paired) {
    if (name == "AVE_d") return {{1.0, 0.0}, {0.0, 0.0}};
    return {{1.0 / x.sd, 0.0}, {-x.mean / (2.0 * x.sd * x.sd * x.sd), 0.0}};
  }
  if (name == "d_AVE") return {{1.0, -1.0}, {0.0, 0.0}};
  if (name == "d_STD") return {{0.0, 0.0}, {1.0 / (2.0 * plug_in_sd(cx)), -1.0 / (2.0 * plug_in_sd(cy))}};
  if (name == "lift") return {{1.0 / y.mean, -x.mean / (y.mean * y.mean)}, {0.0, 0.0}};
  const double n_x = static_cast<double>(cx[0]), n_y = static_cast<double>(cy[0]);
  const double sp = std::sqrt(((n_x - 1.0) * x.sd * x.sd + (n_y - 1.0) * y.sd * y.sd) / (n_x + n_y - 2.0));
  const double delta = x.mean - y.mean, sp3 = 2.0 * sp * sp * sp;
  return {{1.0 / sp, -1.0 / sp}, {-delta * n_x / (n_x + n_y) / sp3, -delta * n_y / (n_x + n_y) / sp3}};
}

// The measures whose value does not change with the data's unit (g, the
// lift) have coefficients that hold powers of a spread or a mean (σ³, μ²):
// beyond a magnitude of 2^±150 those are formed in a unit of a power of two
// near it, which the acceleration does not see. 0: no other unit needed.
int unit_exponent(double magnitude) {
  if (!(magnitude > 0.0) || !std::isfinite(magnitude)) return 0;
  const int e = std::ilogb(magnitude);
  return e > 150 || e < -150 ? e : 0;
}

// Moments and central power sums in the unit 2^k (exact: powers of two).
Moments in_unit(const Moments& m, int k) {
  return {std::ldexp(m.pivot, -k), std::ldexp(m.offset, -k), std::ldexp(m.mean, -k), std::ldexp(m.sd, -k)};
}
std::array<long double, 7> in_unit(const std::array<long double, 7>& c, int k) {
  std::array<long double, 7> out = c;
  for (int j = 1; j < 7; ++j) out[static_cast<std::size_t>(j)] = std::ldexp(c[static_cast<std::size_t>(j)], -j * k);
  return out;
}

// The unit exponent of a measure's coefficients: g's from its standard
// deviations, the lift's from the mean of y; 0 for the differences, whose
// coefficients hold no power of the data.
int coefficient_unit(std::string_view name, Experiment e, const Moments& x, const Moments& y) {
  if (name == "g") return unit_exponent(e == Experiment::paired ? x.sd : std::max(x.sd, y.sd));
  if (name == "lift") return unit_exponent(std::fabs(y.mean));
  return 0;
}

// The BCa acceleration of the paired lift μ_d/μ_y, whose influence value at
// a pair is (u − (μ_d/μ_y) v)/μ_y, u and v its difference and second half
// less their means: (Σ l³)/(6 (Σ l²)^1.5) from the power and cross sums of
// the two; 0 where that is not a finite number.
double paired_lift_acceleration(const Sums& d, const Sums& y, const Moments& md, const Moments& my) {
  // raw[j][k] = Σ e^j v^k of the scaled differences e and second halves v.
  long double raw[4][4] = {};
  raw[0][0] = static_cast<long double>(d.rows);
  for (std::size_t j = 1; j < 4; ++j) {
    raw[j][0] = static_cast<long double>(d.powers[2 * (j - 1)]) + static_cast<long double>(d.powers[2 * (j - 1) + 1]);
    raw[0][j] = static_cast<long double>(y.powers[2 * (j - 1)]) + static_cast<long double>(y.powers[2 * (j - 1) + 1]);
  }
  const auto cross = [&y](std::size_t k) {
    return static_cast<long double>(y.cross[2 * k]) + static_cast<long double>(y.cross[2 * k + 1]);
  };
  raw[1][1] = cross(0), raw[2][1] = cross(1), raw[1][2] = cross(2);
  const long double me = raw[1][0] / raw[0][0], mv = raw[0][1] / raw[0][0];
  constexpr long double binomial[4][4] = {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 2, 1, 0}, {1, 3, 3, 1}};
  // central(j, k) = Σ (e − ē)^j (v − v̄)^k in the samples' own units.
  const auto central = [&](int j, int k) {
    long double sum = 0;
    for (int a = 0; a <= j; ++a) {
      for (int b = 0; b <= k; ++b) {
        sum += binomial[j][a] * binomial[k][b] * std::pow(-me, static_cast<long double>(j - a)) *
               std::pow(-mv, static_cast<long double>(k - b)) * raw[a][b];
      }
    }
    return std::ldexp(sum, j * d.frame.scale + k * y.frame.scale);
  };
  const long double a = 1.0L / my.mean, c = -static_cast<long double>(md.mean) / (static_cast<long double>(my.mean) * my.mean);
  const long double l2 = a * a * central(2, 0) + 2 * a * c * central(1, 1) + c * c * central(0, 2);
  const long double l3 = a * a * a * central(3, 0) + 3 * a * a * c * central(2, 1) + 3 * a * c * c * central(1, 2) +
                         c * c * c * central(0, 3);
  const auto acc = static_cast<double>(l3 / (6 * std::pow(l2, 1.5L)));
  return std::isfinite(acc) ? acc : 0.0;
}

// A measure without an estimate: every number of it NaN.
void without_estimate(bootstrap::Result& r) {
  r.estimate = std::numeric_limits<double>::quiet_NaN();
  bootstrap::without_intervals(r);
}

}  // namespace

bool needs_second_halves(const std::vector<std::string>& names, Experiment e) {
  return e == Experiment::paired && std::ranges::find(names, "lift") != names.end();
}

std::span<const std::string_view> measure_names(Experiment e) {
  if (e == Experiment::paired) return paired_names;
  return unpaired_names;
}

std::span<const std::string_view> default_measures(Experiment e) {
  if (e == Experiment::paired) return paired_defaults;
  return unpaired_defaults;
}

std::optional<std::string> measures_problem(const std::vector<std::string>& names, Experiment e) {
  for (const std::string& name : names) {
    if (std::ranges::find(measure_names(e), name) != measure_names(e).end()) continue;
    if (std::ranges::find(ordered_names, name) != std::end(ordered_names) && !(e == Experiment::paired && name == "delta")) {
      const std::string offered = e == Experiment::paired ? "AVE_d, g and lift" : "d_AVE, d_STD, g and lift";
      return name + " needs order statistics across the parts of a sample, which the Poisson bootstrap does not " +
             "form: it gives " + offered;
    }
    return name + " is not a measure of the Poisson bootstrap of " +
           (e == Experiment::paired ? "a paired" : "an unpaired") + " experiment";
  }
  return std::nullopt;
}

double influence_acceleration(std::span<const std::array<long double, 7>> m, std::span<const double> a,
                              std::span<const double> b) {
  long double s2 = 0, s3 = 0;
  for (std::size_t k = 0; k < m.size(); ++k) {
    const std::array<long double, 7>& c = m[k];
    const long double n = c[0], v = c[2] / n, ak = a[k], bk = b[k];
    const long double l2 = ak * ak * c[2] + 2 * ak * bk * c[3] + bk * bk * (c[4] - n * v * v);
    const long double l3 = ak * ak * ak * c[3] + 3 * ak * ak * bk * (c[4] - v * c[2]) +
                           3 * ak * bk * bk * (c[5] - 2 * v * c[3]) +
                           bk * bk * bk * (c[6] - 3 * v * c[4] + 3 * v * v * c[2] - n * v * v * v);
    s2 += l2 / (n * n);
    s3 += l3 / (n * n * n);
  }
  const auto acc = static_cast<double>(s3 / (6 * std::pow(s2, 1.5L)));
  return std::isfinite(acc) ? acc : 0.0;
}

bootstrap::Range lift_range_of_frames(const Sums& x, const Sums& y, Experiment e) {
  if (e == Experiment::paired) return bootstrap::lift_range_of(x.frame.min + y.frame.min, y.frame.min);
  return bootstrap::lift_range_of(x.frame.min, y.frame.min);
}

std::vector<MeasureRun> measure_runs(const Sums& x, const Sums& y, Experiment e, double alpha,
                                     const std::vector<std::string>& names, bool keep_replicates,
                                     bootstrap::Range lift_range) {
  const bool paired = e == Experiment::paired;
  const bool second_halves = needs_second_halves(names, e);
  const Sums& ys = paired && !second_halves ? x : y;
  const auto replications = x.weights.size();
  const double n_x = static_cast<double>(x.rows), n_y = static_cast<double>(ys.rows);
  const Moments ex = estimate_moments(x), ey = estimate_moments(ys);
  const std::array<std::array<long double, 7>, 2> central{central_sums(x), central_sums(ys)};
  std::vector<Moments> rx(replications), ry(replications);
  std::vector<double> wx(replications), wy(replications);
  for (std::size_t b = 0; b < replications; ++b) {
    rx[b] = replicate_moments(x, b, 1), wx[b] = static_cast<double>(x.weights[b]);
    if (!paired) ry[b] = replicate_moments(ys, b, 2), wy[b] = static_cast<double>(ys.weights[b]);
    if (second_halves) ry[b] = replicate_moments(ys, b, 2);  // the differences' weights
  }
  const auto nu = static_cast<std::int64_t>(paired ? n_x - 1 : n_x + n_y - 2);
  std::vector<MeasureRun> runs;
  for (std::string_view name : measure_names(e)) {
    const bool asked = names.empty() ? std::ranges::find(default_measures(e), name) != default_measures(e).end()
                                     : std::ranges::find(names, name) != names.end();
    if (!asked) continue;
    MeasureRun& run = runs.emplace_back();
    run.name = name;
    const Statistic f = statistic_of(name, e);
    run.result.estimate = f(ex, ey, n_x, n_y);
    run.replicates.resize(replications);
    for (std::size_t b = 0; b < replications; ++b) run.replicates[b] = f(rx[b], ry[b], wx[b], wy[b]);
    if (keep_replicates) run.in_order.resize(replications);
    const double t_quant = numeric::t_quantile(alpha, name == "d_STD" ? nu - 2 : nu);
    const bool lift = name == "lift";
    bootstrap::Measure m{run.result, t_quant, run.replicates, run.in_order, lift ? lift_range : bootstrap::Range{}};
    double acc = 0.0;
    if (lift && paired) {
      acc = paired_lift_acceleration(x, ys, ex, ey);
    } else {
      const int k = coefficient_unit(name, e, ex, ey);
      const std::array<std::array<long double, 7>, 2> sums =
          k == 0 ? central : std::array<std::array<long double, 7>, 2>{in_unit(central[0], k), in_unit(central[1], k)};
      const Coefficients c = k == 0 ? coefficients_of(name, e, ex, ey, central[0], central[1])
                                    : coefficients_of(name, e, in_unit(ex, k), in_unit(ey, k), sums[0], sums[1]);
      const std::size_t samples = paired ? 1 : 2;
      acc = influence_acceleration(std::span(sums).first(samples), std::span(c.a).first(samples),
                                   std::span(c.b).first(samples));
    }
    bootstrap::measure_intervals(m, acc, alpha);
    if (lift && !std::isfinite(run.result.estimate)) {
      without_estimate(run.result);
      run.notes.emplace_back(ey.mean == 0.0 ? "lift: not defined, as the mean of sample 2 is 0"
                                            : "lift: not defined, as the ratio of the means is beyond the largest double");
    } else if (const auto k = std::ranges::count_if(run.replicates, [](double r) { return !std::isfinite(r); }); k > 0) {
      // As the usual bootstrap says it: the intervals were withheld.
      run.notes.push_back(std::string(name) + ": " + std::to_string(k) + " of " + std::to_string(replications) +
                          " replicates are not finite numbers (" +
                          (lift ? "resamples of sample 2 whose mean is 0" : "constant resamples") +
                          "); its intervals are not given");
    } else if (std::optional<std::string> note = analysis::extreme_level_note(name, run.result, alpha, replications)) {
      run.notes.push_back(std::move(*note));
    }
    if (lift && std::isfinite(run.result.estimate)) {
      for (std::string& note : analysis::lift_notes(ey.mean, ey.sd, static_cast<std::size_t>(n_y))) {
        run.notes.push_back(std::move(note));
      }
    }
  }
  return runs;
}

}  // namespace diffboot::poisson::engine
