// What a logged-in user who is not an administrator may do outside the procedures: SQL texts that
// only read, and row changes to the tables the registry opens to the grids, under their rights.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "server_support.h"
#include "toolbox/own_codes.h"

namespace zi::server::test {
namespace {

using testing::HasSubstr;
using Kind = RowChange::Kind;

class SqlRightsTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    server_->ExecuteSql("CREATE TABLE holder_kind (code INTEGER PRIMARY KEY, label TEXT NOT NULL)");
    server_->ExecuteSql("CREATE TABLE notes (id INTEGER PRIMARY KEY, label TEXT NOT NULL)");
    server_->ExecuteSql("INSERT INTO holder_kind VALUES (1, 'Pessoa')");
    ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0);  // the first login: an administrator
    for (const auto& [name, flags] : {std::pair{"Bia", 0}, {"Caio", 1}}) {
      ASSERT_GT(server_->AddUser({.name = name, .userFlag = flags}, "pw"), 0);
    }
  }

  // The result code of a refused call; 0 when it ran.
  template <typename Call>
  int Refusal(Call&& call) {
    try {
      call();
    } catch (const ServerError& e) {
      EXPECT_EQ(e.GetKind(), ServerError::Kind::NotAllowed) << e.what();
      return e.AnswerCode();
    }
    return 0;
  }
  int SqlRefusal(const std::string& sql) {
    return Refusal([&] { server_->ExecuteSql(sql); });
  }
  int BatchRefusal(const std::string& table) {
    return Refusal([&] { server_->ApplyRowChanges(table, {{Kind::Insert, {}, {{"label", "x"}}}}); });
  }
};

TEST_F(SqlRightsTest, AUserWhoIsNotAnAdministratorRunsOnlySqlThatReadsAndNeverReadsTheUsers) {
  const char* refused[] = {
      "INSERT INTO notes (label) VALUES ('x')",
      "UPDATE holder_kind SET label = 'x'",
      "DELETE FROM holder_kind",
      "CREATE TABLE more (x)",
      "DROP TABLE notes",
      "SELECT password_hash FROM users",
      "SELECT count(*) FROM users",
      "SELECT h.label FROM holder_kind h JOIN users u ON u.id = h.code",
      "SELECT label FROM holder_kind WHERE code IN (SELECT id FROM Users)",
      "ATTACH DATABASE ':memory:' AS other",
      "BEGIN",
      "PRAGMA user_version = 7",
  };
  ASSERT_EQ(server_->Login("Bia", "pw").code, 0);
  const std::string before = server_->Dump();
  for (const char* sql : refused) EXPECT_EQ(SqlRefusal(sql), kAnswerAdministratorOnly) << sql;
  EXPECT_EQ(server_->Dump(), before);
  EXPECT_FALSE(server_->InTransaction());
  EXPECT_EQ(server_->ExecuteSql("SELECT label FROM holder_kind").at(0).rows.at(0).at(0), "Pessoa");

  ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0);
  for (const char* sql : {"INSERT INTO notes (label) VALUES ('x')", "SELECT count(*) FROM users"}) {
    EXPECT_EQ(SqlRefusal(sql), 0) << sql;
  }
}

TEST_F(SqlRightsTest, RowChangesReachOnlyTheTablesOpenToTheGridsUnderTheirRights) {
  const struct {
    const char* user;
    const char* password;
    const char* table;
    int code;
  } cases[] = {
      {"Bia", "pw", "notes", kAnswerAdministratorOnly},
      {"Bia", "pw", "users", kAnswerAdministratorOnly},
      {"Bia", "pw", "Holder_Kind", 15258},  // open to the grids under the company right
      {"Caio", "pw", "notes", kAnswerAdministratorOnly},
      {"Caio", "pw", "holder_kind", 0},
      {"Ana", "s3cret", "notes", 0},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(server_->Login(c.user, c.password).code, 0) << c.user;
    const std::string before = server_->Dump();
    EXPECT_EQ(BatchRefusal(c.table), c.code) << c.user << " " << c.table;
    EXPECT_EQ(server_->Dump() == before, c.code != 0) << c.user << " " << c.table;
  }
}

TEST(RowChangeRights, TheUsersTableIsNeverOpenToTheGrids) {
  Registry registry;
  EXPECT_THROW(registry.AllowRowChanges("USERS", CompanyRight), std::logic_error);
  registry.AllowRowChanges("holder_kind", CompanyRight);
  EXPECT_THROW(registry.AllowRowChanges("HOLDER_KIND", SeriesRight), std::logic_error);
  EXPECT_EQ(registry.RowChangeRight("users"), nullptr);
  ASSERT_NE(registry.RowChangeRight("Holder_Kind"), nullptr);
  EXPECT_EQ(*registry.RowChangeRight("Holder_Kind"), &CompanyRight);
}

}  // namespace
}  // namespace zi::server::test
