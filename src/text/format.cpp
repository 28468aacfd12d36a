#include "text/format.h"

#include <cctype>
#include <stdexcept>
#include <string>

namespace diffboot::text {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  Descriptor parse() {
    while (!text_.empty() && text_.back() == ' ') text_.remove_suffix(1);
    Descriptor root = group(1);
    if (pos_ != text_.size()) fail();
    return root;
  }

 private:
  [[noreturn]] void fail() const {
    throw std::invalid_argument("malformed format \"" + std::string(text_) + "\"");
  }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  void expect(char c) {
    if (peek() != c) fail();
    ++pos_;
  }
  bool digit() const { return std::isdigit(static_cast<unsigned char>(peek())) != 0; }

  int number() {
    if (!digit()) fail();
    int value = 0;
    while (digit()) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > 100000) fail();
    }
    return value;
  }

  // "(" item {"," item} ")"
  Descriptor group(int repeat) {
    Descriptor g{Edit::group, 0, 0, repeat, {}};
    expect('(');
    g.items.push_back(item());
    while (peek() == ',') {
      ++pos_;
      g.items.push_back(item());
    }
    expect(')');
    return g;
  }

  Descriptor item() {
    int count = digit() ? number() : 1;
    if (count < 1) fail();
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(peek())));
    if (c == '(') return group(count);
    ++pos_;
    if (c == 'x') return {Edit::x, count, 0, 1, {}};
    if (c == 'a') return {Edit::a, 0, 0, count, {}};
    if (c == 'i') return {Edit::i, positive(), 0, count, {}};
    if (c == 'f') return real(Edit::f, count);
    if (c == 'e') {
      if (std::tolower(static_cast<unsigned char>(peek())) != 's') fail();
      ++pos_;
      return real(Edit::es, count);
    }
    fail();
  }

  int positive() {
    const int w = number();
    if (w < 1) fail();
    return w;
  }

  Descriptor real(Edit edit, int count) {
    const int w = positive();
    expect('.');
    const int d = number();
    return {edit, w, d, count, {}};
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

Descriptor parse_format(std::string_view format) { return Parser(format).parse(); }

}  // namespace diffboot::text
