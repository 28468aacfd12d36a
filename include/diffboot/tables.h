#pragma once
// Tables read from files by the program's rules (its --table, --by, --id
// and --decimal-comma): the delimiter guessed from the header line, R's row
// names, quoting, decimal commas, missing cells; the same stops with the
// same messages. A door that holds a file, not a frame, reads it with these.
#include <string>
#include <vector>

#include "diffboot/diffboot.h"
#include "diffboot/frames.h"

namespace diffboot {

// Where two samples stand in the table at `path`: with `by`, the rows of
// the groups `sample1` and `sample2` of the column `by`, their values in
// `value` (needed unless the table has two columns), paired by `id` when
// given; else the columns `sample1` and `sample2` (names, or numbers from 1).
struct TableSource {
  std::string path;
  std::string sample1, sample2;
  std::string by, value, id;
  Experiment experiment = Experiment::unpaired;
  bool decimal_comma = false;  // a comma in a cell is a decimal point (always with semicolons)
};

// The two samples with what was left out, and their names as the program's
// csv and json give them ("t.csv: feed = linseed").
struct TableSamples {
  FrameSamples samples;
  std::string name_x, name_y;
  std::string value_name;  // the column of the values, for figures
};

// Throws Error with the program's message when the table cannot be read or used.
TableSamples table_samples(const TableSource& source);

// A table's header and its cells as text, a column at a time (row names left
// out), for choosing columns and groups; a table that cannot be read throws
// Error with the program's message.
struct TableCells {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> columns;
};
TableCells table_cells(const std::string& path, bool decimal_comma = false);

}  // namespace diffboot
