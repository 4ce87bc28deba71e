// The program as a whole: started as a process, judged by its exit status and its log.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

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
  std::vector<std::string> LogTexts() const { return WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
  test::TempDir data_;
  test::EnvGuard user_{"USER", "ana"};
  test::EnvGuard userName_{"USERNAME", nullptr};
  test::EnvGuard computer_{"COMPUTERNAME", "desk7"};
  test::EnvGuard xdgData_{"XDG_DATA_HOME", data_.Path().c_str()};
  test::EnvGuard xdgConfig_{"XDG_CONFIG_HOME", data_.Path().c_str()};
  test::EnvGuard password_{"ZORINPUT_PASSWORD", nullptr};
};

TEST_F(EntryTest, UnattendedModeLogsInToAFreshEmbeddedDatabase) {
  EXPECT_EQ(Run("-IMPORT=prices.txt /user=ana /password=s3cret /database=zi.db"), 4);
  EXPECT_THAT(LogTexts(), ElementsAre("Basic2.RoubaOChainDeExitProcs", "ZorInput start ver:20240410-1131 ana@desk7",
                                      "InitDbConnection new database zi.db: user ana created as administrator",
                                      testing::StartsWith("ServerTime: "),
                                      "ZorInput mode import is not available in this build erro:99001",
                                      "- ZorInput end erro:99001 Sys.ExitCode:99001",
                                      "Basic2.RodaTodasAsExitProcs rodando"));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("zi.db")));
}

TEST_F(EntryTest, FailedLoginEndsWithTheLoginStatusAndNeverLogsThePassword) {
  ASSERT_EQ(Run("/import=prices.txt /user=ana /password=s3cret /database=zi.db"), 4);
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

TEST_F(EntryTest, DesktopStartRegistersFileTypesThenSaysTheDesktopIsMissing) {
  EXPECT_EQ(Run("-noracote"), 4);
  EXPECT_THAT(LogTexts(), ElementsAre("Basic2.RoubaOChainDeExitProcs", "ZorInput start ver:20240410-1131 ana@desk7",
                                      "RACOTE /noracote warning:4493",
                                      "ZorInput mode desktop is not available in this build erro:99001",
                                      "- ZorInput end erro:99001 Sys.ExitCode:99001",
                                      "Basic2.RodaTodasAsExitProcs rodando"));
  EXPECT_TRUE(std::filesystem::exists(data_.Path() + "/mime/packages/zorinput_import_file.xml"));
  EXPECT_TRUE(std::filesystem::exists(data_.Path() + "/applications/zorinput_import_file-open.desktop"));
}

TEST_F(EntryTest, ReqGBolAloneLogsInAndSendsTheRequestAtTheEnd) {
  struct Case {
    const char* value;
    const char* sent;
  } cases[] = {{"2", "ReqGBol Pri:2 ok [ZiGlobs.fini [/reqgbol]]"}, {"12", "ReqGBol Pri:0 ok [ZiGlobs.fini [/reqgbol]]"}};
  for (const auto& c : cases) {
    std::filesystem::remove(dir_.File("zorinput.log"));
    EXPECT_EQ(Run(std::string("/reqgbol=") + c.value + " /user=ana /password=pw /database=zi.db"), 0) << c.value;
    auto texts = LogTexts();
    EXPECT_THAT(texts, testing::Contains(c.sent)) << c.value;
    EXPECT_THAT(texts, testing::Contains("- ZiGlobs Fini ReqGBol erro:0 requester:[/reqgbol]")) << c.value;
    EXPECT_THAT(texts, testing::Contains("- ZorInput end")) << c.value;
  }
}

TEST_F(EntryTest, FailedRunSendsNoBulletinRequest) {
  EXPECT_EQ(Run("/reqgbol=2 /import=f.txt /user=ana /password=pw /database=zi.db"), 4);
  EXPECT_THAT(LogTexts(), testing::Not(testing::Contains(testing::HasSubstr("ReqGBol Pri:"))));
}

}  // namespace
}  // namespace zi
