#include "numbers/free_form.h"

#include <cctype>
#include <charconv>
#include <fast_float/fast_float.h>
#include <cmath>
#include <cstdlib>

namespace diffboot::numbers {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_sign(char c) { return c == '+' || c == '-'; }

// Position after a run of digits starting at `pos`.
std::size_t skip_digits(std::string_view s, std::size_t pos) {
  while (pos < s.size() && is_digit(s[pos])) ++pos;
  return pos;
}

}  // namespace

std::optional<std::string> strtod_text(std::string_view token) {
  std::size_t pos = 0;
  if (pos < token.size() && is_sign(token[pos])) ++pos;
  const std::size_t int_end = skip_digits(token, pos);
  std::size_t digits = int_end - pos;
  pos = int_end;
  if (pos < token.size() && token[pos] == '.') {
    const std::size_t frac_end = skip_digits(token, pos + 1);
    digits += frac_end - pos - 1;
    pos = frac_end;
  }
  if (digits == 0) return std::nullopt;
  std::string text(token.substr(0, pos));
  if (pos == token.size()) return text;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(token[pos])));
  if (letter == 'E' || letter == 'D' || letter == 'Q') {
    ++pos;
  } else if (!is_sign(token[pos])) {
    return std::nullopt;
  }
  std::size_t exp_start = pos;
  if (pos < token.size() && is_sign(token[pos])) ++pos;
  const std::size_t exp_end = skip_digits(token, pos);
  if (exp_end == pos || exp_end != token.size()) return std::nullopt;
  return text + "E" + std::string(token.substr(exp_start));
}

namespace {

// A plain numeral (a digit, a point or a minus sign first, an E exponent if
// any) at the start of `rest` that a separator or the end of the record
// follows, read in one scan by fast_float, which rounds correctly as strtod
// does: its length, with its value; 0 for anything else (an overflow
// included), which takes the general route. The value travels by reference:
// an optional<double> returned through memory costs a stalled load per value.
std::size_t plain_numeral_at(std::string_view rest, bool tab_is_blank, double& value) {
  if (rest.empty() || !(is_digit(rest[0]) || rest[0] == '.' || rest[0] == '-')) return 0;
  if (rest[0] == '-' && (rest.size() < 2 || !(is_digit(rest[1]) || rest[1] == '.'))) return 0;
  const auto [end, error] = fast_float::from_chars(rest.data(), rest.data() + rest.size(), value);
  if (error != std::errc() || std::isinf(value)) return 0;
  const auto length = static_cast<std::size_t>(end - rest.data());
  if (length < rest.size()) {
    const char next = rest[length];
    if (next != ' ' && next != ',' && next != '/' && !(tab_is_blank && next == '\t')) return 0;
  }
  return length;
}

// A whole token that is a plain numeral.
bool plain_numeral(std::string_view token, double& value) {
  return !token.empty() && plain_numeral_at(token, false, value) == token.size();
}

// The double a valid value names; false for an invalid one or an overflow.
bool convert(std::string_view token, double& value) {
  if (plain_numeral(token, value)) return true;
  const std::optional<double> general = convert_real(token);
  if (general) value = *general;
  return general.has_value();
}

}  // namespace

std::optional<double> convert_real(std::string_view token) {
  double plain = 0.0;
  if (plain_numeral(token, plain)) return plain;
  const std::optional<std::string> text = strtod_text(token);
  if (!text) return std::nullopt;
  // from_chars rounds correctly, as strtod does, but takes no '+'; at the
  // ends of the range (overflow, underflow) strtod gives the value itself.
  std::string_view number = *text;
  if (number.front() == '+') number.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size()) value = std::strtod(text->c_str(), nullptr);
  if (std::isinf(value)) return std::nullopt;
  return value;
}

FreeFormField parse_free_form(std::string_view record, bool tab_is_blank) {
  auto separates = [tab_is_blank](char c) { return c == ' ' || (tab_is_blank && c == '\t'); };
  std::size_t pos = 0;
  while (pos < record.size() && separates(record[pos])) ++pos;
  if (pos == record.size()) return {FreeForm::blank, 0.0, {}};
  if (record[pos] == ',' || record[pos] == '/') return {FreeForm::no_value, 0.0, record.substr(pos, 1)};
  double value = 0.0;
  if (const std::size_t length = plain_numeral_at(record.substr(pos), tab_is_blank, value)) {
    return {FreeForm::value, value, record.substr(pos, length)};
  }
  std::size_t end = pos;
  while (end < record.size() && !separates(record[end]) && record[end] != ',' && record[end] != '/') ++end;
  const std::string_view token = record.substr(pos, end - pos);
  if (!convert(token, value)) return {FreeForm::invalid, 0.0, token};
  return {FreeForm::value, value, token};
}

bool is_missing_value(std::string_view item) {
  std::string lower(item);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "na" || lower == "nan" || lower == "null";
}

}  // namespace diffboot::numbers
