#include "tables/long_form.h"

#include <algorithm>
#include <map>

#include "numbers/free_form.h"

namespace diffboot::tables {

bool same_group(std::string_view cell, std::string_view group) {
  cell = without_blanks(cell), group = without_blanks(group);
  if (cell == group) return true;
  const std::optional<double> a = numbers::convert_real(cell), b = numbers::convert_real(group);
  return a && b && *a == *b;
}

void check_two_groups(const std::array<std::string, 2>& groups) {
  if (same_group(groups[0], groups[1])) {
    throw TableError("\"" + shortened(groups[0]) + "\" and \"" + shortened(groups[1]) +
                     "\" name the same group: compare two groups");
  }
}

void check_groups_found(const std::array<std::vector<GroupRow>, 2>& rows, const std::array<std::string, 2>& groups,
                        const std::vector<std::string>& seen, const Place& place, const std::string& by_name) {
  for (std::size_t k = 0; k < 2; ++k) {
    if (rows[k].empty()) {
      throw TableError(place.has + " no group \"" + shortened(groups[k]) + "\" in column \"" + shortened(by_name) +
                       "\" (its groups: " + name_list(seen) + ")");
    }
  }
}

Pairs pairs_of(const std::array<std::vector<GroupRow>, 2>& rows, const LongForm& form, const Place& place) {
  Pairs pairs;
  const auto half = [](const GroupRow* r) { return r ? Half{true, r->value} : Half{}; };
  if (!form.id) {
    if (rows[0].size() != rows[1].size()) {
      throw TableError("the groups \"" + shortened(form.groups[0]) + "\" and \"" + shortened(form.groups[1]) +
                       "\" have " + std::to_string(rows[0].size()) + " and " + std::to_string(rows[1].size()) +
                       " rows: pair them by id (" + place.id_hint + ")");
    }
    for (std::size_t i = 0; i < std::max(rows[0].size(), rows[1].size()); ++i) {
      add_pair(pairs, half(i < rows[0].size() ? &rows[0][i] : nullptr), half(i < rows[1].size() ? &rows[1][i] : nullptr));
    }
    return pairs;
  }
  std::vector<std::pair<std::int64_t, std::size_t>> in_order;  // line and group of every row
  for (std::size_t k = 0; k < 2; ++k) {
    for (const GroupRow& r : rows[k]) in_order.emplace_back(r.line, k);
  }
  std::vector<std::array<const GroupRow*, 2>> slots;
  std::map<std::string, std::size_t> slot_of_id;
  std::array<std::size_t, 2> next{0, 0};
  std::sort(in_order.begin(), in_order.end());
  for (const auto& [line, k] : in_order) {
    const GroupRow& r = rows[k][next[k]++];
    if (r.id.empty()) {
      add_row_without_id(pairs);
      continue;
    }
    const auto [found, is_new] = slot_of_id.try_emplace(r.id, slots.size());
    if (is_new) slots.push_back({nullptr, nullptr});
    const GroupRow*& slot = slots[found->second][k];
    if (slot != nullptr) {
      throw TableError(place.has + " the id \"" + shortened(r.id) + "\" twice in the group \"" +
                       shortened(form.groups[k]) + "\" (" + place.line + "s " + std::to_string(slot->line) + " and " +
                       std::to_string(line) + ")");
    }
    slot = &r;
  }
  for (const auto& [x, y] : slots) add_pair(pairs, half(x), half(y));
  return pairs;
}

}  // namespace diffboot::tables
