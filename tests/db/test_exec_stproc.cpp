#include <gmock/gmock.h>

#include "db/sql_errors.h"
#include "db_fixture.h"
#include "toolbox/message_box.h"
#include "toolbox/own_codes.h"

namespace zi::db::test {
namespace {

using testing::Contains;
using testing::HasSubstr;
using testing::Not;

TEST_F(DbTest, ReturnValueIsTheCodeWithoutAnExceptionLogged) {
  TDataSetHolder ds(*db_, "TestReturns");
  ds->SetInteger("@code", 7125);
  EXPECT_EQ(db_->ExecStProc(*ds, 0), 7125);
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(DbTest, ExecStProcIdNeedsAnIdParameter) {
  TDataSetHolder ds(*db_, "TestEcho");
  EXPECT_THROW(db_->ExecStProcId(*ds, 5, 0), EDatabaseError);
}

TEST_F(DbTest, ModeOneTakesTheCodeFromTheResultColumn) {
  struct Case {
    const char* procedure;
    const char* result;  // nullptr: no row
    int code;
  } cases[] = {{"TestResult", "0", 0},        {"TestResult", "15258", 15258}, {"TestResult", "abc", 4370},
               {"TestResult", nullptr, 4091}, {"TestNoResultColumn", "", 4090}};
  for (const auto& c : cases) {
    TDataSetHolder ds(*db_, c.procedure);
    if (std::string(c.procedure) == "TestResult") {
      if (c.result) ds->SetText("@result", c.result);
      else ds->ClearParam("@result");
    }
    EXPECT_EQ(db_->ExecStProc(*ds, 1), c.code) << c.procedure << " " << (c.result ? c.result : "no row");
  }
  EXPECT_THAT(LogTexts(), Contains("GRAESP TestResult error:4370 EConvertError 'abc' is not a valid integer value"));
}

TEST_F(DbTest, CallsThatCannotRunGetTheirCodes) {
  TDataSetHolder ds(*db_, "TestResult");
  ds->SetText("@result", "0");
  ASSERT_EQ(db_->ExecStProc(*ds, 1), 0);
  EXPECT_EQ(db_->ExecStProc(*ds, 1), 4097) << "already open";
  EXPECT_EQ(db_->ExecStProc(*ds, 7), 4089);

  TDataSetHolder sql(*db_, CommandType::Text, "SELECT 1 AS result");
  EXPECT_EQ(db_->ExecStProc(*sql, 0), 3940);
  EXPECT_EQ(db_->OpenSql(*sql), 0);
  EXPECT_EQ(sql->FieldAsInteger("result"), 1);
  EXPECT_THAT(LogTexts(), Contains("ExStProc erro:4097 TestResult"));
  EXPECT_THAT(LogTexts(), Contains("ExecStProc erro:4089 EDBException:EDBException:4089"));
}

// A command that cannot be made because the database is busy says so; any other failure leaves the
// caller's own code.
TEST_F(DbTest, ACommandThatCannotBeMadeCarriesItsReason) {
  driver_->InjectFaults({.failCall = 1, .failAsBusy = true});
  {
    TDataSetHolder ds(*db_, "TestReturns");
    ASSERT_FALSE(ds);
    EXPECT_EQ(ds.Failure(3939), kDatabaseBusy);
  }
  driver_->InjectFaults({.failCall = 1});
  {
    TDataSetHolder ds(*db_, "TestEcho");
    ASSERT_FALSE(ds);
    EXPECT_EQ(ds.Failure(3939), 3939);
  }
  driver_->InjectFaults({});
  TDataSetHolder ds(*db_, "TestReturns");
  ASSERT_TRUE(ds);
  EXPECT_EQ(ds.Failure(3939), 3939);
}

TEST_F(DbTest, SqlTextBindsItsValues) {
  TDataSetHolder sql(*db_, CommandType::Text, "SELECT ? || ? AS joined");
  sql->SetSqlParams({DbValue("a'; DROP TABLE t_items; --"), DbValue("b")});
  ASSERT_EQ(db_->OpenSql(*sql), 0);
  EXPECT_EQ(sql->FieldAsRawText("joined"), "a'; DROP TABLE t_items; --b");
  TDataSetHolder bad(*db_, CommandType::Text, "SELEC nonsense");
  EXPECT_EQ(db_->OpenSql(*bad), 3939);
}

TEST_F(DbTest, ARefusalOfTheServerReachesTheCallerWithItsCode) {
  ASSERT_GT(driver_->Server()->AddUser({.name = "reader"}, "pw"), 0);
  auto driver = std::make_unique<EmbeddedDriver>(path_, &TestRegistry());
  driver->SetCredentials("reader", "pw");
  TAdoDataBaseCustomizado reader(std::move(driver), false, "");
  reader.Open();
  TDataSetHolder sql(reader, CommandType::Text, "SELECT name FROM users");
  EXPECT_EQ(reader.OpenSql(*sql), kAnswerAdministratorOnly);
  EXPECT_THAT(LogTexts(), Contains(HasSubstr("OpenSql erro:99105 EDriverError:Only an administrator may run this SQL "
                                             "text: ")));
}

TEST_F(DbTest, WrongParameterTypeIs3542AndIsNotRetried) {
  TDataSetHolder ds(*db_, "TestEcho");
  ds->SetText("@a", "not a number");
  EXPECT_EQ(db_->ExecStProc(*ds, 0), 3542);
  EXPECT_THAT(LogTexts(), Contains("ExecStProc TestEcho CRS:0 error:3542 Application uses a value of the wrong type "
                                   "for the current operation"));
  EXPECT_THAT(LogTexts(), Not(Contains(HasSubstr("TentaReconectar"))));
}

TEST_F(DbTest, SlowCallIsLoggedWithEveryParameter) {
  int64_t now = 0;
  db_->SetClock([&] { return now += 6000; });
  TDataSetHolder ds(*db_, "TestEcho");
  ds->SetInteger("@a", 12);
  ds->SetFloat("@b", 2.5);
  ds->SetText("@s", "x");
  ds->ClearParam("@d");
  ds->SetBlob("@blob", "abcd");
  ASSERT_EQ(db_->ExecStProc(*ds, 0), 0);
  EXPECT_THAT(LogTexts(), testing::ElementsAre("- proc TestEcho ct:3 : ExecStProc succeeded but took too long: 6.00s",
                                               "- #0 @RETURN_VALUE : 0", "- #1 @a : 12", "- #2 @b : 2.5", "- #3 @s : x",
                                               "- #4 @d : NULL", "- #5 @blob : Blob:4bytes", "- #6 @outA : 12",
                                               "- #7 @outB : 2.5", "- #8 @outS : x", "- #9 @outD : NULL"));
}

TEST_F(DbTest, TheReturnValueIsFoundByItsDirectionWhateverTheServerVersion) {
  for (const char* version : {"Microsoft SQL Server 2008 (SP3)", "Microsoft SQL Server  7.00 - 7.00.1063",
                              "a server this program has never heard of"}) {
    db_->FlushCache();
    driver_->Server()->SetVersionTextForTests(version);
    db_->DetectaVersaoDoServidor();
    TDataSetHolder ds(*db_, "TestReturns");
    ds->SetInteger("@code", 8601);
    EXPECT_EQ(db_->ExecStProc(*ds, 0), 8601) << version;
  }
}

TEST(SqlErrorText, KnownCodesInTheExplainedRangesHaveTexts) {
  EXPECT_EQ(SqlErrorText(7125), "Password expired error:7125");
  EXPECT_EQ(SqlErrorText(15276),
            "Insuficient permission to change 'include financial statements even if it is a foreign company' "
            "error:15276");
  EXPECT_EQ(SqlErrorText(40001),
            "Financial statement with a currency different from the one indicated for the company error:40001");
  for (int code : {3000, 9000, 12, 25035, 0, -1, 99000}) EXPECT_EQ(SqlErrorText(code), "error:" + std::to_string(code));
  EXPECT_EQ(SqlErrorText(99002), "This database provider is not available in this build error:99002");
}

TEST_F(DbTest, SqlErrorBoxShowsTheCodeTextAndTheLastLogLines) {
  std::string caption, text;
  SetErrorBoxHandler([&](const std::string& c, const std::string& t) {
    caption = c;
    text = t;
  });
  for (int i = 1; i <= 20; ++i) Loga("line " + std::to_string(i));
  ShowSqlErrorTxt("ObjEmpPut", 8601);
  ShowSqlErrorTxt("nothing", 0);
  SetErrorBoxHandler(nullptr);

  EXPECT_EQ(caption, "SQL error 8601 on ObjEmpPut");
  EXPECT_EQ(LogTexts().back(),
            "ShowSqlErrorTxt error:8601 \"You don't have authority over this country error:8601\" \"SQL error 8601 on "
            "ObjEmpPut\"");
  auto lines = zi::test::ReadLines(dir_.File("zorinput.log"));
  std::string expected = "You don't have authority over this country error:8601";
  for (size_t i = lines.size() - 15; i < lines.size(); ++i) expected += "\r\n- " + lines[i];
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace zi::db::test
