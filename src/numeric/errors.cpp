#include "numeric/errors.h"

namespace diffboot::numeric {

void throw_numeric_error(std::string_view message) {
  throw LibraryError("nrerror: " + std::string(message), "program terminated by nrerror");
}

void require_both(bool c1, bool c2, std::string_view tag) {
  if (c1 && c2) return;
  throw LibraryError("nrerror: an assertion failed with this tag:" + std::string(tag), "program terminated by assert2");
}

}  // namespace diffboot::numeric
