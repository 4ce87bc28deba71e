#include "toolbox/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>

#include "support/test_files.h"
#include "toolbox/errors.h"
#include "toolbox/platform.h"

namespace zi {
namespace {

using test::ReadLines;
using test::WithoutStamp;
using test::WithoutStamps;
using testing::ElementsAre;

class LogTest : public testing::Test {
 protected:
  void SetUp() override {
    logFile_ = dir_.File("zorinput.log");
    SetLogFileName(logFile_);
    Loga("flush anything kept by an earlier test");
    std::filesystem::remove(logFile_);
  }
  void TearDown() override { SetLogFileName("zorinput.log"); }

  std::vector<std::string> LogTexts() const { return WithoutStamps(ReadLines(logFile_)); }

  test::TempDir dir_;
  test::EnvGuard temp_{"TEMP", dir_.Path().c_str()};
  std::string logFile_;
};

TEST_F(LogTest, StampHasDateTimeProcessThreadAndZeroField) {
  std::string stamp = LogStamp();
  std::regex shape(R"(\d{4}/\d{2}/\d{2}-\d{2}:\d{2}:\d{2} [0-9A-F]{8}/[0-9A-F]{8}  0)");
  EXPECT_TRUE(std::regex_match(stamp, shape)) << stamp;
  EXPECT_EQ(stamp.substr(20, 8), fmt::format("{:08X}", ::getpid()));
}

TEST_F(LogTest, FirstLineCreatesTheFileAndLinesEndWithCrLf) {
  Loga("one");
  Loga("A\xE7\xE3o");  // Windows-1252 inside, UTF-8 in the file
  std::string text = test::ReadFile(logFile_);
  std::regex shape(R"(\d{4}/\d{2}/\d{2}-\d{2}:\d{2}:\d{2} [0-9A-F]{8}/[0-9A-F]{8}  0 one\r\n.{41}Ação\r\n)");
  EXPECT_TRUE(std::regex_match(text, shape)) << text;
  EXPECT_EQ(WithoutStamp(RecentLogLines().back()), "A\xE7\xE3o");
}

TEST_F(LogTest, RecentLinesKeepTheirLimitDroppingTheOldest) {
  SetRecentLogLinesLimit(300);
  for (int i = 1; i <= 301; ++i) Loga("recent " + std::to_string(i));
  auto recent = RecentLogLines();
  ASSERT_EQ(recent.size(), 300u);
  EXPECT_EQ(WithoutStamp(recent.front()), "recent 2");
  EXPECT_EQ(WithoutStamp(recent.back()), "recent 301");

  SetRecentLogLinesLimit(4096);
  for (int i = 302; i <= 400; ++i) Loga("recent " + std::to_string(i));
  EXPECT_EQ(RecentLogLines().size(), 399u);
  SetRecentLogLinesLimit(300);
  Loga("shrunk");
  EXPECT_EQ(RecentLogLines().size(), 300u);
}

TEST_F(LogTest, FormatThatDoesNotFitItsArgumentsIsReportedInstead) {
  LogaFormat("value %d of %s", 7, std::string("ten"));
  LogaFormat("missing %s and %d", std::string("one"));
  LogaFormat("number %d", std::string("text"));
  auto texts = LogTexts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "value 7 of ten");
  EXPECT_THAT(texts[1], testing::StartsWith("missing %s and %d **** exception Loga Format:format_error "));
  EXPECT_THAT(texts[2], testing::StartsWith("number %d **** exception Loga Format:format_error "));
}

TEST_F(LogTest, LinesKeptInMemoryOnlyComeOutBeforeTheNextWrittenLine) {
  LogaConsole("deferred 1", true);
  LogaConsole("deferred 2", true);
  EXPECT_FALSE(std::filesystem::exists(logFile_));
  EXPECT_THAT(WithoutStamps(PendingLogLines()), ElementsAre("deferred 1", "deferred 2"));
  Loga("written");
  EXPECT_THAT(LogTexts(), ElementsAre("deferred 1", "deferred 2", "end of log kept in memory", "written"));
  EXPECT_TRUE(PendingLogLines().empty());
}

TEST_F(LogTest, UnwritableLogGoesToMemoryAndTheTemporaryCopy) {
  SetLogFileName(dir_.File("missing-dir/zorinput.log"));
  Loga("first");
  Loga("second");
  std::string header = "start of log kept in memory (<" + dir_.File("missing-dir/zorinput.log") + "> error:2)";
  EXPECT_THAT(WithoutStamps(PendingLogLines()), ElementsAre(header, "first", "second"));
  EXPECT_THAT(WithoutStamps(ReadLines(dir_.File("zor.tmp.log"))), ElementsAre(header, "first", "second"));

  SetLogFileName(logFile_);
  Loga("back");
  EXPECT_THAT(LogTexts(), ElementsAre(header, "first", "second", "end of log kept in memory", "back"));
}

TEST_F(LogTest, EmptyLogFileNameIsError123AndTempFallsBackToTmpdir) {
  test::EnvGuard noTemp("TEMP", nullptr);
  test::TempDir tmpdir;
  test::EnvGuard tmpdirGuard("TMPDIR", tmpdir.Path().c_str());
  SetLogFileName("");
  Loga("nowhere");
  EXPECT_THAT(WithoutStamps(ReadLines(tmpdir.File("zor.tmp.log"))),
              ElementsAre("start of log kept in memory (<> error:123)", "nowhere"));
  SetLogFileName(logFile_);
  Loga("flushed");
}

TEST_F(LogTest, MoreThan256KeptLinesDropTheOldestWithTheHeader) {
  SetLogFileName(dir_.File("missing-dir/zorinput.log"));
  for (int i = 1; i <= 300; ++i) Loga("kept " + std::to_string(i));
  auto pending = WithoutStamps(PendingLogLines());
  ASSERT_EQ(pending.size(), 257u);
  EXPECT_EQ(pending.front(), "kept 44");
  EXPECT_EQ(pending.back(), "kept 300");
  SetLogFileName(logFile_);
  Loga("flushed");
  EXPECT_EQ(LogTexts().size(), 259u);
}

// A child process that holds the log's lock until told to let go.
class LockHolder {
 public:
  explicit LockHolder(const std::string& file) {
    int ready[2], release[2];
    EXPECT_EQ(::pipe(ready), 0);
    EXPECT_EQ(::pipe(release), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
      ::flock(fd, LOCK_EX);
      char c = 1;
      (void)!::write(ready[1], &c, 1);
      (void)!::read(release[0], &c, 1);
      ::_exit(0);
    }
    char c;
    EXPECT_EQ(::read(ready[0], &c, 1), 1);
    release_ = release[1];
    ::close(ready[0]);
    ::close(ready[1]);
    ::close(release[0]);
  }
  void Release() {
    char c = 1;
    EXPECT_EQ(::write(release_, &c, 1), 1);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    ::close(release_);
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
};

TEST_F(LogTest, LockedFileWaitsThenKeepsLinesAndWritesThemInOrderOnceFree) {
  Loga("before");
  LockHolder holder(logFile_);
  int64_t start = platform::MonotonicMs();
  Loga("while locked 1");
  int64_t firstWait = platform::MonotonicMs() - start;
  start = platform::MonotonicMs();
  Loga("while locked 2");
  int64_t laterWait = platform::MonotonicMs() - start;
  // Ten waits of 500 ms for the first line; later lines only ten of 25 ms.
  EXPECT_GE(firstWait, 4900);
  EXPECT_GE(laterWait, 240);
  EXPECT_LT(laterWait, firstWait);

  std::string header = "start of log kept in memory (<" + logFile_ + "> error:32)";
  EXPECT_THAT(WithoutStamps(ReadLines(dir_.File("zor.tmp.log"))),
              ElementsAre(header, "while locked 1", "while locked 2"));
  EXPECT_THAT(LogTexts(), ElementsAre("before"));

  holder.Release();
  Loga("after");
  EXPECT_THAT(LogTexts(), ElementsAre("before", header, "while locked 1", "while locked 2",
                                      "end of log kept in memory", "after"));
}

TEST_F(LogTest, ProcessesAppendingTogetherLoseAndTearNoLine) {
  constexpr int kProcesses = 4;
  constexpr int kLines = 2000;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    if (pid == 0) {
      for (int i = 0; i < kLines; ++i) Loga("proc " + std::to_string(p) + " line " + std::to_string(i));
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto lines = ReadLines(logFile_);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kProcesses * kLines));
  std::regex shape(R"(\d{4}/\d{2}/\d{2}-\d{2}:\d{2}:\d{2} [0-9A-F]{8}/[0-9A-F]{8}  0 proc (\d) line (\d+))");
  std::map<int, int> next;
  for (const auto& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
    int proc = std::stoi(m[1]);
    EXPECT_EQ(std::stoi(m[2]), next[proc]++) << "lines of one process out of order";
  }
  for (int p = 0; p < kProcesses; ++p) EXPECT_EQ(next[p], kLines);
}

TEST_F(LogTest, ReportExceptionWithCodeSettlesTheCode) {
  struct Case {
    int callerCode;
    int defaultCode;
    bool dbException;
    int expected;
  } cases[] = {
      {0, 3938, true, 7125}, {0, 3938, false, 3938}, {0, 0, false, 4000}, {55, 3938, true, 55},
  };
  for (const auto& c : cases) {
    int code = c.callerCode;
    if (c.dbException) ReportExceptionWithCode("Where", code, EDBException(7125), c.defaultCode);
    else ReportExceptionWithCode("Where", code, std::runtime_error("boom"), c.defaultCode);
    EXPECT_EQ(code, c.expected);
  }
  auto texts = LogTexts();
  EXPECT_THAT(texts, ElementsAre("Where erro:7125 EDBException:EDBException:7125", "Where erro:3938 runtime_error:boom",
                                 "Where erro:4000 runtime_error:boom", "Where erro:55 EDBException:EDBException:7125"));
}

TEST_F(LogTest, MemoryStatusLine) {
  LogMemoryStatus();
  std::regex shape(R"(MemoryStatus Load:\d+% Phys:(\d+)/(\d+) Virt:(\d+)/(\d+))");
  std::smatch m;
  std::string text = LogTexts().at(0);
  ASSERT_TRUE(std::regex_match(text, m, shape)) << text;
  EXPECT_GE(std::stoull(m[1]), std::stoull(m[2])) << "total physical memory comes first";
  EXPECT_LE(std::stoull(m[3]), std::stoull(m[4])) << "available virtual memory comes first";
}

class RotateTest : public LogTest {
 protected:
  std::string target_ = dir_.File("zorinput.log");
  void SetUp() override {
    LogTest::SetUp();
    SetLogFileName(dir_.File("other.log"));
  }
  // Lines of 100 bytes: 98 characters and CR LF.
  std::string MakeLog(int64_t size) {
    std::string text;
    while (static_cast<int64_t>(text.size()) + 100 <= size) text += std::string(98, 'x') + "\r\n";
    text += std::string(static_cast<size_t>(size) - text.size(), 'y');
    test::WriteFile(target_, text);
    return text;
  }
};

TEST_F(RotateTest, RotatesOnlyAboveThresholdPlusTailPlus100) {
  MakeLog(1020100);
  EXPECT_EQ(RotateLogFile(target_, 20000, 1000000), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("zorinput001.log")));

