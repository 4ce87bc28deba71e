#include "session/zi_globs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "support/child_process.h"
#include "support/test_files.h"
#include "session/session.h"
#include "toolbox/log.h"
#include "toolbox/switches.h"

namespace zi {
namespace {

class OutputTest : public testing::Test {
 protected:
  void SetUp() override { SetLogFileName(dir_.File("zorinput.log")); }
  void TearDown() override { SetLogFileName("zorinput.log"); }
  test::TempDir dir_;
  test::EnvGuard config_{"XDG_CONFIG_HOME", dir_.Path().c_str()};
};

TEST_F(OutputTest, StandardOutputIsAppendedToTheFile) {
  std::string file = dir_.File("out.txt");
  test::WriteFile(file, "before\n");
  int status = test::RunInChild([&] {
    RedirectOutput(file);
    std::printf("after\n");
    std::fflush(stdout);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test::ReadFile(file), "before\nafter\n");
}

TEST_F(OutputTest, SwitchesThatNameFilesKeepTheSystemsBytes) {
  const std::string out = dir_.File("sa\xC3\xAD" "da \xE6\x97\xA5.txt");  // one character Windows-1252 cannot hold
  const std::string folder = dir_.File("d\xE9j\xE0");                          // no UTF-8 at all
  int status = test::RunInChild([&] {
    SetParameters({"/opt/zorinput", "-output=" + out, "/PathReqGBol=" + folder});
    ZiGlobsStart();
    std::printf("redirected\n");
    std::fflush(stdout);
    ::_exit(ZiGlobs().PathReqGBol == folder + "/" ? 0 : 1);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test::ReadFile(out), "redirected\n");
}

TEST_F(OutputTest, FileThatCannotBeWrittenIsLoggedAndOutputStays) {
  std::string file = dir_.File("missing dossi\xC3\xAA/out.txt");
  int status = test::RunInChild([&] { RedirectOutput(file); });
  EXPECT_EQ(status, 0);
  EXPECT_THAT(test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))),
              testing::ElementsAre("output -> \"" + file + "\" iores:2"));
}

}  // namespace
}  // namespace zi
