#include "bootstrap/effect_sizes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/distributions.h"

namespace diffboot::bootstrap {
namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// Sum and sum of squares about the mean of a sample.
struct Sums {
  double total = 0.0, mean = 0.0, squares = 0.0;
};

Sums sums_of(std::span<const double> v) {
  Sums s;
  for (double x : v) s.total += x;
  s.mean = s.total / static_cast<double>(v.size());
  for (double x : v) s.squares += (x - s.mean) * (x - s.mean);
  return s;
}

// The mean and the sum of squares about it of a sample without its value x.
struct LeftOut {
  double mean, squares;
};

LeftOut without(const Sums& s, std::size_t n, double x) {
  const auto k = static_cast<double>(n);
  const double d = x - s.mean;
  return {(s.total - x) / (k - 1.0), std::max(s.squares - d * d * k / (k - 1.0), 0.0)};
}

// Squares of magnitudes from 2^-250 to 2^250, multiplied by sample sizes
// and summed, stay normal doubles.
constexpr int widest_unscaled_exponent = 250;

// The power of two by which values of magnitude up to `largest` are divided
// before their squares are summed: 0 (no scaling) where those squares stay
// within the double range, else the exponent that brings `largest` near 1.
// Dividing by a power of two is exact, so a scaled sum differs from the
// plain one only where the plain one overflows or underflows.
int squares_scale(double largest) {
  if (!(largest > 0.0) || !std::isfinite(largest)) return 0;
  const int e = std::ilogb(largest);
  return e > widest_unscaled_exponent || e < -widest_unscaled_exponent ? e : 0;
}

// (a - b) / d, formed on halves where a - b overflows although a and b are
// finite.
double difference_over(double a, double b, double d) {
  const double q = (a - b) / d;
  if (std::isinf(a - b) && std::isfinite(a) && std::isfinite(b)) return (a / 2 - b / 2) / d * 2;
  return q;
}

// The values times 2^-k.
std::vector<double> scaled(std::span<const double> v, int k) {
  std::vector<double> out(v.begin(), v.end());
  for (double& a : out) a = std::ldexp(a, -k);
  return out;
}

// The largest magnitude of the values (NaN passed over).
double largest_magnitude(std::span<const double> v) {
  double m = 0.0;
  for (double a : v) m = std::fabs(a) > m ? std::fabs(a) : m;
  return m;
}

// Each value's count of values of `other` (sorted) below it minus above it.
std::int64_t below_minus_above(double v, std::span<const double> other) {
  const auto below = std::lower_bound(other.begin(), other.end(), v) - other.begin();
  const auto above = other.end() - std::upper_bound(other.begin(), other.end(), v);
  return below - above;
}

}  // namespace

double hedges_correction(double m) {
  if (!(m > 1.0)) return not_a_number;
  return numeric::gamma_half_ratio((m - 1.0) / 2.0) / std::sqrt(m / 2.0);
}

double pooled_sd(double sd_x, std::size_t n_x, double sd_y, std::size_t n_y) {
  const auto nx = static_cast<double>(n_x), ny = static_cast<double>(n_y);
  const int k = squares_scale(std::max(std::fabs(sd_x), std::fabs(sd_y)));
  if (k != 0) {
    return std::ldexp(pooled_sd(std::ldexp(sd_x, -k), n_x, std::ldexp(sd_y, -k), n_y), k);
  }
  return std::sqrt(((nx - 1.0) * sd_x * sd_x + (ny - 1.0) * sd_y * sd_y) / (nx + ny - 2.0));
}

double hedges_g(double mean_x, double sd_x, std::size_t n_x, double mean_y, double sd_y, std::size_t n_y) {
  const auto nx = static_cast<double>(n_x), ny = static_cast<double>(n_y);
  return difference_over(mean_x, mean_y, pooled_sd(sd_x, n_x, sd_y, n_y)) * hedges_correction(nx + ny - 2.0);
}

