// The import client's run modes as processes: the remote import and the worker that imports the
// uploaded files, and the batch portfolio import over its folders.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "import/directives.h"
#include "import/json_import.h"
#include "import/run.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "import_client/import_file.h"
#include "import_client/progress_line.h"
#include "import_client/remote_import.h"
#include "support/child_process.h"
#include "support/local_http_server.h"
#include "support/logged_in_database.h"
#include "support/test_files.h"
#include "toolbox/codec.h"
#include "toolbox/process.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

TEST(PrioridadeDoIFTest, ReadsTheSwitchWithThreeForAnythingElseAndOneAtLeast) {
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{}, 3}, {{"-IFpriority=0"}, 1}, {{"-IFpriority=x"}, 3}, {{"-IFpriority=7"}, 7},
      {{"-IFpriority=-4"}, 1}, {{"-IFpriority=5x"}, 3}, {{"-IFpriority="}, 3}};
  for (const auto& [switches, priority] : cases) {
    std::vector<std::string> params{"zorinput"};
    params.insert(params.end(), switches.begin(), switches.end());
    SetParameters(params);
    EXPECT_EQ(PrioridadeDoIF(), priority) << testing::PrintToString(switches);
  }
  SetParameters({"zorinput"});
}

class ImportClientTest : public testing::Test {
 protected:
  void SetUp() override {
    auto server = server::Server::Open(dir_.File("zi.db"), server::ProductRegistry());
    ASSERT_EQ(server->Login("ana", "pw").code, 0);
    ASSERT_NE(server->AddUser({.name = "bia", .email = "bia@example.com"}, "pw2"), 0);
  }

  int Run(const std::string& program, const std::string& arguments) {
    ProcessOptions options{.workingDirectory = dir_.Path(), .wait = true};
    return RodaProcesso(QuoteParameter(program) + " " + arguments, options).exitCode;
  }
  int Zorinput(const std::string& arguments) { return Run(ZI_ZORINPUT_PATH, arguments); }
  std::string Queue(const std::string& columns) {
    auto db = server::SqliteDb::Open(dir_.File("zi.db"));
    const DbValue value = db->QueryValue("SELECT group_concat(" + columns + ", ' | ') FROM (SELECT * FROM ImportQueue "
                                         "ORDER BY id)");
    return value.IsNull() ? "" : value.AsText();
  }
  std::string Log() const { return test::ReadFile(dir_.File("zorinput.log")); }

  test::TempDir dir_;
  test::EnvGuard password_{"ZORINPUT_PASSWORD", nullptr};
};

TEST_F(ImportClientTest, ARemoteImportIsRefusedWithoutAnEmailAddressBeforeAnythingIsSent) {
  test::WriteFile(dir_.File("in.txt"), "# prices\n");
  EXPECT_EQ(Zorinput("-rimport=in.txt -user=ana -password=pw -database=zi.db"), 4);
  EXPECT_THAT(Log(), HasSubstr("PLEASE SET YOUR EMAIL ADDRESS TO RECEIVE THE RESULT OF THIS IMPORT"));
  EXPECT_THAT(Log(), HasSubstr("- ZorInput end erro:4079"));
  EXPECT_THAT(Log(), testing::Not(HasSubstr("RemoteImport")));
  EXPECT_EQ(Queue("id"), "");
}

TEST_F(ImportClientTest, AnUploadedFileIsImportedByTheWorkerAsItsUploaderAndTheOutcomeMailed) {
  test::TLocalServer relay;
  test::WriteFile(dir_.File("good.txt"), "# prices\n");
  test::WriteFile(dir_.File("bad.txt"), "*NOSUCH 1\n");
  EXPECT_EQ(Zorinput("-rimport=good.txt -user=bia -password=pw2 -database=zi.db -IFpriority=2"), 0);
  EXPECT_EQ(Zorinput("-rimport=bad.txt -user=bia -password=pw2 -database=zi.db"), 0);
  EXPECT_THAT(test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))),
              testing::Contains(testing::MatchesRegex("- ImpFAdd ok [0-9]+\\.[0-9]s IFpri:2 fsize:9 <good.txt>")));
  EXPECT_EQ(Queue("file_name || ':' || state || ':' || priority"), "good.txt:queued:2 | bad.txt:queued:3");

  ASSERT_EQ(Run(ZI_SERVER_PATH, "import-worker zi.db --until-empty --mail-relay " + relay.HostAndPort() +
                                    " --program " + QuoteParameter(ZI_ZORINPUT_PATH)),
            0);
  EXPECT_EQ(Queue("file_name || ':' || state || ':' || mail_code"), "good.txt:done:0 | bad.txt:failed:0");
  EXPECT_THAT(Queue("result_code"), testing::StartsWith("0 | "));
  EXPECT_NE(Queue("result_code"), "0 | 0");
  EXPECT_THAT(Queue("output"), HasSubstr("- end import ok"));
  const auto mails = relay.Received();
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_THAT(mails[0].target, HasSubstr("/mailto.cgi?TO=bia%40example%2Ecom&SUBJ="));
  EXPECT_THAT(mails[0].target, HasSubstr("&result=ok&"));
  EXPECT_THAT(mails[1].target, HasSubstr("&result=erro%3A"));
  // The import logged in as the uploader, without a password.
  EXPECT_THAT(Log(), testing::Not(HasSubstr("pw2")));
}

