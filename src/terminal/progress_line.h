#pragma once
// One progress line on a terminal while a long bootstrap runs: what is being
// computed, the percent done and the time so far, updated at most ten times a
// second and erased at the end. Shown only when standard error is a terminal
// and the work has taken more than a second.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "bootstrap/progress.h"

namespace diffboot::terminal {

class ProgressLine {
 public:
  // Watches `progress` of the work named `what`, writing to `out` when
  // standard error is a terminal, from `first_show` on.
  ProgressLine(const bootstrap::Progress& progress, std::string what, std::ostream& out,
               std::chrono::milliseconds first_show = std::chrono::seconds(1));
  // Stops watching and erases the line if one was shown.
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

 private:
  void watch();

  const bootstrap::Progress& progress_;
  std::string what_;
  std::ostream& out_;
  std::chrono::milliseconds first_show_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::size_t shown_ = 0;  // length of the line on the screen
  std::thread watcher_;
};

}  // namespace diffboot::terminal
