#include "numeric/accurate_sum.h"

#include <utility>

namespace diffboot::numeric {

namespace {

// a·b as a rounded product and its rounding error, exactly (Dekker's
// TwoProduct, by splitting each factor in halves of 26 bits).
std::pair<double, double> two_product(double a, double b) {
  const auto split = [](double v) {
    const double c = 134217729.0 * v;  // 2^27 + 1
    const double high = c - (c - v);
    return std::pair{high, v - high};
  };
  const double p = a * b;
  const auto [ah, al] = split(a);
  const auto [bh, bl] = split(b);
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

}  // namespace

AccurateSum::Mean AccurateSum::mean(double n) const {
  const double high = value() / n;
  const auto [p, error] = two_product(high, n);  // high · n = p + error exactly
  AccurateSum rest = *this;
  rest.add(-p);
  rest.add(-error);
  return {high, rest.value() / n};
}

AccurateSum accurate_sum(std::span<const double> values) {
  AccurateSum s;
  for (double v : values) s.add(v);
  return s;
}

}  // namespace diffboot::numeric
