// The program as a whole: started as a process, judged by its exit status and its log.

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "server/sqlite_db.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "toolbox/process.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

using test::WithoutStamps;
using testing::ElementsAre;

class EntryTest : public testing::Test {
 protected:
  int Run(const std::string& arguments) {
    ProcessOptions options;
    options.wait = true;
    options.workingDirectory = dir_.Path();
    return RodaProcesso(QuoteParameter(ZI_ZORINPUT_PATH) + " " + arguments, options).exitCode;
  }
  // Started without waiting, with the arguments as separate parameters; standard output on stdoutFd.
  pid_t Start(const std::vector<std::string>& arguments, int stdoutFd = -1,
              const std::string& program = ZI_ZORINPUT_PATH) {
    return test::StartProgram(program, arguments, dir_.Path(), stdoutFd);
  }
  std::vector<std::string> LogTexts() const { return WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
  test::TempDir data_;
  test::TempDir temp_;
  test::EnvGuard tempVar_{"TEMP", temp_.Path().c_str()};
  test::EnvGuard user_{"USER", "ana"};
  test::EnvGuard userName_{"USERNAME", nullptr};
  test::EnvGuard computer_{"COMPUTERNAME", "desk7"};
  test::EnvGuard xdgData_{"XDG_DATA_HOME", data_.Path().c_str()};
  test::EnvGuard xdgConfig_{"XDG_CONFIG_HOME", data_.Path().c_str()};
  test::EnvGuard password_{"ZORINPUT_PASSWORD", nullptr};
  // A plain start must find no display, whatever the test's own environment has.
  test::EnvGuard display_{"DISPLAY", nullptr};
  test::EnvGuard wayland_{"WAYLAND_DISPLAY", nullptr};
  test::EnvGuard platform_{"QT_QPA_PLATFORM", nullptr};
};

TEST_F(EntryTest, ImportLogsInToAFreshEmbeddedDatabaseThenChecksAndImportsTheFile) {
  test::WriteFile(dir_.File("prices.txt"), "# nothing yet\n");
  const std::string state = "ErroNaoFatal:0 ErroNaoFatalCount:0 Acabou:Y ToNoCheck:N lnn:1 ErrMsgCount:0 "
                            "FirstErrMsg:<> LastErrMsg:<> LastLine:<# nothing yet>";
  EXPECT_EQ(Run("-IMPORT=prices.txt /user=ana /password=s3cret /database=zi.db"), 0);
  EXPECT_THAT(LogTexts(), ElementsAre("Basic2.RoubaOChainDeExitProcs", "ZorInput start ver:20240410-1131 ana@desk7",
                                      "ImpCli import <prices.txt>",
                                      "InitDbConnection new database zi.db: user ana created as administrator",
                                      testing::StartsWith("ServerTime: "),
                                      "Warn:25308 Arquivo \"prices.txt\" n\xC3\xA3o \xC3\xA9 um JSON Array, podera tentar "
                                      "como texto",
                                      "ImpRoot start prices.txt CIorCO:Y",
                                      "check ok, starting import", "ImpRoot end Erro:0 " + state,
                                      "- end import ok ImpRoot impcli Erro:0 " + state, "- ZorInput end",
                                      "Basic2.RodaTodasAsExitProcs rodando"));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("zi.db")));
}

TEST_F(EntryTest, FailedLoginEndsWithTheLoginStatusAndNeverLogsThePassword) {
  test::WriteFile(dir_.File("prices.txt"), "# nothing yet\n");
  ASSERT_EQ(Run("/import=prices.txt /user=ana /password=s3cret /database=zi.db"), 0);
  EXPECT_EQ(Run("/import=prices.txt /user=ana /password=Wr0ngPass /database=zi.db"), 3);
  EXPECT_THAT(LogTexts(), testing::Contains("CliBasic error:18456 in login"));
  EXPECT_THAT(LogTexts(), testing::Contains("- ZorInput end erro:3775 Sys.ExitCode:3775"));
  EXPECT_THAT(test::ReadFile(dir_.File("zorinput.log")), testing::Not(testing::HasSubstr("Wr0ngPass")));
}

