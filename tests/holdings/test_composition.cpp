// Compositions: the item list's operations, the number text, and storage against the embedded
// server, whole or not at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "db/drivers/embedded_driver.h"
#include "holdings/composition.h"
#include "holdings/composition_directive.h"
#include "support/logged_in_database.h"
#include "toolbox/own_codes.h"

namespace zi {
namespace {

using testing::ElementsAre;

TEST(CompNumberText, ElevenSignificantDigitsInPlainOrExponentNotation) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {1e-29, "0"},
      {-1e-29, "0"},
      {100, "100"},
      {-2.5, "-2.5"},
      {1234567.125, "1234567.125"},
      {0.1, "0.1"},
      {1.0 / 3, "0.33333333333"},
      {123456789012.0, "1.2345678901E11"},
      {99999999999.5, "1E11"},
      {12345678901.0, "12345678901"},
      {1e10, "10000000000"},
      {0.000001, "0.000001"},
      {0.0000012345, "0.0000012345"},
      {1.5e-7, "1.5E-7"},
      {-3e20, "-3E20"},
      {1e-28, "1E-28"},
      {std::numeric_limits<double>::quiet_NaN(), "-"},
      {std::numeric_limits<double>::infinity(), "-"},
      {-std::numeric_limits<double>::infinity(), "-"},
  };
  for (const auto& c : cases) EXPECT_EQ(CompNumberText(c.value), c.text) << c.value;
}

TEST(IdShareHolderNoPais, NamesTheIdByCountryAndRefusesWhatDoesNotFit) {
  int32_t id = 0;
  ASSERT_TRUE(IdShareHolderNoPais(17, 9, id));
  EXPECT_EQ(id, 90017);
  ASSERT_TRUE(IdShareHolderNoPais(12345, 9, id));
  EXPECT_EQ(id, 10902345);
  EXPECT_FALSE(IdShareHolderNoPais(2140000000, 9, id));
  EXPECT_FALSE(IdShareHolderNoPais(17, 999999, id));
  EXPECT_FALSE(IdShareHolderNoPais(-5, 0, id));
}

TEST(CompAcionariaItems, SetAddsReplacesAndRemoves) {
  TCompAcionariaItems items;
  items.Set(7, kVoting, true, 10);
  items.Set(7, kVoting, true, 5);
  items.Set(8, kNonVoting, false, 3);
  double value = 0;
  bool unconfirmed = true;
  items.Get(7, kVoting, value, unconfirmed);
  EXPECT_EQ(value, 15);
  EXPECT_FALSE(unconfirmed);
  items.MarkAll(true);
  items.Set(7, kVoting, true, 1);
  items.Get(7, kVoting, value, unconfirmed);
  EXPECT_EQ(value, 16);
  EXPECT_TRUE(unconfirmed) << "adding keeps the mark";
  items.Set(7, kVoting, false, 2);
  items.Get(7, kVoting, value, unconfirmed);
  EXPECT_FALSE(unconfirmed) << "replacing confirms";
  items.Set(7, kVoting, true, kMissing);
  EXPECT_EQ(items.Find(7, kVoting), -1);
  EXPECT_EQ(items.Find(8, kNonVoting), 0) << "the last entry took the removed one's place";
  items.Set(8, kNonVoting, false, 0);
  EXPECT_TRUE(items.Entries().empty());
  items.Get(9, kAllShares, value, unconfirmed);
  EXPECT_EQ(value, 0);
}

