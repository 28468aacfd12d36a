#include "diffboot/watch.h"

#include <chrono>
#include <exception>
#include <future>

namespace diffboot {

double work_of(std::size_t n_x, std::size_t n_y, const Options& o) {
  const double n = static_cast<double>(n_x + n_y), b = static_cast<double>(o.replications);
  // Every measure's replicate costs some work of its own besides the draws
  // (a median, a sort of the replicates), however few the values.
  const double measures = static_cast<double>(o.measures.empty() ? 4 : o.measures.size()) +
                          static_cast<double>(o.quantiles.size());
  return n * b + 64.0 * measures * b + 2.0 * static_cast<double>(n_x) * static_cast<double>(n_y) +
         n * static_cast<double>(o.permutations);
}

Results watched(const std::function<Results(Control&)>& run, const std::function<void(double)>& look) {
  Control control;
  std::future<Results> result = std::async(std::launch::async, [&] { return run(control); });
  while (result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    try {
      look(control.fraction());
    } catch (...) {
      control.cancel();
      result.wait();
      throw;
    }
  }
  return result.get();
}

}  // namespace diffboot
