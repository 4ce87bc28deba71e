#include "session/login.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <set>

#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "server/passwords.h"
#include "server/server.h"
#include "session/reference_data.h"
#include "session/session.h"
#include "session/zi_globs.h"
#include "support/damaged_database.h"
#include "session/bulletin.h"
#include "support/local_http_server.h"
#include "support/test_files.h"
#include "toolbox/http.h"
#include "toolbox/log.h"
#include "toolbox/message_box.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

using testing::Contains;
using testing::HasSubstr;
using testing::Not;

class LoginTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    SetMailRelay(relay_.HostAndPort());
    SetErrorBoxHandler([this](const std::string& caption, const std::string& text) {
      boxes_.push_back(caption + ": " + text);
    });
  }
  void TearDown() override {
    db::DestroyZiDb();
    db::EmbeddedDriver::SetDefaultRegistryForTests(nullptr);
    SetErrorBoxHandler(nullptr);
    SetMailRelay("");
    SetLogFileName("zorinput.log");
  }

  void Given(std::vector<std::string> switches) {
    switches.insert(switches.begin(), "/opt/zorinput");
    if (!database_.empty()) switches.push_back("/database=" + database_);
    SetParameters(switches);
  }
  int Login(std::vector<std::string> switches) {
    Given(std::move(switches));
    return InitDbConnection("", "", false, nullptr);
  }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }
  server::Server& Server() { return *static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).Server(); }

  test::TempDir dir_;
  std::string database_ = dir_.File("zi.db");
  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.File("config").c_str()};
  test::EnvGuard passwordVariable_{"ZORINPUT_PASSWORD", nullptr};
  test::EnvGuard user_{"USER", "ana"};
  test::EnvGuard computer_{"COMPUTERNAME", "desk7"};
  test::TLocalServer relay_;
  std::vector<std::string> boxes_;
};

TEST_F(LoginTest, FreshDatabaseMakesTheFirstUserItsAdministrator) {
  ASSERT_EQ(Login({"/user=ana", "/password=s3cret"}), 0);
  EXPECT_TRUE(EstaConectado(false));
  EXPECT_THAT(LogTexts(), Contains("InitDbConnection new database " + database_ + ": user ana created as administrator"));
  const TZiGlobs& g = ZiGlobs();
  EXPECT_EQ(g.name, "ana");
  EXPECT_GT(g.uid, 0);
  EXPECT_TRUE(g.IsAdmin);
  EXPECT_TRUE(RightA() && RightB() && RightC() && RightD());
  EXPECT_EQ(g.serverHost, "(local)");
  ASSERT_TRUE(g.ServerClock.has_value());
  EXPECT_LE(std::llabs(*g.ServerClock), 1);
  std::regex serverTime(R"(ServerTime: \d{4}/\d\d/\d\d-\d\d:\d\d:\d\d diff:(0|-?1"))");
  auto texts = LogTexts();
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](auto& t) { return std::regex_match(t, serverTime); }));
  EXPECT_TRUE(relay_.Received().empty()) << "a successful login sends no report";

  db::DestroyZiDb();
  ASSERT_EQ(Login({"/user=ANA", "/password=s3cret"}), 0) << "user names ignore case";
  EXPECT_THAT(LogTexts(), Not(Contains(HasSubstr("created as administrator by")))) ;
}

