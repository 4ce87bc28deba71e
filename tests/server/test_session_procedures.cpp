// The procedures of the session: client version check, the user's details and rights over items.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "server/server.h"
#include "server_support.h"

namespace zi::server::test {
namespace {

using Values = std::map<std::string, DbValue>;

constexpr int kClientOutdated = 3695;

class SessionProceduresTest : public testing::Test {
 protected:
  ProcedureResult Call(const std::string& procedure, const Values& inputs = {}) {
    return server_->Execute(procedure, inputs);
  }
  // The first login, which makes Ana the administrator.
  void LogInAna() { ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0); }
  // The same file through the server's own access, which no user's rights limit.
  std::vector<ResultSet> AsServer(const std::string& sql, const std::vector<DbValue>& params = {}) {
    return Server::Open(path_, ProductRegistry())->ExecuteSql(sql, params);
  }
  // Company 5 with a class and series 5, the items the rights are asked about.
  void AddCompanyAndSeries5() {
    AsServer("INSERT INTO empresa (id, cod, pais, nome) VALUES (5, 'ACME', 0, 'Acme')");
    AsServer("INSERT INTO ativo (id, emp, idclass, vote, tipoobj) VALUES (5, 5, 2, 0, 0)");
    AsServer("INSERT INTO anbima (id, acao, cod, bolsa, moedacot, PaisProCodZor) VALUES (5, 5, 'ACME3', 1, 1, 0)");
  }
  void SetRights(bool isAdmin, int64_t userFlag) {
    AsServer("UPDATE users SET is_admin = ?, user_flag = ? WHERE id = ?",
             {isAdmin, userFlag, server_->SessionUserId()});
  }

