#include "toolbox/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <pwd.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

namespace zi::platform {

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

uint32_t ThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

std::string ComputerName() {
  char name[256];
  if (gethostname(name, sizeof name) != 0) return {};
  name[sizeof name - 1] = '\0';
  std::string result(name);
  if (result.size() > 16) result.resize(16);
  return result;
}

std::string EnvVar(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string AccountName() {
  passwd entry {};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found) return {};
  return found->pw_name;
}

void IgnoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

std::string TempDir() {
  for (const char* name : {"TEMP", "TMPDIR"}) {
    std::string dir = EnvVar(name);
    if (!dir.empty()) return dir;
  }
  return "/tmp";
}

LocalTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     static_cast<int>(ts.tv_nsec / 1000000)};
}

LocalTime NowUtc() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm utc{};
  gmtime_r(&ts.tv_sec, &utc);
  return {utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
          utc.tm_min,         utc.tm_sec,     static_cast<int>(ts.tv_nsec / 1000000)};
}

int64_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool ProcessAlive(int pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

std::string ExecutablePath() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  return std::string(path, static_cast<size_t>(n));
}

namespace {

struct ProgramRange {
  uintptr_t start = 0;
  uintptr_t end = 0;
};

// The main program is the first object dl_iterate_phdr reports; its executable segments bound its code.
ProgramRange FindProgramRange() {
  ProgramRange range;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* r = static_cast<ProgramRange*>(data);
        r->start = info->dlpi_addr;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const auto& ph = info->dlpi_phdr[i];
          if (ph.p_type == PT_LOAD) {
            uintptr_t end = info->dlpi_addr + ph.p_vaddr + ph.p_memsz;
            if (end > r->end) r->end = end;
          }
        }
        return 1;
      },
      &range);
  return range;
}

const ProgramRange& Program() {
  static const ProgramRange range = FindProgramRange();
  return range;
}

}  // namespace

uintptr_t ProgramLoadAddress() { return Program().start; }

bool IsProgramAddress(uintptr_t address) {
  const ProgramRange& r = Program();
  return address >= r.start && address < r.end;
}

int CreateOwnerOnlyFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

int ReadWriteOpenError(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

int ErrorCodeOf(int errnoValue) {
  switch (errnoValue) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EACCES:
    case EPERM:
    case EROFS: return 5;
    case EWOULDBLOCK: return 32;
    default: return errnoValue;
  }
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

int UniqueFd::Close() {
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0 ? 0 : errno;
}

}  // namespace zi::platform
