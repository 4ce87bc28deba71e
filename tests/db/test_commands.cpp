#include <gmock/gmock.h>

#include <cmath>
#include <set>

#include "db/db_cache.h"
#include "db_fixture.h"
#include "toolbox/errors.h"
#include "toolbox/numbers.h"
#include "toolbox/own_codes.h"

namespace zi::db::test {
namespace {

using testing::Contains;
using testing::ElementsAre;

TEST_F(DbTest, CacheKeepsEightCommandsAndEvictsSlotZeroThenOne) {
  for (int i = 0; i < 10; ++i) {
    TDataSetHolder ds(*db_, "P" + std::to_string(i));
    ASSERT_TRUE(ds);
    EXPECT_EQ(db_->ExecStProc(*ds, 0), 0);
  }
  EXPECT_EQ(db_->CachedCommandName(0), "P8");
  EXPECT_EQ(db_->CachedCommandName(1), "P9");
  for (int slot = 2; slot < 8; ++slot) EXPECT_EQ(db_->CachedCommandName(slot), "P" + std::to_string(slot));
  EXPECT_EQ(db_->DsAcc(), 0);

  {
    TDataSetHolder reused(*db_, "P5");
    EXPECT_EQ(db_->CachedCommandName(5), "") << "a cached command is taken out of its slot";
    EXPECT_EQ(db_->DsAcc(), 1);
  }
  EXPECT_EQ(db_->CachedCommandName(5), "P5") << "and goes back to the first free slot";
}

TEST_F(DbTest, CachedCommandIsFoundOnlyByItsExactName) {
  auto first = db_->MeDaDS(CommandType::StoredProc, "TestEcho");
  TDbCommand* address = first.get();
  db_->TomaDataSet(first);
  EXPECT_EQ(first, nullptr);
  auto again = db_->MeDaDS(CommandType::StoredProc, "TestEcho");
  EXPECT_EQ(again.get(), address);
  auto otherCase = db_->MeDaDS(CommandType::StoredProc, "testecho");
  ASSERT_NE(otherCase, nullptr);
  EXPECT_NE(otherCase.get(), address);
  db_->TomaDataSet(again);
  db_->TomaDataSet(otherCase);
}

TEST_F(DbTest, LeakedCommandIsReportedWhenTheConnectionGoes) {
  auto leaked = db_->MeDaDS(CommandType::StoredProc, "TestEcho");
  EXPECT_EQ(db_->DsAcc(), 1);
  db_.reset();
  EXPECT_THAT(LogTexts(), Contains("warning DbUtil.FlushCache DsAcc:1"));
}

TEST_F(DbTest, CommandGivenBackToAnotherConnectionIsFreedWithAWarning) {
  auto command = db_->MeDaDS(CommandType::StoredProc, "TestEcho");
  TAdoDataBaseCustomizado other(std::make_unique<EmbeddedDriver>(dir_.File("other.db"), &TestRegistry()), false, "");
  other.TomaDataSet(command);
  EXPECT_EQ(command, nullptr);
  EXPECT_THAT(LogTexts(), Contains("warning TomaDataSet TestEcho db:TAdoDataBaseComInfoTran"));
}

TEST_F(DbTest, UnknownProcedureGivesNoCommand) {
  EXPECT_EQ(db_->MeDaDS(CommandType::StoredProc, "Nope"), nullptr);
  EXPECT_EQ(db_->DsAcc(), 0);
  EXPECT_THAT(LogTexts(), Contains("DbUtil.MeDaDS \"Nope\" error Could not find stored procedure 'Nope'."));
}

// The process-wide connection exists before any login, unconnected: every kind of call answers
// 99020 and logs why, and the process goes on. A login connects that same object; leaving it (or a
// failed login) makes it unconnected again.
TEST_F(DbTest, ProcessWideConnectionAnswersNotConnectedUntilALoginGivesItADriver) {
  const std::string why = "Not connected to the database: no login yet, or the login failed (99020)";
  TAdoDataBaseComInfoTran& zi = ZiDb();
  for (bool afterALogin : {false, true}) {
    SCOPED_TRACE(afterALogin);
    EXPECT_FALSE(HaveZiDb());
    EXPECT_FALSE(zi.Connected());
    EXPECT_EQ(zi.MeDaDS(CommandType::StoredProc, "TestEcho"), nullptr);
    EXPECT_EQ(zi.DsAcc(), 0);
    EXPECT_THAT(LogTexts(), Contains("DbUtil.MeDaDS \"TestEcho\" error " + why));
    {
      TDataSetHolder sql(zi, CommandType::Text, "SELECT 1");
      ASSERT_TRUE(sql);
      EXPECT_EQ(zi.OpenSql(*sql), kNotConnected);
    }
    EXPECT_EQ(zi.IniciaTran(), kNotConnected);
    EXPECT_EQ(zi.ApplyRowChanges("t_items", {}), kNotConnected);
    EXPECT_THAT(LogTexts(), Contains("IniciaTran erro:99020 EDriverError:" + why));

    CreateZiDb(std::make_unique<EmbeddedDriver>(path_, &TestRegistry()));
    EXPECT_EQ(&ZiDb(), &zi);
    EXPECT_TRUE(HaveZiDb());
    EXPECT_FALSE(zi.Connected());
    DestroyZiDb();
  }
}

TEST_F(DbTest, ValuesThatMeanNothingTravelAsNullAndComeBackAsNothing) {
  TDataSetHolder ds(*db_, "TestEcho");
  ds->SetInteger("@a", 7);
  ds->SetFloat("@b", kMissing);
  ds->SetText("@s", "  Ac\xE7\xE3o  ");
  ds->SetDayNumber("@d", TDayNumber{0});
  ds->SetBlob("@blob", "");
  ASSERT_EQ(db_->ExecStProc(*ds, 0), 0);
  EXPECT_EQ(ds->ParamAsInteger("@outA"), 7);
  EXPECT_TRUE(IsMissing(ds->ParamAsFloat("@outB")));
  EXPECT_TRUE(SameValue(ds->ParamAsFloat("@outB"), kMissing));
  EXPECT_EQ(ds->ParamAsText("@outS"), "Ac\xE7\xE3o");
  EXPECT_EQ(ds->ParamAsDateTime("@outD").days, 0);
  EXPECT_EQ(ds->ParamAsDayNumber("@outD").value, 0);
  for (const char* name : {"@b", "@d", "@blob"}) EXPECT_TRUE(ds->ParamValue(name).IsNull()) << name;
}

TEST_F(DbTest, DatesTravelAsDayNumbersAndMoments) {
  TDataSetHolder ds(*db_, "TestEcho");
  TDayNumber day = *DayNumberFromDate({2024, 4, 10});
  ds->SetDayNumber("@d", day);
  ASSERT_EQ(db_->ExecStProc(*ds, 0), 0);
  EXPECT_EQ(ds->ParamAsDayNumber("@outD").value, day.value);

  TMoment moment = *MomentFromDateTime({2024, 4, 10, 13, 45, 7});
  ds->SetMoment("@d", moment);
  ASSERT_EQ(db_->ExecStProc(*ds, 0), 0);
  TCalendarDateTime back = CalendarFromDateTime(ds->ParamAsDateTime("@outD"));
  EXPECT_EQ(FormatStampDateTime(back), "2024/04/10-13:45:07");
  EXPECT_EQ(ds->ParamAsDayNumber("@outD").value, day.value);
}

TEST_F(DbTest, ByteAccessorsRefuseValuesOutOfRange) {
  TDataSetHolder ds(*db_, "TestEcho");
  struct Case {
    int64_t value;
    int byteCode;     // 0 when the value is a byte
    int boundedCode;  // with an upper bound of 100
  } cases[] = {{0, 0, 0}, {100, 0, 0}, {101, 0, 25035}, {255, 0, 25035}, {256, 4017, 25035}, {-1, 4017, 25035}};
  for (const auto& c : cases) {
    ds->SetInteger("@a", c.value);
    ASSERT_EQ(db_->ExecStProc(*ds, 0), 0);
    auto codeOf = [](auto read) {
      try {
        read();
        return 0;
      } catch (const EDBException& e) {
        return e.ErrorCode();
      }
    };
    EXPECT_EQ(codeOf([&] { return ds->ParamAsByte("@outA"); }), c.byteCode) << c.value;
    EXPECT_EQ(codeOf([&] { return ds->ParamAsBoundedByte("@outA", 100); }), c.boundedCode) << c.value;
  }
  EXPECT_THAT(LogTexts(), Contains("@outA.out of range detected. hi:100 vi:101"));
}

TEST_F(DbTest, MissingParameterOrFieldIsADataError) {
  TDataSetHolder ds(*db_, "TestRows");
  EXPECT_THROW(ds->SetInteger("@nope", 1), EDatabaseError);
  EXPECT_THROW(ds->ParamAsInteger("@nope"), EDatabaseError);
  ASSERT_EQ(db_->ExecStProc(*ds, 2), 0);
  EXPECT_THROW(ds->FieldAsInteger("nope"), EDatabaseError);
  EXPECT_EQ(ds->FieldAsInteger("ID"), 1) << "column names ignore case";
}

TEST_F(DbTest, OutputsTogetherWithSeveralResultSets) {
  TDataSetHolder ds(*db_, "TestRows");
  ASSERT_EQ(db_->ExecStProc(*ds, 2), 0);
  EXPECT_EQ(ds->ParamAsInteger("@outCount"), 2);
  std::vector<std::string> names;
  for (; !ds->Eof(); ds->Next()) names.push_back(std::to_string(ds->FieldAsInteger("id")) + ds->FieldAsText("name"));
  EXPECT_THAT(names, ElementsAre("1one", "2two"));
  bool more = false;
  ASSERT_EQ(ds->NextResultSet(more), 0);
  ASSERT_TRUE(more);
  EXPECT_EQ(ds->FieldAsFloat("n"), 3.5);
  EXPECT_EQ(ds->FieldName(0), "n");
  ASSERT_EQ(ds->NextResultSet(more), 0);
  EXPECT_FALSE(more);
  EXPECT_THROW(ds->FieldAsFloat("n"), EDatabaseError);
}

TEST_F(DbTest, FieldConversions) {
  TDataSetHolder ds(*db_, "TestResult");
  struct Case {
    const char* stored;
    int asInteger;
    bool asBoolean;
  } cases[] = {{"42", 42, true}, {"0", 0, false}, {"-7", -7, true}};
  for (const auto& c : cases) {
    ds->SetText("@result", c.stored);
    ASSERT_EQ(db_->ExecStProc(*ds, 2), 0);
    EXPECT_EQ(ds->FieldAsInteger("result"), c.asInteger) << c.stored;
    EXPECT_EQ(ds->FieldAsBoolean("result"), c.asBoolean) << c.stored;
    EXPECT_EQ(ds->FieldAsText("result"), c.stored);
  }
  ds->SetText("@result", "abc");
  ASSERT_EQ(db_->ExecStProc(*ds, 2), 0);
  EXPECT_THROW(ds->FieldAsInteger("result"), EConvertError);
  EXPECT_TRUE(IsMissing(ValueAsFloat(DbValue())));
  EXPECT_EQ(ValueAsText(DbValue()), "");
}

class CountingCache : public tDbCache<std::string> {
 public:
  using tDbCache::tDbCache;
  std::vector<int> loads;
  std::set<int> failing;  // ids whose load fails