TEST_F(LoginTest, WrongPasswordGivesTheServersCodeAndAReportWithoutThePassword) {
  ASSERT_EQ(Login({"/user=ana", "/password=s3cret"}), 0);
  db::DestroyZiDb();
  EXPECT_EQ(Login({"/user=ana", "/password=Wr0ngPass"}), 18456);
  EXPECT_FALSE(EstaConectado(false));
  EXPECT_EQ(ZiGlobs().name, "");
  EXPECT_THAT(LogTexts(), Contains("InitDbConnection erro:18456 EDriverError:Login failed for user 'ana'."));
  EXPECT_THAT(LogTexts(), Contains("InitDbConnection error:18456"));
  auto received = relay_.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].path, "/mailto.cgi");
  EXPECT_THAT(received[0].target,
              testing::StartsWith("/mailto.cgi?TO=gor&SUBJ=ZorInput%20login%20error%3Aana&useratmachine=%22ana%40desk7%22"));
  EXPECT_THAT(received[0].target, HasSubstr("&usr=ana&error=18456&msgerro=exception%3ALogin%20failed"));
  EXPECT_THAT(test::ReadFile(dir_.File("zorinput.log")), Not(HasSubstr("Wr0ngPass")));
  EXPECT_THAT(received[0].target, Not(HasSubstr("Wr0ngPass")));

  // The failed login leaves the connection unconnected: a later call answers a code and says why,
  // instead of reconnecting to the database that refused the user.
  EXPECT_FALSE(db::HaveZiDb());
  EXPECT_EQ(ReqGBol("after a failed login"), 3939);
  EXPECT_THAT(LogTexts(), Contains("DbUtil.MeDaDS \"ReqGBol\" error Not connected to the database: no login yet, "
                                   "or the login failed (99020)"));
}

TEST_F(LoginTest, PasswordMayComeFromTheEnvironment) {
  test::EnvGuard password("ZORINPUT_PASSWORD", "fromEnv1");
  ASSERT_EQ(Login({"/user=ana"}), 0);
  db::DestroyZiDb();
  EXPECT_EQ(Login({"/user=ana", "/password=other"}), 18456) << "the switch wins over the environment";
}

// What is hashed is the UTF-8 bytes typed, whether they come through the switch or the variable;
// a hash made before, of the password's Windows-1252 form, still lets the user in and is replaced.
TEST_F(LoginTest, APasswordWithLettersOutsideAsciiWorksThroughEitherChannel) {
  const std::string typed = "s3cr\xC3\xA9t";
  const auto throughVariable = [&] {
    test::EnvGuard password("ZORINPUT_PASSWORD", typed.c_str());
    return Login({"/user=ana"});
  };
  const auto throughSwitch = [&] { return Login({"/user=ana", "/password=" + typed}); };
  ASSERT_EQ(throughVariable(), 0);
  db::DestroyZiDb();
  EXPECT_EQ(throughSwitch(), 0) << "set through the variable";
  Server().ExecuteSql("UPDATE users SET password_hash = ?", {server::HashPassword("s3cr\xE9t")});
  db::DestroyZiDb();
  EXPECT_EQ(throughVariable(), 0) << "the old hash";
  db::DestroyZiDb();
  EXPECT_EQ(throughSwitch(), 0) << "its replacement";
  EXPECT_EQ(
      server::MatchPassword(typed, Server().ExecuteSql("SELECT password_hash FROM users").at(0).rows[0][0].AsText()),
      server::PasswordMatch::AsTyped);
}

TEST_F(LoginTest, MissingOrEmptySettingsHaveTheirCodes) {
  EXPECT_EQ(Login({"/password=x"}), kLoginCancelled) << "no user and no dialog to ask";
  EXPECT_EQ(Login({"/user=ana", "/password=x", "/database="}), 4217);
  EXPECT_EQ(Login({"/user=ana", "/password=x", "/sqlserver="}), 4217);
  EXPECT_EQ(Login({"/user=ana", "/password=x", "/provider="}), 4217);
  // These tests register the embedded driver only.
  EXPECT_EQ(Login({"/user=ana", "/password=x", "/sqlserver=db1"}), kProviderNotAvailable);
  EXPECT_THAT(LogTexts(), Contains("InitDbConnection provider SQLOLEDB.1 erro:99002: this build has no driver for "
                                   "it (providers: embedded)"));
  EXPECT_EQ(relay_.Received().size(), 5u) << "every failed login is reported";
}

// A provider this build has no driver for is refused as such, before the settings that only a
// provider of the build would read (a server's host among them).
TEST_F(LoginTest, AProviderThisBuildLacksAnswers99002NamingTheProvidersItHas) {
  for (const std::vector<std::string>& switches :
       {std::vector<std::string>{"/provider=foo"}, {"/provider=odbc"}, {"/provider=foo", "/sqlserver=db1"},
        {"/provider=foo", "/sqlserver="}, {"/provider=foo", "/database="}}) {
    std::vector<std::string> all{"/user=ana", "/password=x"};
    all.insert(all.end(), switches.begin(), switches.end());
    EXPECT_EQ(Login(all), kProviderNotAvailable) << testing::PrintToString(switches);
  }
  EXPECT_THAT(LogTexts(), Contains("InitDbConnection provider foo erro:99002: this build has no driver for it "
                                   "(providers: embedded)"));
  EXPECT_THAT(LogTexts(), Contains("InitDbConnection error:99002"));
  EXPECT_FALSE(std::filesystem::exists(database_)) << "nothing was opened";
  EXPECT_EQ(Login({"/user=ana", "/password=x", "/provider=EMBEDDED"}), 0) << "provider names ignore case";
}

