// Cells read as sample values and named in messages: what tables read from
// files and frames handed over by the doors share (no file is read here).
#include <algorithm>
#include <string>

#include "numbers/free_form.h"
#include "tables/table.h"

namespace diffboot::tables {

std::string shortened(std::string_view cell) {
  return cell.size() <= 60 ? std::string(cell) : std::string(cell.substr(0, 60)) + "...";
}

std::string name_list(const std::vector<std::string>& names) {
  std::string out;
  for (std::size_t k = 0; k < names.size() && k < 20; ++k) out += (k == 0 ? "" : ", ") + shortened(names[k]);
  if (names.size() > 20) out += ", ...";
  return out;
}

std::string_view without_blanks(std::string_view cell) {
  const auto first = cell.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return cell.substr(first, cell.find_last_not_of(" \t") - first + 1);
}

CellReading read_cell(std::string_view cell, bool decimal_comma) {
  std::string_view text = without_blanks(cell);
  if (text.empty() || numbers::is_missing_value(text)) return {};
  std::string decimal_point;
  if (decimal_comma && text.find(',') != std::string_view::npos) {
    decimal_point.assign(text);
    std::replace(decimal_point.begin(), decimal_point.end(), ',', '.');
    text = decimal_point;
  }
  const numbers::FreeFormField field = numbers::parse_free_form(text, true);
  if (field.kind != numbers::FreeForm::value || field.text.size() != text.size()) {
    return {std::nullopt, numbers::strtod_text(text).has_value() ? "out of range (beyond the largest double)"
                                                                  : "not a number"};
  }
  return {field.value, nullptr};
}

}  // namespace diffboot::tables
