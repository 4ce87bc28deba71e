// The ODBC driver: what it asks of ODBC (through a recording double), and what it does against a
// real ODBC driver (SQLite's, the one this machine has; no SQL Server is reachable from the tests).

#include <gmock/gmock.h>

#include <cmath>

#include "db/batch_row_set.h"
#include "db/connection.h"
#include "db/drivers/odbc_driver.h"
#include "recording_odbc.h"
#include "support/test_files.h"
#include "toolbox/dates.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"

namespace zi::db::test {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;

ConnectionSettings ServerSettings() { return {"odbc", "db.example", "ZorInput", "ana", "pw", "", ""}; }

std::string WhatOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDriverError& e) {
    return e.what();
  }
  return "(nothing raised)";
}

TEST(OdbcConnectionString, CarriesTheLoginAndEnclosesValuesThatCouldAddKeywords) {
  ConnectionSettings s = ServerSettings();
  EXPECT_EQ(OdbcConnectionString(s),
            "Driver={FreeTDS};Server=db.example;Database=ZorInput;APP=ZorInput;UID=ana;PWD=pw;ClientCharset=CP1252;");
  s.password = "p;w}x=";
  s.odbcDriver = "{ODBC Driver 18 for SQL Server}";
  s.odbcOptions = "Port=1433;ClientCharset=UTF-8;";
  EXPECT_EQ(OdbcConnectionString(s),
            "Driver={ODBC Driver 18 for SQL Server};Server=db.example;Database=ZorInput;APP=ZorInput;UID=ana;"
            "PWD={p;w}}x=};Port=1433;ClientCharset=UTF-8;");
  s.user.clear();
  EXPECT_THAT(OdbcConnectionString(s), HasSubstr(";APP=ZorInput;Trusted_Connection=Yes;Port="));
}

class OdbcCalls : public testing::Test {
 protected:
  void SetUp() override {
    api_.procedures["GetX"] = {{"@RETURN_VALUE", SQL_RETURN_VALUE, SQL_INTEGER, 10},
                               {"@id", SQL_PARAM_INPUT, SQL_INTEGER, 10},
                               {"@nome", SQL_PARAM_INPUT_OUTPUT, SQL_VARCHAR, 50},
                               {"@quando", SQL_PARAM_OUTPUT, SQL_TYPE_TIMESTAMP, 23},
                               {"result col", SQL_RESULT_COL, SQL_INTEGER, 10}};
    driver_.Open();
  }

  static std::vector<CallParam> Params(const PreparedProcedure& procedure) {
    std::vector<CallParam> params;
    for (const ParamDesc& desc : procedure.Params()) params.push_back({desc, DbValue()});
    return params;
  }

  RecordingOdbc api_;
  OdbcDriver driver_{ServerSettings(), api_};
};

TEST_F(OdbcCalls, AProcedureIsCalledByNameAndItsOutputsAreReadAfterItsLastResult) {
  api_.answers.push_back({{FakeSet{{{"id", SQL_INTEGER}, {"nome", SQL_WVARCHAR}}, {{1, "Jo\xE3o"}, {2, DbValue()}}},
                           FakeSet{}, FakeSet{{{"n", SQL_DOUBLE}}, {{2.5}}}},
                          {{1, 7}, {3, "Maria"}, {4, DbValue()}},
                          {}});
  const std::unique_ptr<PreparedProcedure> prepared = driver_.PrepareProcedure("GetX");
  std::vector<CallParam> params = Params(*prepared);
  params[1].value = 42;
  params[2].value = "Jos\xE9";
  const std::unique_ptr<DriverResult> result = driver_.ExecutePrepared(*prepared, params);

  EXPECT_EQ(api_.texts.back(), "{? = call GetX(?, ?, ?)}");
  std::vector<std::tuple<std::string, SQLSMALLINT, SQLSMALLINT, SQLULEN>> bound;
  for (const auto& [number, b] : api_.bindings) bound.emplace_back(b.name, b.io, b.sqlType, b.size);
  EXPECT_THAT(bound, ElementsAre(std::make_tuple("", SQL_PARAM_OUTPUT, SQL_INTEGER, 10),
                                 std::make_tuple("@id", SQL_PARAM_INPUT, SQL_INTEGER, 10),
                                 std::make_tuple("@nome", SQL_PARAM_INPUT_OUTPUT, SQL_VARCHAR, 50),
                                 std::make_tuple("@quando", SQL_PARAM_OUTPUT, SQL_TYPE_TIMESTAMP, 23)));
  EXPECT_EQ(result->Outputs(), (std::map<std::string, DbValue>{
                                   {"@RETURN_VALUE", DbValue(int64_t{7})}, {"@nome", "Maria"}, {"@quando", DbValue()}}));
  ResultSetData set;
  ASSERT_TRUE(result->NextResultSet(set));
  EXPECT_THAT(set.columns, ElementsAre("id", "nome"));
  EXPECT_EQ(set.rows, (std::vector<std::vector<DbValue>>{{int64_t{1}, "Jo\xE3o"}, {int64_t{2}, DbValue()}}));
  ASSERT_TRUE(result->NextResultSet(set)) << "a count of rows is no result set";
  EXPECT_EQ(set.rows, (std::vector<std::vector<DbValue>>{{2.5}}));
  EXPECT_FALSE(result->NextResultSet(set));
}