// The first login creates its user under the write lock: another process holding it past the busy
// wait makes the login answer 99201, not an exception's code.
TEST_F(LoginTest, ALoginWhileAnotherProcessWritesAnswers99201) {
  const auto writer = server::Server::Open(database_, server::ProductRegistry());
  writer->Begin();
  EXPECT_EQ(Login({"/user=ana", "/password=s3cret"}), kDatabaseBusy);
  EXPECT_THAT(LogTexts(), Contains("InitDbConnection erro:99201 EDriverError:database is locked"));
  EXPECT_THAT(LogTexts(), Contains("InitDbConnection error:99201"));
  EXPECT_FALSE(EstaConectado(false));
  writer->Rollback();
  EXPECT_EQ(Login({"/user=ana", "/password=s3cret"}), 0);
}

// A mistyped switch creates no database: a name that ends in a path separator (or is the root)
// names a folder, and the default name must already exist; only a name given creates its file.
TEST_F(LoginTest, OnlyADatabaseNamedByTheSwitchIsCreated) {
  for (const std::string& folder : {dir_.File("sub/"), std::string("/")}) {
    database_ = folder;
    EXPECT_EQ(Login({"/user=ana", "/password=x"}), kDatabaseNamesAFolder) << folder;
    EXPECT_THAT(LogTexts(), Contains("InitDbConnection database " + folder +
                                     " erro:99010: the name ends in a path "
                                     "separator, so it names a folder and not a database file"));
  }
  database_.clear();
  const auto workingDirectory = std::filesystem::current_path();
  std::filesystem::current_path(dir_.Path());
  EXPECT_EQ(Login({"/user=ana", "/password=x"}), kDefaultDatabaseMissing);
  std::filesystem::current_path(workingDirectory);
  EXPECT_THAT(LogTexts(), Contains("InitDbConnection database ZorInput.db erro:99011: it does not exist; name it "
                                   "with -database to create it"));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("ZorInput.db")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("sub")));
  EXPECT_FALSE(std::filesystem::exists("/.db"));
}

// A database name is the system's bytes, from the switch to the file that is opened: UTF-8, or bytes
// that are no UTF-8 at all. Only what the log shows is converted.
TEST_F(LoginTest, TheDatabaseSwitchOpensExactlyTheFileItNames) {
  for (const std::string& name : {std::string("\xE6\x97\xA5\xE6\x9C\xAC.db"), std::string("caf\xE9.db")}) {
    database_ = dir_.File(name);
    server::Server::Open(database_, server::ProductRegistry())->AddUser({.name = "ana", .isAdmin = true}, "pw");
    EXPECT_EQ(Login({"/user=ana", "/password=pw"}), 0) << name;
    EXPECT_FALSE(static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).CreatedAdministrator()) << name;
    db::DestroyZiDb();
  }
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) files.insert(entry.path().filename());
  EXPECT_EQ(files, (std::set<std::string>{"\xE6\x97\xA5\xE6\x9C\xAC.db", "caf\xE9.db", "zorinput.log"}));

  database_ = dir_.File("\xC3\xA9t\xC3\xA9.db");
  ASSERT_EQ(Login({"/user=ana", "/password=pw"}), 0);
  EXPECT_THAT(LogTexts(),
              Contains("InitDbConnection new database " + database_ + ": user ana created as administrator"));
  EXPECT_EQ(ZiGlobs().database, dir_.File("\xE9t\xE9.db")) << "shown as program text";
}

