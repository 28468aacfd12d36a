#pragma once
// Normal and Student's t distribution functions: closed-form approximations
// with fixed coefficients, and the exact t quantile of few degrees of freedom
// (Boost.Math). None reports an error.
//
// One domain rule for the quantile functions: a probability is a number
// from 0 to 1. NaN and numbers outside [0, 1] are none, and give NaN. The
// ends, whose quantiles are -infinity and +infinity, give -1.0e38 and
// +1.0e38: finite stand-ins, so that the BCa levels formed from a bias
// correction at an end (every replicate on one side of the estimate) stay at
// 0 or 1 instead of turning NaN.
#include <cstdint>
#include <span>

namespace diffboot::numeric {

// The end stand-in of the quantile functions: quantile(0) = -infinite_quantile,
// quantile(1) = +infinite_quantile.
inline constexpr double infinite_quantile = 1.0e38;

// z with Phi(z) ~ p (Odeh-Evans rational approximation); 0 for p = 0.5. The
// approximation stops at 1.0e-20: below it (and at 0) -1.0e38; at 1, +1.0e38;
// NaN and p outside [0, 1] give NaN.
double norm_quantile(double p);

// Standard normal distribution function, 1 - 0.5 * erfc_approx(x / sqrt(2)).
double norm_cdf(double x);

// Approximation of erfc(x) (ten-coefficient Chebyshev fit), between 0 and 2.
double erfc_approx(double x);

// c[0] + c[1] x + ... + c[n-1] x^(n-1): Horner below 8 coefficients, pairwise
// folding from 8 on. 0 for no coefficients.
double poly_eval(double x, std::span<const double> c);

// Degrees of freedom up to which t_quantile is exact at the four tail
// probabilities the reports have always had (0.01, 0.025, 0.05, 0.1).
// Beyond, the expansion stays there, so that larger samples keep their
// reports: its error is at most 3.3e-6 (16 degrees, p = 0.01) and falls as
// 1/nu^5; at 3 it is 0.4%.
inline constexpr std::int64_t largest_exact_degrees = 15;

// Whether p is one of the four tail probabilities whose quantiles beyond
// largest_exact_degrees come from the expansion.
bool expanded_probability(double p);

// p-quantile of Student's t with nu degrees of freedom: exact (Boost.Math)
// at every nu, but for the four tail probabilities of expanded_probability
// beyond largest_exact_degrees (the expansion); -1.0e38 and +1.0e38 at p = 0
// and 1, NaN for NaN and p outside [0, 1], and for nu < 1 (no distribution).
double t_quantile(double p, std::int64_t nu);

// The Cornish-Fisher expansion of the t quantile in the normal quantile to
// order 1/nu^4, for nu >= 1.
double t_expansion(double p, std::int64_t nu);

// The two-sided p-value of a t statistic with nu > 0 (not necessarily whole)
// degrees of freedom, 2 P(T > |t|), exact (Boost.Math); NaN for a t or nu
// that is not a number or nu <= 0.
double t_two_sided_p(double t, double nu);

// Γ(a + 1/2) / Γ(a) for a > 0, exact to rounding (Boost.Math).
double gamma_half_ratio(double a);

}  // namespace diffboot::numeric
