// The import pass on the embedded database commits its lines in groups: a line is written whole
// or not at all, a failed line is undone alone, and a killed run loses at most the lines since the
// commit its log names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <set>
#include <string>

#include "catalogue/caches.h"
#include "catalogue/catalogue.h"
#include "db/connection.h"
#include "db/drivers/embedded_driver.h"
#include "import/command_line_run.h"
#include "import/directives.h"
#include "import/fields.h"
#include "server/server.h"
#include "session/login.h"
#include "session/reference_data.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "toolbox/log.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

constexpr int kFailingLineCode = 4300;

// *PAIS N adds the companies A<N> and B<N> in two calls; the line numbered failAt fails after the
// first, the one numbered exitAt ends the process there, and the one numbered dropAt loses the
// connection before its calls.
db::EmbeddedDriver& Driver() { return static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()); }

int failAt = 0;
int exitAt = 0;
int dropAt = 0;
// After the line numbered beginFailsAfter, the group that the next line begins cannot begin.
int beginFailsAfter = 0;

int AddCompany(const std::string& cod) {
  tObjEmp e;
  e.cod = cod;
  e.pais = 0;
  e.nome = cod;
  e.moedabal[0] = 0;
  return DbObjEmpAdd(e);
}

TDirectiveOutcome TwoCompanies(TImpMain& run, const TDirective&) {
  int32_t n = 0;
  if (!ReadIntegerField(run.Tokens().Token(1), n)) return {false, kFailingLineCode};
  if (run.ToNoCheck()) return {};
  if (n == dropAt) Driver().DropConnection();
  if (const int code = AddCompany("A" + std::to_string(n))) return {true, code};
  if (n == failAt) return {true, kFailingLineCode};
  if (n == exitAt) ::_exit(9);
  const int code = AddCompany("B" + std::to_string(n));
  // The line's own commit, the group's commit (every group is due), then the next group's begin.
  if (n == beginFailsAfter) Driver().InjectFaults({.failCall = 3});
  return {true, code};
}

class CommitGroupsImportTest : public testing::Test {
 protected:
  void SetUp() override { SetLogFileName(dir_.File("zorinput.log")); }
  void TearDown() override {
    SetDirectiveHandler("*PAIS", nullptr);
    SetReferenceDataLoader(nullptr);
    db::DestroyZiDb();
    DropObjectCaches();
    SetLogFileName("zorinput.log");
    failAt = exitAt = dropAt = beginFailsAfter = 0;
  }
  void Login() {
    SetReferenceDataLoader(CarregaDadosIniciais);
    SetParameters({"/opt/zorinput", "/user=ana", "/password=pw", "/database=" + dir_.File("zi.db")});
    ASSERT_EQ(InitDbConnection("", "", false, nullptr), 0);
    SetDirectiveHandler("*PAIS", TwoCompanies);
  }
  int Import(int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i) text += "*PAIS " + std::to_string(i) + "\n";
    test::WriteFile(dir_.File("in.txt"), text);
    impcli::tMyImpMain run(dir_.File("in.txt"), true, false, "");
    run.SetRejectsFile(dir_.File("rejects.txt"));
    while (run.NotFinished()) run.Step();
    failedLines_ = run.FailedLineCount();
    run.AfterRun();
    return run.ResultCode();
  }
  // The line of the last "import committed up to line N" in the log; 0 without one.
  int LastCommitted() {
    int lastCommitted = 0;
    for (const std::string& line : Log()) {
      if (line.starts_with("import committed up to line ")) lastCommitted = std::stoi(line.substr(28));
    }
    return lastCommitted;
  }
  std::set<std::string> Companies() {
    auto& server = *static_cast<db::EmbeddedDriver&>(db::ZiDb().GetDriver()).Server();
    std::set<std::string> codes;
    const std::vector<server::ResultSet> sets = server.ExecuteSql("SELECT cod FROM empresa");
    for (const auto& row : sets.front().rows) codes.insert(row[0].AsText());
    return codes;
  }
  static std::set<std::string> Lines(int first, int last) {
    std::set<std::string> codes;
    for (int i = first; i <= last; ++i) codes.insert({"A" + std::to_string(i), "B" + std::to_string(i)});
    return codes;
  }
  std::vector<std::string> Log() { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
  int failedLines_ = 0;
};

TEST_F(CommitGroupsImportTest, AFailedLineIsUndoneAloneAndTheEndOfTheRunCommitsTheRest) {
  Login();
  failAt = 2;
  EXPECT_EQ(Import(3), kFailingLineCode);
  std::set<std::string> expected = Lines(1, 3);
  expected.erase("A2");
  expected.erase("B2");
  EXPECT_EQ(Companies(), expected);
  EXPECT_THAT(Log(), testing::Contains("import committed up to line 3"));
}

TEST_F(CommitGroupsImportTest, AKilledRunLosesOnlyTheLinesAfterItsLastCommitAndNoPartOfALine) {
  constexpr int kKilledAt = 7000;
  const int status = test::RunInChildWithin(120, [&] {
    Login();
    exitAt = kKilledAt;
    Import(kKilledAt + 10);
  });
  ASSERT_EQ(status, 9);
  const int lastCommitted = LastCommitted();
  // A group holds at most kGroupItems lines.
  ASSERT_GE(lastCommitted, kKilledAt - db::TAdoDataBaseCustomizado::kGroupItems);
  ASSERT_LT(lastCommitted, kKilledAt);
  Login();
  EXPECT_EQ(Companies(), Lines(1, lastCommitted));
}

TEST_F(CommitGroupsImportTest, ALostGroupStopsTheRunAndEveryLineItDidNotWriteIsACountedReject) {
  Login();
  dropAt = 3;
  EXPECT_NE(Import(5), 0);
  // A group commits at most every 100 ms: on a slow machine the first lines may have made it.
  const int lastCommitted = LastCommitted();
  ASSERT_LT(lastCommitted, dropAt);
  const std::string lost =
      "import lines after line " + std::to_string(lastCommitted) + " are not written: their group was lost";
  EXPECT_THAT(Log(), testing::Contains("line:3 " + lost));
  EXPECT_EQ(Companies(), Lines(1, lastCommitted));
  std::string rejects = "# " + lost + "\n";
  for (int i = lastCommitted + 1; i <= 5; ++i) rejects += "*PAIS " + std::to_string(i) + "\n";
  EXPECT_EQ(test::ReadFile(dir_.File("rejects.txt")), rejects);
  // The lines of the group and the line in hand ran; the two after it never did.
  EXPECT_EQ(failedLines_, dropAt - lastCommitted);
}

TEST_F(CommitGroupsImportTest, ALineWhoseGroupCouldNotBeginIsWrittenOnItsOwnAndNeverCountedAsLost) {
  Login();
  // Every group is due at the next line: each line is committed before the next begins.
  db::ZiDb().SetClock([] {
    static int64_t ms = 0;
    return ms += 1000;
  });
  beginFailsAfter = 2;
  dropAt = 4;
  EXPECT_NE(Import(5), 0);
  const std::string lost = "import lines after line 3 are not written: their group was lost";
  EXPECT_THAT(Log(), testing::Contains("line:4 " + lost));
  EXPECT_EQ(Companies(), Lines(1, 3));
  EXPECT_EQ(test::ReadFile(dir_.File("rejects.txt")), "# " + lost + "\n*PAIS 4\n*PAIS 5\n");
  EXPECT_EQ(failedLines_, 1);
}

}  // namespace
}  // namespace zi
