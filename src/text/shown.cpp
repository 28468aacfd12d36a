#include "text/shown.h"

namespace diffboot::text {
namespace {

// Length of the UTF-8 sequence that starts s[i] when it is valid and not a
// control character, else 0.
std::size_t printable_length(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  if (c < 0x20 || c == 0x7f) return 0;
  if (c < 0x80) return 1;
  const std::size_t length = c >= 0xc2 && c < 0xe0 ? 2 : c >= 0xe0 && c < 0xf0 ? 3 : c >= 0xf0 && c < 0xf5 ? 4 : 0;
  if (length == 0 || i + length > s.size()) return 0;
  for (std::size_t k = i + 1; k < i + length; ++k) {
    if ((byte(k) & 0xc0) != 0x80) return 0;
  }
  if (c == 0xc2 && byte(i + 1) < 0xa0) return 0;  // U+0080 to U+009F: C1 controls
  return length;
}

std::string shown_byte(unsigned char c) {
  if (c == '\n') return "\\n";
  if (c == '\t') return "\\t";
  if (c == '\r') return "\\r";
  constexpr const char* hex = "0123456789ABCDEF";
  return std::string("\\x") + hex[c >> 4] + hex[c & 15];
}

}  // namespace

std::string shown(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t length = printable_length(s, i);
    if (length == 0) {
      out += shown_byte(static_cast<unsigned char>(s[i++]));
    } else {
      out.append(s.substr(i, length));
      i += length;
    }
  }
  return out;
}

}  // namespace diffboot::text