double hedges_g_paired(double mean, double sd, std::size_t n) {
  return mean / sd * hedges_correction(static_cast<double>(n) - 1.0);
}

std::vector<double> hedges_g_jackknife(std::span<const double> x, std::span<const double> y) {
  // g does not change with the values' unit: values whose squares would
  // leave the double range are taken in a power of two as their unit.
  if (const int k = squares_scale(std::max(largest_magnitude(x), largest_magnitude(y))); k != 0) {
    return hedges_g_jackknife(scaled(x, k), scaled(y, k));
  }
  const Sums sx = sums_of(x), sy = sums_of(y);
  const auto nx = static_cast<double>(x.size()), ny = static_cast<double>(y.size());
  const double degrees = nx + ny - 3.0, correction = hedges_correction(degrees);
  std::vector<double> jack;
  jack.reserve(x.size() + y.size());
  for (double v : x) {
    const LeftOut l = without(sx, x.size(), v);
    jack.push_back((l.mean - sy.mean) / std::sqrt((l.squares + sy.squares) / degrees) * correction);
  }
  for (double v : y) {
    const LeftOut l = without(sy, y.size(), v);
    jack.push_back((sx.mean - l.mean) / std::sqrt((sx.squares + l.squares) / degrees) * correction);
  }
  return jack;
}

std::vector<double> hedges_g_paired_jackknife(std::span<const double> d) {
  if (const int k = squares_scale(largest_magnitude(d)); k != 0) return hedges_g_paired_jackknife(scaled(d, k));
  const Sums s = sums_of(d);
  const auto n = static_cast<double>(d.size());
  const double correction = hedges_correction(n - 2.0);
  std::vector<double> jack;
  jack.reserve(d.size());
  for (double v : d) {
    const LeftOut l = without(s, d.size(), v);
    jack.push_back(l.mean / std::sqrt(l.squares / (n - 2.0)) * correction);
  }
  return jack;
}

double lift(double mean_x, double mean_y) { return (mean_x - mean_y) / mean_y; }

std::vector<double> lift_jackknife(std::span<const double> x, std::span<const double> y) {
  const Sums sx = sums_of(x), sy = sums_of(y);
  std::vector<double> jack;
  jack.reserve(x.size() + y.size());
  for (double v : x) jack.push_back(lift(without(sx, x.size(), v).mean, sy.mean));
  for (double v : y) jack.push_back(lift(sx.mean, without(sy, y.size(), v).mean));
  return jack;
}

std::vector<double> lift_paired_jackknife(std::span<const double> d, std::span<const double> y) {
  const Sums sd = sums_of(d), sy = sums_of(y);
  std::vector<double> jack;
  jack.reserve(d.size());
  for (std::size_t i = 0; i < d.size(); ++i) {
    jack.push_back(without(sd, d.size(), d[i]).mean / without(sy, y.size(), y[i]).mean);
  }
  return jack;
}

double cohens_h(double p_x, double p_y) {
  const auto angle = [](double p) { return 2.0 * std::asin(std::sqrt(std::clamp(p, 0.0, 1.0))); };
  if (std::isnan(p_x) || std::isnan(p_y)) return std::numeric_limits<double>::quiet_NaN();
  return angle(p_x) - angle(p_y);
}

std::vector<double> cohens_h_jackknife(std::span<const double> x, std::span<const double> y) {
  const Sums sx = sums_of(x), sy = sums_of(y);
  std::vector<double> jack;
  jack.reserve(x.size() + y.size());
  for (double v : x) jack.push_back(cohens_h(without(sx, x.size(), v).mean, sy.mean));
  for (double v : y) jack.push_back(cohens_h(sx.mean, without(sy, y.size(), v).mean));
  return jack;
}

std::vector<double> cohens_h_paired_jackknife(std::span<const double> x, std::span<const double> y) {
  const Sums sx = sums_of(x), sy = sums_of(y);
  std::vector<double> jack;
  jack.reserve(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    jack.push_back(cohens_h(without(sx, x.size(), x[i]).mean, without(sy, y.size(), y[i]).mean));
  }
  return jack;
}