TEST_F(ImportClientTest, TheWorkerStoresAndMailsTheImportsOutputInTheDatabasesAndTheMailsOwnEncoding) {
  test::TLocalServer relay;
  test::WriteFile(dir_.File("bad.txt"), "*NOSUCH n\xE3o \xE9\n");  // Windows-1252
  ASSERT_EQ(Zorinput("-rimport=bad.txt -user=bia -password=pw2 -database=zi.db"), 0);
  ASSERT_EQ(Run(ZI_SERVER_PATH, "import-worker zi.db --until-empty --mail-relay " + relay.HostAndPort() +
                                    " --program " + QuoteParameter(ZI_ZORINPUT_PATH)),
            0);
  // Stored once as UTF-8, as every text of the embedded database; read back as program text.
  EXPECT_THAT(Queue("hex(output)"), HasSubstr("2A4E4F53554348206EC3A36F20C3A9"));
  EXPECT_THAT(Queue("output"), HasSubstr("Invalid line: *NOSUCH n\xE3o \xE9"));
  const auto mails = relay.Received();
  ASSERT_EQ(mails.size(), 1u);
  // The mail's texts are all program text: the output as the file name and the subject are.
  EXPECT_THAT(mails[0].target, HasSubstr("%2ANOSUCH%20n%E3o%20%E9"));
}

TEST_F(ImportClientTest, TheEncodingTheUploaderNamesTravelsWithTheFileToItsImport) {
  test::WriteFile(dir_.File("utf8.txt"), "*NOSUCH S\xC3\xA3o\n");
  ASSERT_EQ(Zorinput("-rimport=utf8.txt -user=bia -password=pw2 -database=zi.db -encoding=utf-8"), 0);
  ASSERT_EQ(Zorinput("-rimport=utf8.txt -user=bia -password=pw2 -database=zi.db"), 0);
  EXPECT_EQ(Zorinput("-rimport=utf8.txt -user=bia -password=pw2 -database=zi.db -encoding=latin1"), 4);
  EXPECT_THAT(Log(), HasSubstr("ZorInput switch -encoding value \"latin1\" is not utf-8 or windows-1252 erro:99311"));
  EXPECT_EQ(Queue("flags"), "1 | 0");
  ASSERT_EQ(Run(ZI_SERVER_PATH, "import-worker zi.db --until-empty --program " + QuoteParameter(ZI_ZORINPUT_PATH)), 0);
  const std::string outputs = Queue("result_code || ':' || output");
  // Read as UTF-8 and converted; then, without a name, refused rather than guessed at.
  EXPECT_THAT(outputs, HasSubstr("3942:"));
  EXPECT_THAT(outputs, HasSubstr("Invalid line: *NOSUCH S\xE3o\n"));
  EXPECT_THAT(outputs, HasSubstr(" | 99310:"));
  EXPECT_THAT(outputs, HasSubstr("line:1 Error:99310 the file looks like UTF-8"));
}

