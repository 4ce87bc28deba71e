#pragma once
// Runs a piece of a test in a forked child, for behaviour that ends the process.

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace zi::test {

// The child's exit status, or 1000 + the signal that killed it.
inline int RunInChild(const std::function<void()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 1000 + WTERMSIG(status);
}

}  // namespace zi::test
