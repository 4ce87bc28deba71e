#pragma once
// Numbers and dates as a user sees and types them: the regional settings' decimal point and date
// order, strict parsing (no blanks inside, no nan/inf/hex, no locale of the C library), and the
// divisor of the windows that show thousands or millions. Every window and the indicators use this
// one module, so that what is shown reads back as the value it shows.

#include <optional>
#include <string>
#include <string_view>

#include "toolbox/dates.h"

namespace zi {

inline constexpr int kMaxShownDecimals = 7;

// value ÷ divisor with `decimals` decimals (0..7, the regional decimal point, no thousands
// separators); with trimZeros the trailing zeros of the fraction go. A missing value shows empty.
std::string ShownNumber(double value, int decimals = kMaxShownDecimals, bool trimZeros = true, double divisor = 1);

struct TTypedNumber {
  enum Kind { Empty, Number, Invalid };
  Kind kind = Empty;
  double value = 0;  // the text's number × divisor, when kind is Number
};

// A number as typed: blanks around it are dropped, thousands separators (the mark that is not the
// decimal point) are dropped, the regional decimal point or "." is the point. A power-of-ten divisor
// shifts the decimal point of the text itself, so "1.1" in thousands is exactly 1100.
TTypedNumber ParseTypedNumber(std::string_view text, double divisor = 1);

// A date in the regional order and separator, the year with four digits.
std::string ShownDate(const TCalendarDate& date);
// Empty for day 0 (no date).
std::string ShownDay(TDayNumber day);

// A date in the regional order, with the regional separator or "/", "-" or "."; a year of one or two
// digits falls at most 20 years after currentYear (0: this year); a year of three digits is refused.
std::optional<TCalendarDate> ParseShownDate(std::string_view text, int currentYear = 0);
// The same as a day number: nullopt also for day 0 and the days without a number.
std::optional<TDayNumber> ParseShownDay(std::string_view text, int currentYear = 0);

}  // namespace zi
