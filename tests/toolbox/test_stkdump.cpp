#include "toolbox/stkdump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <stdexcept>

#include "support/child_process.h"
#include "support/test_files.h"
#include "toolbox/errors.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"

namespace zi {
namespace {

using test::WithoutStamps;
using testing::ElementsAre;

class StackDumpTest : public testing::Test {
 protected:
  void SetUp() override { SetLogFileName(dir_.File("zorinput.log")); }
  void TearDown() override { SetLogFileName("zorinput.log"); }
  std::vector<std::string> LogTexts() const { return WithoutStamps(test::ReadLines(dir_.File("zorinput.log"))); }

  test::TempDir dir_;
};

TEST_F(StackDumpTest, NineEntriesMakeALineOfEightAndALineOfOne) {
  TDumpInfo dump{"EDBException", "EDBException:4000", 0, {}};
  for (uint32_t i = 1; i <= 9; ++i) dump.entries.push_back({i * 0x10, i != 3});
  DumpStack(dump);
  EXPECT_THAT(LogTexts(), ElementsAre("EDBException: EDBException:4000",
                                      "00000010  00000020  00000030? 00000040  00000050  00000060  00000070  "
                                      "00000080 ",
                                      "00000090 ", "--------"));
}

TEST_F(StackDumpTest, EmptyStackSaysSo) {
  DumpStack(TDumpInfo{"DLPA", "RunError250:x", 0, {}});
  EXPECT_THAT(LogTexts(), ElementsAre("DLPA: RunError250:x", "<pilha vazia>", "--------"));
}

[[gnu::noinline]] void ThrowFromHere() { throw EZorInputException(4134); }

TEST_F(StackDumpTest, EveryRaiseRecordsClassMessageAndStack) {
  try {
    ThrowFromHere();
  } catch (const EDBException& e) {
    ReportException("[where]", e);
  }
  TDumpInfo dump = LastRaiseDump();
  EXPECT_EQ(dump.className, "EZorInputException");
  EXPECT_EQ(dump.message, "EDBException:4134");
  ASSERT_FALSE(dump.entries.empty());
  EXPECT_TRUE(dump.entries.front().inProgram) << "the raise happened in the program's own code";

  auto texts = LogTexts();
  ASSERT_GE(texts.size(), 4u);
  EXPECT_EQ(texts[0], "exception EZorInputException:EDBException:4134 [where]");
  EXPECT_EQ(texts[1], "EZorInputException: EDBException:4134");
  EXPECT_TRUE(std::regex_match(texts[2], std::regex(R"(([0-9A-F]{8}[ ?] ?){1,8})"))) << texts[2];
  EXPECT_EQ(texts.back(), "--------");

  try {
    throw 42;
  } catch (int) {
  }
  EXPECT_EQ(LastRaiseDump().className, "int");
  EXPECT_EQ(LastRaiseDump().message, "");
}

TEST_F(StackDumpTest, FatalInvariantEndsWith250AndTheRunTimeErrorLine) {
  int status = test::RunInChild([] {
    FoundationStart();
    Loga("working");
    Assert250(false, "list not sorted");
  });
  EXPECT_EQ(status, 250);
  auto texts = LogTexts();
  ASSERT_GE(texts.size(), 6u);
  EXPECT_EQ(texts[0], "working");
  EXPECT_EQ(texts[1], "Error: RunError250assert: list not sorted");
  EXPECT_EQ(texts[2], "DLPA: RunError250:RunError250assert: list not sorted");
  EXPECT_THAT(texts, testing::Contains("--------"));
  EXPECT_TRUE(std::regex_match(texts.back(), std::regex("Run time error 250 at [0-9A-F]{8}"))) << texts.back();
  EXPECT_EQ(std::count_if(texts.begin(), texts.end(), [](auto& t) { return t.rfind("Run time error", 0) == 0; }), 1);
}

TEST_F(StackDumpTest, UnhandledExceptionIsLoggedWithItsStackAndEndsWith250) {
  int status = test::RunInChild([] {
    FoundationStart();
    // Nothing outside a noexcept function catches what escapes it.
    []() noexcept { ThrowFromHere(); }();
  });
  EXPECT_EQ(status, 250);
  auto texts = LogTexts();
  ASSERT_FALSE(texts.empty());
  EXPECT_TRUE(std::regex_match(texts[0], std::regex("Exception Error at [0-9A-F]{8} [0-9A-F]{8}  EZorInputException "
                                                    "EDBException:4134")))
      << texts[0];
  EXPECT_EQ(texts[1], "exception EZorInputException:EDBException:4134 [Basic.MyExceptHandler]");
  EXPECT_EQ(texts[2], "EZorInputException: EDBException:4134");
  EXPECT_THAT(texts, testing::Contains("Error: [Basic.MyExceptHandler]"));
  EXPECT_TRUE(texts.back().rfind("Run time error 250 at ", 0) == 0) << texts.back();
}

TEST_F(StackDumpTest, ProcessorFaultIsLoggedAndEndsWith250) {
  int status = test::RunInChild([] {
    FoundationStart();
    std::raise(SIGSEGV);
  });
  EXPECT_EQ(status, 250);
  auto texts = LogTexts();
  ASSERT_FALSE(texts.empty());
  EXPECT_THAT(texts[0], testing::StartsWith("Exception Error at "));
  EXPECT_THAT(texts[0], testing::HasSubstr("  EAccessViolation signal 11"));
  EXPECT_TRUE(texts.back().rfind("Run time error 250 at ", 0) == 0) << texts.back();
}

}  // namespace
}  // namespace zi
