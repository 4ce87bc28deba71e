// Opening the database file: creating it privately, bringing its schema up to date, and refusing
// files that are not ours or cannot be written, without changing them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "server/schema.h"
#include "server_support.h"
#include "support/child_process.h"

namespace zi::server::test {
namespace {

using ::zi::test::ReadFile;
using ::zi::test::WriteFile;

// The message of the ServerError that opening raises, or "" when it opens.
std::string OpenError(const std::string& path, ServerError::Kind expectedKind) {
  try {
    Server::Open(path, TestRegistry());
  } catch (const ServerError& e) {
    return e.GetKind() == expectedKind ? e.what() : "wrong kind: " + std::string(e.what());
  }
  return "";
}

// A file of another application, built with the wrapper over an empty file.
void MakeForeignDatabase(const std::string& path, const std::string& script) {
  WriteFile(path, "");
  SqliteDb::Open(path)->Exec(script);
}

class DatabaseFileTest : public testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.File("zi.db");
};

TEST_F(DatabaseFileTest, ANewFileIsPrivateAndMigrated) {
  const auto server = Server::Open(path_, TestRegistry());
  struct stat file {};
  ASSERT_EQ(::stat(path_.c_str(), &file), 0);
  EXPECT_EQ(file.st_mode & 0777, 0600u);
  EXPECT_EQ(server->SchemaVersion(), static_cast<int>(SchemaSteps().size()));
  const ResultSet info = server->ExecuteSql("SELECT key, value FROM server_info ORDER BY key").at(0);
  ASSERT_EQ(info.rows.size(), 2u);
  EXPECT_EQ(info.rows[0][0], "created");
  EXPECT_THAT(info.rows[0][1].AsText(), testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z"));
  EXPECT_EQ(info.rows[1], (std::vector<DbValue>{"schema_version", std::to_string(SchemaSteps().size())}));
  EXPECT_EQ(server->ExecuteSql("PRAGMA application_id").at(0).rows.at(0).at(0), int64_t{kApplicationId});
  EXPECT_EQ(server->ExecuteSql("PRAGMA journal_mode").at(0).rows.at(0).at(0), "wal");
  EXPECT_EQ(server->ExecuteSql("PRAGMA foreign_keys").at(0).rows.at(0).at(0), int64_t{1});
}

TEST_F(DatabaseFileTest, OpeningAgainChangesNothing) {
  std::string first;
  {
    const auto server = Server::Open(path_, TestRegistry());
    server->ExecuteSql("CREATE TABLE t (x)");
    server->ExecuteSql("INSERT INTO t VALUES (?)", {"kept"});
    first = server->Dump();
  }
  for (int i = 0; i < 2; ++i) {
    const auto server = Server::Open(path_, TestRegistry());
    EXPECT_EQ(server->Dump(), first);
    EXPECT_EQ(server->SchemaVersion(), static_cast<int>(SchemaSteps().size()));
  }
}

TEST_F(DatabaseFileTest, AnEmptyFileBecomesOurs) {
  WriteFile(path_, "");
  EXPECT_EQ(Server::Open(path_, TestRegistry())->SchemaVersion(), static_cast<int>(SchemaSteps().size()));
}

TEST_F(DatabaseFileTest, FilesThatAreNotOursAreRefusedUntouched) {
  const struct {
    const char* what;
    std::function<void(const std::string&)> make;
  } cases[] = {
      {"text", [](const std::string& p) { WriteFile(p, "name;amount\r\nA\xE7\xE3o;1\r\n"); }},
      {"a large binary", [](const std::string& p) { WriteFile(p, std::string(8192, '\x5A')); }},
      {"tables and no id", [](const std::string& p) { MakeForeignDatabase(p, "CREATE TABLE notes (x)"); }},
      {"another id", [](const std::string& p) { MakeForeignDatabase(p, "PRAGMA application_id = 1234"); }},
      {"another id and tables",
       [](const std::string& p) { MakeForeignDatabase(p, "PRAGMA application_id = 1234; CREATE TABLE notes (x)"); }},
  };
  for (const auto& c : cases) {
    const std::string path = dir_.File(std::string(c.what) + ".db");
    c.make(path);
    const std::string before = ReadFile(path);
    EXPECT_EQ(OpenError(path, ServerError::Kind::NotOurDatabase), path + " is not a ZorInput database") << c.what;
    EXPECT_EQ(ReadFile(path), before) << c.what;
    EXPECT_FALSE(std::filesystem::exists(path + "-wal")) << c.what;
  }
}

TEST_F(DatabaseFileTest, ASchemaNewerThanTheProgramIsRefused) {
  const std::string newer = std::to_string(SchemaSteps().size() + 1);
  Server::Open(path_, TestRegistry())->ExecuteSql("PRAGMA user_version = " + newer);
  EXPECT_EQ(OpenError(path_, ServerError::Kind::NotOurDatabase),
            path_ + " has schema version " + newer + ", newer than the " + std::to_string(SchemaSteps().size()) +
                " this program knows: use a newer ZorInput");
}

TEST_F(DatabaseFileTest, PathsThatCannotHoldADatabaseSayWhich) {
  std::filesystem::create_directory(dir_.File("folder"));
  const struct {
    std::string path;
    std::string message;
  } cases[] = {
      {dir_.File("missing/zi.db"),
       "Cannot create database file " + dir_.File("missing/zi.db") + ": No such file or directory"},
      {dir_.File("folder"), "Cannot open database file " + dir_.File("folder") + " for writing: Is a directory"},
  };
  for (const auto& c : cases) EXPECT_EQ(OpenError(c.path, ServerError::Kind::Io), c.message);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("missing")));
}

