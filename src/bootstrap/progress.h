#pragma once
// How far a bootstrap has come, for a display on another thread: units of
// work done out of a total (a draw of a replication, a jackknife pair of a
// pass), counted with relaxed atomics so that counting costs next to nothing.
#include <atomic>
#include <cstdint>

namespace diffboot::bootstrap {

struct Progress {
  std::atomic<std::uint64_t> done{0};
  std::uint64_t total = 1;
  void add(std::uint64_t units) { done.fetch_add(units, std::memory_order_relaxed); }
  // Done, as a fraction of the total, at most 1.
  double fraction() const {
    const double f = static_cast<double>(done.load(std::memory_order_relaxed)) / static_cast<double>(total);
    return f < 1.0 ? f : 1.0;
  }
};

}  // namespace diffboot::bootstrap