double cliffs_delta(std::span<const double> sorted_x, std::span<const std::uint32_t> below_x,
                    std::span<const double> sorted_y, std::span<const std::uint32_t> below_y) {
  const auto count = [](std::span<const std::uint32_t> below, std::size_t i) -> std::int64_t {
    return below.empty() ? 1 : std::int64_t{below[i + 1]} - below[i];
  };
  std::int64_t n_x = 0, n_y = 0;
  for (std::size_t i = 0; i < sorted_x.size(); ++i) n_x += count(below_x, i);
  for (std::size_t j = 0; j < sorted_y.size(); ++j) n_y += count(below_y, j);
  // For each value of x, the draws of y below it and up to it, by one walk
  // through y.
  std::int64_t sum = 0, below = 0, up_to = 0;
  std::size_t lo = 0, hi = 0;
  for (std::size_t i = 0; i < sorted_x.size(); ++i) {
    const std::int64_t c = count(below_x, i);
    if (c == 0) continue;
    const double v = sorted_x[i];
    for (; lo < sorted_y.size() && sorted_y[lo] < v; ++lo) below += count(below_y, lo);
    for (; hi < sorted_y.size() && sorted_y[hi] <= v; ++hi) up_to += count(below_y, hi);
    sum += c * (below - (n_y - up_to));
  }
  return static_cast<double>(sum) / (static_cast<double>(n_x) * static_cast<double>(n_y));
}

DeltaPlaces delta_places(std::span<const double> sorted_x, std::span<const double> sorted_y) {
  DeltaPlaces places;
  places.below.reserve(sorted_x.size());
  places.up_to.reserve(sorted_x.size());
  std::size_t lo = 0, hi = 0;
  for (double v : sorted_x) {
    for (; lo < sorted_y.size() && sorted_y[lo] < v; ++lo) {
    }
    for (; hi < sorted_y.size() && sorted_y[hi] <= v; ++hi) {
    }
    places.below.push_back(static_cast<std::uint32_t>(lo));
    places.up_to.push_back(static_cast<std::uint32_t>(hi));
  }
  return places;
}

double cliffs_delta(const DeltaPlaces& places, std::span<const std::uint32_t> below_x,
                    std::span<const std::uint32_t> below_y) {
  const std::int64_t n_x = below_x.back(), n_y = below_y.back();
  std::int64_t sum = 0;
  for (std::size_t i = 0; i + 1 < below_x.size(); ++i) {
    const std::int64_t c = std::int64_t{below_x[i + 1]} - below_x[i];
    sum += c * (std::int64_t{below_y[places.below[i]]} - (n_y - below_y[places.up_to[i]]));
  }
  return static_cast<double>(sum) / (static_cast<double>(n_x) * static_cast<double>(n_y));
}

double cliffs_delta(std::span<const double> x, std::span<const double> y) {
  std::vector<double> a(x.begin(), x.end()), b(y.begin(), y.end());
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return cliffs_delta(a, {}, b, {});
}

std::vector<double> cliffs_delta_jackknife(std::span<const double> x, std::span<const double> y) {
  std::vector<double> a(x.begin(), x.end()), b(y.begin(), y.end());
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::int64_t total = 0;
  for (double v : x) total += below_minus_above(v, b);
  const auto nx = static_cast<double>(x.size()), ny = static_cast<double>(y.size());
  std::vector<double> jack;
  jack.reserve(x.size() + y.size());
  for (double v : x) jack.push_back(static_cast<double>(total - below_minus_above(v, b)) / ((nx - 1.0) * ny));
  for (double v : y) jack.push_back(static_cast<double>(total + below_minus_above(v, a)) / (nx * (ny - 1.0)));
  return jack;
}

}  // namespace diffboot::bootstrap