TEST_F(ImportClientTest, AWorkerKilledOrStoppedLosesNoFile) {
  // A stand-in for zorinput that holds its file until the test lets it go, so that the worker is
  // caught with a file in hand however fast or slow the machine is.
  const std::string hold = dir_.File("hold");
  const std::string slow = dir_.File("slow.sh");
  test::WriteFile(slow, "#!/bin/sh\nwhile [ -e " + QuoteParameter(hold) + " ]; do sleep 0.05; done\necho '- end import ok'\n");
  fs::permissions(slow, fs::perms::owner_all);
  test::WriteFile(dir_.File("in.txt"), "# prices\n");
  for (int i = 0; i < 2; ++i) ASSERT_EQ(Zorinput("-rimport=in.txt -user=bia -password=pw2 -database=zi.db"), 0);
  test::WriteFile(hold, "");

  // Until the worker has a file in hand; a guard against hangs, not a measure.
  auto waitUntilRunning = [this](pid_t worker) {
    const std::string running = "running:" + std::to_string(worker);
    for (int i = 0; i < 3000; ++i) {
      if (Queue("state || ':' || worker_pid").find(running) != std::string::npos) return true;
      platform::SleepMs(20);
    }
    return false;
  };
  const std::vector<std::string> args{"import-worker", dir_.File("zi.db"), "--program", slow};
  pid_t worker = test::StartProgram(ZI_SERVER_PATH, args, dir_.Path());
  EXPECT_TRUE(waitUntilRunning(worker));
  ::kill(worker, SIGKILL);
  EXPECT_EQ(test::WaitWithin(worker, 10), 1000 + SIGKILL);
  EXPECT_EQ(Queue("state"), "running | queued");

  // Told to stop, a worker finishes the file in hand (the one left running is queued again first).
  worker = test::StartProgram(ZI_SERVER_PATH, args, dir_.Path());
  EXPECT_TRUE(waitUntilRunning(worker));
  ::kill(worker, SIGTERM);
  fs::remove(hold);
  EXPECT_EQ(test::WaitWithin(worker, 60), 0);
  EXPECT_EQ(Queue("state"), "done | queued");

  EXPECT_EQ(Run(ZI_SERVER_PATH, "import-worker zi.db --until-empty --program " + QuoteParameter(slow)), 0);
  EXPECT_EQ(Queue("state || ':' || result_code || ':' || mail_code"), "done:0:99111 | done:0:99111");
}

TEST_F(ImportClientTest, TheBatchAlternatesItsFoldersAndParksAFailedFileWithItsOwnLogLines) {
  for (const char* folder : {"A", "B"}) fs::create_directory(dir_.File(folder));
  test::WriteFile(dir_.File("A/a1.pf"), "# a1\n");
  test::WriteFile(dir_.File("A/a2.pf"), "*NOSUCH 1\n");
  test::WriteFile(dir_.File("A/a2.pfd"), "details\n");
  test::WriteFile(dir_.File("A/notes.txt"), "not a portfolio\n");
  test::WriteFile(dir_.File("B/b1.pf"), "# b1\n");
  EXPECT_EQ(Zorinput("\"-pfimport=A; B\" -DontWaitForFiles -BoletimAcada=0 -user=ana -password=pw -database=zi.db"),
            0);

  std::vector<std::string> order;
  for (const std::string& line : test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))))
    if (line.find("MaxBatchSize:0") != std::string::npos) order.push_back(line);
  EXPECT_THAT(order, testing::ElementsAre("PortfolioBatchImport FileToImport:A/a1.pf MaxBatchSize:0",
                                          "PortfolioBatchImport FileToImport:B/b1.pf MaxBatchSize:0",
                                          "PortfolioBatchImport FileToImport:A/a2.pf MaxBatchSize:0"));
  for (const char* moved : {"A/pfbackup/a1.pf", "B/pfbackup/b1.pf", "A/pferror/a2.pf", "A/pferror/a2.pfd"})
    EXPECT_TRUE(fs::exists(dir_.File(moved))) << moved;
  EXPECT_TRUE(fs::exists(dir_.File("A/notes.txt")));
  EXPECT_FALSE(fs::exists(dir_.File("A/a2.pf")));

  const std::vector<std::string> cut = test::WithoutStamps(test::ReadLines(dir_.File("A/pferror/a2.log")));
  ASSERT_GE(cut.size(), 3u);
  EXPECT_EQ(cut.front(), "PortfolioBatchImport FileToImport:A/a2.pf MaxBatchSize:0");
  EXPECT_THAT(cut.back(), testing::StartsWith("PortfolioBatchImport FileToImport:A/a2.pf Result:"));
  for (const std::string& line : cut) EXPECT_THAT(line, testing::Not(HasSubstr("1.pf"))) << line;
  EXPECT_THAT(Log(), HasSubstr("PortfolioBatchImport end Erro:0"));
}

