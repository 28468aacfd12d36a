#include "figure/swarm.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace diffboot::figure {

std::vector<double> swarm_offsets(std::span<const double> positions, double diameter, int per_side) {
  std::vector<std::size_t> order(positions.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return positions[a] < positions[b]; });
  const int slots = 2 * std::max(per_side, 0) + 1;
  // Slot k's offset in diameters: 0, +1, −1, +2, −2, …
  const auto shift = [](int k) { return k % 2 == 1 ? (k + 1) / 2 : -(k / 2); };
  std::vector<double> last(static_cast<std::size_t>(slots), -std::numeric_limits<double>::infinity());
  std::vector<double> offsets(positions.size(), 0.0);
  for (std::size_t i : order) {
    int slot = -1;
    for (int k = 0; k < slots && slot < 0; ++k) {
      if (positions[i] - last[static_cast<std::size_t>(k)] >= diameter) slot = k;
    }
    if (slot < 0) slot = static_cast<int>(std::min_element(last.begin(), last.end()) - last.begin());
    last[static_cast<std::size_t>(slot)] = positions[i];
    offsets[i] = shift(slot) * diameter;
  }
  return offsets;
}

}  // namespace diffboot::figure
