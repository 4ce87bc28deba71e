// Procedures as a client calls them: declaration, parameter checks, outputs, result sets, and
// failures that leave nothing written.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "server/server.h"
#include "server_support.h"
#include "toolbox/numbers.h"
#include "toolbox/text.h"

namespace zi::server::test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

int Nothing(ProcContext&) { return 0; }

TEST(Registry, DeclaresEachProcedureOnceWhateverTheCase) {
  Registry registry;
  registry.Add({"ObjEmpAddV3", ProcAccess::Writes, {{"@id", DbType::Integer}}, Nothing});
  registry.Add({"EnumMoeda", ProcAccess::Reads, {}, Nothing});
  EXPECT_THROW(registry.Add({"ObjEmpAddV3", ProcAccess::Writes, {}, Nothing}), std::logic_error);
  EXPECT_THROW(registry.Add({"OBJEMPADDV3", ProcAccess::Writes, {}, Nothing}), std::logic_error);
  EXPECT_THAT(registry.Names(), ElementsAre("EnumMoeda", "ObjEmpAddV3"));
  ASSERT_NE(registry.Find("objempaddv3"), nullptr);
  EXPECT_EQ(registry.Find("objempaddv3")->name, "ObjEmpAddV3");
  EXPECT_EQ(registry.Find("ObjEmpAdd"), nullptr);
}

TEST(Registry, RefusesBadDeclarations) {
  const ProcedureDecl bad[] = {
      {"NoHandler", ProcAccess::Reads, {}, nullptr},
      {"NoAt", ProcAccess::Reads, {{"id", DbType::Integer}}, Nothing},
      {"NullType", ProcAccess::Reads, {{"@id", DbType::Null}}, Nothing},
      {"OwnReturn", ProcAccess::Reads, {{"@RETURN_VALUE", DbType::Integer, ParamDirection::ReturnValue}}, Nothing},
      {"Twice", ProcAccess::Reads, {{"@id", DbType::Integer}, {"@ID", DbType::Text}}, Nothing},
  };
  for (const auto& decl : bad) {
    Registry registry;
    EXPECT_THROW(registry.Add(decl), std::logic_error) << decl.name;
    EXPECT_TRUE(registry.Names().empty()) << decl.name;
  }
}

