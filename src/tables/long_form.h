#pragma once
// The long form of a table: a column names each row's group, another holds
// its value, and for pairs a third its id. Two groups are taken from it, as
// two samples or as the pairs of their rows.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/pairs.h"
#include "tables/table.h"

namespace diffboot::tables {

// The columns of the long form and the two groups asked for.
struct LongForm {
  std::size_t by = 0, value = 0;
  std::optional<std::size_t> id;     // for pairs by id
  std::array<std::string, 2> groups;  // as given
};

// A row of one of the two groups: its value (nothing when missing), its line
// and its id (empty or NA: none).
struct GroupRow {
  std::optional<double> value;
  std::int64_t line = 0;
  std::string id;
};

// Where rows come from, for messages: {"the table \"t.csv\" has", "line",
// "--id COLUMN"} or {"the data have", "row", "id ="}; the last says how ids
// are named.
struct Place {
  std::string has;
  std::string line;
  std::string id_hint;
};

// Whether the group cell `cell` (blanks around it ignored) names `group`: the
// same text, or two numbers of the same value ("2.0" names the group "2").
bool same_group(std::string_view cell, std::string_view group);

// The pairs of the two groups: the rows of one id, in the order the table
// first names the ids (an id in one group only pairs with nothing, a row
// without an id is left out), or without an id column the groups' rows in
// order, which must then be as many. An id twice in one group is an error.
Pairs pairs_of(const std::array<std::vector<GroupRow>, 2>& rows, const LongForm& form, const Place& place);

// Refuses two names of the same group.
void check_two_groups(const std::array<std::string, 2>& groups);

// Refuses a group no row named, listing `seen` (the groups' names).
void check_groups_found(const std::array<std::vector<GroupRow>, 2>& rows, const std::array<std::string, 2>& groups,
                        const std::vector<std::string>& seen, const Place& place, const std::string& by_name);

}  // namespace diffboot::tables
