#pragma once
// Dates as they travel between client, server and files: 16-bit day numbers, 32-bit moments in
// local time, ISO dates of import files, two-digit years and durations in the log.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "toolbox/db_value.h"

namespace zi {

struct TCalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const TCalendarDate&, const TCalendarDate&) = default;
};

struct TCalendarDateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const TCalendarDateTime&, const TCalendarDateTime&) = default;
};

// Gregorian calendar, years 1 to 9999.
bool IsValidDate(const TCalendarDate& date);

// Days since 1920-01-01. Day 0 doubles as "no date". Sixteen bits reach 2099-06-05, the last day
// that has a number, although the server's range names 2099 as its last year.
struct TDayNumber {
  uint16_t value = 0;
  constexpr bool IsNoDate() const { return value == 0; }
  friend constexpr auto operator<=>(TDayNumber, TDayNumber) = default;
};

inline constexpr TDayNumber kNoDate{};

// nullopt for an impossible date or one outside 1920-01-01 .. 2099-06-05.
std::optional<TDayNumber> DayNumberFromDate(const TCalendarDate& date);
TCalendarDate DateFromDayNumber(TDayNumber day);

// Exactly "YYYY-MM-DD" or "YYYY.MM.DD", a real date with a day number.
std::optional<TDayNumber> ParseIsoDate(std::string_view text);
// "YYYY-MM-DD"; day 0 gives 1920-01-01, so callers show "no date" their own way.
std::string FormatIsoDate(TDayNumber day);

// Seconds since 1980-01-01 00:00 in local time, with no time-zone arithmetic: local time is what
// it counts. 0 means none. Unsigned 32 bits reach 2116-02-07 06:28:15.
struct TMoment {
  uint32_t value = 0;
  constexpr bool IsNone() const { return value == 0; }
  friend constexpr auto operator<=>(TMoment, TMoment) = default;
};

// nullopt for an impossible date or time, or one outside the range of a moment.
std::optional<TMoment> MomentFromDateTime(const TCalendarDateTime& dateTime);
TCalendarDateTime DateTimeFromMoment(TMoment moment);

// "YYYY/MM/DD-hh:mm:ss", the date and time of a log stamp.
std::string FormatStampDateTime(const TCalendarDateTime& dateTime);

// A database date-time split into calendar fields (to the second), and back.
TCalendarDateTime CalendarFromDateTime(TDateTime value);
TDateTime DateTimeFromCalendar(const TCalendarDateTime& value);

// The year ending in twoDigitYear (0 to 99) that falls at most 20 years after currentYear and less
// than 80 years before it; nullopt when twoDigitYear is not 0 to 99.
std::optional<int> ExpandTwoDigitYear(int twoDigitYear, int currentYear);

// "0"; else an optional "-" and the non-zero parts among years (360 days) "y", months (30 days)
// "m", days "d", hours "h", minutes "'" and seconds '"': 3725 gives 1h2'5".
std::string FormatDuration(int64_t seconds);

}  // namespace zi