TEST_F(EntryTest, DebugSwitchShowsTheStartAndEndOrder) {
  EXPECT_EQ(Run("/exportacac=3 -li"), 3);
  EXPECT_THAT(LogTexts(),
              ElementsAre("Basic Momento", "Momento", "Basic2", "basic4", "ZiGlobs", "ZiGlobs 1", "ZiGlobs 2",
                          "ZiGlobs 3", "ZiGlobs 4", "ZiGlobs 5", "ZiGlobs end", "Basic2.RoubaOChainDeExitProcs",
                          "ZorInput start ver:20240410-1131 ana@desk7", "InitDbConnection error:4272",
                          "SendHttpMail: no mail relay configured", "CliBasic error:4272 in login",
                          "- ZorInput end erro:3775 Sys.ExitCode:3775", "*basic4", "*basic4 end", "*Basic2",
                          "*Basic2.MyExit", "*Basic2.MyExit end", "*Basic2.RodaTodasAsExitProcs",
                          "Basic2.RodaTodasAsExitProcs rodando", "*ZiGlobs 0", "*ZiGlobs 0.1", "*ZiGlobs 0.2",
                          "*ZiGlobs 0.2.1", "*ZiGlobs 0.3", "*ZiGlobs 2", "*ZiGlobs 3.1 Appl=nil?Y", "*ZiGlobs 3.2",
                          "*ZiGlobs 3.3", "*ZiGlobs 4", "*ZiGlobs end", "*Basic2.RodaTodasAsExitProcs end",
                          "*Basic2 end", "*Basic", "*Basic end"));
}

TEST_F(EntryTest, DebugSwitchMustBeTheWholeParameter) {
  Run("/import=x /LIx");
  EXPECT_EQ(LogTexts().at(1), "ZorInput start ver:20240410-1131 ana@desk7");
}

#ifdef ZI_WITH_DESKTOP
constexpr const char* kDesktopLine = "ZorInput desktop cannot open: no display can be reached erro:99900";
constexpr const char* kDesktopEnd = "- ZorInput end erro:99900 Sys.ExitCode:99900";
#else
constexpr const char* kDesktopLine = "ZorInput mode desktop is not available in this build erro:99001";
constexpr const char* kDesktopEnd = "- ZorInput end erro:99001 Sys.ExitCode:99001";
#endif

TEST_F(EntryTest, DesktopStartRegistersFileTypesThenEndsWhenTheDesktopCannotOpen) {
  EXPECT_EQ(Run("-noracote"), 4);
  EXPECT_THAT(LogTexts(), ElementsAre("Basic2.RoubaOChainDeExitProcs", "ZorInput start ver:20240410-1131 ana@desk7",
                                      "RACOTE /noracote warning:4493", kDesktopLine, kDesktopEnd,
                                      "Basic2.RodaTodasAsExitProcs rodando"));
  EXPECT_TRUE(std::filesystem::exists(data_.Path() + "/mime/packages/zorinput_import_file.xml"));
  EXPECT_TRUE(std::filesystem::exists(data_.Path() + "/applications/zorinput_import_file-open.desktop"));
}

