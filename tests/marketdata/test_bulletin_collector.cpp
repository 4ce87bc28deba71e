// The bulletins of a run: what the check pass counts, which bulletins the finalisation chooses,
// the order of the list, what a full list lets go, and the dump of the list.
#include "marketdata/bulletin_collector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "toolbox/errors.h"
#include "toolbox/log.h"

namespace zi {
namespace {

using testing::ElementsAre;

TDayNumber Day(int dayOfMarch2024) { return *DayNumberFromDate({2024, 3, dayOfMarch2024}); }

class BulletinCollectorTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    // Exchange 1 has 1000 active series of every type; exchange 2's count cannot be read.
    bulletins_.SetActiveSeries([](int exchange, int) -> std::optional<int> {
      if (exchange == 1) return 1000;
      return std::nullopt;
    });
  }
  void TearDown() override { SetLogFileName("zorinput.log"); }

  void Count(int exchange, int type, TDayNumber date, int quotes) {
    for (int i = 0; i < quotes; ++i) bulletins_.CountQuote(exchange, type, date);
  }
  // exchange/type/day:count and F for forced, D for due to count, newest first.
  std::string Listed() const {
    std::string text;
    for (const TBolCot& b : bulletins_.Entries()) {
      text += std::to_string(b.exchange) + "/" + std::to_string(b.type) + "/" + FormatIsoDate(b.date).substr(8) +
              ":" + std::to_string(b.count) + (b.forced ? "F" : "") + (b.dueToCount ? "D" : "") + " ";
    }
    return text;
  }

  test::TempDir dir_;
  TMakeUpBolCot bulletins_;
};

TEST_F(BulletinCollectorTest, SixtyPercentOfTheActiveSeriesOrMoreThanAThousandQuotesMakeABulletin) {
  Count(1, 0, Day(1), 600);  // 60 % of 1000
  Count(1, 1, Day(1), 599);
  Count(2, 0, Day(1), 1000);  // unknown active series: only the count decides
  Count(2, 1, Day(1), 1001);
  EXPECT_TRUE(bulletins_.IsBulletin(1, 0, Day(1)));
  EXPECT_FALSE(bulletins_.IsBulletin(1, 1, Day(1)));
  EXPECT_FALSE(bulletins_.IsBulletin(2, 0, Day(1)));
  EXPECT_TRUE(bulletins_.IsBulletin(2, 1, Day(1)));
  EXPECT_FALSE(bulletins_.IsBulletin(1, 0, Day(2)));
}

TEST_F(BulletinCollectorTest, AtMostFiveByCountNewestFirstAndForcedOnesBeside) {
  for (int day = 1; day <= 7; ++day) Count(2, 0, Day(day), 1001);
  bulletins_.ForceBulletin(2, 3, Day(7));
  bulletins_.ForceBulletin(2, 5, Day(7));  // type 5 is never forced
  bulletins_.ForceBulletin(2, 0, Day(6));
  const std::vector<TBolCot> chosen = bulletins_.Bulletins();
  EXPECT_EQ(Listed(),
            "2/0/07:1001D 2/3/07:0F 2/0/06:1001F 2/0/05:1001D 2/0/04:1001D 2/0/03:1001D 2/0/02:1001D 2/0/01:1001 ");
  EXPECT_EQ(chosen.size(), 7u);
  EXPECT_THROW(bulletins_.CountQuote(2, 0, Day(8)), EZorInputException);
  try {
    bulletins_.ForceBulletin(2, 0, Day(8));
    FAIL() << "forced after the finalisation";
  } catch (const EZorInputException& e) {
    EXPECT_EQ(e.ErrorCode(), kForceAfterFinal);
  }
}

TEST_F(BulletinCollectorTest, ANewEntryGoesAfterThoseOfItsDateAndAFullListLetsTheOldestSmallOneGo) {
  Count(1, 0, Day(2), 1);
  Count(1, 1, Day(3), 1);
  Count(1, 2, Day(2), 1);
  Count(1, 3, Day(1), 1);
  EXPECT_EQ(Listed(), "1/1/03:1 1/0/02:1 1/2/02:1 1/3/01:1 ");
  // 101 entries: a list that full makes room before it takes another.
  for (int type = 0; type <= 10; ++type)
    for (int day = 4; day <= 10; ++day) Count(2, type, Day(day), 100);
  bulletins_.ForceBulletin(2, 11, Day(1));
  Count(2, 11, Day(2), 100);
  for (int day = 1; day <= 18; ++day) Count(3, 0, *DayNumberFromDate({2023, 1, day}), 100);
  ASSERT_EQ(bulletins_.Entries().size(), 101u);
  Count(1, 4, Day(20), 1);  // the oldest not forced with at most 99 quotes goes: 1/3/01
  Count(1, 5, Day(2), 1);   // nothing small is older than day 2: not counted
  Count(1, 6, Day(4), 1);   // the last of day 2 goes: 1/2/02
  EXPECT_EQ(bulletins_.Entries().size(), 101u);
  const std::string listed = Listed();
  EXPECT_THAT(listed, testing::StartsWith("1/4/20:1 "));
  EXPECT_THAT(listed, testing::HasSubstr(" 1/1/03:1 1/0/02:1 2/11/02:100 2/11/01:0F 3/0/18:100 "));
  EXPECT_THAT(listed, testing::HasSubstr(" 1/6/04:1 "));
  for (const char* gone : {"1/3/01", "1/5/02", "1/2/02"}) EXPECT_THAT(listed, testing::Not(testing::HasSubstr(gone)));
}

TEST_F(BulletinCollectorTest, TheDumpListsEveryEntry) {
  Count(1, 0, Day(5), 700);
  bulletins_.ForceBulletin(1, 11, Day(4));
  bulletins_.Bulletins();
  EXPECT_THAT(test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))),
              ElementsAre("Dump MakeUpBolCot Finalizado:Y TMakeUpBolCot.MeDaListaComOsBolCot",
                          "- #0 2024-03-05 bolsa:1 TBGL:L cots:700 forced:N EhDevidoAoCountCot:Y",
                          "- #1 2024-03-04 bolsa:1 TBGL:W cots:0 forced:Y EhDevidoAoCountCot:N"));
}

}  // namespace
}  // namespace zi
