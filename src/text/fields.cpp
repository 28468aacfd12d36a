#include "text/fields.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace diffboot::text {
namespace {

std::string fit(int width, std::string text) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) return std::string(w, '*');
  return std::string(w - text.size(), ' ') + text;
}

// Text of a value that is not finite, as written in F and ES fields.
std::string non_finite(double value) {
  if (std::isnan(value)) return "NaN";
  return value < 0 ? "-Infinity" : "Infinity";
}

// printf with a precision; 1100 bytes hold any double in %.*f with up to
// 40 decimals (the largest double has 309 integer digits).
std::string printf_text(const char* conversion, int decimals, double value) {
  char buffer[1100];
  const int n = std::snprintf(buffer, sizeof buffer, conversion, decimals, value);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof buffer) return std::string(sizeof buffer, '*');
  return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace

std::string format_integer(int width, std::int64_t value) {
  return fit(width, std::to_string(value));
}

std::string format_fixed(int width, int decimals, double value) {
  if (!std::isfinite(value)) return fit(width, non_finite(value));
  std::string text = printf_text("%.*f", decimals, value);
  const std::size_t zero = text[0] == '-' ? 1 : 0;
  const bool optional_zero = text.size() > zero + 1 && text[zero] == '0' && text[zero + 1] == '.';
  if (optional_zero && text.size() > static_cast<std::size_t>(width)) text.erase(zero, 1);
  return fit(width, text);
}

std::string format_scientific(int width, int decimals, double value) {
  if (!std::isfinite(value)) return fit(width, non_finite(value));
  // %E gives "d.dddE+xx" with at least two exponent digits.
  const std::string text = printf_text("%.*E", decimals, value);
  const std::size_t e = text.find('E');
  const int exponent = std::atoi(text.c_str() + e + 1);
  const int magnitude = std::abs(exponent);
  const char sign = exponent < 0 ? '-' : '+';
  std::string digits = std::to_string(magnitude);
  std::string tail;
  if (magnitude < 100) {
    tail = std::string("E") + sign + (magnitude < 10 ? "0" : "") + digits;
  } else {
    tail = std::string(1, sign) + digits;
  }
  return fit(width, text.substr(0, e) + tail);
}

}  // namespace diffboot::text
