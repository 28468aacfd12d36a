#include "bootstrap/bca.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "numeric/accurate_sum.h"
#include "numeric/distributions.h"

namespace diffboot::bootstrap {
namespace {

// 1.0e-12 held in single precision and widened to double: the relative
// spread below which jackknife values count as equal.
const double spread_threshold = static_cast<double>(1.0e-12f);
constexpr double infinity = std::numeric_limits<double>::infinity();

// Running sum, largest and smallest of jackknife values in storage order, of
// one measure (T = double) or of several side by side (a vector type).
template <typename T>
struct ScanOf {
  T sum = T{} + 0.0;
  T vmax = T{} - infinity;
  T vmin = T{} + infinity;
  void add(const T& v) {
    sum += v;
    vmax = vmax > v ? vmax : v;
    vmin = vmin < v ? vmin : v;
  }
  // Relative to the values' magnitude, so that the same data in other units
  // give the same acceleration; equal values are always flat.
  bool flat() const { return std::fabs(vmin - vmax) <= spread_threshold * std::max(std::fabs(vmin), std::fabs(vmax)); }
};

// Sums of squared and cubed deviations (mean minus value) in storage order.
template <typename T>
struct PowersOf {
  T s2 = T{} + 0.0;
  T s3 = T{} + 0.0;
  void add(const T& m, const T& v) {
    const T d = m - v;
    s2 += d * d;
    s3 += d * d * d;
  }
  double acceleration() const { return s3 / (6.0 * std::pow(s2, 1.5)); }
};

using Scan = ScanOf<double>;
using Powers = PowersOf<double>;

// The acceleration does not change when all jackknife values are multiplied
// by a power of two, except where its sums overflow. For an acceleration
// that is not finite from finite values, the exponent k such that values
// times 2^-k are at most about 2^200 (their cubes summed stay finite);
// otherwise 0, the acceleration stands.
int overflow_scale(double acc, const Scan& scan) {
  if (std::isfinite(acc) || !std::isfinite(scan.vmin) || !std::isfinite(scan.vmax)) return 0;
  const int k = std::ilogb(std::max(std::fabs(scan.vmin), std::fabs(scan.vmax))) - 200;
  return k > 0 ? k : 0;
}

// The distance within which a replicate counts as equal to the estimate;
// where |estimate| + se is beyond the largest double, the two scaled apart
// (an infinite distance would make every replicate equal).
double tie_distance(double estimate, double se) {
  const double scale = std::fabs(estimate) + se;
  return std::isfinite(scale) ? tie_tolerance * scale : tie_tolerance * std::fabs(estimate) + tie_tolerance * se;
}

bool equal_to(double r, double estimate, double tie) { return r == estimate || std::fabs(r - estimate) <= tie; }

}  // namespace

double bias_correction(std::span<const double> replicates, double estimate, double se) {
  if (!std::isfinite(estimate)) return std::numeric_limits<double>::quiet_NaN();
  const double tie = tie_distance(estimate, se);
  std::int64_t equal = 0;
  std::int64_t less = 0;
  for (double r : replicates) {
    if (equal_to(r, estimate, tie)) {
      ++equal;
    } else if (r < estimate) {
      ++less;
    }
  }
  const auto replications = static_cast<double>(replicates.size());
  const double p0 = (0.5 * static_cast<double>(equal) + static_cast<double>(less)) / replications;
  return numeric::norm_quantile(p0);
}

bool all_equal_to_estimate(std::span<const double> replicates, double estimate, double se) {
  const double tie = tie_distance(estimate, se);
  return std::all_of(replicates.begin(), replicates.end(), [&](double r) { return equal_to(r, estimate, tie); });
}

double acceleration(std::span<const double> jack) {
  Scan scan;
  for (double v : jack) scan.add(v);
  if (scan.flat()) return 0.0;
  const double m = scan.sum / static_cast<double>(jack.size());
  Powers powers;
  for (double v : jack) powers.add(m, v);
  const double acc = powers.acceleration();
  const int k = overflow_scale(acc, scan);
  if (k == 0) return acc;
  std::vector<double> scaled(jack.begin(), jack.end());
  for (double& v : scaled) v = std::ldexp(v, -k);
  return acceleration(scaled);
}

namespace {

// The four measures side by side in one vector: native 256-bit registers where
// the processor has AVX2 (the functions below come in an AVX2 and a plain
// version, chosen when the program starts), register pairs elsewhere. The
// lanes never mix: each measure's sums keep their own storage order.
using Quad = double __attribute__((vector_size(32)));
using QuadScan = ScanOf<Quad>;
using QuadPowers = PowersOf<Quad>;

// Leave-one-out statistics (ave, med, std, mad) of each column, four
// doubles a column, read into a vector with an unaligned load.
std::vector<double> quads(const LeaveOneOut& s) {
  std::vector<double> q(4 * s.ave.size());
  for (std::size_t i = 0; i < s.ave.size(); ++i) {
    q[4 * i] = s.ave[i], q[4 * i + 1] = s.med[i], q[4 * i + 2] = s.std[i], q[4 * i + 3] = s.mad[i];
  }
  return q;
}

// Four doubles from p into v (out-parameter: a 32-byte vector returned by
// value would have two calling conventions).
inline void load(Quad& v, const double* p) { std::memcpy(&v, p, sizeof v); }

// Calls visit(a[i] - b[j]) for the jackknife values (i, j) in storage order
// (i fastest), counting n_x units of `progress` a column j; returns early
// when asked to stop (the callers run as target clones, which exceptions
// cannot pass: they look at the request again and throw).
template <typename Visit>
[[gnu::always_inline]] inline void for_each_pair(const std::vector<double>& a, const std::vector<double>& b,
                                                 Progress* progress, Visit&& visit) {
  Quad bj, ai;
  for (std::size_t j = 0; j < b.size(); j += 4) {
    if (progress != nullptr) {
      progress->add(a.size() / 4);
      if (progress->stopped()) return;
    }
    load(bj, &b[j]);
    for (std::size_t i = 0; i < a.size(); i += 4) {
      load(ai, &a[i]);
      visit(ai - bj);
    }
  }
}

__attribute__((target_clones("avx2", "default")))
void scan_quads(const std::vector<double>& a, const std::vector<double>& b, QuadScan& scan, Progress* progress) {
  QuadScan s = scan;
  for_each_pair(a, b, progress, [&s](const Quad& v) __attribute__((always_inline)) { s.add(v); });
  scan = s;
}

__attribute__((target_clones("avx2", "default")))
void power_quads(const std::vector<double>& a, const std::vector<double>& b, const Quad& m, QuadPowers& powers,
                 Progress* progress) {
  QuadPowers p = powers;
  for_each_pair(a, b, progress, [&p, &m](const Quad& v) __attribute__((always_inline)) { p.add(m, v); });
  powers = p;
}

// The unpaired acceleration of measure k (0 to 3: ave, med, std, mad) from
// the leave-one-out statistics times 2^-e, which leaves it as it is but for
// the overflow of its sums.
double scaled_acceleration(const LeaveOneOut& x1, const LeaveOneOut& x2, std::size_t k, int e) {
  const auto scaled = [k, e](const LeaveOneOut& s) {
    const std::vector<double>* columns[] = {&s.ave, &s.med, &s.std, &s.mad};
    LeaveOneOut out;
    for (double v : *columns[k]) out.ave.push_back(std::ldexp(v, -e));
    out.med = out.std = out.mad = out.ave;
    return out;
  };
  return unpaired_accelerations(scaled(x1), scaled(x2))[0];
}

}  // namespace

std::array<double, 4> unpaired_accelerations(const LeaveOneOut& x1, const LeaveOneOut& x2, Progress* progress) {
  const std::vector<double> a = quads(x1), b = quads(x2);
  QuadScan scan;
  scan_quads(a, b, scan, progress);
  if (progress != nullptr) progress->check();
  std::array<Scan, 4> scans{};
  for (std::size_t k = 0; k < 4; ++k) scans[k] = {scan.sum[k], scan.vmax[k], scan.vmin[k]};
  const double n = static_cast<double>(static_cast<std::int64_t>(x1.ave.size()) * static_cast<std::int64_t>(x2.ave.size()));
  const Quad m = scan.sum / n;
  QuadPowers powers;
  if (!std::all_of(scans.begin(), scans.end(), [](const Scan& s) { return s.flat(); })) {
    power_quads(a, b, m, powers, progress);
    if (progress != nullptr) progress->check();
  } else if (progress != nullptr) {
    progress->add(x1.ave.size() * x2.ave.size());
  }
  std::array<double, 4> acc{};
  for (std::size_t k = 0; k < 4; ++k) acc[k] = scans[k].flat() ? 0.0 : Powers{powers.s2[k], powers.s3[k]}.acceleration();
  for (std::size_t k = 0; k < 4; ++k) {
    if (const int e = overflow_scale(acc[k], scans[k]); e > 0) acc[k] = scaled_acceleration(x1, x2, k, e);
  }
  return acc;
}

namespace {

// The accurate power sums 1 to 3 of mean(w) − w_i.
struct PowerSums {
  double s1, s2, s3;
};

PowerSums power_sums(std::span<const double> w) {
  const numeric::AccurateSum::Mean mean = numeric::accurate_sum(w).mean(static_cast<double>(w.size()));
  numeric::AccurateSum s1, s2, s3;
  for (double v : w) {
    const double d = (mean.high - v) + mean.low;
    s1.add(d), s2.add(d * d), s3.add(d * d * d);
  }
  return {s1.value(), s2.value(), s3.value()};
}

// The acceleration of the grid u_i − v_j, by its power sums.
double grid_acceleration(std::span<const double> u, std::span<const double> v) {
  const auto [u_min, u_max] = std::minmax_element(u.begin(), u.end());
  const auto [v_min, v_max] = std::minmax_element(v.begin(), v.end());
  const auto nan = [](double w) { return std::isnan(w); };
  if (std::any_of(u.begin(), u.end(), nan) || std::any_of(v.begin(), v.end(), nan)) return std::nan("");
  const Scan scan{0.0, *u_max - *v_min, *u_min - *v_max};
  if (scan.flat()) return 0.0;
  const PowerSums a = power_sums(u), b = power_sums(v);
  const auto nx = static_cast<double>(u.size()), ny = static_cast<double>(v.size());
  const double s2 = ny * a.s2 - 2.0 * a.s1 * b.s1 + nx * b.s2;
  const double s3 = ny * a.s3 - 3.0 * a.s2 * b.s1 + 3.0 * a.s1 * b.s2 - nx * b.s3;
  const double acc = Powers{s2, s3}.acceleration();
  const int k = overflow_scale(acc, scan);
  if (k == 0) return acc;
  std::vector<double> su(u.begin(), u.end()), sv(v.begin(), v.end());
  for (double& w : su) w = std::ldexp(w, -k);
  for (double& w : sv) w = std::ldexp(w, -k);
  return grid_acceleration(su, sv);
}

// The sums Σ U³/n³ and Σ U²/n² of one sample's influence values
// U_i = sign (n − 1)(mean(w) − w_i); none when its spread is rounding only.
struct InfluenceSums {
  double cubes = 0.0, squares = 0.0;
};

InfluenceSums influence_sums(std::span<const double> w, double sign) {
  Scan scan;
  for (double v : w) scan.add(v);
  if (scan.flat()) return {};
  const PowerSums p = power_sums(w);
  const auto n = static_cast<double>(w.size());
  const double f = (n - 1.0) / n;
  return {sign * (f * f * f) * p.s3, (f * f) * p.s2};
}

// The two-sample acceleration from each sample's leave-one-out values: u of
// sample 1, v of sample 2, whose influence counts with sign_v (-1 where v
// are a statistic of sample 2 that the measure subtracts, +1 where they are
// the measure's own jackknife values).
double two_sample_acceleration(std::span<const double> u, std::span<const double> v, double sign_v) {
  const auto nan = [](double w) { return std::isnan(w); };
  if (std::any_of(u.begin(), u.end(), nan) || std::any_of(v.begin(), v.end(), nan)) return std::nan("");
  const InfluenceSums a = influence_sums(u, 1.0), b = influence_sums(v, sign_v);
  if (a.squares == 0.0 && b.squares == 0.0) return 0.0;
  const double acc = Powers{a.squares + b.squares, a.cubes + b.cubes}.acceleration();
  const auto [u_min, u_max] = std::minmax_element(u.begin(), u.end());
  const auto [v_min, v_max] = std::minmax_element(v.begin(), v.end());
  const int k = overflow_scale(acc, Scan{0.0, std::max(*u_max, *v_max), std::min(*u_min, *v_min)});
  if (k == 0) return acc;
  std::vector<double> su(u.begin(), u.end()), sv(v.begin(), v.end());
  for (double& w : su) w = std::ldexp(w, -k);
  for (double& w : sv) w = std::ldexp(w, -k);
  return two_sample_acceleration(su, sv, sign_v);
}

}  // namespace

std::array<double, 4> two_sample_accelerations(const LeaveOneOut& x1, const LeaveOneOut& x2) {
  return {two_sample_acceleration(x1.ave, x2.ave, -1.0), two_sample_acceleration(x1.med, x2.med, -1.0),
          two_sample_acceleration(x1.std, x2.std, -1.0), two_sample_acceleration(x1.mad, x2.mad, -1.0)};
}

double two_sample_acceleration(std::span<const double> jack, std::size_t n_x) {
  return two_sample_acceleration(jack.first(n_x), jack.subspan(n_x), 1.0);
}

std::array<double, 4> unpaired_accelerations_by_algebra(const LeaveOneOut& x1, const LeaveOneOut& x2) {
  return {grid_acceleration(x1.ave, x2.ave), grid_acceleration(x1.med, x2.med), grid_acceleration(x1.std, x2.std),
          grid_acceleration(x1.mad, x2.mad)};
}

Levels bca_levels(double z0, double acc, double z_alpha) {
  const double w_lower = z0 + z_alpha;
  const double w_upper = z0 - z_alpha;
  return {numeric::norm_cdf(z0 + w_lower / (1.0 - acc * w_lower)),
          numeric::norm_cdf(z0 + w_upper / (1.0 - acc * w_upper))};
}

double percentile(std::span<const double> s, double p) {
  if (std::isnan(p)) return p;
  const auto count = static_cast<std::int64_t>(s.size());
  const double places = static_cast<double>(count) + 1.0;  // B + 1: s(k) sits at level k/(B + 1)
  const auto k = static_cast<std::int64_t>(std::clamp(p * places, 0.0, places + 1.0));
  const std::int64_t lo = std::clamp<std::int64_t>(k, 1, count);
  const std::int64_t hi = std::min<std::int64_t>(k + 1, count);
  const double low = s[static_cast<std::size_t>(lo - 1)], high = s[static_cast<std::size_t>(hi - 1)];
  const double width = places * (high - low);
  const double frac = p - static_cast<double>(lo) / places;
  if (std::isinf(width) && std::isfinite(low) && std::isfinite(high)) {
    // Neighbours so far apart that the width overflows: the same point
    // between them as a weighted mean, whose terms stay within the double range.
    const double t = frac * places;
    return (1.0 - t) * low + t * high;
  }
  return low + frac * width;
}

bool beyond_replicates(double p, std::size_t replications) {
  const double places = static_cast<double>(replications) + 1.0;
  const double position = p * places;
  return position < 1.0 - 1e-3 || position > places - 1.0 + 1e-3;
}

double replications_reaching(double p) {
  const double tail = std::min(p, 1.0 - p);
  if (!(tail > 0.0)) return infinity;
  // A level a rounding above a whole number of places needs no replicate more.
  const double places = 1.0 / tail - 1.0;
  return std::ceil(places - 1e-9 * places);
}

PlainBounds plain_bounds(std::span<const double> sorted, double estimate, double z_alpha) {
  const Levels plain = bca_levels(0.0, 0.0, z_alpha);
  const double lower = percentile(sorted, plain.lower);
  const double upper = percentile(sorted, plain.upper);
  return {lower, upper, 2.0 * estimate - upper, 2.0 * estimate - lower};
}

}  // namespace diffboot::bootstrap
