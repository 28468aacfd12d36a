#include "numeric/binomial.h"

#include <cmath>
#include <string>

#include "numeric/errors.h"

namespace diffboot::numeric {
namespace {

// Stirling's correction log k! - (k + 1/2) log(k + 1) + (k + 1) - log(2 pi)/2
// for k = 0 .. 9, to 17 significant digits; the series serves from k = 10
// on, where its first omitted term, 1/(1680 z^7), is below 4e-11.
constexpr double stirling_table[10] = {
    0.081061466795327258, 0.041340695955409294, 0.027677925684998339, 0.020790672103765093,
    0.016644691189821192, 0.013876128823070748, 0.011896709945891770, 0.010411265261972096,
    0.0092554621827127329, 0.0083305634333628713,
};

// The mode from which BTRD serves: Hörmann fitted its hat for n p of 10 and
// more (the tests draw it at mode 11 itself; at mode 1 its hat falls short
// of the probability function). Below it sequential search takes fewer than
// a dozen steps on average.
constexpr std::int64_t smallest_rejection_mode = 11;

// Steps after which sequential search starts again with a new deviate: it
// only gets there where rounding left the sum of the probabilities it
// subtracted short of the deviate, as below mode 11 a count above 110 has a
// probability below 1e-50.
constexpr std::int64_t longest_search = 110;

}  // namespace

double open_unit_deviate(UniformState& g) {
  const std::uint64_t high = uniform_word(g, g.resampler_seed) >> 1;  // 30 bits
  const std::uint64_t low = uniform_word(g, g.resampler_seed) >> 9;   // the top 22 of 30
  const std::uint64_t j = high << 22 | low;
  return static_cast<double>(2 * j + 1) * 0x1p-53;
}

namespace detail {

double stirling_tail(std::int64_t k) {
  if (k < 10) return stirling_table[k];
  const double z = static_cast<double>(k) + 1.0;
  const double zz = z * z;
  return (1.0 / 12.0 - (1.0 / 360.0 - 1.0 / 1260.0 / zz) / zz) / z;
}

// With log j! = (j + 1/2) log(j + 1) - (j + 1) + log(2 pi)/2 + fc(j), the
// ratio f(k)/f(m) = m! (n - m)! / (k! (n - k)!) r^(k - m) has the logarithm
//   (m + 1/2) log(m + 1) - (k + 1/2) log(k + 1)
//     + (n - m + 1/2) log(n - m + 1) - (n - k + 1/2) log(n - k + 1)
//     + (k - m) log r + fc(m) + fc(n - m) - fc(k) - fc(n - k).
// Hörmann writes the logarithms as logarithms of quotients near 1 times
// coefficients near n, whose rounding (one unit of the quotient, times n)
// grows with n: 1e-4 at n = 10^12. Here, with d = k - m, the same sum is
//   -(m + 1/2) log1p(d / (m + 1)) + (n - m + 1/2) log1p(d / (n - k + 1))
//     + d log((n - k + 1) r / (k + 1)) + the corrections,
// each term rounded relative to its own size, which is at most a few |d|.
double log_mass_ratio(std::int64_t n, double r, std::int64_t k, std::int64_t m) {
  const double d = static_cast<double>(k - m);
  const double mode_above = static_cast<double>(m) + 1.0;
  const double k_above = static_cast<double>(k) + 1.0;
  const double rest_k = static_cast<double>(n - k) + 1.0;
  const double rest_m = static_cast<double>(n - m) + 1.0;
  const double stirling = stirling_tail(m) + stirling_tail(n - m) - stirling_tail(k) - stirling_tail(n - k);
  return -(mode_above - 0.5) * std::log1p(d / mode_above) + (rest_m - 0.5) * std::log1p(d / rest_k) +
         d * std::log(rest_k * r / k_above) + stirling;
}

}  // namespace detail

BinomialDrawer::BinomialDrawer(std::int64_t trials, double probability)
    : n_(trials), probability_(probability), flipped_(probability > 0.5), method_(Method::none) {
  if (trials < 0 || trials > largest_binomial_trials) {
    throw_numeric_error("binomial: the trials " + std::to_string(trials) + " are not from 0 to 2^53");
  }
  if (!(probability >= 0.0 && probability <= 1.0)) {
    throw_numeric_error("binomial: the probability " + std::to_string(probability) + " is not from 0 to 1");
  }
  p_ = flipped_ ? 1.0 - probability : probability;  // exact: Sterbenz, p in (1/2, 1]
  if (n_ == 0 || p_ == 0.0) return;
  const double n = static_cast<double>(n_);
  const double q = 1.0 - p_;
  r_ = p_ / q;
  m_ = static_cast<std::int64_t>(std::floor((n + 1.0) * p_));
  if (m_ < smallest_rejection_mode) {
    method_ = Method::inversion;
    zero_mass_ = std::exp(n * std::log1p(-p_));
    return;
  }
  // Hörmann's set-up of BTRD, step 0, his constants.
  method_ = Method::rejection;
  npq_ = n * p_ * q;
  const double spq = std::sqrt(npq_);
  b_ = 1.15 + 2.53 * spq;
  a_ = -0.0873 + 0.0248 * b_ + 0.01 * p_;
  c_ = n * p_ + 0.5;
  alpha_ = (2.83 + 5.1 / b_) * spq;
  v_r_ = 0.92 - 4.2 / b_;
  u_rv_r_ = 0.86 * v_r_;
}

std::int64_t BinomialDrawer::draw(UniformState& g) const {
  std::int64_t x = 0;
  switch (method_) {
    case Method::none:
      x = 0;
      break;
    case Method::inversion:
      x = inversion(g);
      break;
    case Method::rejection:
      x = rejection(g);
      break;
  }
  return flipped_ ? n_ - x : x;
}

// Sequential search from 0: subtract f(0), f(1), ... from the deviate until
// it is covered, with f(x) = f(x - 1) ((n + 1) r / x - r).
std::int64_t BinomialDrawer::inversion(UniformState& g) const {
  const double nr = (static_cast<double>(n_) + 1.0) * r_;
  const std::int64_t last = n_ < longest_search ? n_ : longest_search;
  for (;;) {
    double u = open_unit_deviate(g);
    double f = zero_mass_;
    for (std::int64_t x = 0;; ++x) {
      if (u <= f) return x;
      if (x == last) break;
      u -= f;
      f *= nr / static_cast<double>(x + 1) - r_;
    }
  }
}

// Hörmann's algorithm BTRD, steps 1 to 3.3: a transformed rejection from
// the hat (2 a / (1/2 - |u|) + b) u + c over u in (-1/2, 1/2), its central
// box accepted at once, the rest by the probability function's recursion
// near the mode, a squeeze of its normal approximation, and the final test
// of log_mass_ratio.
std::int64_t BinomialDrawer::rejection(UniformState& g) const {
  for (;;) {
    double v = open_unit_deviate(g);
    double u;
    if (v <= u_rv_r_) {  // step 1: inside the box, accepted at once
      u = v / v_r_ - 0.43;
      const double kd = std::floor((2.0 * a_ / (0.5 - std::abs(u)) + b_) * u + c_);
      // From mode 11 on the box lies within 0 .. n; the test keeps the
      // conversion defined whatever the rounding.
      if (kd >= 0.0 && kd <= static_cast<double>(n_)) return static_cast<std::int64_t>(kd);
      continue;
    }
    if (v >= v_r_) {  // step 2
      u = open_unit_deviate(g) - 0.5;
    } else {
      u = v / v_r_ - 0.93;
      u = (u < 0.0 ? -0.5 : 0.5) - u;
      v = open_unit_deviate(g) * v_r_;
    }
    // Step 3.0. (1/2 - |u| is positive: |u| < 1/2 in both branches, but for
    // a rounding at u = 0 in the second, which is skipped.)
    const double us = 0.5 - std::abs(u);
    if (!(us > 0.0)) continue;
    const double kd = std::floor((2.0 * a_ / us + b_) * u + c_);
    if (kd < 0.0 || kd > static_cast<double>(n_)) continue;
    const auto k = static_cast<std::int64_t>(kd);
    v = v * alpha_ / (a_ / (us * us) + b_);
    const std::int64_t km = k > m_ ? k - m_ : m_ - k;
    if (km <= 15) {  // step 3.1: f(k) / f(m) by its recursion
      const double nr = (static_cast<double>(n_) + 1.0) * r_;
      double f = 1.0;
      if (m_ < k) {
        for (std::int64_t i = m_ + 1; i <= k; ++i) f *= nr / static_cast<double>(i) - r_;
      } else if (m_ > k) {
        for (std::int64_t i = k + 1; i <= m_; ++i) v *= nr / static_cast<double>(i) - r_;
      }
      if (v <= f) return k;
      continue;
    }
    // Step 3.2: the squeeze.
    v = std::log(v);
    const double kmd = static_cast<double>(km);
    const double rho = (kmd / npq_) * (((kmd / 3.0 + 0.625) * kmd + 1.0 / 6.0) / npq_ + 0.5);
    const double t = -kmd * kmd / (2.0 * npq_);
    if (v < t - rho) return k;
    if (v > t + rho) continue;
    // Step 3.3: the final test.
    if (v <= detail::log_mass_ratio(n_, r_, k, m_)) return k;
  }
}

std::int64_t binomial_draw(UniformState& g, std::int64_t trials, double probability) {
  return BinomialDrawer(trials, probability).draw(g);
}

std::int64_t total(const PairedCounts& cells) { return cells.both + cells.x_only + cells.y_only + cells.neither; }

PairedCounts paired_counts_draw(UniformState& g, const PairedCounts& observed) {
  const std::int64_t cells[4] = {observed.both, observed.x_only, observed.y_only, observed.neither};
  for (std::int64_t c : cells) {
    if (c < 0 || c > largest_binomial_trials) {
      throw_numeric_error("paired counts: the cell " + std::to_string(c) + " is not from 0 to 2^53");
    }
  }
  std::int64_t left_observed = total(observed);  // at most 2^55: no overflow
  if (left_observed > largest_binomial_trials) {
    throw_numeric_error("paired counts: the pairs " + std::to_string(left_observed) + " are more than 2^53");
  }
  std::int64_t drawn[4] = {};
  std::int64_t left = left_observed;
  for (std::size_t i = 0; i < 3; ++i) {
    if (left == 0 || left_observed == 0) break;
    const double p = static_cast<double>(cells[i]) / static_cast<double>(left_observed);
    drawn[i] = binomial_draw(g, left, p);
    left -= drawn[i];
    left_observed -= cells[i];
  }
  drawn[3] = left;
  return {drawn[0], drawn[1], drawn[2], drawn[3]};
}

}  // namespace diffboot::numeric