TEST_F(ImportClientTest, TheLogBesideAFailedBatchFileHoldsItsLinesAsTheLogFileDoes) {
  fs::create_directory(dir_.File("A"));
  test::WriteFile(dir_.File("A/bad.pf"), "*NOSUCH n\xE3o \xE9\n");  // Windows-1252
  EXPECT_EQ(Zorinput("-pfimport=A -DontWaitForFiles -BoletimAcada=0 -user=ana -password=pw -database=zi.db"), 0);
  const std::string cut = test::ReadFile(dir_.File("A/pferror/bad.log"));
  EXPECT_THAT(cut, HasSubstr("Invalid line: *NOSUCH n\xC3\xA3o \xC3\xA9\r\n"));
  EXPECT_THAT(Log(), HasSubstr(cut)) << "the same bytes as the lines of zorinput.log";
}

TEST_F(ImportClientTest, TheBatchReadsEveryFileInTheEncodingNamed) {
  fs::create_directory(dir_.File("A"));
  const std::string utf8 = "# S\xC3\xA3o Paulo\n";
  test::WriteFile(dir_.File("A/a.pf"), utf8);
  EXPECT_EQ(Zorinput("-pfimport=A -DontWaitForFiles -BoletimAcada=0 -user=ana -password=pw -database=zi.db"), 0);
  EXPECT_TRUE(fs::exists(dir_.File("A/pferror/a.pf")));
  EXPECT_THAT(test::ReadFile(dir_.File("A/pferror/a.log")), HasSubstr("Error:99310"));
  test::WriteFile(dir_.File("A/b.pf"), utf8);
  EXPECT_EQ(Zorinput("-pfimport=A -DontWaitForFiles -BoletimAcada=0 -encoding=utf-8 -user=ana -password=pw "
                     "-database=zi.db"),
            0);
  EXPECT_TRUE(fs::exists(dir_.File("A/pfbackup/b.pf")));
  EXPECT_EQ(Zorinput("-pfimport=A -DontWaitForFiles -encoding=cp1252 -user=ana -password=pw -database=zi.db"), 4);
  const std::string log = Log();
  size_t batches = 0;
  for (size_t at = log.find("PortfolioBatchImport begin"); at != std::string::npos;
       at = log.find("PortfolioBatchImport begin", at + 1))
    ++batches;
  EXPECT_EQ(batches, 2u) << "the third is refused before its batch begins";
  EXPECT_THAT(log, HasSubstr("ZorInput switch -encoding value \"cp1252\" is not utf-8 or windows-1252 erro:99311"));
}

TEST_F(ImportClientTest, TheBatchRefusesAFolderThatDoesNotExistAndCreatesNothing) {
  EXPECT_EQ(Zorinput("-pfimport=missing -DontWaitForFiles -BoletimAcada=0 -user=ana -password=pw -database=zi.db"), 4);
  EXPECT_THAT(Log(), HasSubstr("PortfolioBatchImport folder missing/ does not exist"));
  EXPECT_THAT(Log(), HasSubstr("PortfolioBatchImport end Erro:3"));
  EXPECT_FALSE(fs::exists(dir_.File("missing")));
}

TEST_F(ImportClientTest, TheSummarySaysHowTheImportEndedForScripts) {
  test::WriteFile(dir_.File("in.txt"), "# prices\n*NOSUCH 1\n");
  EXPECT_EQ(Zorinput("-import=in.txt -summary=s.json -user=ana -password=pw -database=zi.db"), 2);
  const auto summary = nlohmann::json::parse(test::ReadFile(dir_.File("s.json")));
  EXPECT_EQ(summary["file"], "in.txt");
  EXPECT_EQ(summary["resultCode"], 3942);
  EXPECT_EQ(summary["ok"], false);
  EXPECT_EQ(summary["nothingWritten"], true);
  EXPECT_EQ(summary["lines"], 2);
  EXPECT_EQ(summary["messages"], 1);
  EXPECT_EQ(summary["firstMessage"], "Error:3942 Invalid line: *NOSUCH 1");
  EXPECT_THAT(summary["state"].get<std::string>(), testing::StartsWith("ImpRoot impcli Erro:3942 "));
}

