#include "toolbox/dates.h"

#include <limits>

#include <gtest/gtest.h>

namespace zi {
namespace {

TEST(Dates, IsValidDateFollowsTheGregorianCalendar) {
  const struct {
    TCalendarDate date;
    bool valid;
  } cases[] = {{{2024, 2, 29}, true},  {{2023, 2, 29}, false}, {{2000, 2, 29}, true},  {{1900, 2, 29}, false},
               {{2100, 2, 29}, false}, {{2021, 4, 31}, false}, {{2021, 12, 31}, true}, {{2021, 0, 1}, false},
               {{2021, 13, 1}, false}, {{2021, 1, 0}, false},  {{2021, 1, 32}, false}, {{2021, 257, 1}, false},
               {{2021, -1, 1}, false}, {{0, 1, 1}, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidDate(c.date), c.valid) << c.date.year << "-" << c.date.month << "-" << c.date.day;
  }
}

TEST(Dates, DayNumbersCountFrom1920) {
  const struct {
    TCalendarDate date;
    int number;  // -1: no day number
  } cases[] = {{{1920, 1, 1}, 0},      {{1920, 1, 2}, 1},      {{1920, 3, 1}, 60},    {{1980, 1, 1}, 21915},
               {{2000, 2, 29}, 29279}, {{2024, 4, 10}, 38086}, {{2099, 6, 5}, 65535}, {{2099, 6, 6}, -1},
               {{1919, 12, 31}, -1},   {{2023, 2, 29}, -1},    {{2021, 257, 1}, -1}};
  for (const auto& c : cases) {
    const std::optional<TDayNumber> number = DayNumberFromDate(c.date);
    if (c.number < 0) {
      EXPECT_FALSE(number.has_value()) << c.date.year << "-" << c.date.month << "-" << c.date.day;
      continue;
    }
    ASSERT_TRUE(number.has_value()) << c.number;
    EXPECT_EQ(number->value, c.number);
    EXPECT_EQ(DateFromDayNumber(*number), c.date);
  }
}

TEST(Dates, EveryDayNumberIsTheDayAfterThePrevious) {
  TCalendarDate previous = DateFromDayNumber(kNoDate);
  for (int n = 1; n <= std::numeric_limits<uint16_t>::max(); ++n) {
    const TCalendarDate date = DateFromDayNumber(TDayNumber{static_cast<uint16_t>(n)});
    const bool nextDay = date.day == previous.day + 1 && date.month == previous.month && date.year == previous.year;
    const bool nextMonth =
        date.day == 1 && (date.month == previous.month + 1 || (date.month == 1 && previous.month == 12));
    ASSERT_TRUE(nextDay || nextMonth) << n;
    ASSERT_EQ(DayNumberFromDate(date), TDayNumber{static_cast<uint16_t>(n)}) << n;
    previous = date;
  }
}

TEST(Dates, ParseIsoDateTakesOnlyExactRealDates) {
  EXPECT_EQ(ParseIsoDate("2024-02-29"), DayNumberFromDate({2024, 2, 29}));
  EXPECT_EQ(ParseIsoDate("2024.02.29"), DayNumberFromDate({2024, 2, 29}));
  EXPECT_EQ(ParseIsoDate("1920-01-01"), kNoDate);
  for (const char* text : {"", "2024-02.29", "2024.02-29", "2024/02/29", "2024-2-29", "24-02-29", "2024-02-30",
                           " 2024-02-29", "2024-02-29 ", "2024-0a-29", "1919-12-31", "2099-06-06", "+024-02-29",
                           "2024--2-29", "2024-00-10", "20240229"}) {
    EXPECT_FALSE(ParseIsoDate(text).has_value()) << text;
  }
  EXPECT_EQ(FormatIsoDate(*DayNumberFromDate({2007, 3, 9})), "2007-03-09");
}

TEST(Dates, MomentsCountSecondsFrom1980) {
  const struct {
    TCalendarDateTime dateTime;
    int64_t seconds;  // -1: no moment
  } cases[] = {{{1980, 1, 1, 0, 0, 0}, 0},
               {{1980, 1, 1, 0, 0, 1}, 1},
               {{1980, 1, 2, 0, 0, 0}, 86400},
               {{1980, 3, 1, 0, 0, 0}, 60 * 86400},
               {{2024, 4, 10, 13, 45, 7}, 1397223907},
               {{2116, 2, 7, 6, 28, 15}, 4294967295},
               {{2116, 2, 7, 6, 28, 16}, -1},
               {{1979, 12, 31, 23, 59, 59}, -1},
               {{2024, 4, 10, 24, 0, 0}, -1},
               {{2024, 4, 10, 0, 60, 0}, -1},
               {{2024, 4, 10, 0, 0, 60}, -1},
               {{2024, 4, 10, -1, 0, 0}, -1},
               {{2023, 2, 29, 0, 0, 0}, -1}};
  for (const auto& c : cases) {
    const std::optional<TMoment> moment = MomentFromDateTime(c.dateTime);
    if (c.seconds < 0) {
      EXPECT_FALSE(moment.has_value()) << FormatStampDateTime(c.dateTime);
      continue;
    }
    ASSERT_TRUE(moment.has_value()) << c.seconds;
    EXPECT_EQ(moment->value, c.seconds);
    EXPECT_EQ(DateTimeFromMoment(*moment), c.dateTime);
  }
}

TEST(Dates, StampDateTimeIsZeroPadded) {
  EXPECT_EQ(FormatStampDateTime({2024, 4, 10, 9, 5, 3}), "2024/04/10-09:05:03");
  EXPECT_EQ(FormatStampDateTime(DateTimeFromMoment(TMoment{1397223907})), "2024/04/10-13:45:07");
}

TEST(Dates, TwoDigitYearsFallAtMostTwentyYearsAhead) {
  const struct {
    int twoDigits, currentYear;
    std::optional<int> year;
  } cases[] = {{0, 2024, 2000},  {24, 2024, 2024}, {44, 2024, 2044}, {45, 2024, 1945},
               {99, 2024, 1999}, {10, 2090, 2110}, {11, 2090, 2011}, {19, 1999, 2019},
               {20, 1999, 1920}, {-1, 2024, {}},   {100, 2024, {}}};
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandTwoDigitYear(c.twoDigits, c.currentYear), c.year) << c.twoDigits << " in " << c.currentYear;
  }
}

TEST(Dates, FormatDuration) {
  const struct {
    int64_t seconds;
    const char* text;
  } cases[] = {{0, "0"},
               {1, "1\""},
               {60, "1'"},
               {3600, "1h"},
               {3725, "1h2'5\""},
               {-3725, "-1h2'5\""},
               {86400, "1d"},
               {30 * 86400, "1m"},
               {360 * 86400, "1y"},
               {31 * 86400 + 23 * 3600, "1m1d23h"},
               {400 * 86400 + 59, "1y1m10d59\""},
               {std::numeric_limits<int64_t>::max(), "296533308798y20d15h30'7\""},
               {std::numeric_limits<int64_t>::min(), "-296533308798y20d15h30'8\""}};
  for (const auto& c : cases) EXPECT_EQ(FormatDuration(c.seconds), c.text) << c.seconds;
}

}  // namespace
}  // namespace zi
