#include "toolbox/lifecycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/test_files.h"
#include "toolbox/log.h"

namespace zi {
namespace {

using test::WithoutStamps;
using testing::ElementsAre;

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