 protected:
  std::unique_ptr<std::string> Load(int id) override {
    loads.push_back(id);
    if (failing.contains(id)) return nullptr;
    return std::make_unique<std::string>("item " + std::to_string(id));
  }
};

TEST(DbCache, ReplacesSlotsInTurnOnceFull) {
  CountingCache cache(2);
  EXPECT_EQ(*cache.PegaItem(1), "item 1");
  EXPECT_EQ(*cache.PegaItem(2), "item 2");
  EXPECT_EQ(*cache.PegaItem(1), "item 1");
  cache.PegaItem(3);  // replaces slot 0 (id 1)
  cache.PegaItem(2);
  cache.PegaItem(1);  // replaces slot 1 (id 2)
  cache.PegaItem(3);
  EXPECT_THAT(cache.loads, ElementsAre(1, 2, 3, 1));
  cache.EsqueceItem(3);
  cache.PegaItem(3);
  EXPECT_THAT(cache.loads, ElementsAre(1, 2, 3, 1, 3));
  EXPECT_EQ(cache.PegaItem(0), nullptr);
}

TEST(DbCache, AFailedLoadIsNeitherStoredNorEvictsAnything) {
  CountingCache cache(2);
  cache.failing = {9};
  cache.PegaItem(1);
  cache.PegaItem(2);
  EXPECT_EQ(cache.PegaItem(9), nullptr);
  EXPECT_EQ(cache.PegaItem(9), nullptr) << "asked again, never answered from the failure";
  cache.failing.clear();
  EXPECT_EQ(*cache.PegaItem(9), "item 9");
  EXPECT_EQ(*cache.PegaItem(2), "item 2");
  EXPECT_EQ(*cache.PegaItem(1), "item 1") << "slot 0 was the first one replaced";
  EXPECT_THAT(cache.loads, ElementsAre(1, 2, 9, 9, 9, 1));
}

}  // namespace
}  // namespace zi::db::test