TEST(ProgressLineTest, SaysThePassTheLinesTheRateAndTheTimeLeftOfBothPasses) {
  EXPECT_EQ(TProgressLine::Text("check", 1200, 5000, 0.5), "check 1200/5000 lines, 2400 lines/s, 4 s left");
  EXPECT_EQ(TProgressLine::Text("import", 1000, 4000, 2.5), "import 1000/4000 lines, 2000 lines/s, 2 s left");
  EXPECT_EQ(TProgressLine::Text("check", 0, 10, 0), "check 0/10 lines");
}

TEST_F(ImportClientTest, ABatchKilledBetweenFilesLosesNoneAndTheNextOneTakesTheRest) {
  constexpr int kFiles = 40;
  constexpr int kHeldAfter = 3;
  fs::create_directory(dir_.File("A"));
  for (int i = 0; i < kFiles; ++i) test::WriteFile(dir_.File("A/f" + std::to_string(100 + i) + ".pf"), "# f\n");
  // The batch holds after every kHeldAfter files until the bulletin generator deletes the marker it
  // makes in the program's folder: a program of the test's own folder is held there, at a known
  // file, however fast the machine is.
  const std::string program = dir_.File("zorinput");
  std::error_code linkError;
  fs::create_hard_link(ZI_ZORINPUT_PATH, program, linkError);
  if (linkError) fs::copy_file(ZI_ZORINPUT_PATH, program);
  const std::string marker = dir_.File("gerarboletim.nua");
  const std::vector<std::string> args{"-pfimport=A", "-WaitForFileSecs=1", "-WaitForFileLoops=100",
                                      "-BoletimAcada=" + std::to_string(kHeldAfter), "-user=ana", "-password=pw",
                                      "-database=zi.db"};
  auto count = [this](const std::string& folder) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir_.File(folder))) n += entry.path().extension() == ".pf";
    return n;
  };
  const pid_t batch = test::StartProgram(program, args, dir_.Path());
  // A guard against hangs, not a measure.
  for (int i = 0; i < 6000 && !fs::exists(marker); ++i) platform::SleepMs(10);
  const bool held = fs::exists(marker);
  const int importedWhenHeld = held ? count("A/pfbackup") : -1;
  ::kill(batch, SIGKILL);
  EXPECT_EQ(test::WaitWithin(batch, 10), 1000 + SIGKILL);
  ASSERT_TRUE(held);
  EXPECT_EQ(importedWhenHeld, kHeldAfter);
  EXPECT_EQ(count("A/pfbackup"), kHeldAfter);
  EXPECT_EQ(count("A"), kFiles - kHeldAfter) << "killed before its last file";

  EXPECT_EQ(Zorinput("-pfimport=A -DontWaitForFiles -BoletimAcada=0 -user=ana -password=pw -database=zi.db"), 0);
  EXPECT_EQ(count("A/pfbackup"), kFiles);
  EXPECT_EQ(count("A"), 0);
}

TEST_F(ImportClientTest, ARejectFileFixedAndImportedDoesWhatTheFixedFileWouldHaveDone) {
  const std::string good = "*OBJEMP NOVA 0 \"Nova SA\" 0 1 1 2111 texto 0 0 11222333000181\n";
  const std::string bad = "*OBJEMP OUTRA 0 \"Outra SA\" 0 1 1 2111 texto 0 0 11222333000262 extra fields\n";
  const std::string fixed = "*OBJEMP OUTRA 0 \"Outra SA\" 0 1 1 2111 texto 0 0 11222333000262\n";
  test::WriteFile(dir_.File("in.txt"), good + bad);
  EXPECT_EQ(Zorinput("-import=in.txt -rejects=rejects.txt -user=ana -password=pw -database=zi.db"), 2);
  std::string rejects = test::ReadFile(dir_.File("rejects.txt"));
  ASSERT_THAT(rejects, HasSubstr(bad));
  EXPECT_THAT(rejects, testing::MatchesRegex("(.|\n)*# [^\n]*\n" + std::string("\\*OBJEMP OUTRA(.|\n)*")));
  rejects.replace(rejects.rfind(bad), bad.size(), fixed);  // the line, not its message above
  test::WriteFile(dir_.File("rejects.txt"), rejects);
  EXPECT_EQ(Zorinput("-import=rejects.txt -user=ana -password=pw -database=zi.db"), 0);

  test::TempDir clean;
  { auto server = server::Server::Open(clean.File("zi.db"), server::ProductRegistry()); }
  test::WriteFile(clean.File("in.txt"), good + fixed);
  ProcessOptions options{.workingDirectory = clean.Path(), .wait = true};
  ASSERT_EQ(RodaProcesso(QuoteParameter(ZI_ZORINPUT_PATH) + " -import=in.txt -user=ana -password=pw -database=zi.db",
                         options)
                .exitCode,
            0);
  auto companies = [](const std::string& file) {
    return server::SqliteDb::Open(file)
        ->QueryValue("SELECT group_concat(cod || ':' || nome || ':' || cnpj, ' ') FROM (SELECT * FROM empresa "
                     "ORDER BY cod)")
        .AsText();
  };
  EXPECT_EQ(companies(dir_.File("zi.db")), companies(clean.File("zi.db")));
  EXPECT_THAT(companies(dir_.File("zi.db")), HasSubstr("OUTRA:Outra SA"));
}

