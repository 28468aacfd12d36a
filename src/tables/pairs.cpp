#include "tables/pairs.h"

namespace diffboot::tables {

void add_pair(Pairs& pairs, const Half& x, const Half& y) {
  ++pairs.offered;
  pairs.cells_missing_x += x.present && !x.value ? 1 : 0;
  pairs.cells_missing_y += y.present && !y.value ? 1 : 0;
  if (x.value && y.value) {
    pairs.x.push_back(*x.value);
    pairs.y.push_back(*y.value);
    return;
  }
  pairs.missing_x += x.value ? 0 : 1;
  pairs.missing_y += y.value ? 0 : 1;
  pairs.both += !x.value && !y.value ? 1 : 0;
}

void add_row_without_id(Pairs& pairs) {
  ++pairs.offered;
  ++pairs.without_id;
}

std::string dropped_pairs_line(const Pairs& pairs, const std::string& name_x, const std::string& name_y) {
  if (pairs.dropped() == 0) return {};
  std::string reasons;
  const auto reason = [&](const std::string& what, std::int64_t count) {
    if (count > 0) reasons += (reasons.empty() ? "" : ", ") + what + std::to_string(count);
  };
  reason(name_x + " missing in ", pairs.missing_x);
  reason(reasons.empty() ? name_y + " missing in " : name_y + " in ", pairs.missing_y);
  reason("both in ", pairs.both);
  reason("no id in ", pairs.without_id);
  return " pairs: " + std::to_string(pairs.dropped()) + " of " + std::to_string(pairs.offered) + " left out (" +
         reasons + ")\n";
}

}  // namespace diffboot::tables