#ifdef ZI_WITH_DESKTOP
// The desktop as a user meets it, on Qt's offscreen platform and the demo database with the rows
// the screenshot run adds: the login dialog, the main window, the chooser, an import and a dry run
// in the import window, the company picker, the company window with its forms and their pickers, the
// table editor, the log window, the share-base, news, corporate-action, price and statement windows,
// and the process end after the main window closed.
TEST_F(EntryTest, DesktopLogsInImportsWalksTheCompanyWindowsAndEnds) {
  test::EnvGuard platform{"QT_QPA_PLATFORM", "offscreen"};
  test::WriteFile(dir_.File("prices.txt"), "# nothing yet\n");
  ProcessOptions init;
  init.wait = true;
  init.workingDirectory = dir_.Path();
  ASSERT_EQ(RodaProcesso(QuoteParameter(ZI_SERVER_PATH) + " init --demo zi.db", init).exitCode, 0);
  server::SqliteDb::Open(dir_.File("zi.db"))->Exec(test::ReadFile(ZI_SCREENS_SEED));
  EXPECT_EQ(Run("-noracote /user=ana /password=pw /database=zi.db /screens=shots /screensimport=prices.txt"), 0);
  const std::vector<std::string> texts = LogTexts();
  for (const char* shot :
       {"login.png caption:\"ZorInput Login\"", "main.png caption:\"ZorInput 20240410-1131\"",
        "chooser.png caption:\"New Window\"", "import.png caption:\"ZorInput 20240410-1131 - Import\"",
        "search.png caption:\"Company Selection Parameters\"", "picker.png caption:\"Companies / Tickers\"",
        "objects.png caption:\"ZorInput 20240410-1131 - Company Registration\"",
        "company-form.png caption:\"Company Registration\"", "naics.png caption:\"Codigos NAICS\"",
        "indicator-history.png caption:\"N\xC3\xBAmero de funcion\xC3\xA1rios\"",
        "class-form.png caption:\"Class Registration\"", "series-form.png caption:\"Serie Registration\"",
        "indicator-table.png caption:\"Tables\"", "log.png caption:\"ZorInput 20240410-1131 - Log\"",
        "import-dry-run.png caption:\"ZorInput 20240410-1131 - Import\"",
        "share-base.png caption:\"ZorInput 20240410-1131 - Num of Shares\"",
        "news.png caption:\"ZorInput 20240410-1131 - News\"", "news-dialog.png caption:\"News\"",
        "corporate-actions.png caption:\"ZorInput 20240410-1131 - Corp Actions\"",
        "corporate-action-dialog.png caption:\"Corporate Actions\"",
        "prices.png caption:\"ZorInput 20240410-1131 - Prices\"", "prices-range.png caption:\"Date range\"",
        "statements.png caption:\"ZorInput 20240410-1131 - Fin Stats\"",
        "statement-header.png caption:\"Financial Statement\"", "statement-popup.png"}) {
    EXPECT_THAT(texts, testing::Contains(std::string("screens saved shots/") + shot));
  }
  EXPECT_THAT(texts, testing::Contains("end import ok"));
  EXPECT_THAT(texts, testing::Contains("- ZorInput end"));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("shots/import.png")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("shots/log.png")));
}
#endif

TEST_F(EntryTest, ReqGBolAloneLogsInAndSendsTheRequestAtTheEnd) {
  struct Case {
    const char* value;
    const char* sent;
  } cases[] = {{"2", "ReqGBol Pri:2 ok [ZiGlobs.fini [/reqgbol]]"}, {"12", "ReqGBol Pri:0 ok [ZiGlobs.fini [/reqgbol]]"}};
  const std::string warning = "reqgbol value \"12\" is not a priority 0 to 9: no bulletin priority registered";
  for (const auto& c : cases) {
    std::filesystem::remove(dir_.File("zorinput.log"));
    EXPECT_EQ(Run(std::string("/reqgbol=") + c.value + " /user=ana /password=pw /database=zi.db"), 0) << c.value;
    auto texts = LogTexts();
    EXPECT_THAT(texts, testing::Contains(c.sent)) << c.value;
    EXPECT_EQ(std::count(texts.begin(), texts.end(), warning), std::string(c.value) == "12" ? 1 : 0) << c.value;
    EXPECT_THAT(texts, testing::Contains("- ZiGlobs Fini ReqGBol erro:0 requester:[/reqgbol]")) << c.value;
    EXPECT_THAT(texts, testing::Contains("- ZorInput end")) << c.value;
  }
}

