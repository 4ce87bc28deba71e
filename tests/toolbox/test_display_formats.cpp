// Numbers and dates as users see and type them, under two regional settings.

#include <gtest/gtest.h>

#include "toolbox/display_formats.h"
#include "toolbox/lifecycle.h"
#include "toolbox/numbers.h"

namespace zi {
namespace {

class DisplayFormats : public testing::Test {
 protected:
  void SetUp() override { saved_ = Regional(); }
  void TearDown() override { SetRegional(saved_); }
  static void UseComma() { SetRegional({.decimalSeparator = ',', .dateSeparator = '.', .shortDateFormat = "dd.MM.yyyy"}); }
  static void UsePoint() { SetRegional({.decimalSeparator = '.', .dateSeparator = '/', .shortDateFormat = "MM/dd/yyyy"}); }

  RegionalSettings saved_;
};

TEST_F(DisplayFormats, NumbersShowWithTheRegionalPointAndTheirDecimals) {
  UsePoint();
  EXPECT_EQ(ShownNumber(1234.5), "1234.5");
  EXPECT_EQ(ShownNumber(1234.5, 2, false), "1234.50");
  EXPECT_EQ(ShownNumber(1234567, 1, false, 1000), "1234.6");
  EXPECT_EQ(ShownNumber(-0.00001, 2, false), "0.00");
  EXPECT_EQ(ShownNumber(-0.00000001), "0");
  EXPECT_EQ(ShownNumber(-0.00001), "-0.00001");
  EXPECT_EQ(ShownNumber(kMissing), "");
  EXPECT_EQ(ShownNumber(0.12345678912), "0.1234568");
  UseComma();
  EXPECT_EQ(ShownNumber(1234.5), "1234,5");
}

TEST_F(DisplayFormats, TypedNumbersAreStrict) {
  UsePoint();
  EXPECT_EQ(ParseTypedNumber("  ").kind, TTypedNumber::Empty);
  for (const char* bad : {"nan", "inf", "-inf", "0x10", "1e400", "12a", "1 2", "--1", "."})
    EXPECT_EQ(ParseTypedNumber(bad).kind, TTypedNumber::Invalid) << bad;
  EXPECT_EQ(ParseTypedNumber(" 1,234.5 ").value, 1234.5);
  UseComma();
  EXPECT_EQ(ParseTypedNumber("1.234,5").value, 1234.5);
  EXPECT_EQ(ParseTypedNumber("1234.5").value, 12345);
}

TEST_F(DisplayFormats, TypedTimesTheDivisorReadsBackAsShown) {
  UsePoint();
  for (const double divisor : {1.0, 1000.0, 1000000.0}) {
    for (const char* typed : {"1.1", "0.3", "123456.789", "-2.05", "0.0000001"}) {
      const TTypedNumber number = ParseTypedNumber(typed, divisor);
      ASSERT_EQ(number.kind, TTypedNumber::Number) << typed;
      EXPECT_EQ(ShownNumber(number.value, 7, true, divisor), typed) << typed << " / " << divisor;
    }
  }
  EXPECT_EQ(ParseTypedNumber("1.1", 1000).value, 1100);
  EXPECT_EQ(ParseTypedNumber("0.3", 1000000).value, 300000);
  EXPECT_EQ(ParseTypedNumber("2", 3).value, 6);
}

TEST_F(DisplayFormats, DatesFollowTheRegionalOrder) {
  UsePoint();
  EXPECT_EQ(ShownDate({2024, 4, 8}), "04/08/2024");
  EXPECT_EQ(ParseShownDate("04/08/2024"), (TCalendarDate{2024, 4, 8}));
  EXPECT_EQ(ParseShownDate("4-8-2024"), (TCalendarDate{2024, 4, 8}));
  UseComma();
  EXPECT_EQ(ShownDate({2024, 4, 8}), "08.04.2024");
  EXPECT_EQ(ParseShownDate("08.04.2024"), (TCalendarDate{2024, 4, 8}));
  EXPECT_EQ(ShownDay(kNoDate), "");
  for (const char* bad : {"", "31.02.2024", "1.1", "1.1.1.2024", "01.13.2024", "aa.01.2024", "01.01.202", "1..2024"})
    EXPECT_FALSE(ParseShownDate(bad)) << bad;
}

TEST_F(DisplayFormats, TwoDigitYearsFallAtMostTwentyYearsAhead) {
  UseComma();
  EXPECT_EQ(ParseShownDate("01.02.46", 2026)->year, 2046);
  EXPECT_EQ(ParseShownDate("01.02.47", 2026)->year, 1947);
  EXPECT_EQ(ParseShownDate("01.02.5", 2026)->year, 2005);
}

TEST_F(DisplayFormats, DaysWithoutANumberAreNoDays) {
  UseComma();
  EXPECT_FALSE(ParseShownDay("01.01.1920"));
  EXPECT_FALSE(ParseShownDay("01.01.2100"));
  ASSERT_TRUE(ParseShownDay("02.01.1920"));
  EXPECT_EQ(ParseShownDay("02.01.1920")->value, 1);
  EXPECT_EQ(ShownDay(*ParseShownDay("29.02.2024")), "29.02.2024");
}

}  // namespace
}  // namespace zi
