// zorinput-server as an administrator runs it.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "server/schema.h"
#include "server_support.h"
#include "support/damaged_database.h"

namespace zi::server::test {
namespace {

using testing::HasSubstr;
using testing::ContainsRegex;
using testing::EndsWith;
using testing::Not;
using testing::StartsWith;
using ::zi::test::ReadFile;
using ::zi::test::WriteFile;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

class ServerToolTest : public testing::Test {
 protected:
  // Runs the built tool with its output and errors caught in files, and the given password (none
  // when null) in its environment; as an ordinary user when asked (root writes whatever the
  // permission bits say).
  ToolRun Run(const std::vector<std::string>& args, const char* password = nullptr, bool asOrdinaryUser = false) {
    const std::string outPath = dir_.File("out.txt");
    const std::string errPath = dir_.File("err.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      if (asOrdinaryUser && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
      if (password) ::setenv("ZORINPUT_PASSWORD", password, 1);
      else ::unsetenv("ZORINPUT_PASSWORD");
      std::vector<char*> argv{const_cast<char*>(ZI_SERVER_TOOL)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(ZI_SERVER_TOOL, argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(outPath), ReadFile(errPath)};
  }

  TempDir dir_;
  std::string path_ = dir_.File("zi.db");
};

TEST_F(ServerToolTest, InitCreatesADatabaseThatDumpShows) {
  const ToolRun init = Run({"init", path_});
  EXPECT_EQ(init.status, 0);
  const std::string version = std::to_string(SchemaSteps().size());
  EXPECT_EQ(init.out, path_ + ": ZorInput database, schema version " + version + "\n");
  EXPECT_EQ(init.err, "");
  EXPECT_EQ(Run({"init", path_}).status, 0);

  Server::Open(path_, TestRegistry())->ExecuteSql("CREATE TABLE notes (text TEXT)");
  Server::Open(path_, TestRegistry())->ExecuteSql("INSERT INTO notes VALUES (?)", {"linha 1\r\nA\xE7\xE3o"});
  const ToolRun dump = Run({"dump", path_});
  EXPECT_EQ(dump.status, 0);
  EXPECT_THAT(dump.out, ContainsRegex("\n\\[notes\\]\n"
                                      "text=linha 1\\\\r\\\\nA\xC3\xA7\xC3\xA3o\n"
                                      "\\["));
  EXPECT_THAT(dump.out, ContainsRegex("\n\\[server_info\\]\n"
                                      "key=created\\|value=[0-9T:Z-]+\n"
                                      "key=schema_version\\|value=" +
                                      version + "\n\\["));
  EXPECT_THAT(dump.out, EndsWith("\n[users]\n"));
  EXPECT_EQ(dump.err, "");
}

TEST_F(ServerToolTest, RefusesAFileThatIsNotOursAndLeavesItAlone) {
  WriteFile(path_, "not a database at all, just some text that someone keeps here\n");
  const std::string before = ReadFile(path_);
  for (const char* command : {"init", "dump"}) {
    const ToolRun run = Run({command, path_});
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.out, "") << command;
    EXPECT_EQ(run.err, "zorinput-server: " + path_ + " is not a ZorInput database\n") << command;
  }
  EXPECT_EQ(ReadFile(path_), before);
}

// dump opens the file only to read it: an old file stays old and in its journal mode, and a file
// its user may only read will do, in a folder where nothing can be created.
TEST_F(ServerToolTest, DumpReadsOnly) {
  const std::string old = dir_.File("old.db");
  WriteFile(old, "");
  Migrate(*SqliteDb::Open(old), SchemaSteps().first(2));
  ASSERT_EQ(Run({"init", path_}).status, 0);
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
  const struct {
    std::string path;
    std::string shows;
  } files[] = {{old, "key=schema_version|value=2\n"}, {path_, "[anbima]\n"}};
  for (const auto& f : files) {
    std::filesystem::permissions(f.path, std::filesystem::perms(0444));
    const std::string before = ReadFile(f.path);
    const ToolRun dump = Run({"dump", f.path}, nullptr, true);
    EXPECT_EQ(dump.status, 0) << f.path << ": " << dump.err;
    EXPECT_THAT(dump.out, HasSubstr(f.shows)) << f.path;
    EXPECT_EQ(ReadFile(f.path), before) << f.path;
  }
  EXPECT_THAT(Run({"dump", old}).out, HasSubstr("key=schema_version|value=2\n")) << "not migrated by root either";
  const auto journal = SqliteDb::Open(old)->QueryValue("PRAGMA journal_mode");
  EXPECT_EQ(journal, "delete");
}

TEST_F(ServerToolTest, InitRefusesADamagedDatabase) {
  zi::test::MakeDamagedDatabase(path_);
  const std::string before = ReadFile(path_);
  const ToolRun init = Run({"init", path_});
  EXPECT_EQ(init.status, 1);
  EXPECT_EQ(init.out, "");
  EXPECT_THAT(init.err, StartsWith("zorinput-server: " + path_ + " is damaged: "));
  EXPECT_EQ(ReadFile(path_), before);
}

TEST_F(ServerToolTest, DumpOfAMissingFileCreatesNothing) {
  const ToolRun run = Run({"dump", path_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "zorinput-server: " + path_ + " does not exist\n");
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(ServerToolTest, InitInAMissingDirectoryFails) {
  const ToolRun run = Run({"init", dir_.File("no/zi.db")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "zorinput-server: Cannot create database file " + dir_.File("no/zi.db") + ": No such file or directory\n");
}

TEST_F(ServerToolTest, CommandsItDoesNotKnowGetTheUsage) {
  const std::vector<std::vector<std::string>> wrong = {
      {}, {"init"}, {"dump"}, {"help"}, {"init", "a", "b"}, {"Init", path_}, {"--dump", path_}, {"useradd"},
      {"useradd", path_}, {"init", "--demo"}, {"init", "--demos", path_}, {"init", path_, "--demo"}};
  for (const auto& args : wrong) {
    const ToolRun run = Run(args);
    EXPECT_EQ(run.status, 2) << args.size();
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, testing::StartsWith("usage: zorinput-server init FILE"));
    EXPECT_THAT(run.err, HasSubstr("zorinput-server dump FILE"));
    EXPECT_THAT(run.err, HasSubstr("zorinput-server init --demo FILE"));
  }
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(ServerToolTest, InitDemoAddsACatalogueToADatabaseWithoutCompanies) {
  const ToolRun init = Run({"init", "--demo", path_});
  EXPECT_EQ(init.status, 0);
  EXPECT_EQ(init.out, path_ + ": ZorInput database, schema version " + std::to_string(SchemaSteps().size()) + "\n" +
                          path_ + ": demo catalogue added\n");
  EXPECT_EQ(init.err, "");

  const std::unique_ptr<Server> server = Server::Open(path_, ProductRegistry());
  ASSERT_EQ(server->Login("Ana", "pw").code, 0);
  const struct {
    const char* ticker;
    int64_t exchange;
    const char* company;
    int64_t country;
  } series[] = {{"PETR3", 1, "PETR", 0}, {"PETR4", 1, "PETR", 0}, {"VALE3", 1, "VALE", 0},
                {"ITUB4", 1, "ITUB", 0}, {"IBM", 2, "IBM", 1},   {"KO", 2, "KO", 1}};
  for (const auto& s : series) {
    const int id = server->Execute("GetIdAnb", {{"@cod", s.ticker}, {"@bolsa", s.exchange}}).returnValue;
    ASSERT_GT(id, 0) << s.ticker;
    const ProcedureResult read = server->Execute("ObjAnbGet", {{"@id", id}});
    EXPECT_EQ(read.outputs.at("@PaisProCodZor"), DbValue(s.country)) << s.ticker;
    const ProcedureResult atv = server->Execute("ObjAtvGetV2", {{"@id", read.outputs.at("@acao")}});
    const ProcedureResult emp = server->Execute("ObjEmpGetV3", {{"@id", atv.outputs.at("@emp")}});
    EXPECT_EQ(emp.outputs.at("@cod"), DbValue(s.company)) << s.ticker;
    // Every working day from 2021-01-04 to 2023-12-29 has its price, within its day's range.
    const ProcedureResult prices = server->Execute("CotacaoDaAnbV2", {{"@anb", id}});
    ASSERT_EQ(prices.resultSets.size(), 1u) << s.ticker;
    const auto& days = prices.resultSets[0].rows;
    ASSERT_EQ(days.size(), 780u) << s.ticker;
    for (const auto& day : days) {
      const double low = day[3].AsFloat(), high = day[4].AsFloat(), close = day[6].AsFloat();
      EXPECT_TRUE(low <= close && close <= high && low > 0) << s.ticker;
    }
  }
  const ProcedureResult all = server->Execute("ObjListProF2V2", {{"@auth", 0}, {"@like", ""}, {"@onde", 0}});
  ASSERT_EQ(all.resultSets.size(), 1u);
  EXPECT_EQ(all.resultSets[0].rows.size(), 7u) << "six series and a class without series";

  const std::string before = server->Dump();
  const ToolRun again = Run({"init", "--demo", path_});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "zorinput-server: the database already holds companies: no demo catalogue added\n");
  EXPECT_EQ(server->Dump(), before);
}

TEST_F(ServerToolTest, UserAddAddsUsersWhoLogInWithTheirPasswords) {
  ASSERT_EQ(Run({"init", path_}).status, 0);
  const ToolRun ana = Run({"useradd", path_, "Ana", "--email", "ana@zorvana.example", "--admin", "--flags", "3",
                           "--source", "12", "--language", "1"},
                          "s3cr\xC3\xA9t");
  EXPECT_EQ(ana.status, 0);
  EXPECT_EQ(ana.out, path_ + ": user Ana added\n");
  EXPECT_EQ(ana.err, "");
  EXPECT_EQ(Run({"useradd", path_, "Jos\xC3\xA9"}, "other").out, path_ + ": user Jos\xC3\xA9 added\n");

  const ToolRun taken = Run({"useradd", path_, "ANA"}, "third");
  EXPECT_EQ(taken.status, 1);
  EXPECT_EQ(taken.out, "");
  EXPECT_EQ(taken.err, "zorinput-server: user ANA already exists\n");

  const ToolRun dump = Run({"dump", path_});
  EXPECT_EQ(dump.status, 0);
  EXPECT_THAT(dump.out, HasSubstr("name=Ana|password_hash=$argon2id$"));
  EXPECT_THAT(dump.out, HasSubstr("name=Jos\xC3\xA9|password_hash=$argon2id$"));
  EXPECT_THAT(dump.out, Not(HasSubstr("s3cr")));

  const auto server = Server::Open(path_, ProductRegistry());
  const Server::LoginResult login = server->Login("ana", "s3cr\xC3\xA9t");
  EXPECT_EQ(login.code, 0);
  EXPECT_FALSE(login.createdAdministrator);
  const ProcedureResult info = server->Execute("GetInfoDoUsuario", {});
  ASSERT_EQ(info.returnValue, 0);
  const std::map<std::string, DbValue> expected{
      {"@SourceDoBal", 12}, {"@UserFlag", 3}, {"@email", "ana@zorvana.example"}, {"@name", "Ana"},
      {"@uid", 1},          {"@IsAdmin", true}, {"@lingua", 1}};
  EXPECT_EQ(info.outputs, expected);
  EXPECT_EQ(server->ExecuteSql("SELECT name, is_admin FROM users WHERE id = 2").at(0).rows,
            (std::vector<std::vector<DbValue>>{{"Jos\xE9", false}}));
}

TEST_F(ServerToolTest, UserAddRefusesWhatItCannotUnderstandAndAddsNobody) {
  ASSERT_EQ(Run({"init", path_}).status, 0);
  const char* password = "pw-not-shown";
  const struct {
    std::vector<std::string> args;
    const char* password;
    std::string message;
  } cases[] = {
      {{"--flags", "-1"}, password, "--flags takes an integer from 0 to 2147483647, not -1"},
      {{"--flags", "2147483648"}, password, "--flags takes an integer from 0 to 2147483647, not 2147483648"},
      {{"--flags", "0x1"}, password, "--flags takes an integer from 0 to 2147483647, not 0x1"},
      {{"--flags", ""}, password, "--flags takes an integer from 0 to 2147483647, not "},
      {{"--source", "256"}, password, "--source takes an integer from 0 to 255, not 256"},
      {{"--language", "3"}, password, "--language takes an integer from 0 to 2, not 3"},
      {{"--language", "+1"}, password, "--language takes an integer from 0 to 2, not +1"},
      {{"--admin", "--email"}, password, "--email needs a value"},
      {{"--admin", "yes"}, password, "unknown option yes"},
      {{"--Admin"}, password, "unknown option --Admin"},
      {{"--password", password}, password, "unknown option --password"},
      {{}, nullptr, "set ZORINPUT_PASSWORD to the new user's password"},
      {{}, "", "set ZORINPUT_PASSWORD to the new user's password"},
      {{}, "s3cr\xE9t", "ZORINPUT_PASSWORD is not UTF-8 text"},
      {{"--email", "\xFF"}, password, "the e-mail is not UTF-8 text that Windows-1252 can hold"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"useradd", path_, "Bob"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ToolRun run = Run(args, c.password);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(run.out, "") << c.message;
    EXPECT_THAT(run.err, StartsWith("zorinput-server: " + c.message + "\n")) << c.message;
    EXPECT_THAT(run.err, HasSubstr("zorinput-server useradd FILE NAME")) << c.message;
    EXPECT_THAT(run.err, Not(HasSubstr(password))) << c.message;
  }
  const struct {
    const char* name;
    const char* message;
  } names[] = {
      {"", "the user name is empty"},
      {"\xFF", "the user name is not UTF-8 text that Windows-1252 can hold"},
      {"\xE4\xB8\xAD", "the user name is not UTF-8 text that Windows-1252 can hold"},
  };
  for (const auto& n : names) {
    const ToolRun run = Run({"useradd", path_, n.name}, password);
    EXPECT_EQ(run.status, 2) << n.message;
    EXPECT_THAT(run.err, StartsWith(std::string("zorinput-server: ") + n.message + "\n")) << n.message;
  }
  const ToolRun controls = Run({"useradd", path_, "bob\r\nforged line"}, password);
  EXPECT_EQ(controls.status, 1);
  EXPECT_EQ(controls.err, "zorinput-server: a user name may not hold control characters\n");
  EXPECT_EQ(Server::Open(path_, ProductRegistry())->ExecuteSql("SELECT count(*) FROM users").at(0).rows.at(0).at(0),
            DbValue(0));
}

TEST_F(ServerToolTest, UserAddToAMissingFileCreatesNothing) {
  const ToolRun run = Run({"useradd", path_, "Ana"}, "s3cret");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "zorinput-server: " + path_ + " does not exist\n");
  EXPECT_FALSE(std::filesystem::exists(path_));
}

}  // namespace
}  // namespace zi::server::test
