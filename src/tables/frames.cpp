#include "tables/frames.h"

#include <charconv>
#include <cmath>
#include <set>

#include "numbers/free_form.h"
#include "tables/long_form.h"
#include "tables/pairs.h"
#include "tables/table.h"

namespace diffboot::tables {
namespace {

const Place frame_place{"the data have", "row", "id ="};

void check_length(const FrameColumn& c, std::size_t rows) {
  if (c.size() != rows) {
    throw TableError("the column \"" + shortened(c.name) + "\" has " + std::to_string(c.size()) + " rows, not " +
                     std::to_string(rows) + " as the others");
  }
  if (!c.missing.empty() && c.missing.size() != rows) {
    throw TableError("the column \"" + shortened(c.name) + "\" has a mask of " + std::to_string(c.missing.size()) +
                     " cells for its " + std::to_string(rows) + " rows");
  }
}

void add_value(ColumnValues& v, std::optional<double> value, std::size_t row) {
  if (value) v.values.push_back(*value);
  else if (v.missing++ == 0) v.first_missing_line = static_cast<std::int64_t>(row) + 1;
}

}  // namespace

bool FrameColumn::missing_at(std::size_t i) const {
  if (!missing.empty() && missing[i] != 0) return true;
  if (!is_text) return std::isnan(numbers[i]);
  const std::string_view text = without_blanks(texts[i]);
  return text.empty() || numbers::is_missing_value(text);
}

std::optional<double> FrameColumn::value(std::size_t i) const {
  if (missing_at(i)) return std::nullopt;
  if (!is_text && (!outcomes || numbers[i] == 0.0 || numbers[i] == 1.0)) return numbers[i];
  char number[40];
  const std::string_view cell =
      is_text ? std::string_view(texts[i])
              : std::string_view(number, static_cast<std::size_t>(std::to_chars(number, number + sizeof number, numbers[i]).ptr - number));
  const CellReading r = read_cell(cell, false, outcomes);
  if (r.problem != nullptr) {
    throw TableError("the column \"" + shortened(name) + "\", row " + std::to_string(i + 1) + ": \"" +
                     shortened(cell) + "\" is " + r.problem);
  }
  return r.value;
}

std::string FrameColumn::key(std::size_t i) const {
  if (missing_at(i)) return {};
  if (is_text) return std::string(without_blanks(texts[i]));
  char text[40];
  return {text, std::to_chars(text, text + sizeof text, numbers[i]).ptr};
}

TwoSamples frame_columns(const FrameColumn& a, const FrameColumn& b, bool paired) {
  check_length(a, a.size()), check_length(b, a.size());
  TwoSamples s;
  s.name_x = s.label_x = a.name, s.name_y = s.label_y = b.name;
  if (a.name == b.name) throw TableError("\"" + shortened(a.name) + "\" and \"" + shortened(b.name) + "\" name the same column: compare two columns");
  if (!paired) {
    std::array<ColumnValues, 2> v;
    for (std::size_t i = 0; i < a.size(); ++i) add_value(v[0], a.value(i), i), add_value(v[1], b.value(i), i);
    take_columns(s, std::move(v[0]), std::move(v[1]), s.label_x, s.label_y, "row");
    return s;
  }
  Pairs pairs;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::optional<double> x = a.value(i);  // x's cell first
    add_pair(pairs, {true, x}, {true, b.value(i)});
  }
  take_pairs(s, std::move(pairs), s.label_x, s.label_y);
  return s;
}

TwoSamples frame_groups(const FrameColumn& by, const FrameColumn& value, const FrameColumn& id,
                        const std::array<std::string, 2>& groups, bool paired) {
  const std::size_t n = by.size();
  check_length(value, n);
  if (!paired && id.size() > 0) throw TableError("the ids pair rows: they go with a paired experiment");
  const bool by_id = paired && id.size() > 0;
  if (by_id) check_length(id, n);
  check_two_groups(groups);
  TwoSamples s;
  s.name_x = s.label_x = groups[0], s.name_y = s.label_y = groups[1];
  s.value_name = value.name;
  std::array<std::vector<GroupRow>, 2> rows;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string group = by.key(i);
    if (seen.size() < 21 || group < *seen.rbegin()) {
      seen.insert(group);
      if (seen.size() > 21) seen.erase(std::prev(seen.end()));
    }
    for (std::size_t k = 0; k < 2; ++k) {
      if (!by.missing_at(i) && same_group(group, groups[k])) {
        rows[k].push_back({value.value(i), static_cast<std::int64_t>(i) + 1, by_id ? id.key(i) : std::string()});
      }
    }
  }
  check_groups_found(rows, groups, std::vector<std::string>(seen.begin(), seen.end()), frame_place, by.name);
  if (paired) {
    LongForm form{0, 1, by_id ? std::optional<std::size_t>(2) : std::nullopt, groups};
    take_pairs(s, pairs_of(rows, form, frame_place), s.label_x, s.label_y);
    return s;
  }
  std::array<ColumnValues, 2> v;
  for (std::size_t k = 0; k < 2; ++k) {
    for (const GroupRow& r : rows[k]) add_value(v[k], r.value, static_cast<std::size_t>(r.line - 1));
  }
  take_columns(s, std::move(v[0]), std::move(v[1]), s.label_x, s.label_y, "row");
  return s;
}

}  // namespace diffboot::tables
