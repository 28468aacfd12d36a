#pragma once
// What the browser build's C++ library (emscripten 3.1.6's libc++) lacks and
// the engine uses, given here for that build only: it is force-included
// (-include) by web/CMakeLists.txt, so the native build never sees it.
//
// - std::bit_cast, by the compiler's builtin;
// - std::to_chars of a double, shortest (plain and fixed), as the native
//   library writes it: the fewest significant digits that read back as the
//   same double, the nearest of those, in fixed or scientific notation,
//   whichever is shorter (fixed on a tie); web/tests/shortest_test.cpp checks
//   it against the native std::to_chars;
// - std::from_chars of a double, by fast_float (the native one's own
//   algorithm);
// - the range algorithms find, any_of, count and count_if (libc++ 14 has
//   not got them);
// - function multiversioning (target_clones): WebAssembly has one kind of
//   processor, so the attribute is emptied to __attribute__(()).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <type_traits>

namespace diffboot_portable {

// The shortest decimal digits of a finite, nonzero, positive `v` and the
// exponent of its first digit: v ~ 0.d1d2... * 10^(exp10 + 1).
struct Digits {
  char digits[20];
  int count;
  int exp10;
};

inline bool reads_back(const char* text, double v) { return std::strtod(text, nullptr) == v; }

inline Digits digits_of(const char* mantissa, int exp10) {
  Digits d{};
  for (const char* c = mantissa; *c != '\0' && *c != 'e'; ++c) {
    if (*c >= '0' && *c <= '9') d.digits[d.count++] = *c;
  }
  d.exp10 = exp10;
  while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
  return d;
}

inline Digits shortest_digits(double v) {
  char text[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, "%.*e", precision - 1, v);
    const int exp10 = std::atoi(std::strchr(text, 'e') + 1);
    if (reads_back(text, v)) return digits_of(text, exp10);
    // The correctly rounded digits are the nearest; at a power of two the
    // interval that reads back is lopsided, so their neighbours may read
    // back where they do not.
    const Digits rounded = digits_of(text, exp10);
    char whole[24] = "";
    std::memcpy(whole, rounded.digits, static_cast<std::size_t>(rounded.count));
    long long m = std::atoll(whole);
    for (int i = rounded.count; i < precision; ++i) m *= 10;
    for (int step : {-1, 1}) {
      char candidate[48];
      const int n = std::snprintf(candidate, sizeof candidate, "%lld", m + step);
      if (n != precision) continue;  // a digit more or fewer: not this precision
      std::snprintf(candidate + n, sizeof candidate - static_cast<std::size_t>(n), "e%d", exp10 - (precision - 1));
      if (reads_back(candidate, v)) return digits_of(candidate, exp10);
    }
  }
  std::abort();  // 17 digits always read back
}

inline std::to_chars_result too_large(char* last) { return {last, std::errc::value_too_large}; }

inline std::to_chars_result put(char* first, char* last, const char* text, std::size_t n) {
  if (static_cast<std::size_t>(last - first) < n) return too_large(last);
  std::memcpy(first, text, n);
  return {first + n, std::errc{}};
}

// `d` in fixed notation into `out`; its length.
inline std::size_t fixed_text(const Digits& d, char* out) {
  std::size_t n = 0;
  if (d.exp10 < 0) {
    out[n++] = '0', out[n++] = '.';
    for (int i = -1; i > d.exp10; --i) out[n++] = '0';
    for (int i = 0; i < d.count; ++i) out[n++] = d.digits[i];
  } else {
    for (int i = 0; i <= d.exp10 || i < d.count; ++i) {
      if (i == d.exp10 + 1) out[n++] = '.';
      out[n++] = i < d.count ? d.digits[i] : '0';
    }
  }
  return n;
}

// `d` in scientific notation (at least two exponent digits) into `out`; its length.
inline std::size_t scientific_text(const Digits& d, char* out) {
  std::size_t n = 0;
  out[n++] = d.digits[0];
  if (d.count > 1) {
    out[n++] = '.';
    for (int i = 1; i < d.count; ++i) out[n++] = d.digits[i];
  }
  return n + static_cast<std::size_t>(std::sprintf(out + n, "e%c%02d", d.exp10 < 0 ? '-' : '+', std::abs(d.exp10)));
}

