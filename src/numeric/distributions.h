#pragma once
// Normal and Student's t distribution functions by closed-form approximations
// with fixed coefficients. None reports an error.
#include <cstdint>
#include <span>

namespace diffboot::numeric {

// z with Phi(z) ~ p (Odeh-Evans rational approximation). Returns -1.0e38 for
// p < 1.0e-20 and for NaN, +1.0e38 for p > 1.0 and for p = 1.0, 0 for p = 0.5.
double norm_quantile(double p);

// Standard normal distribution function, 1 - 0.5 * erfc_approx(x / sqrt(2)).
double norm_cdf(double x);

// Approximation of erfc(x) (ten-coefficient Chebyshev fit), between 0 and 2.
double erfc_approx(double x);

// c[0] + c[1] x + ... + c[n-1] x^(n-1): Horner below 8 coefficients, pairwise
// folding from 8 on. 0 for no coefficients.
double poly_eval(double x, std::span<const double> c);

// p-quantile of Student's t with nu degrees of freedom (Cornish-Fisher to
// order 1/nu^4). No test of nu: nu <= 0 gives what IEEE arithmetic gives.
double t_quantile(double p, std::int64_t nu);

}  // namespace diffboot::numeric
