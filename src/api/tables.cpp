// Tables from files as the program reads them.
#include "diffboot/tables.h"

#include "tables/table.h"
#include "tables/two_samples.h"

namespace diffboot {

TableSamples table_samples(const TableSource& source) {
  tables::SampleSource s;
  s.table = source.path;
  s.sample1 = source.sample1, s.sample2 = source.sample2;
  s.by = source.by, s.value = source.value, s.id = source.id;
  s.decimal_comma = source.decimal_comma;
  s.paired = source.experiment == Experiment::paired;
  try {
    tables::TwoSamples t = tables::read_two_samples(s);
    TableSamples out;
    out.samples.x = std::move(t.x), out.samples.y = std::move(t.y);
    out.samples.labels = {std::move(t.label_x), std::move(t.label_y)};
    out.samples.missing_x = t.missing_x, out.samples.missing_y = t.missing_y;
    out.samples.pairs_dropped = t.pairs_dropped;
    out.samples.notes = std::move(t.notes);
    out.name_x = std::move(t.name_x), out.name_y = std::move(t.name_y);
    out.value_name = std::move(t.value_name);
    return out;
  } catch (const tables::TableError& e) {
    throw Error(e.what());
  }
}

TableCells table_cells(const std::string& path, bool decimal_comma) {
  try {
    tables::TableReader reader(path, std::nullopt, decimal_comma);
    TableCells out{reader.table().header, std::vector<std::vector<std::string>>(reader.table().header.size())};
    while (const std::optional<tables::Row> row = reader.next_row()) {
      for (std::size_t c = 0; c < out.columns.size(); ++c) {
        out.columns[c].emplace_back(c < row->cells.size() ? std::string(tables::without_blanks(row->cells[c])) : std::string());
      }
    }
    return out;
  } catch (const tables::TableError& e) {
    throw Error(e.what());
  }
}

}  // namespace diffboot