inline std::to_chars_result shortest(char* first, char* last, double v, bool fixed_only) {
  if (std::isnan(v)) return put(first, last, std::signbit(v) ? "-nan" : "nan", std::signbit(v) ? 4 : 3);
  if (std::isinf(v)) return put(first, last, v < 0 ? "-inf" : "inf", v < 0 ? 4 : 3);
  char text[400];
  std::size_t n = 0;
  if (std::signbit(v)) text[n++] = '-';
  if (v == 0) {
    text[n++] = '0';
    return put(first, last, text, n);
  }
  const Digits d = shortest_digits(std::fabs(v));
  char fixed[400], scientific[40];
  // Beyond 2^53 a double is a whole number and its fixed text is written
  // exactly, not as its shortest digits padded with zeros.
  const bool whole = d.exp10 + 1 > d.count && std::fabs(v) >= 9007199254740992.0;
  const std::size_t nf = whole ? static_cast<std::size_t>(std::snprintf(fixed, sizeof fixed, "%.0f", std::fabs(v)))
                               : fixed_text(d, fixed);
  const std::size_t ns = fixed_only ? nf + 1 : scientific_text(d, scientific);
  if (nf <= ns) {
    std::memcpy(text + n, fixed, nf), n += nf;
  } else {
    std::memcpy(text + n, scientific, ns), n += ns;
  }
  return put(first, last, text, n);
}

}  // namespace diffboot_portable

#ifdef __EMSCRIPTEN__
#include <fast_float/fast_float.h>

#define target_clones(...)

namespace std {

template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}

// Correctly rounded, as the native one; a value beyond the range reads as
// the infinity or zero fast_float gives, which the engine's callers treat as
// the native one's out-of-range report (they fall back to strtod).
inline from_chars_result from_chars(const char* first, const char* last, double& value) {
  const fast_float::from_chars_result r = fast_float::from_chars(first, last, value);
  return {r.ptr, r.ec};
}

inline to_chars_result to_chars(char* first, char* last, double v) {
  return diffboot_portable::shortest(first, last, v, false);
}

inline to_chars_result to_chars(char* first, char* last, double v, chars_format format) {
  return diffboot_portable::shortest(first, last, v, format == chars_format::fixed);
}

#if _LIBCPP_VERSION < 15000
// The range algorithms the engine uses (libc++ 15 has them), with
// projections, returning iterators of the range given.
namespace ranges {

struct identity_projection {
  template <class T>
  constexpr T&& operator()(T&& t) const noexcept {
    return std::forward<T>(t);
  }
};

inline constexpr struct {
  template <class R, class T, class P = identity_projection>
  constexpr auto operator()(R&& r, const T& value, P proj = {}) const {
    auto it = std::begin(r);
    for (; it != std::end(r); ++it) {
      if (std::invoke(proj, *it) == value) break;
    }
    return it;
  }
} find{};

inline constexpr struct {
  template <class R, class Pred, class P = identity_projection>
  constexpr bool operator()(R&& r, Pred pred, P proj = {}) const {
    for (auto&& v : r) {
      if (std::invoke(pred, std::invoke(proj, v))) return true;
    }
    return false;
  }
} any_of{};

inline constexpr struct {
  template <class R, class Pred, class P = identity_projection>
  constexpr std::ptrdiff_t operator()(R&& r, Pred pred, P proj = {}) const {
    std::ptrdiff_t n = 0;
    for (auto&& v : r) n += std::invoke(pred, std::invoke(proj, v)) ? 1 : 0;
    return n;
  }
} count_if{};

inline constexpr struct {
  template <class R, class T, class P = identity_projection>
  constexpr std::ptrdiff_t operator()(R&& r, const T& value, P proj = {}) const {
    std::ptrdiff_t n = 0;
    for (auto&& v : r) n += std::invoke(proj, v) == value ? 1 : 0;
    return n;
  }
} count{};

}  // namespace ranges
#endif

}  // namespace std
#endif