TEST_F(ImportClientTest, TheRejectsOfAJsonFileAreItsFailedRecordsWithoutTheirOldAnnotations) {
  test::WriteFile(dir_.File("in.json"),
                  R"([{"cmdtxt": "# fine"},
                      {"cmdtxt": "*NOSUCH 1", "log": [{"old": 1}]},
                      {"action": "insertonly", "type": "rental"}])");
  EXPECT_EQ(Zorinput("-import=in.json -rejects=rejects.json -user=ana -password=pw -database=zi.db"), 1);
  const auto rejects = nlohmann::json::parse(test::ReadFile(dir_.File("rejects.json")));
  ASSERT_EQ(rejects.size(), 2u);
  EXPECT_EQ(rejects[0], nlohmann::json::parse(R"({"cmdtxt": "*NOSUCH 1"})"));
  EXPECT_EQ(rejects[1], nlohmann::json::parse(R"({"action": "insertonly", "type": "rental"})"));
}

TEST_F(ImportClientTest, AHugeLineIsQuotedCutOnTheConsoleInTheLogAndInTheSummary) {
  const std::string line = "*NOSUCH " + std::string(300000, '\xE9');
  test::WriteFile(dir_.File("in.txt"), line + "\n");
  EXPECT_EQ(Zorinput("-import=in.txt -summary=s.json -output=out.txt -user=ana -password=pw -database=zi.db"), 2);
  // UTF-8 at the edges: the accented letters and the ellipsis in their multi-byte forms.
  const std::string quoted = "*NOSUCH " + Cp1252ToUtf8(std::string(992, '\xE9')) + "\xE2\x80\xA6 (300008 bytes)";
  const std::string message = "Error:3942 Invalid line: " + quoted;
  const std::string console = test::ReadFile(dir_.File("out.txt"));
  EXPECT_THAT(console, HasSubstr("\nline:1 " + message + "\n"));
  EXPECT_THAT(console, HasSubstr("LastLine:<" + quoted + ">"));
  EXPECT_LT(console.size(), 20000u);
  EXPECT_LT(Log().size(), 20000u);
  const auto summary = nlohmann::json::parse(test::ReadFile(dir_.File("s.json")));
  EXPECT_EQ(summary["firstMessage"], message);
  EXPECT_THAT(summary["state"].get<std::string>(), HasSubstr("LastLine:<" + quoted + ">"));
}

TEST_F(ImportClientTest, ARejectsOrSummaryFileThatCannotBeMadeStopsTheImportBeforeAnythingIsWritten) {
  test::WriteFile(dir_.File("in.txt"), "*OBJEMP NOVA 0 \"Nova SA\" 0 1 1 2111 texto 0 0 11222333000181\n");
  fs::create_directories(dir_.File("folder"));
  const struct {
    std::string switches;
    std::string message;
  } cases[] = {
      {"-rejects=missing/r.txt", "Error:99309 Rejects file missing/r.txt cannot be written erro:2 "},
      {"-summary=missing/s.json", "Error:99309 Summary file missing/s.json cannot be written erro:2 "},
      {"-rejects=folder", "Error:99309 Rejects file folder cannot be written: it is a folder"},
  };
  for (const auto& c : cases) {
    fs::remove(dir_.File("out.txt"));
    EXPECT_EQ(Zorinput("-import=in.txt " + c.switches + " -output=out.txt -user=ana -password=pw -database=zi.db"), 4)
        << c.switches;
    EXPECT_THAT(test::ReadFile(dir_.File("out.txt")), HasSubstr("\n" + c.message)) << c.switches;
    EXPECT_THAT(Log(), HasSubstr("- ZorInput end erro:99309")) << c.switches;
  }
  auto db = server::SqliteDb::Open(dir_.File("zi.db"));
  EXPECT_EQ(db->QueryValue("SELECT count(*) FROM empresa WHERE cod = 'NOVA'").AsInteger(), 0);
}