TEST(CompAcionariaItems, TotalsSumsAndOrderByTotal) {
  TCompAcionariaItems items;
  items.Set(5, kVoting, false, 1000);
  items.MarkAll(true);
  items.Set(1, kVoting, false, 10);
  items.Set(1, kNonVoting, false, 5);
  items.Set(2, kAllShares, false, 40);
  items.Set(3, kVoting, false, 15);
  items.Set(4, kVoting, false, 15);
  items.Set(4, kAllShares, false, 99);
  EXPECT_EQ(items.ShareholderTotal(1, false), 15) << "no total entry";
  EXPECT_EQ(items.ShareholderTotal(4, false), 99);
  EXPECT_EQ(items.ShareholderTotal(4, true), 15);
  EXPECT_EQ(items.ShareholderTotal(5, true), 0) << "unconfirmed counts as 0";
  EXPECT_EQ(items.Sum(kVoting), 40);
  EXPECT_THAT(items.ShareholdersByTotal(), ElementsAre(4, 2, 1, 3, 5));
  EXPECT_TRUE(items.AnyUnconfirmed());
  EXPECT_TRUE(items.HasConfirmedNumbers());
  items.MarkAll(true);
  EXPECT_FALSE(items.HasConfirmedNumbers());
  items.MarkAll(false);
  items.Set(6, kVoting, false, std::numeric_limits<double>::infinity());
  EXPECT_TRUE(items.Compact());
  EXPECT_EQ(items.Find(6, kVoting), -1);
  EXPECT_FALSE(items.Compact());
}

class CompositionStoreTest : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    Sql("INSERT INTO empresa (id, cod, pais, nome) VALUES (1, 'PETR', 0, 'Petro'), (2, 'VALE', 0, 'Vale')");
    Sql("INSERT INTO Shareholder (id, pais) VALUES (11, 0), (12, 0)");
  }
  static TCompAcionariaRec Header(int32_t emp) {
    TCompAcionariaRec h;
    h.emp = emp;
    h.dtref = *ParseIsoDate("2024-03-31");
    return h;
  }
  std::string Items() {
    const std::vector<server::ResultSet> sets = Server().ExecuteSql(
        "SELECT IdCompAcionaria || ':' || IdShareholder || ':' || vot || ':' || vlr FROM CompAcionariaItem ORDER BY 1");
    std::string rows;
    if (sets.empty()) return rows;
    for (const auto& row : sets[0].rows) rows += row[0].AsText() + " ";
    return rows;
  }
  int64_t Count(const std::string& table) { return SqlValue("SELECT count(*) FROM " + table).AsInteger(); }
};

TEST_F(CompositionStoreTest, AddPutAndReadBackAtFullPrecision) {
  TCompAcionariaRec h = Header(1);
  h.totalcomvoto = 1.0 / 3;
  h.totaltodos = std::numeric_limits<double>::infinity();
  TCompAcionariaItems items;
  items.Set(11, kVoting, false, 1.0 / 3);
  items.Set(12, kNonVoting, false, 5);
  ASSERT_EQ(DbCacAddOuPut(h, items), 0);
  EXPECT_GT(h.id, 0);
  EXPECT_TRUE(SqlValue("SELECT totaltodos FROM CompAcionaria").IsNull()) << "infinite goes as NULL";
  TCompAcionariaRec read;
  ASSERT_EQ(DbCompAcionariaGetPelaEmpData(1, h.dtref, read), 0);
  EXPECT_EQ(read.id, h.id);
  EXPECT_EQ(read.totalcomvoto, 1.0 / 3);
  EXPECT_TRUE(IsMissing(read.totalsemvoto));
  TCompAcionariaItems loaded;
  ASSERT_EQ(loaded.Load(read), 0);
  double value = 0;
  bool unconfirmed = false;
  loaded.Get(11, kVoting, value, unconfirmed);
  EXPECT_EQ(value, 1.0 / 3);
  // A second write at the date replaces the items.
  TCompAcionariaItems other;
  other.Set(12, kVoting, false, 7);
  other.MarkAll(true);
  other.Set(11, kVoting, false, 1);
  TCompAcionariaRec again = Header(1);
  ASSERT_EQ(DbCacAddOuPut(again, other), 0);
  EXPECT_EQ(again.id, h.id);
  EXPECT_EQ(Count("CompAcionaria"), 1);
  EXPECT_EQ(Items(), std::to_string(h.id) + ":11:1:1.0 ") << "unconfirmed entries are not written";
  EXPECT_FALSE(SqlValue("SELECT dtrtf FROM CompAcionaria").IsNull());
  std::vector<TCompAcionariaRec> all;
  ASSERT_EQ(DbCompAcionariaDaEmp(1, all), 0);
  ASSERT_EQ(all.size(), 1u);
  ASSERT_EQ(DbCompAcionariaDel(h.id), 0);
  EXPECT_EQ(Count("CompAcionariaItem"), 0);
  EXPECT_EQ(DbCompAcionariaGetPelaEmpData(1, h.dtref, read), kCompositionNotFound);
}