// A dry run's levels: savepoints named by their depth, since SQL Server releases none.
TEST_F(OdbcCalls, LevelsAreSavepointsNamedByTheirDepth) {
  EXPECT_THROW(driver_.BeginLevel(), EDriverError) << "no transaction is open";
  api_.answers.resize(5, FakeAnswer{{}, {}, {}});
  driver_.Begin();
  driver_.BeginLevel();
  driver_.BeginLevel();
  driver_.CommitLevel();
  driver_.BeginLevel();
  driver_.RollbackLevel();
  driver_.RollbackLevel();
  EXPECT_THROW(driver_.RollbackLevel(), EDriverError);
  driver_.Rollback();
  EXPECT_THAT(api_.texts, ElementsAre("SAVE TRANSACTION zi_level_1", "SAVE TRANSACTION zi_level_2",
                                      "SAVE TRANSACTION zi_level_2", "ROLLBACK TRANSACTION zi_level_2",
                                      "ROLLBACK TRANSACTION zi_level_1"));
}

TEST_F(OdbcCalls, AProcedureIsDescribedOnceAndAnUnknownOneIsNamed) {
  api_.answers.resize(2, FakeAnswer{{}, {{1, 0}}, {}});
  driver_.ExecuteProcedure("GetX", {{"@id", 1}});
  driver_.ExecuteProcedure("GetX", {{"@id", 2}});
  EXPECT_EQ(std::count(api_.calls.begin(), api_.calls.end(), "ProcedureColumns GetX"), 1);
  EXPECT_EQ(WhatOf([&] { driver_.DescribeProcedure("Missing_One"); }),
            "Procedure Missing_One was not found on the server");
  EXPECT_EQ(WhatOf([&] { driver_.DescribeProcedure("x;drop"); }), "\"x;drop\" is not a procedure name");
}

TEST_F(OdbcCalls, FailuresAreToldApartByTheirStateAndKeepTheServersNumber) {
  struct Case {
    FakeDiagnostic diagnostic;
    DriverFailure failure;
  } cases[] = {{{"23000", 2601, "Cannot insert duplicate key row in object 'dbo.t'"}, DriverFailure::Constraint},
               {{"08S01", 0, "Communication link failure"}, DriverFailure::ConnectionLost},
               {{"HYT00", 0, "Timeout expired"}, DriverFailure::ConnectionLost},
               {{"22018", 0, "Invalid character value for a cast"}, DriverFailure::WrongType},
               {{"42000", 50000, "Raised by the procedure"}, DriverFailure::Other},
               {{"HY000", 1222, "Lock request time out period exceeded."}, DriverFailure::Busy}};
  for (const Case& c : cases) {
    api_.answers.push_back({{}, {}, {c.diagnostic}});
    try {
      driver_.ExecuteSql("DELETE FROM t", {});
      ADD_FAILURE() << c.diagnostic.state;
    } catch (const EDriverError& e) {
      EXPECT_EQ(e.ConnectionLost(), c.failure == DriverFailure::ConnectionLost) << c.diagnostic.state;
      EXPECT_EQ(e.WrongType(), c.failure == DriverFailure::WrongType) << c.diagnostic.state;
      EXPECT_EQ(IsConstraintError(e), c.failure == DriverFailure::Constraint) << c.diagnostic.state;
      EXPECT_EQ(e.Busy(), c.failure == DriverFailure::Busy) << c.diagnostic.state;
      EXPECT_EQ(e.ErrorCode(), c.failure == DriverFailure::Busy ? kDatabaseBusy : 0)
          << "the server's number is for the log, not the call's code";
    }
  }
  EXPECT_EQ(WhatOf([&] {
              api_.answers.push_back({{}, {}, {cases[0].diagnostic, cases[4].diagnostic}});
              driver_.ExecuteSql("DELETE FROM t", {});
            }),
            "SQL: [23000] Cannot insert duplicate key row in object 'dbo.t' (native 2601); [42000] Raised by the "
            "procedure (native 50000)");
}

