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

namespace {

// TRUE, FALSE, yes or no in any letter case: 1 or 0.
std::optional<double> outcome_word(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  if (lower == "true" || lower == "yes") return 1.0;
  if (lower == "false" || lower == "no") return 0.0;
  return std::nullopt;
}

}  // namespace

CellReading read_cell(std::string_view cell, bool decimal_comma, bool outcomes) {
  std::string_view text = without_blanks(cell);
  if (text.empty() || numbers::is_missing_value(text)) return {};
  if (outcomes) {
    if (const std::optional<double> word = outcome_word(text)) return {word, nullptr};
    const CellReading number = read_cell(cell, decimal_comma, false);
    if (number.value && *number.value != 0.0 && *number.value != 1.0) return {std::nullopt, "not 0 or 1 (--proportions)"};
    return number;
  }
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