  TempDir dir_;
  std::string path_ = dir_.File("zi.db");
  std::unique_ptr<Server> server_ = Server::Open(path_, ProductRegistry());
};

const struct {
  const char* procedure;
  Values inputs;
} kSessionCalls[] = {
    {"CheckClientVersionV2", {{"@ClientVersion", 22}, {"@PatchNum", 1131}}},
    {"GetInfoDoUsuario", {}},
    {"ChkEmpDoUsr", {{"@id", 5}}},
    {"ChkAnbDoUsr", {{"@id", 5}}},
};

void ExpectRefusedForLackOfSession(const ProcedureResult& result, const std::string& procedure) {
  EXPECT_EQ(result.returnValue, kLoginFailed) << procedure;
  for (const auto& [name, value] : result.outputs) EXPECT_TRUE(value.IsNull()) << procedure << " " << name;
}

TEST_F(SessionProceduresTest, EveryCallNeedsALoggedInUserWhoseRowStillExists) {
  AddCompanyAndSeries5();
  for (const auto& c : kSessionCalls) ExpectRefusedForLackOfSession(Call(c.procedure, c.inputs), c.procedure);
  LogInAna();
  for (const auto& c : kSessionCalls) EXPECT_EQ(Call(c.procedure, c.inputs).returnValue, 0) << c.procedure;
  AsServer("DELETE FROM users");
  for (const auto& c : kSessionCalls) ExpectRefusedForLackOfSession(Call(c.procedure, c.inputs), c.procedure);
}

TEST_F(SessionProceduresTest, ATransactionSeesTheUserRowsItChangesItself) {
  AddCompanyAndSeries5();
  LogInAna();
  server_->Begin();
  EXPECT_EQ(Call("ChkEmpDoUsr", {{"@id", 5}}).returnValue, 0);
  server_->ExecuteSql("UPDATE users SET is_admin = 0, user_flag = 0");
  EXPECT_EQ(Call("ChkEmpDoUsr", {{"@id", 5}}).returnValue, 15258);
  server_->Rollback();
  EXPECT_EQ(Call("ChkEmpDoUsr", {{"@id", 5}}).returnValue, 0);
}

TEST_F(SessionProceduresTest, CheckClientVersionRefusesClientsBeforeVersion22) {
  LogInAna();
  const struct {
    DbValue version;
    int code;
  } cases[] = {
      {DbValue(), kClientOutdated},
      {-1, kClientOutdated},
      {0, kClientOutdated},
      {21, kClientOutdated},
      {22, 0},
      {23, 0},
      {999999, 0},
  };
  for (const auto& c : cases) {
    const std::string why = c.version.IsNull() ? "NULL" : std::to_string(c.version.AsInteger());
    const ProcedureResult result = Call("CheckClientVersionV2", {{"@ClientVersion", c.version}, {"@PatchNum", 1131}});
    EXPECT_EQ(result.returnValue, c.code) << why;
    const DbValue& serverTime = result.outputs.at("@ServerTime");
    if (c.code != 0) {
      EXPECT_TRUE(serverTime.IsNull()) << why;
      continue;
    }
    ASSERT_EQ(serverTime.Type(), DbType::DateTime) << why;
    EXPECT_NEAR(SecondsAheadOfNow(serverTime.AsDateTime()), 0, 5) << why;
  }
}

TEST_F(SessionProceduresTest, TheServerTimeFollowsTheServersClock) {
  LogInAna();
  for (const int64_t offset : {600, -600, 0}) {
    server_->SetClockOffsetForTests(offset);
    const ProcedureResult result = Call("CheckClientVersionV2", {{"@ClientVersion", 22}, {"@PatchNum", 1131}});
    ASSERT_EQ(result.returnValue, 0) << offset;
    EXPECT_NEAR(SecondsAheadOfNow(result.outputs.at("@ServerTime").AsDateTime()), static_cast<double>(offset), 5)
        << offset;
  }
}

TEST_F(SessionProceduresTest, GetInfoDoUsuarioAnswersTheSessionUsersRow) {
  LogInAna();
  const int ana = server_->SessionUserId();
  const int jose = server_->AddUser(
      {.name = "Jos\xE9", .email = "jose@zorvana.example", .userFlag = 6, .sourceDoBal = 200, .lingua = 2}, "pw");
  ASSERT_GT(jose, ana);
  const Values anaInfo{{"@SourceDoBal", 0}, {"@UserFlag", 0},   {"@email", ""}, {"@name", "Ana"},
                       {"@uid", ana},       {"@IsAdmin", true}, {"@lingua", 0}};
  const Values joseInfo{{"@SourceDoBal", 200}, {"@UserFlag", 6}, {"@email", "jose@zorvana.example"},
                        {"@name", "Jos\xE9"},  {"@uid", jose},   {"@IsAdmin", false},
                        {"@lingua", 2}};
  const ProcedureResult asAna = Call("GetInfoDoUsuario");
  EXPECT_EQ(asAna.returnValue, 0);
  EXPECT_EQ(asAna.outputs, anaInfo);
  ASSERT_EQ(server_->Login("jOS\xE9", "pw").code, 0);
  const ProcedureResult asJose = Call("GetInfoDoUsuario");
  EXPECT_EQ(asJose.returnValue, 0);
  EXPECT_EQ(asJose.outputs, joseInfo);
}

TEST_F(SessionProceduresTest, RightsOverCompaniesAndSeries) {
  LogInAna();
  AddCompanyAndSeries5();
  const struct {
    const char* procedure;
    bool isAdmin;
    int64_t userFlag;
    DbValue id;
    int code;
  } cases[] = {
      {"ChkEmpDoUsr", true, 0, 5, 0},
      {"ChkEmpDoUsr", false, 1, 5, 0},
      {"ChkEmpDoUsr", false, 7, 5, 0},
      {"ChkEmpDoUsr", false, 2, 5, 15258},
      {"ChkEmpDoUsr", false, 0, 5, 15258},
      {"ChkEmpDoUsr", true, 0, 0, 99104},
      {"ChkEmpDoUsr", false, 1, -3, 99104},
      {"ChkEmpDoUsr", true, 0, DbValue(), 99104},
      {"ChkEmpDoUsr", false, 0, DbValue(), 99104},
      {"ChkEmpDoUsr", true, 0, 6, 99104},
      {"ChkEmpDoUsr", false, 1, 6, 99104},
      {"ChkAnbDoUsr", true, 0, 5, 0},
      {"ChkAnbDoUsr", false, 2, 5, 0},
      {"ChkAnbDoUsr", false, 3, 5, 0},
      {"ChkAnbDoUsr", false, 1, 5, 99108},
      {"ChkAnbDoUsr", false, 4, 5, 99108},
      {"ChkAnbDoUsr", true, 0, -1, 99104},
      {"ChkAnbDoUsr", false, 2, DbValue(), 99104},
      {"ChkAnbDoUsr", true, 0, 6, 99104},
      {"ChkAnbDoUsr", false, 2, 6, 99104},
  };
  for (const auto& c : cases) {
    SetRights(c.isAdmin, c.userFlag);
    const std::string why = std::string(c.procedure) + (c.isAdmin ? " admin" : " user") + " flags " +
                            std::to_string(c.userFlag) + " id " +
                            (c.id.IsNull() ? "NULL" : std::to_string(c.id.AsInteger()));
    EXPECT_EQ(Call(c.procedure, {{"@id", c.id}}).returnValue, c.code) << why;
  }
}

}  // namespace
}  // namespace zi::server::test
