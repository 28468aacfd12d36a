#pragma once
// An output stream that passes its text to another with every CR LF written
// as a line feed alone: batch runs give their messages plain line ends.
#include <ostream>
#include <streambuf>

namespace diffboot::text {

// Writes to `target`, dropping each carriage return that a line feed follows.
class LineFeedBuffer : public std::streambuf {
 public:
  explicit LineFeedBuffer(std::ostream& target) : target_(target) {}
  ~LineFeedBuffer() override;
  LineFeedBuffer(const LineFeedBuffer&) = delete;
  LineFeedBuffer& operator=(const LineFeedBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  std::ostream& target_;
  bool pending_cr_ = false;  // a carriage return held until the next character shows whether a line feed follows
};

// The stream of a LineFeedBuffer.
class LineFeedStream : public std::ostream {
 public:
  explicit LineFeedStream(std::ostream& target) : std::ostream(nullptr), buffer_(target) { rdbuf(&buffer_); }

 private:
  LineFeedBuffer buffer_;
};

}  // namespace diffboot::text
