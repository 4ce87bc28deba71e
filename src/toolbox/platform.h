#pragma once
// Operating-system services, kept here so that the rest of the code never calls them directly.

#include <cstdint>
#include <string>

namespace zi::platform {

uint32_t ProcessId();
uint32_t ThreadId();

// The host name, at most 16 characters; empty when the query fails.
std::string ComputerName();

// The value of an environment variable; empty when unset.
std::string EnvVar(const char* name);

// The name of the account running the program, from the account database; empty when it has none.
std::string AccountName();

// A reader of standard output that goes away (zorinput ... | head -1) makes a write fail with an
// error instead of ending the process.
void IgnoreBrokenPipe();

// Directory for temporary files: TEMP, then TMPDIR, then /tmp.
std::string TempDir();

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime Now();
// The same fields in Coordinated Universal Time.
LocalTime NowUtc();

int64_t MonotonicMs();
void SleepMs(int ms);

// Whether a process of this id runs on this machine.
bool ProcessAlive(int pid);

// Full path of the running program file.
std::string ExecutablePath();

// Start of the program's own code in memory, and whether an address lies within it.
uintptr_t ProgramLoadAddress();
bool IsProgramAddress(uintptr_t address);

// Creates a new, empty file that only its owner may read and write. 0, or the errno of the failure
// (EEXIST when the file is already there).
int CreateOwnerOnlyFile(const std::string& path);

// 0 when the file can be opened for reading and writing, else the errno of the failure.
int ReadWriteOpenError(const std::string& path);

// A Windows-compatible error number for errno, so that log lines keep the codes support staff know
// (2 file not found, 3 path not found, 5 access denied, 32 sharing violation); others pass through.
int ErrorCodeOf(int errnoValue);

// A file descriptor closed with its owner.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  // Closes now, so that a failing close (a delayed write error) is seen: 0 or errno.
  int Close();

 private:
  int fd_ = -1;
};

}  // namespace zi::platform
