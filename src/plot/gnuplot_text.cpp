#include "plot/gnuplot_text.h"

namespace diffboot::plot {
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
  return length;
}

// A byte that is not printable text, as text: \n, \t, \r or \xNN.
std::string shown_byte(unsigned char c) {
  if (c == '\n') return "\\n";
  if (c == '\t') return "\\t";
  if (c == '\r') return "\\r";
  constexpr const char* hex = "0123456789ABCDEF";
  return std::string("\\x") + hex[c >> 4] + hex[c & 15];
}

}  // namespace

// A single-quoted gnuplot string literal of `s` (single quotes doubled; no
// backquote, macro or escape is taken from inside one) as it is shown: control
// characters and bytes that are not UTF-8 as \n, \t, \r, \xNN.
std::string gnuplot_text(std::string_view s) {
  std::string out = "'";
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t length = printable_length(s, i);
    if (length == 0) {
      out += shown_byte(static_cast<unsigned char>(s[i++]));
      continue;
    }
    out += s[i] == '\'' ? "''" : std::string(s.substr(i, length));
    i += length;
  }
  return out + "'";
}

std::string comment_text(std::string_view text) {
  const std::string q = gnuplot_text(text);
  std::string out;
  for (std::size_t i = 1; i + 1 < q.size(); ++i) out += q[i] == '\'' ? q[i++] : q[i];
  return out;
}

std::string file_name_expression(std::string_view path) {
  const std::string name = (path.empty() || path.front() != '/' ? "./" : "") + std::string(path);
  std::string out, run;
  const auto flush = [&] {
    if (!run.empty()) out += (out.empty() ? "'" : " . '") + run + "'";
    run.clear();
  };
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c != 0x7f) {
      run += ch == '\'' ? std::string("''") : std::string(1, ch);
      continue;
    }
    flush();
    const char octal[] = {'\\', static_cast<char>('0' + (c >> 6)), static_cast<char>('0' + ((c >> 3) & 7)),
                          static_cast<char>('0' + (c & 7)), '\0'};
    out += std::string(out.empty() ? "\"" : " . \"") + octal + "\"";
  }
  flush();
  return out;
}

}  // namespace diffboot::plot