TEST_F(OdbcCalls, ResultsThatTheProgramCannotHoldAreRefused) {
  api_.answers.push_back({{FakeSet{{{"nome", SQL_WVARCHAR}}, {{"\x01"}}}}, {}, {}});
  EXPECT_EQ(WhatOf([&] { driver_.ExecuteSql("SELECT nome FROM t", {}); }),
            "The result column \"nome\" holds text that Windows-1252 cannot hold");
  api_.answers.push_back({{FakeSet{{{"g", SQL_GUID}}, {{"x"}}}}, {}, {}});
  EXPECT_EQ(WhatOf([&] { driver_.ExecuteSql("SELECT g FROM t", {}); }),
            "A result column \"g\" is of SQL type -11, which this program does not read");
}

TEST(OdbcThroughTheConnection, AWrongTypeIs3542AndALostConnectionIsProbedReopenedAndRunAgain) {
  zi::test::TempDir dir;
  SetLogFileName(dir.File("zorinput.log"));
  RecordingOdbc api;
  api.procedures["GetX"] = {{"@RETURN_VALUE", SQL_RETURN_VALUE, SQL_INTEGER, 10}, {"@id", SQL_PARAM_INPUT, SQL_INTEGER, 10}};
  {
    TAdoDataBaseComInfoTran db(std::make_unique<OdbcDriver>(ServerSettings(), api));
    api.answers.push_back({{FakeSet{{{"", SQL_WVARCHAR}}, {{"Microsoft SQL Server 2019 (RTM)"}}}}, {}, {}});
    db.Open();
    api.answers.push_back({{}, {}, {{"22018", 0, "Invalid character value for a cast"}}});
    TDataSetHolder ds(db, "GetX");
    ASSERT_TRUE(ds);
    ds->SetInteger("@id", 1);
    EXPECT_EQ(db.ExecStProc(*ds, 0), 3542);

    api.answers.push_back({{}, {}, {{"08S01", 0, "Communication link failure"}}});
    api.answers.push_back({{}, {}, {{"08S01", 0, "Communication link failure"}}});
    api.answers.push_back({{}, {{1, 0}}, {}});
    EXPECT_EQ(db.ExecStProc(*ds, 0), 0);
  }
  EXPECT_THAT(api.texts, ElementsAre("SELECT @@VERSION", "{? = call GetX(?)}", "{? = call GetX(?)}", "exec sp_server_info 1",
                                     "{? = call GetX(?)}"));
  EXPECT_EQ(std::count(api.calls.begin(), api.calls.end(), "DriverConnect"), 2);
  const std::vector<std::string> log = zi::test::WithoutStamps(zi::test::ReadLines(dir.File("zorinput.log")));
  EXPECT_THAT(log, Contains("ExecStProc GetX CRS:0 error:3542 Procedure GetX: [22018] Invalid character value for "
                            "a cast"));
  SetLogFileName("zorinput.log");
}

// Against SQLite's ODBC driver: SQL texts, transactions, NULLs, dates, text bytes and row changes.
class OdbcSqlite : public testing::Test {
 protected:
  void SetUp() override {
    driver_.Open();
    driver_.ExecuteSql("CREATE TABLE t (id INTEGER PRIMARY KEY, n DOUBLE, s VARCHAR(50), d TIMESTAMP, b BLOB)", {});
  }
  std::vector<std::vector<DbValue>> Rows(const std::string& sql) {
    ResultSetData set;
    if (!driver_.ExecuteSql(sql, {})->NextResultSet(set)) return {};
    return set.rows;
  }

  zi::test::TempDir dir_;
  OdbcDriver driver_{{"odbc", "", dir_.File("odbc.db"), "", "", "SQLite3", ""}};
};

