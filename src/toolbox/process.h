#pragma once
// Starting other programs, and who is running this one.

#include <string>
#include <string_view>

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

// Starts the program named by the first word of commandLine (searched in PATH when it holds no "/"),
// with the whole line, split into parameters, as its arguments.
ProcessResult RodaProcesso(std::string_view commandLine, const ProcessOptions& options = {});

}  // namespace zi