TEST_F(ServerTest, CallsThatTheServerRefusesSayWhy) {
  const struct {
    const char* procedure;
    std::map<std::string, DbValue> inputs;
    ServerError::Kind kind;
    const char* message;
  } cases[] = {
      {"NoSuchProc", {}, ServerError::Kind::UnknownProcedure, "Could not find stored procedure 'NoSuchProc'."},
      {"TestPut", {{"@name", "a"}, {"@x", 1}}, ServerError::Kind::UnknownParameter,
       "Procedure TestPut has no parameter named @x."},
      {"testput", {{"name", "a"}}, ServerError::Kind::UnknownParameter,
       "Procedure TestPut has no parameter named name."},
      {"TestPut", {{"@name", 5}}, ServerError::Kind::WrongType, kWrongTypeMessage},
      {"TestPut", {{"@name", "a"}, {"@amount", "2.5"}}, ServerError::Kind::WrongType, kWrongTypeMessage},
      {"TestPut", {{"@name", "a"}, {"@fail", 1.0}}, ServerError::Kind::WrongType, kWrongTypeMessage},
  };
  const std::string before = server_->Dump();
  for (const auto& c : cases) {
    try {
      server_->Execute(c.procedure, c.inputs);
      ADD_FAILURE() << c.message;
    } catch (const ServerError& e) {
      EXPECT_EQ(e.GetKind(), c.kind) << c.message;
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  EXPECT_EQ(server_->Dump(), before);
}

TEST_F(ServerTest, EachDeclaredTypeAcceptsItsOwnValuesAndNoOthers) {
  const DbValue refused = TBlob{"refused"};
  const struct {
    const char* param;
    DbValue sent;
    DbValue seen;
  } cases[] = {
      {"@i", int64_t{-7}, int64_t{-7}},
      {"@i", 7.0, refused},
      {"@i", true, refused},
      {"@i", "7", refused},
      {"@f", 2.5, 2.5},
      {"@f", 3, 3.0},
      {"@f", TDateTime{2.5}, refused},
      {"@T", "A\xE7\xE3o", "A\xE7\xE3o"},
      {"@t", TBlob{"x"}, refused},
      {"@b", TBlob{std::string("\0\xFF", 2)}, TBlob{std::string("\0\xFF", 2)}},
      {"@b", "bytes", TBlob{"bytes"}},
      {"@bo", false, false},
      {"@bo", 1, true},
      {"@bo", 0, false},
      {"@bo", 2, refused},
      {"@bo", "1", refused},
      {"@d", TDateTime{45000.25}, TDateTime{45000.25}},
      {"@d", 45000.25, refused},
      {"@d", 45000, refused},
      {"@d", DbValue(), DbValue()},
  };
  for (const auto& c : cases) {
    const std::string out = "@o" + LowerAscii(c.param + 1);
    if (c.seen == refused) {
      EXPECT_THROW(server_->Execute("TestEcho", {{c.param, c.sent}}), ServerError) << c.param;
      continue;
    }
    const ProcedureResult result = server_->Execute("TestEcho", {{c.param, c.sent}});
    EXPECT_EQ(result.outputs.at(out), c.seen) << c.param;
    EXPECT_EQ(result.outputs.size(), 6u);  // the outputs it did not set are NULL
  }
}

TEST_F(ServerTest, OutputsAndSeveralResultSets) {
  for (const auto& [name, amount] : {std::pair{"b", 2.0}, {"a", 1.0}, {"c", 3.0}}) {
    ASSERT_EQ(server_->Execute("TestPut", {{"@name", name}, {"@amount", amount}}).returnValue, 0);
  }
  const ProcedureResult result = server_->Execute("TestSets", {{"@min", 2}, {"@note", "kept"}});
  EXPECT_EQ(result.returnValue, 0);
  const std::map<std::string, DbValue> outputs{{"@count", int64_t{3}}, {"@note", "kept"}, {"@unset", {}}};
  EXPECT_EQ(result.outputs, outputs);
  ASSERT_EQ(result.resultSets.size(), 2u);
  EXPECT_THAT(result.resultSets[0].columns, ElementsAre("name", "amount"));
  EXPECT_EQ(result.resultSets[0].rows, (std::vector<std::vector<DbValue>>{{"b", 2.0}, {"c", 3.0}}));
  EXPECT_THAT(result.resultSets[1].columns, ElementsAre("result"));
  EXPECT_EQ(result.resultSets[1].rows, (std::vector<std::vector<DbValue>>{{7}}));
}

TEST_F(ServerTest, AFailingProcedureLeavesNothingWritten) {
  ASSERT_EQ(server_->Execute("TestPut", {{"@name", "kept"}}).returnValue, 0);
  // Alone, inside a transaction, or as the first call of a level (the level stays open).
  enum class Where { Alone, InTransaction, InLevel };
  const struct {
    Where where;
    std::map<std::string, DbValue> inputs;
    const char* raised;  // null: the procedure returns its error code
  } cases[] = {
      {Where::Alone, {{"@name", "x"}, {"@fail", 7125}}, nullptr},
      {Where::Alone, {{"@name", "x"}, {"@fail", -1}}, "TestPut gave up"},
      {Where::Alone, {{"@name", "kept"}}, "UNIQUE constraint failed: items.name"},
      {Where::InTransaction, {{"@name", "x"}, {"@fail", 7125}}, nullptr},
      {Where::InTransaction, {{"@name", "x"}, {"@fail", -1}}, "TestPut gave up"},
      {Where::InTransaction, {{"@name", "kept"}}, "UNIQUE constraint failed: items.name"},
      {Where::InLevel, {{"@name", "x"}, {"@fail", 7125}}, nullptr},
      {Where::InLevel, {{"@name", "x"}, {"@fail", -1}}, "TestPut gave up"},
      {Where::InLevel, {{"@name", "kept"}}, "UNIQUE constraint failed: items.name"},
  };
  for (const auto& c : cases) {
    const std::string why = std::string(c.raised ? c.raised : "returns 7125") + " where " +
                            std::to_string(static_cast<int>(c.where));
    const std::string before = server_->Dump();
    if (c.where != Where::Alone) server_->Begin();
    if (c.where == Where::InLevel) server_->BeginLevel();
    if (c.raised) {
      try {
        server_->Execute("TestPut", c.inputs);
        ADD_FAILURE() << why;
      } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), c.raised);
      }
    } else {
      EXPECT_EQ(server_->Execute("TestPut", c.inputs).returnValue, 7125) << why;
    }
    EXPECT_EQ(server_->InTransaction(), c.where != Where::Alone) << why;
    if (c.where == Where::InLevel) server_->CommitLevel();
    if (c.where != Where::Alone) server_->Commit();
    EXPECT_EQ(server_->Dump(), before) << why;
  }
}

