#pragma once
// One progress line on a terminal while a long bootstrap runs: what is being
// computed, the percent done and the time so far, updated at most ten times a
// second and erased at the end. Shown only when standard error is a terminal
// and the work has taken more than a second.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace diffboot::terminal {

class ProgressLine {
 public:
  // Watches the share of the work named `what` done, as `fraction` (0 to 1,
  // callable from another thread) tells it, writing to `out` when standard
  // error is a terminal, from `first_show` on.
  ProgressLine(std::function<double()> fraction, std::string what, std::ostream& out,
               std::chrono::milliseconds first_show = std::chrono::seconds(1));
  // Stops watching and erases the line if one was shown.
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

 private:
  void watch();

  std::function<double()> fraction_;
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
