// Arbitrary doubles through es11.4, f4.3 and f5.3 and integers through iw,
// against an independent conversion (printf's own exponent and width
// formatting, the same rounding) and the width rules: exactly w columns,
// asterisks when the value does not fit.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "text/fields.h"

namespace {

void check(bool holds) {
  if (!holds) __builtin_trap();
}

std::string right_justified(const std::string& s, int width) {
  if (static_cast<int>(s.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
}

void check_scientific(double v) {
  const std::string got = diffboot::text::format_scientific(11, 4, v);
  check(got.size() == 11);
  if (!std::isfinite(v)) return;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4E", v);
  const char* e = std::strchr(buffer, 'E');
  const int exponent = std::atoi(e + 1);
  char tail[16];
  std::snprintf(tail, sizeof tail, std::abs(exponent) < 100 ? "E%+03d" : "%+04d", exponent);
  check(got == right_justified(std::string(buffer, static_cast<std::size_t>(e - buffer)) + tail, 11));
}

void check_fixed(double v, int width) {
  const std::string got = diffboot::text::format_fixed(width, 3, v);
  check(static_cast<int>(got.size()) == width);
  if (!std::isfinite(v) || std::fabs(v) > 1e300) return;
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.3f", v);
  std::string text = buffer;
  if (static_cast<int>(text.size()) > width) {
    const std::size_t at = text.rfind("0.", 1);
    if (at != std::string::npos && (at == 0 || text[0] == '-') && at <= 1) text.erase(at, 1);
  }
  check(got == right_justified(text, width));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 12) return 0;
  double v = 0;
  std::int32_t i = 0;
  std::memcpy(&v, data, 8);
  std::memcpy(&i, data + 8, 4);
  check_scientific(v);
  check_fixed(v, 4);
  check_fixed(v, 5);
  for (int w = 1; w <= 12; ++w) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d", i);
    check(diffboot::text::format_integer(w, i) == right_justified(buffer, w));
  }
  return 0;
}
