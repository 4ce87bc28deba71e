// Logging in: the first login makes its user the administrator; later ones must name an existing
// user and give its password; users added by the administration tool's call.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "server/passwords.h"
#include "server/server.h"
#include "server_support.h"
#include "support/child_process.h"
#include "toolbox/own_codes.h"

namespace zi::server::test {
namespace {

using testing::HasSubstr;
using testing::Not;
using Rows = std::vector<std::vector<DbValue>>;

class LoginTest : public testing::Test {
 protected:
  // Through the server's own access, which no user's rights limit.
  Rows Query(const std::string& sql) { return Server::Open(path_, ProductRegistry())->ExecuteSql(sql).at(0).rows; }
  int64_t UserCount() { return Query("SELECT count(*) FROM users").at(0).at(0).AsInteger(); }

  TempDir dir_;
  std::string path_ = dir_.File("zi.db");
  std::unique_ptr<Server> server_ = Server::Open(path_, ProductRegistry());
};

TEST_F(LoginTest, RefusalsBeforeAnyUserCreateNobody) {
  const struct {
    const char* user;
    const char* password;
  } cases[] = {{"", "s3cret"}, {"", ""}, {"Ana", ""}};
  for (const auto& c : cases) {
    const Server::LoginResult result = server_->Login(c.user, c.password);
    EXPECT_EQ(result.code, kLoginFailed) << c.user;
    EXPECT_FALSE(result.createdAdministrator) << c.user;
    EXPECT_EQ(server_->SessionUserId(), 0) << c.user;
  }
  EXPECT_EQ(UserCount(), 0);
}

TEST_F(LoginTest, TheFirstLoginCreatesTheAdministratorAndLaterOnesMustMatchIt) {
  EXPECT_EQ(server_->SessionUserId(), 0);
  const Server::LoginResult first = server_->Login("Ana", "s3cret");
  EXPECT_EQ(first.code, 0);
  EXPECT_TRUE(first.createdAdministrator);
  const int ana = server_->SessionUserId();
  EXPECT_GT(ana, 0);
  EXPECT_EQ(Query("SELECT id, name, is_admin, email, user_flag, source_do_bal, lingua FROM users"),
            (Rows{{ana, "Ana", true, "", 0, 0, 0}}));
  EXPECT_NEAR(SecondsAheadOfNow(Query("SELECT created FROM users").at(0).at(0).AsDateTime()), 0, 5);

  const struct {
    const char* user;
    const char* password;
    int code;
  } later[] = {
      {"ANA", "s3cret", 0},
      {"Bob", "s3cret", kLoginFailed},  // only the very first login creates a user
      {"ana", "s3cret", 0},
      {"Ana", "S3CRET", kLoginFailed},
      {"Ana", "", kLoginFailed},
      {"", "s3cret", kLoginFailed},
  };
  for (const auto& c : later) {
    const Server::LoginResult result = server_->Login(c.user, c.password);
    EXPECT_EQ(result.code, c.code) << c.user << " " << c.password;
    EXPECT_FALSE(result.createdAdministrator) << c.user << " " << c.password;
    // A failed login also ends the session that was open.
    EXPECT_EQ(server_->SessionUserId(), c.code == 0 ? ana : 0) << c.user << " " << c.password;
  }
  EXPECT_EQ(UserCount(), 1);
}

TEST_F(LoginTest, AddedUsersLogInWithTheirOwnPasswordsStoredOnlyAsHashes) {
  const int jose = server_->AddUser(
      {.name = "Jos\xE9", .email = "jose@zorvana.example", .userFlag = 6, .sourceDoBal = 200, .lingua = 2},
      "Pa\xE7oca-1");
  EXPECT_GT(jose, 0);
  EXPECT_EQ(Query("SELECT name, email, is_admin, user_flag, source_do_bal, lingua FROM users"),
            (Rows{{"Jos\xE9", "jose@zorvana.example", false, 6, 200, 2}}));
  EXPECT_EQ(server_->AddUser({.name = "jOS\xE9"}, "another"), 0);
  EXPECT_EQ(UserCount(), 1);

  const std::string dump = server_->Dump();
  EXPECT_THAT(dump, HasSubstr("|password_hash=$argon2id$"));
  EXPECT_THAT(dump, Not(HasSubstr("Pa\xC3\xA7oca-1")));
  EXPECT_THAT(dump, Not(HasSubstr("Pa\xE7oca-1")));

  // With a user present, a first login is an ordinary one.
  const Server::LoginResult result = server_->Login("JOS\xE9", "Pa\xE7oca-1");
  EXPECT_EQ(result.code, 0);
  EXPECT_FALSE(result.createdAdministrator);
  EXPECT_EQ(server_->SessionUserId(), jose);
}

TEST_F(LoginTest, APasswordHashedInItsOldFormIsAcceptedAndItsHashReplaced) {
  const std::string typed = "s3cr\xC3\xA9t";
  ASSERT_EQ(server_->Login("Ana", typed).code, 0);
  Server::Open(path_, ProductRegistry())->ExecuteSql("UPDATE users SET password_hash = ?", {HashPassword("s3cr\xE9t")});
  EXPECT_EQ(server_->Login("Ana", typed).code, 0);
  EXPECT_EQ(MatchPassword(typed, Query("SELECT password_hash FROM users").at(0).at(0).AsText()),
            PasswordMatch::AsTyped);
  EXPECT_EQ(server_->Login("Ana", "s3cr\xE9t").code, kLoginFailed) << "the old form is not a password";
  EXPECT_EQ(server_->Login("Ana", typed).code, 0);
}

// Whether the name exists or not, a refusal verifies the password as many times, against hashes of
// one cost, and hashes nothing: its time does not tell which names exist. A new process, so that
// nothing done earlier hides the work of its first refusal.
TEST_F(LoginTest, ARefusalDoesTheSameWorkWhetherTheNameExistsOrNot) {
  ASSERT_EQ(server_->Login("Ana", "s3cret").code, 0);
  server_.reset();
  const int status = ::zi::test::RunInChild([&] {
    const auto server = Server::Open(path_, ProductRegistry());
    for (const char* password : {"wrong", "wr\xC3\xB3ng", "s3cret"}) {
      const PasswordWork start = PasswordWorkForTests();
      const bool unknownRefused = server->Login("Nobody", password).code == kLoginFailed;
      const PasswordWork middle = PasswordWorkForTests();
      const bool knownRefused = server->Login("Ana", std::string(password) + "!").code == kLoginFailed;
      const PasswordWork end = PasswordWorkForTests();
      const bool same = middle.hashes == start.hashes && end.hashes == middle.hashes &&
                        middle.verifications - start.verifications == end.verifications - middle.verifications;
      if (!unknownRefused || !knownRefused || !same) ::_exit(1);
    }
  });
  EXPECT_EQ(status, 0);
}

TEST_F(LoginTest, UserNamesHoldNoControlCharacters) {
  for (const char* name : {"ana\r\n2024/01/01-00:00:00 forged line", "ana\t", "\x7F", "ana\x81"}) {
    EXPECT_EQ(server_->Login(name, "pw").code, kAnswerNameWithControls) << "the first login";
    EXPECT_THROW(server_->AddUser({.name = name}, "pw"), std::invalid_argument);
  }
  EXPECT_EQ(UserCount(), 0);
}

TEST_F(LoginTest, AddUserRefusesFieldsOutOfRange) {
  const struct {
    const char* why;
    UserRecord user;
    const char* password;
  } cases[] = {
      {"no name", {}, "pw"},
      {"no password", {.name = "Ana"}, ""},
      {"negative flags", {.name = "Ana", .userFlag = -1}, "pw"},
      {"flags above 31 bits", {.name = "Ana", .userFlag = kMaxUserFlag + 1}, "pw"},
      {"negative source", {.name = "Ana", .sourceDoBal = -1}, "pw"},
      {"source above a byte", {.name = "Ana", .sourceDoBal = 256}, "pw"},
      {"negative language", {.name = "Ana", .lingua = -1}, "pw"},
      {"fourth language", {.name = "Ana", .lingua = 3}, "pw"},
  };
  for (const auto& c : cases) EXPECT_THROW(server_->AddUser(c.user, c.password), std::invalid_argument) << c.why;
  EXPECT_EQ(UserCount(), 0);
}

}  // namespace
}  // namespace zi::server::test
