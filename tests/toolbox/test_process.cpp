#include "toolbox/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "toolbox/platform.h"
#include "toolbox/text.h"

namespace zi {
namespace {

namespace fs = std::filesystem;

void SetEnv(const char* name, const std::optional<std::string>& value) {
  if (value) setenv(name, value->c_str(), 1);
  else unsetenv(name);
}

TEST(ProcessUserAtMachine, CombinesUserNamesAndMachine) {
  const char* names[] = {"USER", "USERNAME", "COMPUTERNAME", "MACHINE", "LOGNAME"};
  std::optional<std::string> saved[5];
  for (int i = 0; i < 5; ++i)
    if (const char* v = std::getenv(names[i])) saved[i] = v;
  const std::string host = Trim(platform::ComputerName());
  const std::string atHost = host.empty() ? "" : "@" + host;
  const passwd* account = getpwuid(getuid());
  ASSERT_NE(account, nullptr);
  const std::string accountName = account->pw_name;
  struct Case {
    std::optional<std::string> values[5];
    std::string expected;
  };
  const Case cases[] = {
      {{{}, "ana", "PC1", {}, "lu"}, "ana@PC1"},
      {{"bob", "ana", "PC1", {}, "lu"}, "bob/ana@PC1"},
      {{"bob", {}, "PC1", "M2", {}}, "bob@PC1"},
      {{"bob", {}, "", "M2", {}}, "bob@M2"},
      {{" bob ", "  ", " PC1 ", {}, {}}, "bob@PC1"},
      {{"bob", {}, {}, {}, {}}, "bob" + atHost},
      // Without a user name of either kind: the login name, then the account database.
      {{{}, {}, "PC1", {}, "lu"}, "lu@PC1"},
      {{" ", {}, "PC1", {}, " lu "}, "lu@PC1"},
      {{{}, {}, "PC1", {}, {}}, accountName + "@PC1"},
      {{{}, {}, {}, {}, {}}, accountName + atHost},
      {{std::string(253, 'u'), {}, "PC1", {}, {}}, std::string(253, 'u') + "@P"},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < 5; ++i) SetEnv(names[i], c.values[i]);
    EXPECT_EQ(UserAtMachine(), c.expected);
  }
  for (int i = 0; i < 5; ++i) SetEnv(names[i], saved[i]);
}

TEST(ProcessRodaProcesso, WaitedRunReturnsExitCodeOrError) {
  struct Case {
    std::string commandLine, workingDirectory;
    int exitCode, error;
  };
  const Case cases[] = {
      {R"(sh -c "exit 7")", "", 7, 0},
      {R"(/bin/sh -c "exit 0")", "", 0, 0},
      {R"(sh -c "kill -9 $$")", "", -1, 0},  // ended by a signal: no exit code
      {"zi-no-such-program-4711 /x", "", -1, 2},
      {"/nonexistent/zi-program", "", -1, 2},
      {"  ", "", -1, 2},
      {R"(sh -c "exit 0")", "/nonexistent/zi-dir", -1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine + " in " + c.workingDirectory);
    ProcessResult r = RodaProcesso(c.commandLine, {.workingDirectory = c.workingDirectory, .wait = true});
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(r.error, c.error);
  }
}

TEST(ProcessRodaProcesso, ArgumentsAndWorkingDirectoryReachTheChild) {
  std::string dir = (fs::temp_directory_path() / "zi-process-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  ProcessResult r = RodaProcesso(R"(sh -c "printf '%s|' \"$0\" \"$1\" \"$PWD\" > args" "a b" c\d)",
                                 {.workingDirectory = dir, .wait = true});
  EXPECT_EQ(r.exitCode, 0);
  std::stringstream args;
  args << std::ifstream(fs::path(dir) / "args").rdbuf();
  EXPECT_EQ(args.str(), "a b|c\\d|" + fs::canonical(dir).string() + "|");
  fs::remove_all(dir);
}

TEST(ProcessRodaProcesso, UnwaitedRunHandsBackTheChild) {
  ProcessResult r = RodaProcesso(R"(sh -c "exit 3")");
  EXPECT_EQ(r.exitCode, -1);
  EXPECT_EQ(r.error, 0);
  int status = 0;
  ASSERT_EQ(waitpid(r.processId, &status, 0), r.processId);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
}

TEST(ProcessRodaProcesso, InheritHandlesDecidesWhetherOpenDescriptorsPass) {
  int fd = open("/dev/null", O_RDONLY);  // deliberately without close-on-exec
  ASSERT_GE(fd, 3);
  const std::string probe = "sh -c \"test -e /proc/self/fd/" + std::to_string(fd) + "\"";
  EXPECT_EQ(RodaProcesso(probe, {.inheritHandles = true, .wait = true}).exitCode, 0);
  EXPECT_EQ(RodaProcesso(probe, {.inheritHandles = false, .wait = true}).exitCode, 1);
  close(fd);
}

TEST(ProcessRodaProcesso, StartedProgramGetsTheDefaultBrokenPipeSignal) {
  struct sigaction ignore {};
  struct sigaction old {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &old);
  // A signal ignored when a shell starts stays ignored in it: the shell then survives its own kill.
  ProcessResult r = RodaProcesso(R"(sh -c "kill -PIPE $$")", {.wait = true});
  sigaction(SIGPIPE, &old, nullptr);
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.exitCode, -1) << "ended by the signal";
}

}  // namespace
}  // namespace zi