TEST_F(EntryTest, FailedRunSendsNoBulletinRequest) {
  EXPECT_EQ(Run("/reqgbol=2 /import=f.txt /user=ana /password=pw /database=zi.db"), 2) << "f.txt does not exist";
  EXPECT_THAT(LogTexts(), testing::Not(testing::Contains(testing::HasSubstr("ReqGBol Pri:"))));
}

TEST_F(EntryTest, FailedLoginEndsEveryLoginModeWith3775AndReqGBolAloneWithTheLoginsCode) {
  struct Case {
    std::string switches;
    std::string endLine;
  };
  std::vector<Case> cases;
  // The batch import logs in for its first file; a message file is opened and its ids checked
  // before the login.
  std::filesystem::create_directory(dir_.File("d"));
  test::WriteFile(dir_.File("d/x.pf"), "# x\n");
  test::WriteFile(dir_.File("f.txt"), "x");
  for (const char* mode : {"/import=f.txt", "/pfimport=d", "/rimport=f.txt", "/msgqq=171,2,f.txt", "/msgqqcode=1,f",
                           "/exportabaccomstatus", "/exportabacsemstatus", "/contasquenaofecham=1", "/exportacac=1",
                           "/exportacotacoes=x", "/reqgbol=2 /import=f.txt"})
    cases.push_back({mode, "- ZorInput end erro:3775 Sys.ExitCode:3775"});
  cases.push_back({"/reqgbol=2", "- ZorInput end erro:4272 Sys.ExitCode:4272"});
  for (const auto& c : cases) {
    std::filesystem::remove(dir_.File("zorinput.log"));
    EXPECT_EQ(Run(c.switches + " /user=ana"), 3) << c.switches;
    EXPECT_THAT(LogTexts(), testing::Contains(c.endLine)) << c.switches;
  }
}

bool HasOpen(pid_t pid, const std::string& path) {
  std::error_code ec;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::error_code linkError;
    if (std::filesystem::read_symlink(fd.path(), linkError) == path) return true;
  }
  return false;
}

// A provider the program has no driver for is refused as such in every mode that logs in, before
// the settings that only a provider of the program would read.
TEST_F(EntryTest, AProviderTheProgramLacksIsRefusedWith99002InEveryLoginMode) {
  std::filesystem::create_directory(dir_.File("d"));
  test::WriteFile(dir_.File("d/x.pf"), "# x\n");
  test::WriteFile(dir_.File("f.txt"), "x");
  const std::string refusal = "InitDbConnection provider foo erro:99002: this build has no driver for it (providers: "
                              "embedded, MSOLEDBSQL, odbc, SQLNCLI11, SQLOLEDB, SQLOLEDB.1)";
  struct Case {
    std::string switches;
    std::string endLine;
  };
  std::vector<Case> cases;
  for (const char* mode : {"/import=f.txt", "/pfimport=d", "/rimport=f.txt", "/msgqq=171,2,f.txt", "/msgqqcode=1,f",
                           "/exportabaccomstatus", "/exportabacsemstatus", "/contasquenaofecham=1", "/exportacac=1",
                           "/exportacotacoes=x", "/checkserver", "/reqgbol=2 /import=f.txt"})
    cases.push_back({mode, "- ZorInput end erro:3775 Sys.ExitCode:3775"});
  cases.push_back({"/reqgbol=2", "- ZorInput end erro:99002 Sys.ExitCode:99002"});
  for (const auto& c : cases) {
    for (const char* others : {"", " /sqlserver=db1", " /sqlserver="}) {
      std::filesystem::remove(dir_.File("zorinput.log"));
      EXPECT_EQ(Run(c.switches + " /user=ana /password=pw /provider=foo" + others), 3) << c.switches << others;
      EXPECT_THAT(LogTexts(), testing::Contains(refusal)) << c.switches << others;
      EXPECT_THAT(LogTexts(), testing::Contains("InitDbConnection error:99002")) << c.switches << others;
      EXPECT_THAT(LogTexts(), testing::Contains(c.endLine)) << c.switches << others;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.File("ZorInput.db")));
  // A server's provider that the program has still needs its server.
  std::filesystem::remove(dir_.File("zorinput.log"));
  EXPECT_EQ(Run("/reqgbol=2 /user=ana /password=pw /provider=odbc"), 3);
  EXPECT_THAT(LogTexts(), testing::Contains("- ZorInput end erro:4217 Sys.ExitCode:4217"));
}

