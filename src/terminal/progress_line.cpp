#include "terminal/progress_line.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

namespace diffboot::terminal {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto interval = std::chrono::milliseconds(100);

}  // namespace

ProgressLine::ProgressLine(std::function<double()> fraction, std::string what, std::ostream& out,
                           std::chrono::milliseconds first_show)
    : fraction_(std::move(fraction)), what_(std::move(what)), out_(out), first_show_(first_show) {
  if (isatty(STDERR_FILENO) != 1) return;
  try {
    watcher_ = std::thread([this] { watch(); });
  } catch (const std::system_error&) {
    // No thread: no progress line; the run itself goes on.
  }
}

ProgressLine::~ProgressLine() {
  if (!watcher_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  watcher_.join();
  if (shown_ > 0) out_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
}

void ProgressLine::watch() {
  const Clock::time_point start = Clock::now();
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, interval, [this] { return stop_; })) {
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    if (elapsed < first_show_) continue;
    char line[160];
    std::snprintf(line, sizeof line, "diffboot: %s: %3d%%, %.1f s", what_.c_str(),
                  static_cast<int>(std::floor(100.0 * fraction_())), elapsed.count());
    const std::string text(line);
    out_ << '\r' << text << std::string(shown_ > text.size() ? shown_ - text.size() : 0, ' ') << std::flush;
    shown_ = std::max(shown_, text.size());
  }
}

}  // namespace diffboot::terminal
