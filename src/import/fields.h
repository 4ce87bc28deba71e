#pragma once
// The syntaxes of import fields. Each answers whether the token holds a value of its kind and
// never writes a message: the directive that reads the field names it in its own message.

#include <cstdint>
#include <string_view>

#include "toolbox/dates.h"

namespace zi {

// A whole token in decimal notation with an optional sign, within 32 bits.
bool ReadIntegerField(std::string_view token, int32_t& value);
// Empty or "-" is no value (the missing number); otherwise, trimmed of blanks, a decimal number
// with "." as its point and an optional exponent.
bool ReadNumberField(std::string_view token, double& value);
// Empty or "-" is no date (day 0); otherwise "YYYY-MM-DD" or "YYYY.MM.DD", a real date.
bool ReadDateField(std::string_view token, TDayNumber& value);
// A date that identifies a record: "-", empty and 1920-01-01 (day 0, no date) are refused.
bool ReadRequiredDateField(std::string_view token, TDayNumber& value);
// "0" or "1", or a word of one to three letters that starts with Y (yes) or N (no), in any case.
bool ReadYesNoField(std::string_view token, bool& value);

}  // namespace zi
