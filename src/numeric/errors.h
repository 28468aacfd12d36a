#pragma once
// Failure reporting of the numerical library: a typed exception that carries
// the record the program writes on the console (" nrerror: <message>") and
// the stop text it writes on standard error before it ends with status 1.
#include <stdexcept>
#include <string>
#include <string_view>

namespace diffboot::numeric {

class LibraryError : public std::runtime_error {
 public:
  LibraryError(const std::string& record, std::string stop_text)
      : std::runtime_error(record), stop_text_(std::move(stop_text)) {}
  // The console record without its leading blank, such as "nrerror: sort: NSTACK too small".
  std::string record() const { return what(); }
  // The line for standard error, such as "program terminated by nrerror".
  const std::string& stop_text() const { return stop_text_; }

 private:
  std::string stop_text_;
};

// Throws LibraryError("nrerror: " + message, "program terminated by nrerror"):
// the console keeps its words "nrerror" and "assert2" whatever the functions
// are called.
[[noreturn]] void throw_numeric_error(std::string_view message);

// Returns when c1 and c2 both hold; otherwise throws LibraryError("nrerror:
// an assertion failed with this tag:" + tag, "program terminated by assert2").
void require_both(bool c1, bool c2, std::string_view tag);

}  // namespace diffboot::numeric