TEST_F(CompositionStoreTest, AnAnalystWhoIsNoAdministratorWritesAndReplacesCompositions) {
  ASSERT_GT(Server().AddUser({.name = "bia"}, "pw"), 0);
  LogIn("bia", "pw");
  TCompAcionariaItems items;
  items.Set(11, kVoting, false, 2);
  TCompAcionariaRec h = Header(1);
  ASSERT_EQ(DbCacAddOuPut(h, items), 0);
  items.Set(11, kVoting, false, 3);
  TCompAcionariaRec again = Header(1);
  ASSERT_EQ(DbCacAddOuPut(again, items), 0);
  EXPECT_EQ(Items(), std::to_string(h.id) + ":11:1:3.0 ");
}

TEST_F(CompositionStoreTest, LoadGivesTotalsOnlyWhenNeitherItemsNorHeaderHaveThem) {
  TCompAcionariaRec h = Header(1);
  TCompAcionariaItems items;
  items.Set(11, kVoting, false, 10);
  items.Set(11, kNonVoting, false, 5);
  items.Set(12, kNonVoting, false, 1);
  ASSERT_EQ(DbCompAcionariaAdd(h, items), 0);
  TCompAcionariaItems loaded;
  ASSERT_EQ(loaded.Load(h), 0);
  double total = 0;
  bool unconfirmed = false;
  loaded.Get(11, kAllShares, total, unconfirmed);
  EXPECT_EQ(total, 15);
  h.totaltodos = 100;
  ASSERT_EQ(loaded.Load(h), 0);
  EXPECT_EQ(loaded.Find(11, kAllShares), -1) << "the header has grand totals";
}

// Every call of a write fails in turn: the stored composition stays as it was.
TEST_F(CompositionStoreTest, AFailedCallAnywhereLeavesTheStoredCompositionAsItWas) {
  TCompAcionariaRec h = Header(1);
  TCompAcionariaItems items;
  items.Set(11, kVoting, false, 10);
  ASSERT_EQ(DbCacAddOuPut(h, items), 0);
  const std::string before = Items();
  TCompAcionariaItems replacement;
  replacement.Set(12, kVoting, false, 20);
  replacement.Set(11, kNonVoting, false, 30);
  int failing = 1;
  for (;; ++failing) {
    Driver().InjectFaults({.failCall = failing});
    TCompAcionariaRec again = Header(1);
    TCompAcionariaItems copy;
    copy.Assign(replacement);
    const int code = DbCacAddOuPut(again, copy);
    Driver().InjectFaults({});
    if (code == 0) break;
    EXPECT_EQ(Items(), before) << "call " << failing;
    EXPECT_EQ(Count("CompAcionaria"), 1);
  }
  EXPECT_GE(failing, 4) << "the lookup, the header, the delete and the insert";
  EXPECT_NE(Items(), before);
}

TEST_F(CompositionStoreTest, AnEmptyCompositionWritesTheHeaderAndNoItems) {
  TCompAcionariaRec h = Header(2);
  TCompAcionariaItems items;
  items.Set(11, kVoting, false, 10);
  items.MarkAll(true);
  ASSERT_EQ(DbCompAcionariaAdd(h, items), 0);
  EXPECT_EQ(Count("CompAcionaria"), 1);
  EXPECT_EQ(Count("CompAcionariaItem"), 0);
  TCompAcionariaRec other = Header(2);
  EXPECT_EQ(DbCompAcionariaAdd(other, items), kAnswerCompositionDateTaken);
}

}  // namespace
}  // namespace zi
