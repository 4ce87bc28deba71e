// The run modes as the program runs them: their values, their login, their exit status.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "toolbox/process.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

using testing::Contains;

class MsgQQModeTest : public testing::Test {
 protected:
  int Run(const std::string& arguments) {
    ProcessOptions options;
    options.wait = true;
    options.workingDirectory = dir_.Path();
    return RodaProcesso(QuoteParameter(ZI_ZORINPUT_PATH) + " " + arguments + " /user=ana /password=pw /database=zi.db",
                        options)
        .exitCode;
  }
  std::vector<std::string> LogTexts() const { return test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
  test::TempDir temp_;
  test::EnvGuard tempVar_{"TEMP", temp_.Path().c_str()};
  test::EnvGuard xdgConfig_{"XDG_CONFIG_HOME", temp_.Path().c_str()};
  test::EnvGuard xdgData_{"XDG_DATA_HOME", temp_.Path().c_str()};
  test::EnvGuard password_{"ZORINPUT_PASSWORD", nullptr};
};

TEST_F(MsgQQModeTest, ModesSendTheirFilesAndRefuseValuesThatAreNoIds) {
  test::WriteFile(dir_.File("m.bin"), std::string(751, 'm'));
  test::WriteFile(dir_.File("coded.txt"), "W:2\n");
  EXPECT_EQ(Run("/msgqq=171;3,m.bin"), 0);
  EXPECT_THAT(LogTexts(), Contains("end ok TotSize:751 Blocos:2"));
  EXPECT_EQ(Run("/msgqqcode=174,coded.txt"), 0);
  EXPECT_THAT(LogTexts(), Contains("MandaMsgQQCodeDumArquivo 174.0 coded.txt"));
  EXPECT_EQ(Run("/msgqqcode=174,256,coded.txt"), 4);
  EXPECT_THAT(LogTexts(), Contains("- ZorInput end erro:25897 Sys.ExitCode:25897"));
  EXPECT_EQ(Run("/msgqq=x,1,m.bin"), 4);
  EXPECT_THAT(LogTexts(),
              Contains("ZorInput mode msgqq value \"x,1,m.bin\" is not object id,auxiliary id,file erro:99093"));
  EXPECT_EQ(Run("/msgqqcode=171"), 4);
  EXPECT_THAT(LogTexts(), Contains("ZorInput mode msgqqcode value \"171\" is not object id,[auxiliary id,]file "
                                   "erro:99093"));
  EXPECT_EQ(Run("/msgqq=171,1,m.bin /password=Wr0ng"), 3);
  EXPECT_THAT(LogTexts(), Contains("end erro:3775 TotSize:751 Blocos:0"));
}

}  // namespace
}  // namespace zi