  std::string original = MakeLog(1020101);
  EXPECT_EQ(RotateLogFile(target_, 20000, 1000000), 0);
  std::string kept = test::ReadFile(target_);
  std::string moved = test::ReadFile(dir_.File("zorinput001.log"));
  EXPECT_LE(kept.size(), 20000u);
  EXPECT_EQ(moved + kept, original);
  EXPECT_EQ(moved.substr(moved.size() - 2), "\r\n") << "the kept part starts right after a line break";
  EXPECT_EQ(WithoutStamp(RecentLogLines().back()),
            "NDTCM " + target_ + " size:1020101 TAG:1000000 TMR:20000; moving part to " + dir_.File("zorinput001.log"));
}

TEST_F(RotateTest, NumberFollowsTheHighestExistingOne) {
  test::WriteFile(dir_.File("zorinput007.log"), "old");
  test::WriteFile(dir_.File("zorinputabc.log"), "not a number");
  MakeLog(3000);
  EXPECT_EQ(RotateLogFile(target_, 0, 100), 0);
  EXPECT_EQ(test::ReadFile(dir_.File("zorinput008.log")).size(), 3000u);
  EXPECT_EQ(test::ReadFile(target_), "") << "tail 0 keeps nothing";

  test::WriteFile(dir_.File("zorinput1000.log"), "old");
  MakeLog(3000);
  EXPECT_EQ(RotateLogFile(target_, 0, 100), 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("zorinput1001.log")));
}

TEST_F(RotateTest, FileWithoutLineBreaksIsCutAtTheTail) {
  std::string original(50000, '\x01');
  test::WriteFile(target_, original);
  EXPECT_EQ(RotateLogFile(target_, 1000, 100), 0);
  EXPECT_EQ(test::ReadFile(target_).size(), 1000u);
  EXPECT_EQ(test::ReadFile(dir_.File("zorinput001.log")).size(), 49000u);
}

TEST_F(RotateTest, MissingFileIsLeftAlone) {
  EXPECT_EQ(RotateLogFile(dir_.File("absent.log"), 0, 0), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("absent001.log")));
}

}  // namespace
}  // namespace zi