TEST_F(LoginTest, AUserNameWithControlCharactersIsRefusedWithoutForgingALogLine) {
  EXPECT_EQ(Login({"/user=ana\r\n2024/01/01-00:00:00 forged", "/password=x"}), kAnswerNameWithControls);
  EXPECT_THAT(test::ReadFile(dir_.File("zorinput.log")), Not(HasSubstr("\r\n2024/01/01-00:00:00 forged")));
  EXPECT_EQ(
      server::Server::Open(database_, server::ProductRegistry())->ExecuteSql("SELECT count(*) FROM users")[0].rows,
      (std::vector<std::vector<DbValue>>{{0}}))
      << "nobody became the administrator";
}

TEST_F(LoginTest, DatabaseFileThatCannotBeUsedIsALoginFailure) {
  test::WriteFile(dir_.File("notours.db"), "some other program's data\n");
  database_ = dir_.File("notours.db");
  EXPECT_EQ(Login({"/user=ana", "/password=x"}), kLoginException);
  EXPECT_THAT(LogTexts(), Contains(HasSubstr("InitDbConnection erro:3714 EDriverError:" + database_ +
                                             " is not a ZorInput database")));
  EXPECT_EQ(test::ReadFile(database_), "some other program's data\n");

  database_ = dir_.File("directory.db");
  std::filesystem::create_directory(database_);
  EXPECT_EQ(Login({"/user=ana", "/password=x"}), kLoginException);

  database_ = dir_.File("damaged.db");
  test::MakeDamagedDatabase(database_);
  const std::string damaged = test::ReadFile(database_);
  EXPECT_EQ(Login({"/user=ana", "/password=x"}), kLoginException);
  EXPECT_THAT(LogTexts(), Contains(HasSubstr("InitDbConnection erro:3714 EDriverError:" + database_ +
                                             " is damaged: *** in database main ***; On tree page ")));
  EXPECT_EQ(test::ReadFile(database_), damaged) << "neither migrated nor used";
}

TEST_F(LoginTest, EmbeddedDatabaseNameWithoutExtensionGetsDotDb) {
  database_ = dir_.File("ZorInput");
  ASSERT_EQ(Login({"/user=ana", "/password=x"}), 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("ZorInput.db")));
}

TEST_F(LoginTest, ServerClockAheadShowsInTheLog) {
  ASSERT_EQ(Login({"/user=ana", "/password=x"}), 0);
  Server().SetClockOffsetForTests(600);
  ASSERT_EQ(CheckClientVersionV2(), 0);
  std::regex diff(R"(ServerTime: .* diff:-(10'|9'59"))");
  std::regex jump(R"(SetGMT2Local : (0|-?1") -> -(10'|9'59"))");
  auto texts = LogTexts();
  EXPECT_TRUE(std::regex_match(texts.back(), diff)) << texts.back();
  EXPECT_TRUE(std::regex_match(texts[texts.size() - 2], jump)) << texts[texts.size() - 2];
  EXPECT_NEAR(static_cast<double>(*ZiGlobs().ServerClock), -600, 1);
}

TEST_F(LoginTest, LogIsRotatedAtEveryAttempt) {
  test::WriteFile(dir_.File("zorinput.log"), std::string(1020101, 'x'));
  Login({"/password=x"});
  EXPECT_TRUE(std::filesystem::exists(dir_.File("zorinput001.log")));
  test::WriteFile(dir_.File("zorinput.log"), std::string(1020101, 'x'));
  Login({"/password=x"});
  EXPECT_TRUE(std::filesystem::exists(dir_.File("zorinput002.log")));
}

