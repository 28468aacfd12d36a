// One arbitrary line through the free-form real reader. Whenever it accepts a
// value, that value must be what strtod makes of the accepted text once the
// exponent letters D and Q are read as E and a bare signed exponent gets its
// E, and the accepted text must be a plain number: sign, digits, one point.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "numbers/free_form.h"

namespace {

// The exponent mapping, written out independently of the reader.
std::string mapped(std::string_view token) {
  std::string s;
  bool exponent = false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    const char c = token[i];
    if (std::strchr("eEdDqQ", c) != nullptr) {
      s += 'E';
      exponent = true;
    } else if ((c == '+' || c == '-') && i > 0 && !exponent) {
      s += 'E';
      s += c;
      exponent = true;
    } else {
      s += c;
    }
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace diffboot::numbers;
  const std::string line(reinterpret_cast<const char*>(data), size);
  if (line.find('\n') != std::string::npos) return 0;
  for (bool tabs : {true, false}) {
    const FreeFormField f = parse_free_form(line, tabs);
    if (f.kind != FreeForm::value) continue;
    const std::string text = mapped(f.text);
    char* end = nullptr;
    const double expected = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) __builtin_trap();
    if (std::memcmp(&expected, &f.value, sizeof expected) != 0) __builtin_trap();
    if (std::isinf(f.value) || std::isnan(f.value)) __builtin_trap();
  }
  return 0;
}
