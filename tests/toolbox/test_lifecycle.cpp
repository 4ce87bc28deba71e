#include "toolbox/lifecycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <stdexcept>

#include "support/child_process.h"
#include "support/test_files.h"
#include "toolbox/log.h"

namespace zi {
namespace {

using test::WithoutStamps;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;

std::vector<std::string> calls;

class LifecycleTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogFileName(dir_.File("zorinput.log"));
    calls.clear();
  }
  void TearDown() override { SetLogFileName("zorinput.log"); }
  std::vector<std::string> LogTexts() const { return WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
};

void First() { calls.push_back("first"); }
void Second() { calls.push_back("second"); }
void Chained() { calls.push_back("chained"); }
void InstallsChained() {
  calls.push_back("installs");
  SetExitProc(Chained);
}

TEST_F(LifecycleTest, ExitProceduresRunNewestFirstAndChainedOnesAtOnce) {
  SetExitProc(First);
  RoubaOChainDeExitProcs();
  SetExitProc(InstallsChained);
  RoubaOChainDeExitProcs();
  SetExitProc(Second);
  RodaTodasAsExitProcs();
  EXPECT_THAT(calls, ElementsAre("second", "installs", "chained", "first"));
  EXPECT_EQ(ExitProcSlot(), nullptr);
  EXPECT_THAT(LogTexts(), ElementsAre("Basic2.RoubaOChainDeExitProcs", "Basic2.RodaTodasAsExitProcs rodando"));

  RodaTodasAsExitProcs();
  EXPECT_EQ(calls.size(), 4u) << "the stash is emptied once run";
}

enum class TeardownEnd { Returns, Raises, Faults };
TeardownEnd teardownEnd = TeardownEnd::Returns;

// What a window system's teardown does at the process end: it writes and may fail.
void Teardown() {
  std::fputs("teardown output\n", stdout);
  Loga("teardown ran");
  if (teardownEnd == TeardownEnd::Raises) throw std::runtime_error("teardown failed");
  if (teardownEnd == TeardownEnd::Faults) std::raise(SIGSEGV);
}
void RegisteredEarlier() { Loga("earlier procedure ran"); }

// A procedure of the exit chain runs before the writers are flushed; one that raises is logged and
// the chain goes on; one that faults ends the run with 250, and the writers are flushed all the same.
TEST_F(LifecycleTest, ProcessEndRunsTheChainThenFlushesTheWritersWhateverAProcedureDoes) {
  const struct {
    TeardownEnd end;
    int status;
    bool chainGoesOn;
  } cases[] = {{TeardownEnd::Returns, 0, true}, {TeardownEnd::Raises, 0, true}, {TeardownEnd::Faults, 250, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.end));
    const std::string output = dir_.File("stdout.txt");
    std::remove(dir_.File("zorinput.log").c_str());
    int status = test::RunInChildWithin(60, [&] {
      FoundationStart();
      ::dup2(::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
      SetExitProc(RegisteredEarlier);
      RoubaOChainDeExitProcs();
      SetExitProc(Teardown);
      teardownEnd = c.end;
      std::fputs("run output\n", stdout);
      try {
        EndProcess(0);
      } catch (...) {
        ::_exit(99);
      }
    });
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(test::ReadFile(output), "run output\nteardown output\n");
    auto texts = LogTexts();
    EXPECT_THAT(texts, Contains("teardown ran"));
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "earlier procedure ran"), c.chainGoesOn ? 1 : 0);
    if (c.end == TeardownEnd::Raises) {
      EXPECT_THAT(texts, Contains(HasSubstr(":teardown failed [Basic2.RodaTodasAsExitProcs]")));
    }
  }
}

// The watchdog's last words: the line a fatal path could not log reaches the log, made and written
// without allocating, with the stamp every line has.
TEST_F(LifecycleTest, WatchdogWritesTheLineLeftToItAndEndsWith250) {
  int status = test::RunInChild([] {
    static TFixedLine line;
    AddStamp(line);
    line.Add(" Exception Error at 0000002A 0000002A  EAbort");
    SetWatchdogLastLine(line.Text());
    EndByWatchdog();
  });
  EXPECT_EQ(status, 250);
  auto lines = test::ReadLines(dir_.File("zorinput.log"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0], testing::MatchesRegex("[0-9]{4}/[0-9]{2}/[0-9]{2}-[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9A-F]{8}/"
                                              "[0-9A-F]{8}  0 Exception Error at 0000002A 0000002A  EAbort"));
  EXPECT_EQ(lines[0].substr(0, 10), LogStamp().substr(0, 10)) << "the local date";
}

TCallBackList callbackList;
int rounds = 0;
void CallsAgainTwice() {
  calls.push_back("again");
  if (++rounds < 3) callbackList.ChamaTodos("inner");
}
void CallsAgainForever() { callbackList.ChamaTodos("inner"); }

TEST_F(LifecycleTest, CallbackCalledWhileRunningAsksForAnotherRound) {
  rounds = 0;
  callbackList.Add(CallsAgainTwice);
  callbackList.Add(nullptr);
  callbackList.Add(Second);
  callbackList.ChamaTodos("test");
  EXPECT_THAT(calls, ElementsAre("again", "second", "again", "second", "again", "second"));
  callbackList.Remove(CallsAgainTwice);
  callbackList.Remove(Second);
  calls.clear();
  callbackList.ChamaTodos("test");
  EXPECT_TRUE(calls.empty());
}

TEST_F(LifecycleTest, EleventhCallbackRoundIsFatal) {
  int status = test::RunInChild([] {
    callbackList.Add(CallsAgainForever);
    callbackList.ChamaTodos("B2.GFS");
  });
  EXPECT_EQ(status, 250);
  EXPECT_THAT(LogTexts(), testing::Contains("Error: TCBL.CA TCallBackList RC:11 B2.GFS"));
}

TEST_F(LifecycleTest, AddingToAMissingListIsFatal) {
  int status = test::RunInChild([] { CallBackListAdd(nullptr, First, "D.EDFW"); });
  EXPECT_EQ(status, 250);
  EXPECT_THAT(LogTexts(), testing::Contains("Error: TCBL.A nil D.EDFW"));
  CallBackListRemove(nullptr, First);
}

TEST(RegionalSettings, ListSeparatorAvoidsTheDecimalSeparator) {
  EXPECT_EQ(DeriveListSeparator(';', ','), ';');
  EXPECT_EQ(DeriveListSeparator(';', ';'), '|');
  EXPECT_EQ(DeriveListSeparator(',', ','), ';');
  EXPECT_EQ(DeriveListSeparator('\0', '.'), ';');
}

TEST(RegionalSettings, DatePatternFollowsTheShortDateFormat) {
  struct Case {
    const char* format;
    char separator;
    const char* order;
  } cases[] = {{"dd/MM/yyyy", '/', "DMY"}, {"MM/dd/yy", '/', "MDY"}, {"yyyy-MM-dd", '-', "YMD"},
               {"d.M.yyyy", '.', "DMY"},   {"", '/', "DMY"}};
  for (const auto& c : cases) {
    DateDisplayPattern p = DatePatternOf(c.format, c.separator);
    EXPECT_EQ(p.order, c.order) << c.format;
    EXPECT_EQ(p.separator, c.separator) << c.format;
  }
}

}  // namespace
}  // namespace zi
