// The browser build's shortest double text (web/compat/portable.h) against
// the native std::to_chars, plain and fixed, on the values the engine writes
// (edges, powers of two, subnormals) and on random bit patterns.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

// web/compat/portable.h comes in by -include, as in the browser build.

namespace {

int failures = 0;

void check(double v, std::chars_format format, bool fixed_form) {
  char want[400], got[400];
  const auto w = fixed_form ? std::to_chars(want, want + sizeof want, v, format) : std::to_chars(want, want + sizeof want, v);
  const auto g = diffboot_portable::shortest(got, got + sizeof got, v, fixed_form);
  const std::string a(want, w.ptr), b(got, g.ptr);
  if (a != b && ++failures <= 20) std::printf("%a: native %s, portable %s\n", v, a.c_str(), b.c_str());
}

}  // namespace

int main() {
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 0.3, 1.0 / 3, 2.0 / 3, 100.0, 1e15, 1e16, 1e17, 1e21, 1e22, 1e23,
                                123456789012345678.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308, 9.5, 0.5,
                                0.025, 0.005, 0.95, 99.9, 286761062.0, -58.55000000000001, 1e-5, 1e-4, 1e300, 1e-300,
                                std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (int e = -1074; e <= 1023; ++e) values.push_back(std::ldexp(1.0, e));
  for (int e = -323; e <= 308; ++e) values.push_back(std::strtod(("1e" + std::to_string(e)).c_str(), nullptr));
  std::mt19937_64 bits(20261208);
  for (int i = 0; i < 100000; ++i) {
    const double v = std::bit_cast<double>(bits());
    if (std::isfinite(v)) values.push_back(v);
  }
  std::uniform_real_distribution<double> usual(-1000, 1000);
  for (int i = 0; i < 50000; ++i) values.push_back(usual(bits));
  for (double v : values) {
    check(v, std::chars_format::general, false);
    if (std::fabs(v) < 1e300) check(v, std::chars_format::fixed, true);
  }
  std::printf("%zu values, %d differ\n", values.size(), failures);
  return failures == 0 ? 0 : 1;
}
