#include "toolbox/dates.h"

#include <array>
#include <cmath>
#include <chrono>
#include <limits>

#include <fmt/format.h>

namespace zi {

namespace {

using std::chrono::sys_days;

constexpr int64_t kSecondsPerMinute = 60;
constexpr int64_t kSecondsPerHour = 60 * kSecondsPerMinute;
constexpr int64_t kSecondsPerDay = 24 * kSecondsPerHour;

constexpr sys_days kFirstDayNumberDate = std::chrono::year{1920} / std::chrono::January / 1;
constexpr sys_days kFirstMomentDate = std::chrono::year{1980} / std::chrono::January / 1;
constexpr sys_days kDateTimeOrigin = std::chrono::year{1899} / std::chrono::December / 30;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Callers validate first: chrono's constructors silently truncate out-of-range fields.
sys_days ToSysDays(const TCalendarDate& date) {
  return sys_days{std::chrono::year{date.year} / std::chrono::month{static_cast<unsigned>(date.month)} /
                  std::chrono::day{static_cast<unsigned>(date.day)}};
}

TCalendarDate FromSysDays(sys_days days) {
  const std::chrono::year_month_day ymd{days};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

bool IsValidTimeOfDay(const TCalendarDateTime& t) {
  return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

// Digits of text[first, first + count); -1 when any is not a digit.
int DigitsValue(std::string_view text, size_t first, size_t count) {
  int value = 0;
  for (size_t i = first; i < first + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

bool IsValidDate(const TCalendarDate& date) {
  return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 && date.day >= 1 &&
         date.day <= DaysInMonth(date.year, date.month);
}

std::optional<TDayNumber> DayNumberFromDate(const TCalendarDate& date) {
  if (!IsValidDate(date)) return std::nullopt;
  const auto days = (ToSysDays(date) - kFirstDayNumberDate).count();
  if (days < 0 || days > std::numeric_limits<uint16_t>::max()) return std::nullopt;
  return TDayNumber{static_cast<uint16_t>(days)};
}

TCalendarDate DateFromDayNumber(TDayNumber day) {
  return FromSysDays(kFirstDayNumberDate + std::chrono::days{day.value});
}

std::optional<TDayNumber> ParseIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != text[7] || (text[4] != '-' && text[4] != '.')) return std::nullopt;
  const TCalendarDate date{DigitsValue(text, 0, 4), DigitsValue(text, 5, 2), DigitsValue(text, 8, 2)};
  return DayNumberFromDate(date);
}

std::string FormatIsoDate(TDayNumber day) {
  const TCalendarDate date = DateFromDayNumber(day);
  return fmt::format("{:04}-{:02}-{:02}", date.year, date.month, date.day);
}

std::optional<TMoment> MomentFromDateTime(const TCalendarDateTime& dateTime) {
  const TCalendarDate date{dateTime.year, dateTime.month, dateTime.day};
  if (!IsValidDate(date) || !IsValidTimeOfDay(dateTime)) return std::nullopt;
  const int64_t seconds = (ToSysDays(date) - kFirstMomentDate).count() * kSecondsPerDay +
                          dateTime.hour * kSecondsPerHour + dateTime.minute * kSecondsPerMinute + dateTime.second;
  if (seconds < 0 || seconds > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  return TMoment{static_cast<uint32_t>(seconds)};
}

TCalendarDateTime DateTimeFromMoment(TMoment moment) {
  const int64_t seconds = moment.value;
  const TCalendarDate date = FromSysDays(kFirstMomentDate + std::chrono::days{seconds / kSecondsPerDay});
  const int64_t secondOfDay = seconds % kSecondsPerDay;
  return {date.year,
          date.month,
          date.day,
          static_cast<int>(secondOfDay / kSecondsPerHour),
          static_cast<int>(secondOfDay % kSecondsPerHour / kSecondsPerMinute),
          static_cast<int>(secondOfDay % kSecondsPerMinute)};
}

std::string FormatStampDateTime(const TCalendarDateTime& t) {
  return fmt::format("{:04}/{:02}/{:02}-{:02}:{:02}:{:02}", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

std::optional<int> ExpandTwoDigitYear(int twoDigitYear, int currentYear) {
  if (twoDigitYear < 0 || twoDigitYear > 99) return std::nullopt;
  int year = currentYear - currentYear % 100 + twoDigitYear;
  if (year > currentYear + 20) year -= 100;
  if (year <= currentYear - 80) year += 100;
  return year;
}

std::string FormatDuration(int64_t seconds) {
  if (seconds == 0) return "0";
  struct TUnit {
    uint64_t seconds;
    const char* suffix;
  };
  constexpr std::array<TUnit, 6> kUnits = {{
      {360 * kSecondsPerDay, "y"},
      {30 * kSecondsPerDay, "m"},
      {kSecondsPerDay, "d"},
      {kSecondsPerHour, "h"},
      {kSecondsPerMinute, "'"},
      {1, "\""},
  }};
  std::string text = seconds < 0 ? "-" : "";
  // Unsigned, so that the most negative value has a magnitude too.
  uint64_t rest = seconds < 0 ? 0 - static_cast<uint64_t>(seconds) : static_cast<uint64_t>(seconds);
  for (const TUnit& unit : kUnits) {
    const uint64_t count = rest / unit.seconds;
    rest %= unit.seconds;
    if (count != 0) text += fmt::format("{}{}", count, unit.suffix);
  }
  return text;
}

TCalendarDateTime CalendarFromDateTime(TDateTime value) {
  auto seconds = static_cast<int64_t>(std::llround(value.days * kSecondsPerDay));
  int64_t days = seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  int64_t rest = seconds - days * kSecondsPerDay;
  TCalendarDate date = FromSysDays(kDateTimeOrigin + std::chrono::days{days});
  return {date.year, date.month, date.day, static_cast<int>(rest / kSecondsPerHour),
          static_cast<int>(rest % kSecondsPerHour / kSecondsPerMinute), static_cast<int>(rest % kSecondsPerMinute)};
}

TDateTime DateTimeFromCalendar(const TCalendarDateTime& value) {
  auto days = (ToSysDays({value.year, value.month, value.day}) - kDateTimeOrigin).count();
  double seconds = static_cast<double>(value.hour * kSecondsPerHour + value.minute * kSecondsPerMinute + value.second);
  return TDateTime{static_cast<double>(days) + seconds / kSecondsPerDay};
}

}  // namespace zi
