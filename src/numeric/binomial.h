#pragma once
// Binomial and multinomial draws from the run's uniform stream, so that a
// count drawn in place of a resample of 0/1 values is the same on every
// machine and at every thread count for the same seed. A draw costs O(1)
// expected time whatever the number of trials: inversion by sequential
// search where the mode is below 11, Hormann's transformed rejection with
// decomposition (BTRD) from there on.
//
// References:
//   W. Hormann (1993), "The generation of binomial random variates",
//     Journal of Statistical Computation and Simulation 46, 101-110.
//   V. Kachitvichyanukul and B. W. Schmeiser (1988), "Binomial random
//     variate generation", Communications of the ACM 31, 216-222
//     (the inversion by sequential search, their BINV).
#include <cstdint>

#include "numeric/random.h"

namespace diffboot::numeric {

// The most trials a draw takes: every count up to 2^53 is exact in a double.
inline constexpr std::int64_t largest_binomial_trials = std::int64_t{1} << 53;

// A double-precision deviate strictly between 0 and 1, made of the next two
// words of g's stream (taken as uniform_word takes them, with
// g.resampler_seed): the 30 random bits of the first word (its bits 1 to 30)
// above the top 22 random bits of the second form j below 2^52, and the
// deviate is (2 j + 1) / 2^53, exact. 1 - u is a deviate exactly as likely
// as u; the smallest is 2^-53, the largest 1 - 2^-53.
double open_unit_deviate(UniformState& g);

// Draws of Binomial(trials, probability), the set-up done once for many
// draws of the same distribution. Each draw takes its deviates from g by
// open_unit_deviate: how many depends on the draw (rejection), never on
// anything but g. No deviate is taken where the count is certain (no
// trials, probability 0 or 1).
//
// For probability p above 1/2 a draw is trials minus a draw of
// Binomial(trials, 1 - p) (1 - p is exact there), so that the methods below
// see p <= 1/2 only: with mode m = floor((trials + 1) p), inversion by
// sequential search from 0 below m = 11 (one deviate, about n p + 1 steps),
// BTRD from m = 11 on (on average 2.4 deviates a draw at m = 11, falling to
// 1.36 from n p (1 - p) of about 10^4 on, whatever n).
class BinomialDrawer {
 public:
  // Throws LibraryError where trials is negative or above
  // largest_binomial_trials, or probability is not a number from 0 to 1.
  BinomialDrawer(std::int64_t trials, double probability);

  std::int64_t draw(UniformState& g) const;

  std::int64_t trials() const { return n_; }
  double probability() const { return probability_; }

 private:
  enum class Method { none, inversion, rejection };

  std::int64_t inversion(UniformState& g) const;
  std::int64_t rejection(UniformState& g) const;

  std::int64_t n_;
  double probability_;
  bool flipped_;    // draws n minus a count of probability 1 - p
  Method method_;
  double p_;        // the probability the method draws with, <= 1/2
  double r_;        // p / (1 - p)
  // Inversion: (1 - p)^n, the probability of 0.
  double zero_mass_ = 0.0;
  // BTRD: the mode, n p (1 - p), and the constants of the hat.
  std::int64_t m_ = 0;
  double npq_ = 0.0, a_ = 0.0, b_ = 0.0, c_ = 0.0, alpha_ = 0.0, v_r_ = 0.0, u_rv_r_ = 0.0;
};

// One draw of Binomial(trials, probability), as BinomialDrawer draws it.
std::int64_t binomial_draw(UniformState& g, std::int64_t trials, double probability);

// The four cells of a paired 2 x 2 table of 0/1 outcomes, in this order
// wherever cells are listed: pairs with both values 1, x's only, y's only,
// and neither.
struct PairedCounts {
  std::int64_t both = 0, x_only = 0, y_only = 0, neither = 0;
  bool operator==(const PairedCounts&) const = default;
};

// The pairs of the table, the sum of its cells.
std::int64_t total(const PairedCounts& cells);

// The table of a resample of the observed table's pairs: a multinomial draw
// of total(observed) pairs with each cell's probability its observed share,
// made of conditional binomials in the cell order: both from all pairs with
// probability both / total; x_only from the pairs left with probability
// x_only / (x_only + y_only + neither); y_only from those left with
// probability y_only / (y_only + neither); neither the rest. Each
// conditional probability is one quotient of the observed integers. Throws
// LibraryError where a cell is negative or the total is above
// largest_binomial_trials.
PairedCounts paired_counts_draw(UniformState& g, const PairedCounts& observed);

namespace detail {

// Stirling's correction of log k!: log k! - (k + 1/2) log(k + 1) + (k + 1)
// - log(2 pi) / 2, from a table below k = 10 and the series
// 1/(12 z) - 1/(360 z^3) + 1/(1260 z^5), z = k + 1, from there on.
double stirling_tail(std::int64_t k);

// log(f(k) / f(m)) for f the probability function of Binomial(n, p), r =
// p / (1 - p), 0 <= k, m <= n: BTRD's final acceptance bound.
double log_mass_ratio(std::int64_t n, double r, std::int64_t k, std::int64_t m);

}  // namespace detail

}  // namespace diffboot::numeric
