#pragma once
// How far a bootstrap has come, for a display on another thread: units of
// work done out of a total (a draw of a replication, a jackknife pair of a
// pass), counted with relaxed atomics so that counting costs next to nothing.
// Another thread may ask the run to stop: the work that counts here checks
// the request as it counts and ends with Stopped.
#include <atomic>
#include <cstdint>
#include <stdexcept>

namespace diffboot::bootstrap {

// A run that ended because it was asked to stop; it leaves no result.
class Stopped : public std::runtime_error {
 public:
  Stopped() : std::runtime_error("the run was stopped") {}
};

struct Progress {
  std::atomic<std::uint64_t> done{0};
  std::uint64_t total = 1;
  std::atomic<bool> stop{false};
  void add(std::uint64_t units) { done.fetch_add(units, std::memory_order_relaxed); }
  // Whether another thread has asked the run to stop.
  bool stopped() const { return stop.load(std::memory_order_relaxed); }
  // Throws Stopped when another thread has asked the run to stop.
  void check() const {
    if (stopped()) throw Stopped();
  }
  // Done, as a fraction of the total, at most 1.
  double fraction() const {
    const double f = static_cast<double>(done.load(std::memory_order_relaxed)) / static_cast<double>(total);
    return f < 1.0 ? f : 1.0;
  }
};

}  // namespace diffboot::bootstrap
