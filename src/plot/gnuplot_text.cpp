#include "plot/gnuplot_text.h"

#include "text/shown.h"

namespace diffboot::plot {

std::string gnuplot_text(std::string_view s) {
  const std::string text_shown = text::shown(s);
  std::string out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t quote = text_shown.find('\'', from);
    const std::string run = text_shown.substr(from, quote == std::string::npos ? std::string::npos : quote - from);
    if (!run.empty() || (out.empty() && quote == std::string::npos)) out += (out.empty() ? "'" : " . '") + run + "'";
    if (quote == std::string::npos) return out;
    out += out.empty() ? "\"\\047\"" : " . \"\\047\"";
    from = quote + 1;
  }
}

std::string gnuplot_tic_text(std::string_view s) {
  std::string doubled;
  for (char c : s) doubled += c == '%' ? std::string("%%") : std::string(1, c);
  return gnuplot_text(doubled);
}

std::string comment_text(std::string_view s) { return text::shown(s); }

std::string file_name_expression(std::string_view path) {
  const std::string name = (path.empty() || path.front() != '/' ? "./" : "") + std::string(path);
  std::string out, run;
  const auto flush = [&] {
    if (!run.empty()) out += (out.empty() ? "'" : " . '") + run + "'";
    run.clear();
  };
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c != 0x7f && c != '\'') {
      run += ch;
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