// What the process writes to its standard output meanwhile.
class CapturedStdout {
 public:
  explicit CapturedStdout(const std::string& file) : file_(file) {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
  }
  ~CapturedStdout() { Text(); }
  std::string Text() {
    if (saved_ >= 0) {
      std::fflush(stdout);
      ::dup2(saved_, STDOUT_FILENO);
      ::close(saved_);
      saved_ = -1;
    }
    return test::ReadFile(file_);
  }

 private:
  std::string file_;
  int saved_ = -1;
};

// *PAIS N adds the company PN in the import pass; "*PAIS N fail" fails there instead, and the line
// numbered lastLine, once written, makes the commit of its group fail as a full disk does.
class ImportAccountingTest : public test::LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    SetDirectiveHandler("*PAIS", [this](TImpMain& run, const TDirective&) {
      if (run.ToNoCheck()) return TDirectiveOutcome{};
      if (run.Tokens().Token(2) == "fail") return TDirectiveOutcome{false, 4300};
      tObjEmp e;
      e.cod = "P" + std::string(run.Tokens().Token(1));
      e.pais = 0;
      e.nome = e.cod;
      e.moedabal[0] = 0;
      const int code = DbObjEmpAdd(e);
      // The item's own commit, then the group's.
      if (run.lnn() == lastLine_) Driver().InjectFaults({.failCall = 2});
      return TDirectiveOutcome{true, code};
    });
  }
  void TearDown() override {
    SetDirectiveHandler("*PAIS", nullptr);
    LoggedInDatabase::TearDown();
  }
  TImportOutcome Import(const std::string& file) {
    CapturedStdout console(dir_.File("console.txt"));
    TImportOutcome outcome =
        ImportaArquivo(file, false, false, false, {dir_.File("rejects.txt"), dir_.File("summary.json")});
    console_ = console.Text();
    return outcome;
  }
  std::string Companies() {
    return SqlValue("SELECT coalesce(group_concat(cod, ' '), '') FROM (SELECT cod FROM empresa WHERE cod LIKE 'P%' "
                    "ORDER BY cod)")
        .AsText();
  }
  nlohmann::json Summary() { return nlohmann::json::parse(test::ReadFile(dir_.File("summary.json"))); }

  int lastLine_ = 0;
  std::string console_;
};

TEST_F(ImportAccountingTest, ALostGroupsLinesAreRejectsCountedAsFailedAndTheConsoleSaysWhy) {
  test::WriteFile(dir_.File("in.txt"), "# companies\n*PAIS 1\n*PAIS 2 fail\n*PAIS 3\n");
  lastLine_ = 4;
  const TImportOutcome outcome = Import(dir_.File("in.txt"));
  // A group commits at most every 100 ms: on a slow machine the first lines may have made it.
  int committed = 0;
  for (const std::string& line : test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log")))) {
    if (line.starts_with("import committed up to line ")) committed = std::stoi(line.substr(28));
  }
  ASSERT_LT(committed, 4);
  const std::string lost = "import lines after line " + std::to_string(committed) +
                           " are not written: their group was lost";
  EXPECT_EQ(Companies(), committed >= 2 ? "P1" : "");
  EXPECT_NE(outcome.code, 0);
  const std::string lines[] = {"# companies", "*PAIS 1", "*PAIS 2 fail", "*PAIS 3"};
  std::string rejects = "# " + lost + "\n";
  for (int i = committed; i < 4; ++i) rejects += lines[i] + "\n";
  EXPECT_EQ(test::ReadFile(dir_.File("rejects.txt")), rejects);
  const nlohmann::json summary = Summary();
  EXPECT_EQ(summary["ok"], false);
  EXPECT_EQ(summary["failedLines"], (committed < 2 ? 1 : 0) + 1 + (committed < 4 ? 1 : 0));
  EXPECT_EQ(summary["lastMessage"], lost);
  EXPECT_THAT(summary["state"].get<std::string>(), HasSubstr(" LastErrMsg:<" + lost + ">"));
  EXPECT_THAT(console_, HasSubstr("line:4 " + lost + "\n"));
}