// Root writes whatever the permission bits say, so the opening runs in a child that, when it is
// root, becomes an ordinary user first. The child's status: 0 when the message is the expected one.
int OpenAsOrdinaryUser(const std::string& path, const std::string& expected) {
  return ::zi::test::RunInChild([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    ::_exit(OpenError(path, ServerError::Kind::Io) == expected ? 0 : 1);
  });
}

TEST_F(DatabaseFileTest, AReadOnlyFileIsRefusedUntouched) {
  Server::Open(path_, TestRegistry())->ExecuteSql("CREATE TABLE t (x)");
  const std::string before = ReadFile(path_);
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
  std::filesystem::permissions(path_, std::filesystem::perms(0444));
  EXPECT_EQ(OpenAsOrdinaryUser(path_, "Cannot open database file " + path_ + " for writing: Permission denied"), 0);
  EXPECT_EQ(ReadFile(path_), before);
}

TEST_F(DatabaseFileTest, AFileInADirectoryThatCannotBeWrittenIsRefused) {
  Server::Open(path_, TestRegistry());
  std::filesystem::permissions(path_, std::filesystem::perms(0666));
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0555));
  EXPECT_EQ(OpenAsOrdinaryUser(path_, "Cannot write database file " + path_ + ": attempt to write a readonly database"),
            0);
}

// What one process of a login race ended with, as its exit status.
enum LoginOutcome { kLoggedIn = 0, kCreatedAdministrator = 10, kRefused = 20, kOtherCode = 30, kRaised = 40 };

// Eight processes, released together, open a fresh file and log in, with one name or with eight.
std::vector<int> RaceToLogIn(const std::string& path, bool sameName) {
  constexpr int kProcesses = 8;
  int start[2];
  if (::pipe(start) != 0) return {};
  std::vector<pid_t> children;
  for (int i = 0; i < kProcesses; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(start[1]);
      char c = 0;
      (void)!::read(start[0], &c, 1);  // end of file once the parent lets everyone go
      try {
        const auto server = Server::Open(path, ProductRegistry());
        const Server::LoginResult login = server->Login(sameName ? "ana" : "user" + std::to_string(i), "pw");
        ::_exit(login.code == 0              ? (login.createdAdministrator ? kCreatedAdministrator : kLoggedIn)
                : login.code == kLoginFailed ? kRefused
                                             : kOtherCode);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "raised: %s\n", e.what());
        ::_exit(kRaised);
      }
    }
    children.push_back(pid);
  }
  ::close(start[0]);
  ::close(start[1]);
  std::vector<int> outcomes;
  for (const pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    outcomes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status));
  }
  std::sort(outcomes.begin(), outcomes.end());
  return outcomes;
}

// With one name every login succeeds; with eight only the first user's, who alone becomes the
// administrator, and the others are refused as unknown users. Nobody is told the file is not ours.
TEST_F(DatabaseFileTest, EightProcessesLoggingInAtOnceToAFreshFileAllGetACorrectAnswer) {
  const std::vector<int> oneName = {kLoggedIn, kLoggedIn, kLoggedIn, kLoggedIn,
                                    kLoggedIn, kLoggedIn, kLoggedIn, kCreatedAdministrator};
  const std::vector<int> eightNames = {
      kCreatedAdministrator, kRefused, kRefused, kRefused, kRefused, kRefused, kRefused, kRefused};
  for (int round = 0; round < 2; ++round) {
    for (const bool sameName : {true, false}) {
      const std::string path = dir_.File("fresh" + std::to_string(round) + (sameName ? "a" : "b") + ".db");
      EXPECT_EQ(RaceToLogIn(path, sameName), sameName ? oneName : eightNames) << "round " << round;
    }
  }
}

// A step that fails half-way, after creating a table.
void BrokenStep(SqliteDb& db) { db.Exec("CREATE TABLE half (x); INSERT INTO nowhere VALUES (1)"); }
void LaterStep(SqliteDb& db) { db.Exec("CREATE TABLE later (x)"); }

TEST(Migrate, EachStepIsAppliedWholeOrNotAtAll) {
  const auto db = SqliteDb::Open(":memory:");
  const MigrationStep broken[] = {SchemaSteps()[0], BrokenStep};
  EXPECT_THROW(Migrate(*db, broken), SqliteError);
  EXPECT_EQ(SchemaVersion(*db), 1);
  EXPECT_TRUE(db->QueryValue("SELECT name FROM sqlite_schema WHERE name = 'half'").IsNull());
  EXPECT_FALSE(db->InTransaction());

  const MigrationStep mended[] = {SchemaSteps()[0], LaterStep};
  Migrate(*db, mended);
  Migrate(*db, mended);
  EXPECT_EQ(SchemaVersion(*db), 2);
  EXPECT_EQ(db->QueryValue("SELECT value FROM server_info WHERE key = 'schema_version'"), "2");
  EXPECT_EQ(db->QueryValue("SELECT count(*) FROM sqlite_schema WHERE name = 'later'"), int64_t{1});
}

}  // namespace
}  // namespace zi::server::test