TEST_F(ServerTest, AFailedCallInsideATransactionKeepsTheTransactionsEarlierWork) {
  server_->Begin();
  ASSERT_EQ(server_->Execute("TestPut", {{"@name", "first"}}).returnValue, 0);
  EXPECT_EQ(server_->Execute("TestPut", {{"@name", "second"}, {"@fail", 5}}).returnValue, 5);
  // In a level, a failed call undoes itself alone, and the level can still be undone whole.
  server_->BeginLevel();
  ASSERT_EQ(server_->Execute("TestPut", {{"@name", "third"}}).returnValue, 0);
  EXPECT_EQ(server_->Execute("TestPut", {{"@name", "fourth"}, {"@fail", 5}}).returnValue, 5);
  server_->CommitLevel();
  server_->BeginLevel();
  ASSERT_EQ(server_->Execute("TestPut", {{"@name", "fifth"}}).returnValue, 0);
  server_->RollbackLevel();
  server_->Commit();
  EXPECT_EQ(Value("SELECT group_concat(name) FROM items"), "first,third");
}

TEST_F(ServerTest, AProcedureDeclaredAsReadingCannotWrite) {
  for (const bool inTransaction : {false, true}) {
    if (inTransaction) server_->Begin();
    try {
      server_->Execute("TestReadThatWrites", {});
      ADD_FAILURE() << inTransaction;
    } catch (const ServerError& e) {
      EXPECT_STREQ(e.what(), "attempt to write a readonly database") << inTransaction;
    }
    EXPECT_EQ(server_->InTransaction(), inTransaction);
    EXPECT_EQ(server_->Execute("TestPut", {{"@name", inTransaction ? "inside" : "outside"}}).returnValue, 0);
    if (inTransaction) server_->Commit();
  }
  EXPECT_EQ(Value("SELECT group_concat(name, '+') FROM (SELECT name FROM items ORDER BY name)"), "inside+outside");
}

TEST_F(ServerTest, AProcedureThatMisusesItsOutputsIsAProgrammingError) {
  for (const int how : {1, 2, 3}) {
    EXPECT_THROW(server_->Execute("TestMisuse", {{"@how", how}}), std::logic_error) << how;
    EXPECT_FALSE(server_->InTransaction()) << how;
  }
  EXPECT_EQ(server_->Execute("TestMisuse", {{"@how", 4}}).outputs.at("@out"), int64_t{1});
}

TEST_F(ServerTest, MissingNumbersAreStoredAsNull) {
  ASSERT_EQ(server_->Execute("TestPut", {{"@name", "nan"}, {"@amount", kMissing}}).returnValue, 0);
  EXPECT_EQ(Value("SELECT typeof(amount) FROM items WHERE name = 'nan'"), "null");
  EXPECT_THAT(server_->Dump(), HasSubstr("[items]\nid=1|name=nan|amount=NULL\n"));
}

TEST_F(ServerTest, TextIsStoredAsUtf8AndReadBackAsWindows1252) {
  ASSERT_EQ(server_->Execute("TestPut", {{"@name", "A\xE7\xE3o \x80"}}).returnValue, 0);
  EXPECT_EQ(Value("SELECT hex(name) FROM items"), "41C3A7C3A36F20E282AC");
  EXPECT_EQ(Value("SELECT name FROM items"), "A\xE7\xE3o \x80");
  EXPECT_EQ(Value("SELECT id FROM items WHERE name = ?", {"A\xE7\xE3o \x80"}), int64_t{1});
  // Text written by others may hold characters that Windows-1252 lacks, or bytes that are no UTF-8.
  EXPECT_EQ(Value("SELECT char(0x4E2D) || 'x' || CAST(X'FF' AS TEXT)"), "?x?");
}

TEST_F(ServerTest, DescribeNamesTheReturnValueAsTheServerVersionDoes) {
  const struct {
    const char* version;
    const char* returnValue;
  } cases[] = {
      {Server::VersionText(), "@RETURN_VALUE"},
      {"Microsoft SQL Server 2008 R2 (SP3)", "@RETURN_VALUE"},
      {"Microsoft SQL Server  7.00 - 7.00.1063", "RETURN_VALUE"},
      {"PostgreSQL 15", "RETURN_VALUE"},
  };
  for (const auto& c : cases) {
    server_->SetVersionTextForTests(c.version);
    const std::vector<ParamInfo> params = server_->Describe("testput");
    ASSERT_EQ(params.size(), 5u);
    EXPECT_EQ(params[0].name, c.returnValue);
    EXPECT_EQ(params[0].type, DbType::Integer);
    EXPECT_EQ(params[0].direction, ParamDirection::ReturnValue);
    EXPECT_EQ(Value("SELECT @@VERSION"), c.version);
  }
  const ParamInfo id = server_->Describe("TestPut").back();
  EXPECT_EQ(id.name, "@id");
  EXPECT_EQ(id.direction, ParamDirection::Output);
  EXPECT_THROW(server_->Describe("Nope"), ServerError);
}