const server::Registry& PasswordExpiredRegistry() {
  static const server::Registry registry = [] {
    using server::ParamDirection;
    server::Registry r;
    r.Add({"CheckClientVersionV2",
           server::ProcAccess::Reads,
           {{"@ClientVersion", DbType::Integer, ParamDirection::Input},
            {"@PatchNum", DbType::Integer, ParamDirection::Input},
            {"@ServerTime", DbType::DateTime, ParamDirection::Output}},
           [](server::ProcContext&) { return 7125; }});
    r.Add({"GetInfoDoUsuario",
           server::ProcAccess::Reads,
           {{"@SourceDoBal", DbType::Integer, ParamDirection::Output},
            {"@UserFlag", DbType::Integer, ParamDirection::Output},
            {"@email", DbType::Text, ParamDirection::Output},
            {"@name", DbType::Text, ParamDirection::Output},
            {"@uid", DbType::Integer, ParamDirection::Output},
            {"@IsAdmin", DbType::Boolean, ParamDirection::Output},
            {"@lingua", DbType::Integer, ParamDirection::Output}},
           [](server::ProcContext& c) {
             c.SetOut("@SourceDoBal", 2);
             c.SetOut("@UserFlag", 4);
             c.SetOut("@email", "ana@example.org");
             c.SetOut("@name", "ana");
             c.SetOut("@uid", 17);
             c.SetOut("@IsAdmin", false);
             c.SetOut("@lingua", 1);
             return 0;
           }});
    return r;
  }();
  return registry;
}

TEST_F(LoginTest, AdminVersionAcceptsAServerThatAnswers7125) {
  db::EmbeddedDriver::SetDefaultRegistryForTests(&PasswordExpiredRegistry());
  EXPECT_EQ(Login({"/user=ana", "/password=x"}), 7125);
  EXPECT_THAT(LogTexts(), Contains("CheckClientVersion error:7125"));
  db::DestroyZiDb();
  ASSERT_EQ(Login({"/user=ana", "/password=x", "-AdminVersion"}), 0);
  const TZiGlobs& g = ZiGlobs();
  EXPECT_EQ(g.uid, 17);
  EXPECT_EQ(g.email, "ana@example.org");
  EXPECT_FALSE(g.IsAdmin);
  EXPECT_EQ(g.lingua, 1);
  EXPECT_FALSE(RightA());
  EXPECT_FALSE(RightB());
  EXPECT_TRUE(RightC());
  EXPECT_TRUE(RightD());
}

TEST_F(LoginTest, PermissionAnswersAreRememberedOnlyWhenTheServerGaveThem) {
  ASSERT_EQ(Login({"/user=ana", "/password=x"}), 0);
  auto& driver = static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver());
  Server().ExecuteSql("INSERT INTO empresa (id, cod, pais, nome) VALUES (5, 'E5', 0, 'Five'), (6, 'E6', 0, 'Six')");
  EXPECT_TRUE(ChkEmpDoUsr(5));
  driver.InjectFaults({.failCall = 1, .failPersistent = true});
  EXPECT_TRUE(ChkEmpDoUsr(5)) << "the same question is not asked again";
  EXPECT_FALSE(ChkEmpDoUsr(6));
  EXPECT_THAT(boxes_, testing::ElementsAre("Warning: error:3939"));
  driver.InjectFaults({});
  EXPECT_TRUE(ChkEmpDoUsr(6)) << "a failed call is asked again";
  EXPECT_FALSE(ChkAnbDoUsr(-1));
  EXPECT_EQ(boxes_.back(), "Warning: Could not find the item error:99104");
}

TEST_F(LoginTest, ALoginForgetsThePermissionAnswersOfTheUserBefore) {
  ASSERT_EQ(Login({"/user=ana", "/password=x"}), 0);
  Server().ExecuteSql("INSERT INTO empresa (id, cod, pais, nome) VALUES (5, 'E5', 0, 'Five')");
  EXPECT_TRUE(ChkEmpDoUsr(5));
  db::DestroyZiDb();
  ASSERT_EQ(Login({"/user=ana", "/password=x"}), 0);
  static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).InjectFaults({.failCall = 1, .failPersistent = true});
  EXPECT_FALSE(ChkEmpDoUsr(5)) << "the answer of the earlier login is not reused";
  EXPECT_THAT(boxes_, testing::ElementsAre("Warning: error:3939"));
}

