#pragma once
// The two samples of a run taken from tables: two columns of one table, a
// column of each of two tables, or two groups of a table in the long form;
// with pairs, the rows whose two halves both hold numbers.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tables/pairs.h"
#include "tables/table.h"

namespace diffboot::tables {

// Where the two samples stand. With `column`, sample1 and sample2 are two
// tables and `column` their column; with `by`, sample1 and sample2 are two
// groups of `table` (their values in `value`, or the other of two columns,
// paired by `id` when given); else they are two columns of `table`.
struct SampleSource {
  std::string table;
  std::string sample1, sample2;
  std::string column;
  std::string by, value, id;
  std::optional<char> delimiter;  // else guessed
  bool decimal_comma = false;
  bool paired = false;
  bool outcomes = false;  // the cells are 0/1 outcomes (read_cell)
  std::string cluster = {};  // long form, unpaired: the column naming each row's cluster
};

// The two samples and how they are named.
struct TwoSamples {
  std::string name_x, name_y;    // the table and its column or group, such as "t.csv: Ozone"
  std::string label_x, label_y;  // short names: the column, the group, or the table of -c
  std::string value_name;        // the column of the values
  std::string path_x, path_y;    // the tables read for each sample
  std::vector<double> x, y;
  std::int64_t missing_x = 0, missing_y = 0;  // missing cells skipped in each sample
  std::int64_t pairs_dropped = 0;             // pairs left out for a missing half
  // With a cluster column: the cluster cell of each value kept, and the
  // rows left out for an empty or missing one.
  std::vector<std::string> cluster_x, cluster_y;
  std::int64_t no_cluster_x = 0, no_cluster_y = 0;
  std::string notes;  // lines for standard error: missing values skipped, pairs left out
};

// Into `s`: the pairs kept, with what pairing left out said (under the
// names given) and counted.
void take_pairs(TwoSamples& s, Pairs pairs, const std::string& name_x, const std::string& name_y);

// Into `s`: two columns' values, their missing cells said (" x1: 2 missing
// values skipped (first at line 7)", `line_word` naming where) and counted.
void take_columns(TwoSamples& s, ColumnValues x, ColumnValues y, const std::string& name_x, const std::string& name_y,
                  const char* line_word);

// The two samples `source` names. A table that cannot be read throws
// TableReadError; one that cannot be used (a column or group it lacks, a bad
// cell: the first in the table's order), TableError.
TwoSamples read_two_samples(const SampleSource& source);

}  // namespace diffboot::tables
