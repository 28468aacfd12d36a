#pragma once
// A long run watched from the calling thread: the run goes to a worker
// thread while the caller looks every tenth of a second for a user's
// interrupt and shows progress. Doors whose language must be asked for its
// interrupts on its own thread (Python, R) use it.
#include <cstddef>
#include <functional>

#include "diffboot/diffboot.h"

namespace diffboot {

// The work of a run in units of one value drawn once: the replicates of
// every measure asked for, the jackknife, the permutations.
double work_of(std::size_t n_x, std::size_t n_y, const Options& options);

// Runs with less work than this end in some milliseconds: they are not worth
// a thread.
inline constexpr double watched_work = 1e7;

// `run(control)` on a worker thread; `look(fraction)` on this thread every
// tenth of a second until it ends. When `look` throws, the run is cancelled
// and awaited and the exception goes on; else the run's result or exception.
Results watched(const std::function<Results(Control&)>& run, const std::function<void(double)>& look);

}  // namespace diffboot
