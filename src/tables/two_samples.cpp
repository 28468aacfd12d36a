#include "tables/two_samples.h"

#include <array>
#include <set>
#include <utility>

#include "numbers/free_form.h"
#include "tables/long_form.h"
#include "tables/pairs.h"
#include "tables/table.h"

namespace diffboot::tables {
namespace {

// A column of each of two tables.
TwoSamples column_of_each(const SampleSource& o) {
  TwoSamples s;
  TableReader a(o.sample1, o.delimiter, o.decimal_comma, o.outcomes), b(o.sample2, o.delimiter, o.decimal_comma, o.outcomes);
  const std::size_t ca = column_of(a.table(), o.column), cb = column_of(b.table(), o.column);
  s.name_x = o.sample1 + ": " + a.table().header[ca], s.name_y = o.sample2 + ": " + b.table().header[cb];
  s.label_x = s.path_x = o.sample1, s.label_y = s.path_y = o.sample2;
  s.value_name = a.table().header[ca];
  ColumnValues x = std::move(column_values(a, {ca})[0]);
  take_columns(s, std::move(x), std::move(column_values(b, {cb})[0]), "x1", "x2", "line");
  return s;
}

// The rows of the two groups in table order. A group that no row names is an
// error listing the table's groups (the first 20, in byte order); so are two
// names of the same group.
std::array<std::vector<GroupRow>, 2> group_rows(TableReader& reader, const LongForm& form) {
  const Table& t = reader.table();
  check_two_groups(form.groups);
  std::array<std::vector<GroupRow>, 2> rows;
  std::set<std::string> seen;  // the first 21 group names in byte order, for a message
  const auto cell = [](const Row& row, std::size_t column) {
    return column < row.cells.size() ? std::string(without_blanks(row.cells[column])) : std::string();
  };
  while (const std::optional<Row> row = reader.next_row()) {
    const std::string group = cell(*row, form.by);
    if (seen.size() < 21 || group < *seen.rbegin()) {
      seen.insert(group);
      if (seen.size() > 21) seen.erase(std::prev(seen.end()));
    }
    for (std::size_t k = 0; k < 2; ++k) {
      if (same_group(group, form.groups[k])) {
        std::string id = form.id ? cell(*row, *form.id) : std::string();
        if (numbers::is_missing_value(id)) id.clear();
        rows[k].push_back({cell_value(t, *row, form.value), row->line, std::move(id)});
      }
    }
  }
  check_groups_found(rows, form.groups, std::vector<std::string>(seen.begin(), seen.end()),
                     {"the table \"" + t.path + "\" has", "line", "--id COLUMN"}, t.header[form.by]);
  return rows;
}

// The long form: the rows of groups sample1 and sample2 of the column `by`.
TwoSamples groups_of(const SampleSource& o) {
  TwoSamples s;
  TableReader reader(o.table, o.delimiter, o.decimal_comma, o.outcomes);
  const Table& t = reader.table();
  const std::size_t by = column_of(t, o.by);
  if (o.value.empty() && t.header.size() != 2) {
    throw TableError("the table \"" + o.table + "\" has " + std::to_string(t.header.size()) +
                     " columns: name the values with --value COLUMN");
  }
  const LongForm form{by, o.value.empty() ? 1 - by : column_of(t, o.value),
                      o.paired && !o.id.empty() ? std::optional(column_of(t, o.id))
                      : !o.cluster.empty()      ? std::optional(column_of(t, o.cluster))  // read as the rows' ids
                                                : std::nullopt,
                      {o.sample1, o.sample2}};
  s.name_x = o.table + ": " + t.header[by] + " = " + o.sample1, s.name_y = o.table + ": " + t.header[by] + " = " + o.sample2;
  s.label_x = o.sample1, s.label_y = o.sample2;
  s.value_name = t.header[form.value];
  s.path_x = s.path_y = o.table;
  const auto rows = group_rows(reader, form);
  if (o.paired) {
    take_pairs(s, pairs_of(rows, form, {"the table \"" + o.table + "\" has", "line", "--id COLUMN"}), o.sample1, o.sample2);
    return s;
  }
  std::array<ColumnValues, 2> v;
  std::array<std::vector<std::string>*, 2> clusters{&s.cluster_x, &s.cluster_y};
  std::array<std::int64_t*, 2> keyless{&s.no_cluster_x, &s.no_cluster_y};
  std::array<std::int64_t, 2> first_keyless{0, 0};
  for (std::size_t k = 0; k < 2; ++k) {
    for (const GroupRow& r : rows[k]) {
      if (r.value && !o.cluster.empty() && r.id.empty()) {
        if ((*keyless[k])++ == 0) first_keyless[k] = r.line;
      } else if (r.value) {
        v[k].values.push_back(*r.value);
        if (!o.cluster.empty()) clusters[k]->push_back(r.id);
      } else if (v[k].missing++ == 0) {
        v[k].first_missing_line = r.line;
      }
    }
  }
  take_columns(s, std::move(v[0]), std::move(v[1]), "x1", "x2", "line");
  for (std::size_t k = 0; k < 2; ++k) {
    if (*keyless[k] == 0) continue;
    s.notes.append(" ").append(k == 0 ? "x1" : "x2").append(": ").append(std::to_string(*keyless[k]));
    s.notes.append(*keyless[k] == 1 ? " row" : " rows").append(" without a cluster (" + t.header[*form.id] + ") left out");
    s.notes.append(" (first at line ").append(std::to_string(first_keyless[k])).append(")\n");
  }
  return s;
}

// Two columns of one table; with pairs, the rows whose two cells both hold numbers.
TwoSamples two_columns(const SampleSource& o) {
  TwoSamples s;
  TableReader reader(o.table, o.delimiter, o.decimal_comma, o.outcomes);
  const Table& t = reader.table();
  const std::size_t cx = column_of(t, o.sample1), cy = column_of(t, o.sample2);
  if (cx == cy) throw TableError("\"" + o.sample1 + "\" and \"" + o.sample2 + "\" name the same column: compare two columns");
  s.name_x = o.table + ": " + t.header[cx], s.name_y = o.table + ": " + t.header[cy];
  s.label_x = t.header[cx], s.label_y = t.header[cy];
  s.path_x = s.path_y = o.table;
  if (!o.paired) {
    std::vector<ColumnValues> v = column_values(reader, {cx, cy});
    take_columns(s, std::move(v[0]), std::move(v[1]), "x1", "x2", "line");
    return s;
  }
  Pairs pairs;
  while (const std::optional<Row> row = reader.next_row()) {
    const std::optional<double> x = cell_value(t, *row, cx);  // x's cell first
    add_pair(pairs, {true, x}, {true, cell_value(t, *row, cy)});
  }
  take_pairs(s, std::move(pairs), t.header[cx], t.header[cy]);
  return s;
}

}  // namespace

TwoSamples read_two_samples(const SampleSource& source) {
  if (!source.column.empty()) return column_of_each(source);
  if (!source.by.empty()) return groups_of(source);
  return two_columns(source);
}

}  // namespace diffboot::tables