TEST_F(ImportAccountingTest, ACmdtxtRecordWithAnErrorEntryIsARejectAndCounted) {
  const std::string file = dir_.File("in.json");
  test::WriteFile(file, R"([{"cmdtxt": "*PAIS 1"}, {"cmdtxt": "*PAIS 2 fail\n*PAIS 3"}])");
  const TImportOutcome outcome = Import(file);
  // Without ErroNaoCriticoTratarComoErro a text's non-fatal error leaves the run's codes alone.
  EXPECT_EQ(outcome.code, 0);
  EXPECT_EQ(Companies(), "P1 P3");
  const auto annotated = nlohmann::json::parse(test::ReadFile(file));
  ASSERT_FALSE(annotated[0].contains("error"));
  ASSERT_EQ(annotated[1]["error"].size(), 1u);
  EXPECT_EQ(nlohmann::json::parse(test::ReadFile(dir_.File("rejects.txt"))),
            nlohmann::json::parse(R"([{"cmdtxt": "*PAIS 2 fail\n*PAIS 3"}])"));
  const nlohmann::json summary = Summary();
  EXPECT_EQ(summary["ok"], false);
  EXPECT_EQ(summary["resultCode"], 0);
  EXPECT_EQ(summary["records"], 2);
  EXPECT_EQ(summary["failedRecords"], 1);
  EXPECT_EQ(summary["messages"], 1);
  EXPECT_EQ(summary["firstMessage"], "Erro durante cmdtxt item:1 line:2 \\\"*PAIS 3\\\"");
  EXPECT_EQ(summary["lastMessage"], summary["firstMessage"]);
}

// A JSON file's records commit in groups as a text file's lines do. A group whose commit fails
// loses the records written in it: each gets an error entry in the file, is a reject and is counted
// failed, and the run ends with the code; a record committed before stays as it is.
TEST_F(ImportAccountingTest, AJsonRecordOfALostGroupIsMarkedInItsFileAndIsAReject) {
  SetJsonRecordHandler("portfolio", [this](const std::string&, TImpJSON& run, TJsonObject& record, _ActionDB) {
    std::string cod;
    ASSERT_TRUE(run.GetTextField(record, "cod", false, cod));
    tObjEmp e;
    e.cod = cod;
    e.pais = 0;
    e.nome = cod;
    e.moedabal[0] = 0;
    ASSERT_EQ(DbObjEmpAdd(e), 0);
    // The record's own level, then the group's commit at the end of the run.
    if (run.ElementIndex() == lastLine_) Driver().InjectFaults({.failCall = 2});
  });
  const std::string file = dir_.File("in.json");
  const std::string records[] = {R"({"type":"portfolio","action":"insertorupdate","cod":"P1"})",
                                 R"({"type":"portfolio","action":"insertorupdate","cod":"P2"})"};
  test::WriteFile(file, "[" + records[0] + "," + records[1] + "]");
  lastLine_ = 1;
  const TImportOutcome outcome = Import(file);
  SetJsonRecordHandler("portfolio", nullptr);

  // A group commits at most every 100 ms: on a slow machine the first record may have made it.
  const std::string companies = Companies();
  ASSERT_TRUE(companies == "" || companies == "P1") << companies;
  const bool firstLost = companies.empty();
  EXPECT_NE(outcome.code, 0);
  const std::string lost = "import records from index " + std::string(firstLost ? "0" : "1") +
                           " on are not written: their group was lost";
  const auto annotated = nlohmann::json::parse(test::ReadFile(file));
  EXPECT_EQ(annotated[0].contains("error"), firstLost);
  ASSERT_TRUE(annotated[1].contains("error"));
  EXPECT_EQ(annotated[1]["error"][0]["message"], lost);
  std::vector<nlohmann::json> rejects;
  if (firstLost) rejects.push_back(nlohmann::json::parse(records[0]));
  rejects.push_back(nlohmann::json::parse(records[1]));
  EXPECT_EQ(nlohmann::json::parse(test::ReadFile(dir_.File("rejects.txt"))), nlohmann::json(rejects));
  const nlohmann::json summary = Summary();
  EXPECT_EQ(summary["ok"], false);
  EXPECT_EQ(summary["failedRecords"], firstLost ? 2 : 1);
  EXPECT_THAT(console_, HasSubstr(lost));
}

}  // namespace
}  // namespace zi
