#include "session/zi_globs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "support/child_process.h"
#include "support/test_files.h"
#include "toolbox/log.h"

namespace zi {
namespace {

class OutputTest : public testing::Test {
 protected:
  void SetUp() override { SetLogFileName(dir_.File("zorinput.log")); }
  void TearDown() override { SetLogFileName("zorinput.log"); }
  test::TempDir dir_;
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

TEST_F(OutputTest, FileThatCannotBeWrittenIsLoggedAndOutputStays) {
  std::string file = dir_.File("missing/out.txt");
  int status = test::RunInChild([&] { RedirectOutput(file); });
  EXPECT_EQ(status, 0);
  EXPECT_THAT(test::WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))),
              testing::ElementsAre("output -> \"" + file + "\" iores:2"));
}

}  // namespace
}  // namespace zi
