// The SQLite wrapper: how values are stored and read back, which SQL texts it refuses, the dump.

#include "server/sqlite_db.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "toolbox/numbers.h"

namespace zi::server {
namespace {


class SqliteDbTest : public testing::Test {
 protected:
  void SetUp() override {
    db_->Exec("CREATE TABLE v (id INTEGER PRIMARY KEY, plain, flag BOOLEAN, moment datetime, name TEXT)");
  }
  std::unique_ptr<SqliteDb> db_ = SqliteDb::Open(":memory:");
};

TEST_F(SqliteDbTest, ATextIsPreparedOnceAndItsStatementLentAgain) {
  const uint64_t before = db_->Preparations();
  for (int i = 0; i < 3; ++i) db_->Run("INSERT INTO v (plain) VALUES (?)", {i});
  EXPECT_EQ(db_->Preparations(), before + 1);
  EXPECT_EQ(db_->QueryValue("SELECT count(*) FROM v"), DbValue(int64_t{3})) << "its values were bound afresh each time";
  // While its rows are read, the same text run again gets a statement of its own.
  const char* sql = "SELECT plain FROM v ORDER BY plain";
  {
    Statement outer = db_->Prepare(sql);
    ASSERT_TRUE(outer.Step());
    EXPECT_EQ(db_->Query(sql).rows.size(), 3u);
    ASSERT_TRUE(outer.Step());
    EXPECT_EQ(outer.Column(0), DbValue(int64_t{1}));
  }
  EXPECT_EQ(db_->Preparations(), before + 4);
  EXPECT_EQ(db_->Query(sql).rows.size(), 3u);
  EXPECT_EQ(db_->Preparations(), before + 4);
}

// The same for texts declared once: a statement stays lent while texts declared later are first run
// (the cache grows under it) and the text itself is run again.
TEST_F(SqliteDbTest, ADeclaredTextKeepsItsStatementWhileOthersAreAddedAndRun) {
  const SqlText select("SELECT plain FROM v ORDER BY plain");
  for (int i = 0; i < 3; ++i) db_->Run("INSERT INTO v (plain) VALUES (?)", {i});
  const uint64_t before = db_->Preparations();
  {
    Statement outer = db_->Prepare(select);
    outer.BindAll({});
    ASSERT_TRUE(outer.Step());
    std::vector<std::unique_ptr<SqlText>> later;
    for (int i = 0; i < 100; ++i) {
      later.push_back(std::make_unique<SqlText>("SELECT " + std::to_string(i)));
      EXPECT_EQ(db_->QueryValue(*later.back(), {}), DbValue(int64_t{i}));
    }
    EXPECT_EQ(db_->QueryValue(select, {}), DbValue(int64_t{0})) << "run again while lent: a statement of its own";
    ASSERT_TRUE(outer.Step());
    EXPECT_EQ(outer.Column(0), DbValue(int64_t{1}));
  }
  EXPECT_EQ(db_->Preparations(), before + 102);
  EXPECT_EQ(db_->QueryValue(select, {}), DbValue(int64_t{0}));
  EXPECT_EQ(db_->Preparations(), before + 102) << "given back, the first statement serves again";
}

TEST_F(SqliteDbTest, ValuesAreStoredAsTheirSqliteTypesAndReadBackAsStored) {
  const struct {
    DbValue value;
    const char* storedType;
    DbValue readBack;
  } cases[] = {
      {int64_t{-5}, "integer", int64_t{-5}},
      {2.5, "real", 2.5},
      {kMissing, "null", {}},
      {-kMissing, "null", {}},
      {"A\xE7\xE3o", "text", "A\xE7\xE3o"},
      {"", "text", ""},
      {TBlob{std::string("\0\xFF", 2)}, "blob", TBlob{std::string("\0\xFF", 2)}},
      {TBlob{}, "blob", TBlob{}},
      {true, "integer", int64_t{1}},
      {false, "integer", int64_t{0}},
      {TDateTime{45000.5}, "real", 45000.5},
      {DbValue(), "null", {}},
  };
  for (const auto& c : cases) {
    db_->Run("DELETE FROM v");
    db_->Run("INSERT INTO v (plain) VALUES (?)", {c.value});
    EXPECT_EQ(db_->QueryValue("SELECT typeof(plain) FROM v"), c.storedType) << c.storedType;
    EXPECT_EQ(db_->QueryValue("SELECT plain FROM v"), c.readBack) << c.storedType;
  }
}

TEST_F(SqliteDbTest, ColumnsDeclaredBooleanOrDatetimeReadBackAsSuch) {
  const struct {
    const char* column;
    DbValue value;
    DbValue readBack;
  } cases[] = {
      {"flag", true, true},
      {"flag", false, false},
      {"flag", 1, true},
      {"flag", DbValue(), DbValue()},
      {"flag", "yes", "yes"},
      {"moment", TDateTime{45000.75}, TDateTime{45000.75}},
      {"moment", 45000, TDateTime{45000}},
      {"moment", DbValue(), DbValue()},
      {"moment", "2024-04-10", "2024-04-10"},
  };
  for (const auto& c : cases) {
    db_->Run("DELETE FROM v");
    db_->Run(std::string("INSERT INTO v (") + c.column + ") VALUES (?)", {c.value});
    EXPECT_EQ(db_->QueryValue(std::string("SELECT ") + c.column + " FROM v"), c.readBack) << c.column;
  }
  // An expression has no declared type: its value comes back as stored.
  db_->Run("UPDATE v SET flag = 1");
  EXPECT_EQ(db_->QueryValue("SELECT flag FROM v"), true);
  EXPECT_EQ(db_->QueryValue("SELECT flag + 0 FROM v"), int64_t{1});
}

TEST_F(SqliteDbTest, SqlTextAndNamesCrossAsUtf8) {
  EXPECT_EQ(db_->QueryValue("SELECT hex('\xE7')"), "C3A7");
  EXPECT_THAT(db_->Query("SELECT 1 AS \"a\xE7\"").columns, testing::ElementsAre("a\xE7"));
}

TEST_F(SqliteDbTest, RefusesTextsThatAreNotOneStatementAndMismatchedValues) {
  const struct {
    const char* sql;
    std::vector<DbValue> params;
    const char* message;
  } cases[] = {
      {"SELECT 1; SELECT 2", {}, "the SQL text holds more than one statement"},
      {"SELECT 1; DELETE FROM v", {}, "the SQL text holds more than one statement"},
      {"SELECT 1; SELEC 2", {}, "near \"SELEC\": syntax error"},
      {"", {}, "the SQL text holds no statement"},
      {" -- nothing", {}, "the SQL text holds no statement"},
      {"SELECT ?", {}, "the SQL text has 1 placeholders but 0 values were given"},
      {"SELECT 1", {2}, "the SQL text has 0 placeholders but 1 values were given"},
      {"SELECT missing FROM v", {}, "no such column: missing"},
  };
  for (const auto& c : cases) {
    try {
      db_->Query(c.sql, c.params);
      ADD_FAILURE() << c.sql;
    } catch (const SqliteError& e) {
      EXPECT_EQ(e.GetKind(), ServerError::Kind::Sql);
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  EXPECT_EQ(db_->QueryValue("SELECT 1; -- a comment after the statement"), int64_t{1});
}

TEST(SqliteDbDump, ListsEveryTableAndRowSortedWithValuesAsStored) {
  const auto db = SqliteDb::Open(":memory:");
  db->Exec(R"sql(
    CREATE TABLE b (k INTEGER PRIMARY KEY AUTOINCREMENT, r REAL, t TEXT, x BLOB);
    CREATE TABLE a (n);
    INSERT INTO a VALUES (10), (9), ('b'), (NULL);
  )sql");
  const TBlob bytes{std::string("\0\xFF\x41", 3)};
  db->Run("INSERT INTO b (r, t, x) VALUES (?, ?, ?)", {0.1, "a|b\\c\r\n\x01\x7F", bytes});
  db->Run("INSERT INTO b (r, t, x) VALUES (?, ?, ?)", {-1e300, "A\xE7\xE3o", DbValue()});
  db->Run("INSERT INTO b (r, t, x) VALUES (?, ?, ?)", {3.0, DbValue(), TBlob{}});
  EXPECT_EQ(db->Dump(),
            "[a]\nn=10\nn=9\nn=NULL\nn=b\n"
            "[b]\n"
            "k=1|r=0.10000000000000001|t=a\\|b\\\\c\\r\\n\\x01\\x7F|x=\\x00\\xFFA\n"
            "k=2|r=-1.0000000000000001e+300|t=A\xC3\xA7\xC3\xA3o|x=NULL\n"
            "k=3|r=3|t=NULL|x=\n");
}

TEST(QuoteIdentifier, DoublesQuotes) {
  EXPECT_EQ(QuoteIdentifier("items"), "\"items\"");
  EXPECT_EQ(QuoteIdentifier("a\"b"), "\"a\"\"b\"");
  const auto db = SqliteDb::Open(":memory:");
  db->Exec("CREATE TABLE " + QuoteIdentifier("we\"ird; DROP") + " (x)");
  EXPECT_EQ(db->QueryValue("SELECT name FROM sqlite_schema"), "we\"ird; DROP");
}

}  // namespace
}  // namespace zi::server
