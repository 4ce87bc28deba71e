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
};

TEST_F(EntryTest, ModeNotInThisBuildFailsWithItsCodeBetweenStartAndEndLines) {
  EXPECT_EQ(Run("-IMPORT=prices.txt"), 4);
  EXPECT_THAT(LogTexts(), ElementsAre("ZorInput start ver:20240410-1131 ana@desk7",
                                      "ZorInput mode import is not available in this build erro:99001",
                                      "- ZorInput end erro:99001 Sys.ExitCode:99001"));
}

TEST_F(EntryTest, DebugSwitchShowsTheFoundationStartAndEndOrder) {
  EXPECT_EQ(Run("/exportacac=3 -li"), 4);
  EXPECT_THAT(LogTexts(),
              ElementsAre("Basic Momento", "Momento", "Basic2", "basic4", "ZorInput start ver:20240410-1131 ana@desk7",
                          "ZorInput mode exportacac is not available in this build erro:99001",
                          "- ZorInput end erro:99001 Sys.ExitCode:99001", "*basic4", "*basic4 end", "*Basic2",
                          "*Basic2.MyExit", "*Basic2.MyExit end", "*Basic2.RodaTodasAsExitProcs",
                          "*Basic2.RodaTodasAsExitProcs end", "*Basic2 end", "*Basic", "*Basic end"));
}

TEST_F(EntryTest, DebugSwitchMustBeTheWholeParameter) {
  Run("/import=x /LIx");
  EXPECT_EQ(LogTexts().front(), "ZorInput start ver:20240410-1131 ana@desk7");
}

TEST_F(EntryTest, DesktopStartRegistersFileTypesThenSaysTheDesktopIsMissing) {
  EXPECT_EQ(Run("-noracote"), 4);
  EXPECT_THAT(LogTexts(), ElementsAre("ZorInput start ver:20240410-1131 ana@desk7", "RACOTE /noracote warning:4493",
                                      "ZorInput mode desktop is not available in this build erro:99001",
                                      "- ZorInput end erro:99001 Sys.ExitCode:99001"));
  EXPECT_TRUE(std::filesystem::exists(data_.Path() + "/mime/packages/zorinput_import_file.xml"));
  EXPECT_TRUE(std::filesystem::exists(data_.Path() + "/applications/zorinput_import_file-open.desktop"));
}

TEST_F(EntryTest, ReqGBolWithoutBulletinSupportIsLoggedAndTheModeStillRuns) {
  EXPECT_EQ(Run("/reqgbol=2 /import=f.txt"), 4);
  EXPECT_THAT(LogTexts(), testing::Contains("ZorInput reqgbol: bulletin requests are not available in this build"));
  EXPECT_THAT(LogTexts(), testing::Contains("ZorInput mode import is not available in this build erro:99001"));
}

}  // namespace
}  // namespace zi