#ifdef ZI_WITH_DESKTOP
// Whether the process catches the signal (its handler is in place), from the kernel's own account.
bool Catches(pid_t pid, int signal) {
  std::istringstream status(test::ReadFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    if (!line.starts_with("SigCgt:")) continue;
    const uint64_t caught = std::stoull(line.substr(7), nullptr, 16);
    return (caught >> (signal - 1)) & 1;
  }
  return false;
}

// The end of the session (a logout's SIGTERM, a closed terminal's SIGHUP) ends the desktop as its
// closed main window would: the login dialog it waits in goes without a question, and the run ends
// with its end line and status 0.
TEST_F(EntryTest, ADesktopEndedByTheSessionsSignalEndsAsItsClosedWindowWithTheEndLine) {
  test::EnvGuard platform("QT_QPA_PLATFORM", "offscreen");
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    std::filesystem::remove(dir_.File("zorinput.log"));
    const pid_t pid = Start({"-noracote", "/user=ana", "/password=pw", "/database=zi.db"});
    ASSERT_GT(pid, 0);
    bool caught = false;
    for (int i = 0; i < 6000 && !caught && ::waitpid(pid, nullptr, WNOHANG) == 0; ++i) {
      caught = Catches(pid, signal);
      if (!caught) platform::SleepMs(10);
    }
    ::kill(pid, signal);
    EXPECT_EQ(test::WaitWithin(pid, 60), 0);
    ASSERT_TRUE(caught);
    const std::vector<std::string> texts = LogTexts();
    EXPECT_THAT(texts, testing::Contains(std::string(signal == SIGTERM ? "SIGTERM" : "SIGHUP") +
                                         ": the main window closes without asking"));
    EXPECT_THAT(texts, testing::Contains("- ZorInput end"));
    EXPECT_THAT(texts, testing::Not(testing::Contains(testing::HasSubstr("Run time error"))));
  }
}
#endif

TEST_F(EntryTest, PasswordLeavesTheProcessListBeforeTheFirstLogLine) {
  test::TLockHolder holder(dir_.File("zorinput.log"));
  pid_t pid = Start({"/exportacac=3", "-li", "/password=s3cret"});
  ASSERT_GT(pid, 0);
  // The first debug line waits for the log's lock: the program has the log open.
  bool waiting = false;
  for (int i = 0; i < 3000 && !waiting; ++i) {
    waiting = HasOpen(pid, dir_.File("zorinput.log"));
    if (!waiting) platform::SleepMs(10);
  }
  const std::string commandLine = test::ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
  holder.Release();
  EXPECT_EQ(test::WaitWithin(pid, 60), 3);
  ASSERT_TRUE(waiting);
  EXPECT_THAT(commandLine, testing::HasSubstr("/password="));
  EXPECT_THAT(commandLine, testing::Not(testing::HasSubstr("s3cret")));
}

TEST_F(EntryTest, UnknownSwitchesAndStrayParametersAreLoggedWithoutTheirValues) {
  EXPECT_EQ(Run("/exportacac=3 -databse=zi.db -pasword=Secr3t stray \"--help me\""), 3);
  auto texts = LogTexts();
  ASSERT_GE(texts.size(), 6u);
  EXPECT_EQ(texts[1], "ZorInput start ver:20240410-1131 ana@desk7");
  EXPECT_THAT(std::vector<std::string>(texts.begin() + 2, texts.begin() + 6),
              ElementsAre("Unknown switch ignored: -databse", "Unknown switch ignored: -pasword",
                          "Parameter 4 ignored: not a switch", "Unknown switch ignored: --help me"));
  EXPECT_THAT(test::ReadFile(dir_.File("zorinput.log")), testing::Not(testing::HasSubstr("Secr3t")));
}

