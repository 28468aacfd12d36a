#include "text/line_feed_stream.h"

namespace diffboot::text {

LineFeedBuffer::~LineFeedBuffer() {
  if (pending_cr_) target_.put('\r');
  target_.flush();
}

LineFeedBuffer::int_type LineFeedBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  if (pending_cr_ && ch != '\n') target_.put('\r');
  pending_cr_ = ch == '\r';
  if (!pending_cr_) target_.put(ch);
  return target_ ? c : traits_type::eof();
}

int LineFeedBuffer::sync() {
  target_.flush();
  return target_ ? 0 : -1;
}

}  // namespace diffboot::text
