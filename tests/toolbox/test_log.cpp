#include "toolbox/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>

#include "support/child_process.h"
#include "support/test_files.h"
#include "toolbox/codec.h"
#include "toolbox/errors.h"
#include "toolbox/platform.h"
#include "toolbox/text.h"

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

TEST_F(LogTest, AHugeLineIsCutInTheFileAndTheMemoryLists) {
  const std::string huge = "huge " + std::string(200000, '\xE9');
  const std::string cut = "huge " + std::string(kLogLineLimit - 5, '\xE9') + "\x85 (200005 bytes)";
  // Compared as booleans: a failure would print the texts whole.
  Loga(huge);
  EXPECT_TRUE(WithoutStamp(RecentLogLines().back()) == cut) << RecentLogLines().back().size();
  LogaConsole(huge, true);
  EXPECT_TRUE(WithoutStamp(PendingLogLines().back()) == cut) << PendingLogLines().back().size();
  Loga("written");
  // The file is UTF-8: the accented letters and the ellipsis take their multi-byte forms.
  const std::vector<std::string> expected = {Cp1252ToUtf8(cut), Cp1252ToUtf8(cut), "end of log kept in memory", "written"};
  EXPECT_TRUE(LogTexts() == expected);
  EXPECT_EQ(Cp1252ToUtf8("\x85"), "\xE2\x80\xA6");
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

TEST_F(LogTest, UnwritableLogGoesToMemoryAndIsAppendedToTheTemporaryCopy) {
  test::WriteFile(dir_.File("zor.tmp.log"), "an earlier run's line\r\n");
  const std::string missing = dir_.File("missing dossi\xC3\xAA/zorinput.log");  // the system's bytes
  SetLogFileName(missing);
  Loga("first");
  Loga("second");
  const std::string header = "start of log kept in memory (<" + missing + "> error:2)";
  EXPECT_THAT(WithoutStamps(PendingLogLines()), ElementsAre(PathText(header), "first", "second"));
  auto copy = ReadLines(dir_.File("zor.tmp.log"));
  ASSERT_EQ(copy.size(), 4u);
  EXPECT_EQ(copy[0], "an earlier run's line");
  EXPECT_THAT(WithoutStamps({copy.begin() + 1, copy.end()}), ElementsAre(header, "first", "second"));

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

TEST_F(LogTest, LockedFileWaitsThenKeepsLinesAndWritesThemInOrderOnceFree) {
  Loga("before");
  test::TLockHolder holder(logFile_);
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

TEST_F(LogTest, LinesKeptUnderALockHeldToTheEndGetALastLongerAttempt) {
  test::TLockHolder holder(logFile_);
  int toParent[2];
  ASSERT_EQ(::pipe(toParent), 0);
  pid_t child = ::fork();
  if (child == 0) {
    Loga("kept 1");
    Loga("kept 2");
    char c = 1;
    (void)!::write(toParent[1], &c, 1);
    LogEnd();
    ::_exit(0);
  }
  char c = 0;
  EXPECT_EQ(::read(toParent[0], &c, 1), 1);
  holder.Release();
  EXPECT_EQ(test::WaitWithin(child, 60), 0);
  ::close(toParent[0]);
  ::close(toParent[1]);
  EXPECT_THAT(LogTexts(), ElementsAre("start of log kept in memory (<" + logFile_ + "> error:32)", "kept 1", "kept 2",
                                      "end of log kept in memory"));
}

TEST_F(LogTest, TemporaryCopyNeverWritesThroughALinkOrIntoAnotherUsersFile) {
  const std::string copy = dir_.File("zor.tmp.log");
  const std::string victim = dir_.File("victim");
  struct Case {
    const char* what;
    std::function<void()> plant;
  };
  std::vector<Case> cases = {
      {"symbolic link", [&] { std::filesystem::create_symlink(victim, copy); }},
      {"hard link", [&] { std::filesystem::create_hard_link(victim, copy); }},
  };
  if (::geteuid() == 0)
    cases.push_back({"another user's file", [&] {
                       test::WriteFile(copy, "theirs\r\n");
                       ASSERT_EQ(::chown(copy.c_str(), 65534, 65534), 0);
                     }});
  SetLogFileName(dir_.File("missing-dir/zorinput.log"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(copy);
    test::WriteFile(victim, "precious\r\n");
    c.plant();
    const std::string before = test::ReadFile(copy);
    Loga("kept");
    EXPECT_EQ(test::ReadFile(victim), "precious\r\n");
    EXPECT_EQ(test::ReadFile(copy), before);
  }
  SetLogFileName(logFile_);
  Loga("flushed");
}

TEST_F(LogTest, LogAndTemporaryCopyAreCreatedForOwnerAndGroupOnly) {
  const mode_t oldMask = ::umask(022);
  Loga("created");
  SetLogFileName(dir_.File("missing-dir/zorinput.log"));
  Loga("kept");
  ::umask(oldMask);
  for (const auto& file : {logFile_, dir_.File("zor.tmp.log")}) {
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0) << file;
    EXPECT_EQ(st.st_mode & 0777, 0640u) << file;
  }
  SetLogFileName(logFile_);
  Loga("flushed");
}

TEST_F(LogTest, LogThatIsNoRegularFileIsNeverWaitedOn) {
  struct Case {
    const char* what;
    std::function<void()> make;
  } cases[] = {
      {"FIFO without a reader", [&] { ASSERT_EQ(::mkfifo(logFile_.c_str(), 0640), 0); }},
      {"device", [&] { std::filesystem::create_symlink("/dev/null", logFile_); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(logFile_);
    std::filesystem::remove(dir_.File("zor.tmp.log"));
    c.make();
    EXPECT_EQ(test::RunInChildWithin(30, [] { Loga("not waiting"); }), 0);
    EXPECT_THAT(WithoutStamps(ReadLines(dir_.File("zor.tmp.log"))),
                ElementsAre("start of log kept in memory (<" + logFile_ + "> error:99040)", "not waiting"));
  }
  std::filesystem::remove(logFile_);
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

// Every line of the archives and of the log, oldest first.
std::vector<std::string> ArchivedAndCurrentLines(const test::TempDir& dir, std::vector<std::string>& archives) {
  std::map<int, std::string> numbered;
  std::regex name(R"(zorinput(\d{3,})\.log)");
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    std::smatch m;
    std::string file = entry.path().filename().string();
    if (std::regex_match(file, m, name)) numbered[std::stoi(m[1])] = entry.path().string();
  }
  std::vector<std::string> lines;
  archives.clear();
  for (const auto& [number, path] : numbered) {
    archives.push_back(std::filesystem::path(path).filename().string());
    for (auto& line : ReadLines(path)) lines.push_back(std::move(line));
  }
  for (auto& line : ReadLines(dir.File("zorinput.log"))) lines.push_back(std::move(line));
  return lines;
}

TEST_F(RotateTest, RotationWhileProcessesAppendLosesReordersAndOverwritesNothing) {
  SetLogFileName(target_);
  constexpr int kAppenders = 4;
  constexpr int kRotators = 2;
  constexpr int kLines = 1500;
  const std::string stop = dir_.File("stop");
  std::vector<pid_t> appenders, rotators;
  for (int r = 0; r < kRotators; ++r) {
    pid_t pid = ::fork();
    if (pid == 0) {
      while (!std::filesystem::exists(stop)) {
        if (RotateLogFile(target_, 1000, 8000) != 0) ::_exit(1);
        platform::SleepMs(1);
      }
      ::_exit(0);
    }
    rotators.push_back(pid);
  }
  // Halfway, each appender waits for the first archive, so that rotations happen while processes
  // append however the machine schedules them (a guard against hangs, not a measure).
  const std::string firstArchive = dir_.File("zorinput001.log");
  for (int p = 0; p < kAppenders; ++p) {
    pid_t pid = ::fork();
    if (pid == 0) {
      for (int i = 0; i < kLines; ++i) {
        if (i == kLines / 2)
          for (int wait = 0; wait < 60000 && !std::filesystem::exists(firstArchive); ++wait) platform::SleepMs(1);
        Loga("proc " + std::to_string(p) + " line " + std::to_string(i));
      }
      ::_exit(0);
    }
    appenders.push_back(pid);
  }
  for (pid_t pid : appenders) EXPECT_EQ(test::WaitWithin(pid, 120), 0);
  test::WriteFile(stop, "");
  for (pid_t pid : rotators) EXPECT_EQ(test::WaitWithin(pid, 120), 0);

  std::vector<std::string> archives;
  auto lines = ArchivedAndCurrentLines(dir_, archives);
  ASSERT_FALSE(archives.empty()) << "the test rotated nothing";
  std::regex appended(R"(.{41}proc (\d) line (\d+))");
  std::regex rotated(R"(.{41}NDTCM .* moving part to .*zorinput(\d{3,})\.log)");
  std::map<int, int> next;
  std::vector<std::string> announced;
  for (const auto& line : lines) {
    std::smatch m;
    if (std::regex_match(line, m, appended)) {
      int proc = std::stoi(m[1]);
      EXPECT_EQ(std::stoi(m[2]), next[proc]++) << "a line of process " << proc << " lost, repeated or out of order";
    } else if (std::regex_match(line, m, rotated)) {
      announced.push_back("zorinput" + m[1].str() + ".log");
    } else {
      ADD_FAILURE() << "torn or unexpected line: " << line;
    }
  }
  for (int p = 0; p < kAppenders; ++p) EXPECT_EQ(next[p], kLines);
  EXPECT_EQ(announced, archives) << "one archive per rotation, each under a name of its own";
}

// Rotations that fail leave the log as it was, with no archive beside it.
TEST_F(RotateTest, FailedRotationLogsItsCodeAndLeavesTheLogWhole) {
  struct Case {
    int code;
    std::function<void()> prepare;  // in the rotating child
  } cases[] = {
      {3244,
       [&] {
         // A folder in which the rotating user may not create the archive.
         if (::geteuid() == 0) {
           for (const auto& p : {dir_.Path(), target_, dir_.File("other.log")})
             if (::chown(p.c_str(), 65534, 65534) != 0) ::_exit(90);
           ::chmod(dir_.Path().c_str(), 0555);
           if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(91);
         } else {
           ::chmod(dir_.Path().c_str(), 0555);
         }
       }},
      {3245, [&] { std::filesystem::create_directory(target_ + ".new"); }},
      {3251,
       [&] {
         std::signal(SIGXFSZ, SIG_IGN);
         rlimit limit{500, 500};
         ::setrlimit(RLIMIT_FSIZE, &limit);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    Loga("flush");
    std::filesystem::remove(dir_.File("other.log"));
    test::WriteFile(dir_.File("other.log"), "");
    const std::string original = MakeLog(3000);
    int status = test::RunInChild([&] {
      c.prepare();
      ::_exit(RotateLogFile(target_, 1000, 100) - 3200);
    });
    ::chmod(dir_.Path().c_str(), 0700);
    std::filesystem::remove(target_ + ".new");
    EXPECT_EQ(status, c.code - 3200);
    EXPECT_EQ(test::ReadFile(target_), original);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("zorinput001.log")));
    EXPECT_THAT(WithoutStamps(ReadLines(dir_.File("other.log"))),
                testing::Contains("NDTCM Erro:" + std::to_string(c.code)));
  }
}

TEST_F(RotateTest, MissingFileIsLeftAlone) {
  EXPECT_EQ(RotateLogFile(dir_.File("absent.log"), 0, 0), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("absent001.log")));
}

}  // namespace
}  // namespace zi
