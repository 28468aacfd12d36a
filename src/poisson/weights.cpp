#include "poisson/weights.h"

namespace diffboot::poisson::engine {

int poisson_count(std::uint32_t u) {
  const auto s = static_cast<std::int32_t>(u ^ 0x80000000u);
  int count = 0;
  for (std::int32_t t : count_thresholds) count += s >= t ? 1 : 0;
  return count;
}

}  // namespace diffboot::poisson::engine
