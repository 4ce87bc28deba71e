#include "toolbox/stkdump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <filesystem>
#include <regex>
#include <stdexcept>
#include <thread>
#include <vector>

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
  test::EnvGuard temp_{"TEMP", dir_.Path().c_str()};
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

void RaiseSegmentationFault() { std::raise(SIGSEGV); }

// The C library aborts inside its allocator, under the heap's lock, when it finds the heap
// corrupted: the report must not rely on the allocator to end the run with 250.
[[maybe_unused]] void FreeALargeBlockTwice() {
  // Too large for the per-thread cache: the second free is checked under the arena's lock.
  auto* block = static_cast<char*>(std::malloc(4000));
  void* after = std::malloc(4000);
  std::free(block);
  std::free(*reinterpret_cast<char* volatile*>(&block));
  std::free(after);
}

TEST_F(StackDumpTest, ProcessorFaultOrAbortIsLoggedAndEndsWith250) {
  const struct {
    void (*fault)();
    const char* className;
    bool reportMayHang;  // then the watchdog ends it, after the first line
  } cases[] = {
      {RaiseSegmentationFault, "  EAccessViolation signal 11", false},
#if !defined(__SANITIZE_ADDRESS__)  // the address sanitizer reports the double free itself
      {FreeALargeBlockTwice, "  EAbort signal 6 (Aborted)", true},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.className);
    std::remove(dir_.File("zorinput.log").c_str());
    int status = test::RunInChildWithin(60, [&] {
      FoundationStart();
      c.fault();
    });
    EXPECT_EQ(status, 250);
    auto texts = LogTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_THAT(texts[0], testing::StartsWith("Exception Error at "));
    EXPECT_THAT(texts[0], testing::HasSubstr(c.className));
    if (!c.reportMayHang) {
      EXPECT_TRUE(texts.back().rfind("Run time error 250 at ", 0) == 0) << texts.back();
    }
  }
}

[[gnu::noinline, gnu::no_sanitize("address", "undefined")]] void WriteThroughABadPointer() {
  // The address goes through a volatile, so that the optimiser cannot see a constant bad pointer
  // (GCC warns of array bounds at -O2 for one).
  volatile uintptr_t address = 16;
  *reinterpret_cast<volatile int*>(address) = 1;
}

TEST_F(StackDumpTest, FaultWhileTheLogIsLockedNamesTheFaultingCodeAndEndsWith250) {
  test::TLockHolder holder(dir_.File("zorinput.log"));
  int status = test::RunInChildWithin(60, [] {
    FoundationStart();
    WriteThroughABadPointer();
  });
  holder.Release();
  EXPECT_EQ(status, 250);
  auto kept = WithoutStamps(test::ReadLines(dir_.File("zor.tmp.log")));
  ASSERT_GE(kept.size(), 2u);
  std::smatch m;
  const std::regex line("Exception Error at [0-9A-F]{8} ([0-9A-F]{8})  EAccessViolation .*");
  ASSERT_TRUE(std::regex_match(kept[1], m, line)) << kept[1];
  const uint32_t offset = static_cast<uint32_t>(std::stoul(m[1], nullptr, 16));
  const uint32_t function = DumpEntryOf(reinterpret_cast<uintptr_t>(&WriteThroughABadPointer)).offset;
  EXPECT_GE(offset, function);
  EXPECT_LT(offset, function + 64) << "the offset names the faulting instruction, not the data address";
  EXPECT_THAT(kept.back(), testing::StartsWith("Run time error 250 at ")) << "the whole dump reached the copy";
}

// Data in standard output's buffer for a pipe that is full and never read: flushing it at the end
// would wait for ever.
TEST_F(StackDumpTest, FatalEndThatCannotFinishIsEndedByTheWatchdogWith250) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  int status = test::RunInChildWithin(60, [&] {
    FoundationStart();
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::fcntl(STDOUT_FILENO, F_SETFL, O_NONBLOCK);
    char block[4096] = {};
    while (::write(STDOUT_FILENO, block, sizeof block) > 0) {
    }
    ::fcntl(STDOUT_FILENO, F_SETFL, 0);
    std::fputs("never read", stdout);
    std::raise(SIGSEGV);
  });
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  EXPECT_EQ(status, 250);
  EXPECT_THAT(LogTexts(), testing::Contains("Error: [Basic.MyExceptHandler]"));
}

size_t CountStartingWith(const std::vector<std::string>& texts, std::string_view prefix) {
  return static_cast<size_t>(
      std::count_if(texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(prefix, 0) == 0; }));
}

// Threads that fault together: one report, one end with 250. A thread that raises all the while
// keeps the record of raises busy.
TEST_F(StackDumpTest, ThreadsFaultingAtOnceEndTheProcessOnceWith250) {
  int status = test::RunInChildWithin(60, [] {
    FoundationStart();
    constexpr int kThreads = 4;
    std::atomic<int> ready{0};
    std::thread raiser([] {
      for (;;) try {
          ThrowFromHere();
        } catch (const EDBException&) {
        }
    });
    std::vector<std::thread> faulting;
    for (int i = 0; i < kThreads; ++i)
      faulting.emplace_back([&ready] {
        ++ready;
        while (ready < kThreads) {
        }
        WriteThroughABadPointer();
      });
    for (auto& t : faulting) t.join();
    raiser.join();
  });
  EXPECT_EQ(status, 250);
  auto texts = LogTexts();
  EXPECT_EQ(CountStartingWith(texts, "Exception Error at "), 1u);
  EXPECT_EQ(CountStartingWith(texts, "Run time error 250 at "), 1u);
}

void FaultsAgain() { WriteThroughABadPointer(); }

// A fault inside the report of a fault (here in an exit procedure of the fatal end) ends the process
// at once with 250; the report's first lines are logged.
TEST_F(StackDumpTest, FaultDuringTheReportOfAFaultEndsWith250) {
  int status = test::RunInChildWithin(60, [] {
    FoundationStart();
    SetExitProc(FaultsAgain);
    WriteThroughABadPointer();
  });
  EXPECT_EQ(status, 250);
  auto texts = LogTexts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(CountStartingWith(texts, "Exception Error at "), 1u);
  EXPECT_THAT(texts, testing::Contains("Error: [Basic.MyExceptHandler]"));
}

volatile int recursionLimit = INT_MAX;

[[gnu::noinline]] int Recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  return depth < recursionLimit ? Recurse(depth + 1) + frame[0] : 0;
}

TEST_F(StackDumpTest, StackOverflowIsReportedFromTheAlternateStackOfItsThread) {
  for (const bool inThread : {false, true}) {
    std::filesystem::remove(dir_.File("zorinput.log"));
    int status = test::RunInChildWithin(60, [inThread] {
      FoundationStart();
      if (!inThread) Recurse(0);
      std::thread([] {
        UseAlternateSignalStack();
        Recurse(0);
      }).join();
    });
    EXPECT_EQ(status, 250) << inThread;
    auto texts = LogTexts();
    ASSERT_FALSE(texts.empty()) << inThread;
    EXPECT_THAT(texts[0], testing::HasSubstr("  EAccessViolation "));
    EXPECT_TRUE(texts.back().rfind("Run time error 250 at ", 0) == 0) << texts.back();
  }
}

}  // namespace
}  // namespace zi