TEST_F(ServerTest, AnswersTheProbeAndTheVersionQueryAsADatabaseServer) {
  EXPECT_THAT(Server::VersionText(), testing::StartsWith("Microsoft SQL Server 2019 compatible: ZorInput substitute "
                                                         "server on SQLite 3."));
  for (const char* probe : {"exec sp_server_info 1", "  EXEC SP_SERVER_INFO 1\r\n"}) {
    const std::vector<ResultSet> sets = server_->ExecuteSql(probe);
    ASSERT_EQ(sets.size(), 1u) << probe;
    EXPECT_THAT(sets[0].columns, ElementsAre("attribute_id", "attribute_name", "attribute_value"));
    EXPECT_EQ(sets[0].rows, (std::vector<std::vector<DbValue>>{{1, "DBMS_NAME", Server::VersionText()}}));
  }
  for (const char* query : {"SELECT @@VERSION", "select @@version "}) {
    const std::vector<ResultSet> sets = server_->ExecuteSql(query);
    ASSERT_EQ(sets.size(), 1u) << query;
    EXPECT_EQ(sets[0].rows, (std::vector<std::vector<DbValue>>{{Server::VersionText()}})) << query;
  }
}

TEST_F(ServerTest, SqlTextsRunWithBoundValues) {
  EXPECT_TRUE(server_->ExecuteSql("INSERT INTO [items] (name, amount) VALUES (?, ?)", {"it's", 1.25}).empty());
  const std::vector<ResultSet> sets = server_->ExecuteSql("SELECT name, amount FROM items WHERE amount > ?", {1});
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].rows, (std::vector<std::vector<DbValue>>{{"it's", 1.25}}));
  EXPECT_TRUE(server_->ExecuteSql("SELECT name FROM items WHERE amount > ?", {5}).at(0).rows.empty());
}

TEST_F(ServerTest, SqlTextsThatCannotRunLeaveNothingWritten) {
  const struct {
    const char* sql;
    std::vector<DbValue> params;
  } cases[] = {
      {"INSERT INTO items (name) VALUES ('a'); DROP TABLE items", {}},
      {"INSERT INTO items (name) VALUES (?)", {}},
      {"INSERT INTO items (name) VALUES (?)", {"a", "b"}},
      {"INSERT INTO items (name) VALUES (NULL)", {}},
      {"INSERT INTO nowhere VALUES (1)", {}},
      {"INSRT INTO items VALUES (1)", {}},
      {"", {}},
  };
  const std::string before = server_->Dump();
  for (const auto& c : cases) {
    try {
      server_->ExecuteSql(c.sql, c.params);
      ADD_FAILURE() << c.sql;
    } catch (const ServerError& e) {
      EXPECT_EQ(e.GetKind(), ServerError::Kind::Sql) << c.sql;
    }
  }
  EXPECT_EQ(server_->Dump(), before);
}

TEST_F(ServerTest, TransactionsCommitAndRollBack) {
  EXPECT_FALSE(server_->InTransaction());
  server_->Begin();
  EXPECT_TRUE(server_->InTransaction());
  EXPECT_THROW(server_->Begin(), ServerError);
  server_->Execute("TestPut", {{"@name", "rolled back"}});
  server_->Rollback();
  EXPECT_FALSE(server_->InTransaction());
  server_->Begin();
  server_->Execute("TestPut", {{"@name", "committed"}});
  server_->Commit();
  EXPECT_EQ(Value("SELECT group_concat(name) FROM items"), "committed");
  EXPECT_THROW(server_->Commit(), ServerError);
  EXPECT_THROW(server_->Rollback(), ServerError);
}

TEST(ProductRegistry, IsBuiltOnceAndServesAServer) {
  EXPECT_EQ(&ProductRegistry(), &ProductRegistry());
  const auto server = Server::Open(":memory:", ProductRegistry());
  for (const std::string& name : ProductRegistry().Names()) EXPECT_FALSE(server->Describe(name).empty()) << name;
  EXPECT_THROW(server->Execute("TestPut", {}), ServerError);
}

}  // namespace
}  // namespace zi::server::test
