#pragma once
// Runs a piece of a test in a forked child, for behaviour that ends the process, and starts the
// built programs as children.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "toolbox/platform.h"

extern char** environ;

namespace zi::test {

// The child's exit status, or 1000 + the signal that killed it.
inline int StatusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  return 1000 + WTERMSIG(waitStatus);
}

inline int RunInChild(const std::function<void()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return StatusOf(status);
}

// Waits for a child at most `seconds`, a guard against hangs and not a measure: a child still
// running then is killed and -1 returned. Otherwise as StatusOf.
inline int WaitWithin(pid_t pid, int seconds) {
  const int64_t deadline = platform::MonotonicMs() + seconds * int64_t{1000};
  for (;;) {
    int status = 0;
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return StatusOf(status);
    if (done < 0) return -2;
    if (platform::MonotonicMs() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    platform::SleepMs(5);
  }
}

// RunInChild with WaitWithin's guard.
inline int RunInChildWithin(int seconds, const std::function<void()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  return WaitWithin(pid, seconds);
}

// Starts a program (no shell) in a folder, its standard output on stdoutFd when one is given.
// The child's id, or -1.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& workingDirectory, int stdoutFd = -1) {
  std::vector<std::string> params{program};
  params.insert(params.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& p : params) argv.push_back(p.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// A child process that holds a file's exclusive lock (creating the file when missing) until
// released, as another process appending to the log would. A process of its own, so that no child
// of the test inherits the lock.
class TLockHolder {
 public:
  explicit TLockHolder(const std::string& file) {
    int ready[2], release[2];
    if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0640);
      ::flock(fd, LOCK_EX);
      char c = 1;
      (void)!::write(ready[1], &c, 1);
      (void)!::read(release[0], &c, 1);
      ::_exit(0);
    }
    char c;
    (void)!::read(ready[0], &c, 1);
    release_ = release[1];
    ::close(ready[0]);
    ::close(ready[1]);
    ::close(release[0]);
  }
  ~TLockHolder() { Release(); }
  TLockHolder(const TLockHolder&) = delete;
  TLockHolder& operator=(const TLockHolder&) = delete;

  void Release() {
    if (release_ < 0) return;
    char c = 1;
    (void)!::write(release_, &c, 1);
    ::close(release_);
    release_ = -1;
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
};

}  // namespace zi::test
