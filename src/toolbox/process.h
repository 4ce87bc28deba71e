#pragma once
// Starting other programs, and who is running this one.

#include <string>
#include <string_view>
#include <vector>

namespace zi {

// The user and workstation as the log and the login show them: "user/username@machine", at most 255
// characters. Without USER and USERNAME, LOGNAME and then the account's own name stand for the user.
std::string UserAtMachine();

// The Windows show-window value for a normal window.
inline constexpr int kShowNormal = 1;

struct ProcessOptions {
  // Linux has no window to show and no console to create: the value is accepted and not used.
  int showMode = kShowNormal;
  // Descriptors opened by the program itself carry close-on-exec anyway; this decides the rest:
  // true passes every other open descriptor to the child, false passes only standard input, output
  // and error.
  bool inheritHandles = true;
  std::string workingDirectory;  // empty: the caller's
  bool wait = false;
};

struct ProcessResult {
  // The child's exit code when waited for; -1 when not waited for, when the start failed, or when
  // the code cannot be read (the child ended by a signal).
  int exitCode = -1;
  int error = 0;  // 0 when the program started, else platform::ErrorCodeOf(errno)
  // The child when not waited for (it also stands for the process handle); the caller reaps it.
  int processId = 0;
};

// Waits for a child started without waiting: its exit status, 128 + the signal's number for a child
// that a signal ended (as a shell reports it), or -1 when it cannot be waited for.
int WaitForExitStatus(int processId);

// Starts the program named by the first word of commandLine (searched in PATH when it holds no "/"),
// with the whole line, split into parameters, as its arguments.
ProcessResult RodaProcesso(std::string_view commandLine, const ProcessOptions& options = {});

// Runs a program (args[0], a path) with these arguments and its environment changed by `set`
// ("NAME=VALUE") and `unset` (names), standard input from /dev/null and standard output and error
// into outputFile (created or emptied), in a process group of its own, so that an interrupt meant
// for this program does not cut the child short; waits for its end.
ProcessResult RunProgramIntoFile(const std::vector<std::string>& args, const std::vector<std::string>& set,
                                 const std::vector<std::string>& unset, const std::string& outputFile);

// This program's environment without the names unset and with the pairs set ("NAME=VALUE").
std::vector<std::string> ChangedEnvironment(const std::vector<std::string>& set, const std::vector<std::string>& unset);

}  // namespace zi
