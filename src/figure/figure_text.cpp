#include "figure/figure_text.h"

#include <cstdio>
#include <vector>

namespace diffboot::figure {
namespace {

constexpr std::string_view minus_sign = "\u2212";

// Where each UTF-8 character of `s` begins.
std::vector<std::size_t> character_starts(std::string_view s) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  return starts;
}

}  // namespace

std::string figure_number(double value, int digits) {
  char text[40];
  std::snprintf(text, sizeof text, "%#.*g", digits, value);
  std::string out;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '-') out += minus_sign;
    else if (*c != '.' || (c[1] >= '0' && c[1] <= '9')) out += *c;  // no point without digits after it
  }
  return out;
}

int interval_digits(double lower, double upper) {
  return lower != upper && figure_number(lower, 3) == figure_number(upper, 3) ? 4 : 3;
}

std::string bounds_text(double lower, double upper, std::string_view suffix) {
  const int digits = interval_digits(lower, upper);
  // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) on "literal" + std::string&&.
  std::string text = "[";
  text.append(figure_number(lower, digits)).append(suffix).append(", ");
  text.append(figure_number(upper, digits)).append(suffix).append("]");
  return text;
}

std::string interval_text(double estimate, double lower, double upper, std::string_view suffix) {
  return figure_number(estimate, interval_digits(lower, upper)) + std::string(suffix) + " " +
         bounds_text(lower, upper, suffix);
}

std::size_t character_count(std::string_view text) { return character_starts(text).size(); }

std::string shortened(std::string_view name, std::size_t longest) {
  const std::vector<std::size_t> starts = character_starts(name);
  if (starts.size() <= longest || longest < 3) return std::string(name);
  const std::size_t head = (longest - 1) / 2, tail = longest - 1 - head;
  return std::string(name.substr(0, starts[head])) + "\u2026" + std::string(name.substr(starts[starts.size() - tail]));
}

}  // namespace diffboot::figure
