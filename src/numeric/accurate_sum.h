#pragma once
// Sums as accurate as if they were formed in twice the working precision and
// then rounded, by error-free transformations: each addition's rounding error
// is kept exactly (Knuth's TwoSum) and added up beside the sum (Ogita, Rump
// and Oishi, SIAM J. Sci. Comput. 26 (2005) 1955, algorithm Sum2). Their
// result does not depend on the order of the terms but through the last
// rounding.
#include <span>

namespace diffboot::numeric {

// A sum and the rounding errors of forming it.
struct AccurateSum {
  double sum = 0.0, errors = 0.0;

  // Adds v: sum + v rounded, and its rounding error exactly.
  void add(double v) {
    const double s = sum + v;
    const double z = s - sum;
    errors += (sum - (s - z)) + (v - z);
    sum = s;
  }
  double value() const { return sum + errors; }

  // The sum divided by n, as a double and the remainder beyond it, so that
  // v − mean is formed to a last rounding: (high − v) + low.
  struct Mean {
    double high, low;
  };
  Mean mean(double n) const;
};

// The accurate sum of `values`.
AccurateSum accurate_sum(std::span<const double> values);

}  // namespace diffboot::numeric
