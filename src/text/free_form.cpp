#include "text/free_form.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace diffboot::text {
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

std::optional<double> convert_real(std::string_view token) {
  const std::optional<std::string> text = strtod_text(token);
  if (!text) return std::nullopt;
  const double value = std::strtod(text->c_str(), nullptr);
  if (std::isinf(value)) return std::nullopt;
  return value;
}

FreeFormField parse_free_form(std::string_view record, bool tab_is_blank) {
  auto separates = [tab_is_blank](char c) { return c == ' ' || (tab_is_blank && c == '\t'); };
  std::size_t pos = 0;
  while (pos < record.size() && separates(record[pos])) ++pos;
  if (pos == record.size()) return {FreeForm::blank, 0.0, {}};
  if (record[pos] == ',' || record[pos] == '/') return {FreeForm::no_value, 0.0, record.substr(pos, 1)};
  std::size_t end = pos;
  while (end < record.size() && !separates(record[end]) && record[end] != ',' && record[end] != '/') ++end;
  const std::string_view token = record.substr(pos, end - pos);
  const std::optional<double> value = convert_real(token);
  if (!value) return {FreeForm::invalid, 0.0, token};
  return {FreeForm::value, *value, token};
}

}  // namespace diffboot::text
