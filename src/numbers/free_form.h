#pragma once
// Free-form reading of one real number from one record: the value is the run
// of characters up to the next blank, comma, slash or end of record.
#include <optional>
#include <string>
#include <string_view>

namespace diffboot::numbers {

enum class FreeForm {
  value,      // a valid number was found
  no_value,   // a comma or slash stands where the value would be (null value)
  invalid,    // the characters found are not a valid value
  blank,      // the record holds nothing but blanks
};

struct FreeFormField {
  FreeForm kind;
  double value = 0.0;      // set for FreeForm::value
  std::string_view text;   // the characters taken as the value
};

// Examines `record` for the first free-form value. With `tab_is_blank` a tab
// separates like a blank (tabs expand to at least one blank).
FreeFormField parse_free_form(std::string_view record, bool tab_is_blank);

// The text strtod sees for a free-form value: the exponent letters D and Q
// become E, and an exponent given as a bare sign and digits ("1.5+3") gets
// its E. Empty when `token` is not a valid value: an optional sign, digits
// with at most one decimal point (one digit at least), an optional exponent.
std::optional<std::string> strtod_text(std::string_view token);

// The double nearest to a valid value; empty when `token` is not a valid
// value or lies beyond the largest double (overflow).
std::optional<double> convert_real(std::string_view token);

// Whether `item` marks a missing value: NA, NaN or null, in any letter case.
bool is_missing_value(std::string_view item);

}  // namespace diffboot::numbers
