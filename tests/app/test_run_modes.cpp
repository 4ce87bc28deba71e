#include "app/run_modes.h"

#include <gtest/gtest.h>

#include "toolbox/switches.h"

namespace zi::app {
namespace {

ModeSelection SelectFrom(std::vector<std::string> params) {
  params.insert(params.begin(), "/opt/zorinput");
  SetParameters(params);
  return SelectRunMode();
}

TEST(RunModeSelection, FirstModeOfTheTableWinsWhateverTheOrderOnTheLine) {
  struct Case {
    std::vector<std::string> params;
    RunMode mode;
    std::string value;
  } cases[] = {
      {{}, RunMode::Desktop, ""},
      {{"-import=a.txt"}, RunMode::Import, "a.txt"},
      {{"/exportacotacoes=x", "/exportabaccomstatus"}, RunMode::ExportaBacComStatus, ""},
      {{"/exportacac=3", "/contasquenaofecham=7"}, RunMode::ContasQueNaoFecham, "7"},
      {{"/msgqqcode=1,f", "/msgqq=1,2,f"}, RunMode::MsgQQ, "1,2,f"},
      {{"/rimport=r.txt", "/PFIMPORT=dir"}, RunMode::PfImport, "dir"},
      {{"/importx=1"}, RunMode::Desktop, ""},
      {{"import=1"}, RunMode::Desktop, ""},
  };
  for (const auto& c : cases) {
    ModeSelection s = SelectFrom(c.params);
    EXPECT_EQ(s.mode, c.mode) << testing::PrintToString(c.params);
    EXPECT_EQ(s.value, c.value) << testing::PrintToString(c.params);
    EXPECT_FALSE(s.reqgbol);
  }
}

TEST(RunModeSelection, ValuesThatNameFilesStayTheSystemsBytes) {
  const std::string utf8 = "caf\xC3\xA9";  // would read as the program text "caf\xE9"
  const std::string other = "\xE6\x97\xA5";  // Windows-1252 cannot hold it
  const std::string latin1 = "caf\xE9";      // no UTF-8 at all
  struct Case {
    std::string param;
    RunMode mode;
    std::string value;
  } cases[] = {
      {"/import=" + utf8, RunMode::Import, utf8},
      {"/pfimport=" + latin1 + ";" + other, RunMode::PfImport, latin1 + ";" + other},
      {"/rimport=" + utf8, RunMode::RImport, utf8},
      {"/msgqq=1,2," + utf8, RunMode::MsgQQ, "1,2," + utf8},
      {"/msgqqcode=1," + utf8, RunMode::MsgQQCode, "1," + utf8},
      {"/exportacotacoes=1;0;2024-01-02;2024-12-31;" + utf8, RunMode::ExportaCotacoes,
       "1;0;2024-01-02;2024-12-31;" + utf8},
  };
  for (const auto& c : cases) {
    ModeSelection s = SelectFrom({c.param});
    EXPECT_EQ(s.mode, c.mode) << c.param;
    EXPECT_EQ(s.value, c.value) << c.param;
  }
}

TEST(RunModeSelection, ReqGBolCombinesWithAModeOrStandsAlone) {
  ModeSelection both = SelectFrom({"/reqgbol=2", "/import=f.txt"});
  EXPECT_EQ(both.mode, RunMode::Import);
  EXPECT_TRUE(both.reqgbol);
  EXPECT_EQ(both.reqgbolPriority, 2);

  ModeSelection alone = SelectFrom({"/reqgbol=12"});
  EXPECT_EQ(alone.mode, RunMode::ReqGBolAlone);
  EXPECT_TRUE(alone.reqgbol);
  EXPECT_EQ(alone.reqgbolPriority, 0);

  for (const char* value : {"/reqgbol=-1", "/reqgbol=x", "/reqgbol", "/reqgbol=9"}) {
    ModeSelection s = SelectFrom({value});
    EXPECT_EQ(s.reqgbolPriority, std::string(value) == "/reqgbol=9" ? 9 : 0) << value;
  }
}

TEST(RunModeValues, MsgQQItemsSplitAtCommaOrSemicolon) {
  auto plain = ParseMsgQQ("171;5,c:\\dir\\m,1.txt");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->objectId, 171);
  EXPECT_EQ(plain->auxiliaryId, 5);
  EXPECT_EQ(plain->file, "c:\\dir\\m,1.txt");

  auto twoItems = ParseMsgQQCode("171,c:\\m.txt");
  ASSERT_TRUE(twoItems);
  EXPECT_EQ(twoItems->kind, 'a');
  EXPECT_EQ(twoItems->objectId, 171);
  EXPECT_EQ(twoItems->auxiliaryId, 0);
  EXPECT_EQ(twoItems->file, "c:\\m.txt");

  auto threeItems = ParseMsgQQCode("171;9;m.txt");
  ASSERT_TRUE(threeItems);
  EXPECT_EQ(threeItems->kind, 'T');
  EXPECT_EQ(threeItems->auxiliaryId, 9);
  EXPECT_EQ(threeItems->file, "m.txt");

  for (const char* bad : {"", "x,2,f", "1,y,f", "1,2", "1"}) EXPECT_FALSE(ParseMsgQQ(bad)) << bad;
  for (const char* bad : {"", "x,f", "1", "1,y,f", "1,2,"}) EXPECT_FALSE(ParseMsgQQCode(bad)) << bad;
}

TEST(RunModeValues, NotANumberReadsAsTheLargestInteger) {
  EXPECT_EQ(NumberValueOrMax("12"), 12);
  EXPECT_EQ(NumberValueOrMax("-3"), -3);
  for (const char* bad : {"", "x", "12a", "99999999999"}) EXPECT_EQ(NumberValueOrMax(bad), 2147483647) << bad;
}

TEST(ProcessExitStatus, MapsFullCodesToEightBits) {
  EXPECT_EQ(ProcessExitStatus(0, ExitKind::Ok), 0);
  EXPECT_EQ(ProcessExitStatus(0, ExitKind::Other), 0);
  EXPECT_EQ(ProcessExitStatus(3840, ExitKind::ImportPartial), 1);
  EXPECT_EQ(ProcessExitStatus(4096, ExitKind::CheckFailed), 2);
  EXPECT_EQ(ProcessExitStatus(3775, ExitKind::LoginFailed), 3);
  EXPECT_EQ(ProcessExitStatus(256, ExitKind::Other), 4);
  // A code that a later step set on a run that itself succeeded is still a failure.
  EXPECT_EQ(ProcessExitStatus(3796, ExitKind::Ok), 4);
}

}  // namespace
}  // namespace zi::app