// One end of a pipe between two processes: a byte written says "go on"; end of file that the
// other process has gone.
void Signal(int fd) { (void)!::write(fd, "x", 1); }
bool Await(int fd) {
  char c = 0;
  return ::read(fd, &c, 1) == 1;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// The writer holds its transaction open, with an import's worth of rows written, until the other
// process has logged in (reference data included) and read; were readers to wait for the write
// lock, they would give up after the busy wait and the login would fail.
TEST_F(LoginTest, ALoginAndItsReadsGoOnWhileAnotherProcessWrites) {
  constexpr int kRows = 2000;
  ASSERT_EQ(Login({"/user=ana", "/password=s3cret"}), 0);
  db::DestroyZiDb();
  SetReferenceDataLoader(CarregaDadosIniciais);
  int written[2];
  int read[2];
  ASSERT_EQ(::pipe(written), 0);
  ASSERT_EQ(::pipe(read), 0);
  const pid_t writer = ::fork();
  if (writer == 0) {
    ::close(written[0]);
    ::close(read[1]);
    int code = InitDbConnection("", "", false, nullptr);
    db::TTransactionGuard guard(db::ZiDb());
    if (code == 0) code = guard.Code();
    for (int i = 0; i < kRows && code == 0; ++i) {
      db::TDataSetHolder ds(db::ZiDb(), "DataLogAdd");
      ds->SetInteger("@tip", 1);
      ds->SetInteger("@oid", i);
      code = db::ZiDb().ExecStProc(*ds, 0);
    }
    Signal(written[1]);
    Await(read[0]);
    if (code == 0) code = guard.Commit();
    ::_exit(code == 0 ? 0 : 1);
  }
  const pid_t reader = ::fork();
  if (reader == 0) {
    ::close(written[1]);
    ::close(read[0]);
    int code = Await(written[0]) ? InitDbConnection("", "", false, nullptr) : 1;
    if (code == 0) {
      db::TDataSetHolder ds(db::ZiDb(), db::CommandType::Text, "SELECT count(*) AS n FROM empresa");
      code = db::ZiDb().OpenSql(*ds);
    }
    Signal(read[1]);
    ::_exit(code == 0 ? 0 : 1);
  }
  for (int fd : {written[0], written[1], read[0], read[1]}) ::close(fd);
  EXPECT_EQ(ExitStatus(reader), 0) << "the login and its reads";
  EXPECT_EQ(ExitStatus(writer), 0) << "the writer";
  SetReferenceDataLoader(nullptr);
  ASSERT_EQ(Login({"/user=ana", "/password=s3cret"}), 0);
  db::TDataSetHolder count(db::ZiDb(), db::CommandType::Text, "SELECT count(*) AS n FROM DataLog");
  ASSERT_EQ(db::ZiDb().OpenSql(*count), 0);
  EXPECT_EQ(count->FieldAsInteger("n"), kRows);
}

TEST_F(LoginTest, NotConnectedIsShownWhenAsked) {
  EXPECT_FALSE(EstaConectado(false));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_FALSE(EstaConectado(true));
  EXPECT_THAT(boxes_, testing::ElementsAre("Warn: Not logged!"));
}

TEST_F(LoginTest, FailureReportCarriesTheSessionAndTheCallersPairsInOrder) {
  Given({});
  ZiGlobs().name = "ana";
  EXPECT_EQ(ReportaFalha("bulletin x", {"k", "v@1", "odd"}, ""), 0);
  ZiGlobs().name.clear();
  auto received = relay_.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].target,
            "/mailto.cgi?TO=g&SUBJ=ZorInput%20bulletin%20x&useratmachine=%22ana%40desk7%22&ZorInput%2Dversion="
            "20240410%2D1131&ZiDbUser=ana&executable%2Dfile=%2Fopt%2Fzorinput&k=v%401&odd");
}

TEST_F(LoginTest, UnreachableRelayNeverChangesTheLoginsResult) {
  SetMailRelay("127.0.0.1:1");
  EXPECT_EQ(Login({"/user=ana", "/password="}), kLoginCancelled);
  EXPECT_THAT(LogTexts(), Contains(HasSubstr("HTTP.InternetConnect Erro:")));
}

TEST_F(LoginTest, CommandLineLoginIsAllowedOnce) {
  Given({"/user=ana", "/password=x"});
  EXPECT_EQ(CliLoginCode(), kCliLoginFailed);
  CliLogin();
  EXPECT_EQ(CliLoginCode(), 0);
  CliLogin();
  EXPECT_THAT(LogTexts(), Contains("CliBasic error Invalid InitLogStat: 2"));
  EXPECT_EQ(CliLoginCode(), 0);
}

}  // namespace
}  // namespace zi