// Every line of the log's temporary copy, by the process that wrote it.
std::map<std::string, std::vector<std::string>> LinesByProcess(const std::string& file) {
  std::map<std::string, std::vector<std::string>> lines;
  for (const auto& line : test::ReadLines(file)) lines[line.substr(20, 8)].push_back(test::WithoutStamp(line));
  return lines;
}

TEST_F(EntryTest, RunsUnderALogLockedThroughoutKeepEveryLineInTheTemporaryCopy) {
  test::TLockHolder holder(dir_.File("zorinput.log"));
  const pid_t runs[] = {Start({"/exportacac=3"}), Start({"/exportacac=4"})};
  for (pid_t pid : runs) EXPECT_EQ(test::WaitWithin(pid, 60), 3);
  holder.Release();
  auto byProcess = LinesByProcess(temp_.File("zor.tmp.log"));
  EXPECT_EQ(byProcess.size(), 2u);
  for (pid_t pid : runs)
    EXPECT_THAT(byProcess[fmt::format("{:08X}", pid)],
                ElementsAre("start of log kept in memory (<zorinput.log> error:32)", "Basic2.RoubaOChainDeExitProcs",
                            "ZorInput start ver:20240410-1131 ana@desk7", "InitDbConnection error:4272",
                            "SendHttpMail: no mail relay configured", "CliBasic error:4272 in login",
                            "- ZorInput end erro:3775 Sys.ExitCode:3775", "Basic2.RodaTodasAsExitProcs rodando"));
  EXPECT_THAT(LogTexts(), testing::IsEmpty());
}

TEST_F(EntryTest, ClosedStandardOutputEndsTheRunWithItsOwnCodeAndEndLine) {
  int out[2];
  ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
  ::close(out[0]);
  // A fresh database: the login prints the administrator it created, and the import echoes its lines.
  test::WriteFile(dir_.File("prices.txt"), "*NOSUCH 1\n");
  pid_t pid = Start({"/import=prices.txt", "/user=ana", "/password=pw", "/database=zi.db"}, out[1]);
  ::close(out[1]);
  EXPECT_EQ(test::WaitWithin(pid, 60), 2);
  EXPECT_THAT(LogTexts(), testing::Contains("- ZorInput end erro:3942 Sys.ExitCode:3942"));
}

TEST_F(EntryTest, HelpAndVersionPrintAndExitWithoutSideEffects) {
  test::TempDir bin;
  const std::string program = bin.File("zorinput");
  std::filesystem::copy_file(ZI_ZORINPUT_PATH, program);
  std::filesystem::permissions(program, std::filesystem::perms(0755));
  struct Case {
    const char* option;
    const char* expected;  // the first line printed
  } cases[] = {{"-help", "Usage: zorinput [RUN MODE] [SWITCHES]"},
               {"--help", "Usage: zorinput [RUN MODE] [SWITCHES]"},
               {"-h", "Usage: zorinput [RUN MODE] [SWITCHES]"},
               {"-version", "ZorInput 20240410-1131"}};
  const std::string printed = temp_.File("printed");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    int out = ::open(printed.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    pid_t pid = Start({c.option, "-li", "/database=zi.db"}, out, program);
    ::close(out);
    EXPECT_EQ(test::WaitWithin(pid, 60), 0);
    EXPECT_THAT(test::ReadFile(printed), testing::StartsWith(c.expected));
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path())) << "no log, no database";
    EXPECT_TRUE(std::filesystem::is_empty(data_.Path())) << "no file types registered";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bin.Path()), {}), 1) << "no versioned copy";
  }
  EXPECT_EQ(test::ReadFile(printed), "ZorInput 20240410-1131\n");
}

}  // namespace
}  // namespace zi