TEST_F(OdbcSqlite, ValuesTravelAsParametersAndComeBackAsTheyWent) {
  const TDateTime moment = DateTimeFromCalendar({2024, 4, 10, 13, 45, 30});
  const std::string text = "S\xE3o Paulo \"quoted\" ';--";
  driver_.ExecuteSql("INSERT INTO t VALUES (?, ?, ?, ?, ?)",
                     {int64_t{1}, 2.5, text, moment, TBlob{std::string("\0\x01\xFF", 3)}});
  driver_.ExecuteSql("INSERT INTO t VALUES (?, ?, ?, ?, ?)",
                     {int64_t{2}, std::nan(""), DbValue(), DbValue(), DbValue()});
  EXPECT_EQ(Rows("SELECT id, n, s, d, b FROM t ORDER BY id"),
            (std::vector<std::vector<DbValue>>{{int64_t{1}, 2.5, text, moment, TBlob{std::string("\0\x01\xFF", 3)}},
                                               {int64_t{2}, DbValue(), DbValue(), DbValue(), DbValue()}}));
}

TEST_F(OdbcSqlite, ATransactionIsKeptOrUndoneWhole) {
  driver_.Begin();
  EXPECT_TRUE(driver_.InTransaction());
  driver_.ExecuteSql("INSERT INTO t (id) VALUES (1)", {});
  driver_.Rollback();
  EXPECT_FALSE(driver_.InTransaction());
  driver_.Begin();
  driver_.ExecuteSql("INSERT INTO t (id) VALUES (2)", {});
  driver_.Commit();
  EXPECT_EQ(Rows("SELECT id FROM t"), (std::vector<std::vector<DbValue>>{{int64_t{2}}}));
}

TEST_F(OdbcSqlite, RowChangesGoAsOneBatchThatAMissingRowUndoes) {
  using Kind = RowChange::Kind;
  driver_.ApplyRowChanges("t", {{Kind::Insert, {}, {{"id", int64_t{1}}, {"s", "a"}}},
                                {Kind::Insert, {}, {{"id", int64_t{2}}, {"s", DbValue()}}},
                                {Kind::Update, {{"s", DbValue()}}, {{"n", 1.5}}}});
  const std::vector<RowChange> failing = {{Kind::Delete, {{"id", int64_t{1}}}, {}},
                                          {Kind::Update, {{"id", int64_t{9}}}, {{"s", "x"}}}};
  EXPECT_EQ(WhatOf([&] { driver_.ApplyRowChanges("t", failing); }), "row not found in t");
  EXPECT_EQ(Rows("SELECT id, n, s FROM t ORDER BY id"),
            (std::vector<std::vector<DbValue>>{{int64_t{1}, DbValue(), "a"}, {int64_t{2}, 1.5, DbValue()}}));
  EXPECT_EQ(WhatOf([&] { driver_.ApplyRowChanges("t]; DROP TABLE t; --", {{Kind::Insert, {}, {}}}); }),
            "\"t]; DROP TABLE t; --\" is not a name of a table or column");
}

TEST(OdbcOpen, AnUnknownOdbcDriverIsNamedInTheError) {
  OdbcDriver driver({"odbc", "db.example", "ZorInput", "ana", "pw", "No Such Driver", ""});
  const std::string what = WhatOf([&] { driver.Open(); });
  EXPECT_THAT(what, HasSubstr("ODBC could not connect to db.example database ZorInput with driver No Such Driver: [01000] "
                              "[unixODBC][Driver Manager]Can't open lib 'No Such Driver'"));
  EXPECT_FALSE(driver.Connected());
}

TEST(OdbcOpen, ARefusedLoginAnswers18456) {
  RecordingOdbc api;
  api.connectError = {{"28000", 18456, "Login failed for user 'ana'."}};
  OdbcDriver driver(ServerSettings(), api);
  try {
    driver.Open();
    ADD_FAILURE() << "opened";
  } catch (const EDriverError& e) {
    EXPECT_EQ(e.ErrorCode(), 18456);
    EXPECT_THAT(e.what(), HasSubstr("[28000] Login failed for user 'ana'. (native 18456)"));
  }
  EXPECT_FALSE(driver.Connected());
}

}  // namespace
}  // namespace zi::db::test
