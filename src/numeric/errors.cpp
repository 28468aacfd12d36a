#include "numeric/errors.h"

#include "text/run_end.h"
#include "text/writer.h"

namespace diffboot::numeric {

void nrerror(std::string_view message) {
  text::write_list(text::console, {"nrerror: ", message});
  throw text::RunEnd{text::stop_status, "program terminated by nrerror\r\n"};
}

void assert2(bool c1, bool c2, std::string_view tag) {
  if (c1 && c2) return;
  text::write_list(text::console, {"nrerror: an assertion failed with this tag:", tag});
  throw text::RunEnd{text::stop_status, "program terminated by assert2\r\n"};
}

}  // namespace diffboot::numeric
