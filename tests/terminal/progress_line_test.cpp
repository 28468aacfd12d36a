// The progress line: shown only where standard error is a terminal, with
// the work's name and share done, and erased at the end.
#include "terminal/progress_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <mutex>
#include <sstream>

#include "bootstrap/progress.h"
#include "support/terminal.h"

namespace diffboot::terminal {
namespace {

// An ostream whose text another thread may read while the line writes.
class SharedText : public std::stringbuf {
 public:
  std::string text() {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return str();
  }

 protected:
  int sync() override { return 0; }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return std::stringbuf::xsputn(s, n);
  }
  int_type overflow(int_type c) override {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return std::stringbuf::overflow(c);
  }

 private:
  std::recursive_mutex mutex_;  // xsputn may call overflow
};

TEST(ProgressLineTest, ShownAtATerminalAndErased) {
  const testing::PseudoTerminal terminal;
  SharedText buffer;
  std::ostream out(&buffer);
  bootstrap::Progress progress;
  progress.total = 4;
  progress.add(1);
  {
    const testing::Redirected error_on_terminal(STDERR_FILENO, terminal.slave());
    const ProgressLine line([&] { return progress.fraction(); }, "bootstrap replications", out, std::chrono::milliseconds(0));
    while (buffer.text().empty()) usleep(1000);  // the line's first update
  }
  const std::string text = buffer.text();
  const std::string start = "\rdiffboot: bootstrap replications:  25%, ";
  EXPECT_EQ(text.substr(0, start.size()), start);
  const std::size_t erase = text.rfind('\r', text.size() - 2);
  EXPECT_EQ(text.substr(erase), "\r" + std::string(text.find('\r', 1) - 1, ' ') + "\r") << "erased at the end";
}

TEST(ProgressLineTest, NothingWhereStandardErrorIsNoTerminal) {
  std::ostringstream out;
  bootstrap::Progress progress;
  { const ProgressLine line([&] { return progress.fraction(); }, "bootstrap replications", out, std::chrono::milliseconds(0)); }
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace diffboot::terminal
