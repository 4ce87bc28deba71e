#include "toolbox/log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>

#include "toolbox/codec.h"
#include "toolbox/errors.h"
#include "toolbox/lifecycle.h"
#include "toolbox/platform.h"
#include "toolbox/stkdump.h"
#include "toolbox/switches.h"
#include "toolbox/sync.h"

namespace zi {

namespace {

constexpr size_t kDefaultRecentLimit = 300;
constexpr size_t kPendingLimit = 256;
constexpr int kOpenAttempts = 11;
constexpr int kFirstWaitMs = 500;
constexpr int kLaterWaitMs = 25;
constexpr int kEmptyFileNameError = 123;

struct LogState {
  TCriticalSection lock{"SeqAcessoLoga"};
  std::deque<std::string> recent;
  size_t recentLimit = kDefaultRecentLimit;
  std::optional<std::deque<std::string>> pending;
  bool shortWaits = false;  // an earlier line used up its attempts: later lines wait less
  std::string fileName = "zorinput.log";
  bool debug = false;
  bool consoleEcho = false;
  enum class Init { No, InProgress, Done } init = Init::No;
};

// Never destroyed: lines may be logged by exit procedures and handlers after static destruction began.
LogState& State() {
  static LogState* state = new LogState;
  return *state;
}

thread_local bool writing = false;

class LockGuard {
 public:
  explicit LockGuard(TSequencializadorDeAcesso& lock) : lock_(lock) { lock_.Locka(); }
  ~LockGuard() { lock_.Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  TSequencializadorDeAcesso& lock_;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string FileLine(std::string_view line) { return Cp1252ToUtf8(line) + "\r\n"; }

void SaveTemporaryCopy(const std::deque<std::string>& lines) {
  std::string path = platform::TempDir() + "/zor.tmp.log";
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string data;
  for (const auto& line : lines) data += FileLine(line);
  WriteAll(fd, data);
  ::close(fd);
}

// Waits up to `ms` for the exclusive lock, trying often so that a short hold by another process
// costs little.
bool WaitForFileLock(int fd, int ms) {
  int64_t deadline = platform::MonotonicMs() + ms;
  int pause = 1;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    int64_t left = deadline - platform::MonotonicMs();
    if (left <= 0) return false;
    platform::SleepMs(static_cast<int>(std::min<int64_t>(pause, left)));
    pause = std::min(pause * 2, 20);
  }
}

// Opens the log for appending and takes its lock, with the retries of a shared file.
// Returns the descriptor, or -1 with the error code set.
int OpenLocked(LogState& s, int& error) {
  for (int attempt = 1;; ++attempt) {
    int fd = ::open(s.fileName.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
      if (errno != ENOENT || attempt >= kOpenAttempts) {
        error = platform::ErrorCodeOf(errno);
        return -1;
      }
      int created = ::open(s.fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (created < 0) {
        error = platform::ErrorCodeOf(errno);
        return -1;
      }
      ::close(created);
      continue;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
    if (errno != EWOULDBLOCK) {
      error = platform::ErrorCodeOf(errno);
      ::close(fd);
      return -1;
    }
    if (attempt >= kOpenAttempts) {
      ::close(fd);
      s.shortWaits = true;
      error = platform::ErrorCodeOf(EWOULDBLOCK);
      return -1;
    }
    if (WaitForFileLock(fd, s.shortWaits ? kLaterWaitMs : kFirstWaitMs)) return fd;
    ::close(fd);
  }
}

void KeepInMemoryLocked(LogState& s, std::string_view text, std::string stamp, std::string_view fileName,
                        bool saveTemporaryCopy, int errorCode) {
  if (!s.pending) s.pending.emplace();
  auto& pending = *s.pending;
  while (pending.size() > kPendingLimit) pending.pop_front();
  if (stamp.empty()) stamp = LogStamp();
  if (pending.empty() && (!fileName.empty() || errorCode != 0))
    pending.push_back(stamp + " start of log kept in memory (<" + std::string(fileName) +
                      "> error:" + std::to_string(errorCode) + ")");
  pending.push_back(stamp + " " + std::string(text));
  if (saveTemporaryCopy) SaveTemporaryCopy(pending);
}

void WriteLine(LogState& s, const std::string& stamp, std::string_view text) {
  if (writing) return;
  writing = true;
  std::string line = stamp + " " + std::string(text);
  int error = kEmptyFileNameError;
  int fd = s.fileName.empty() ? -1 : OpenLocked(s, error);
  if (fd < 0) {
    KeepInMemoryLocked(s, text, stamp, s.fileName, true, error);
  } else {
    if (s.pending) {
      std::string block;
      for (const auto& kept : *s.pending) block += FileLine(kept);
      block += FileLine(stamp + " end of log kept in memory");
      if (WriteAll(fd, block)) s.pending.reset();
    }
    if (!WriteAll(fd, FileLine(line)))
      KeepInMemoryLocked(s, text, stamp, s.fileName, true, platform::ErrorCodeOf(errno));
    ::close(fd);
  }
  writing = false;
}

void AddRecent(LogState& s, std::string line) {
  while (s.recent.size() >= s.recentLimit && !s.recent.empty()) s.recent.pop_front();
  s.recent.push_back(std::move(line));
}

}  // namespace

std::string LogStamp() {
  platform::LocalTime t = platform::Now();
  return fmt::format("{:04d}/{:02d}/{:02d}-{:02d}:{:02d}:{:02d} {:08X}/{:08X} {:2d}", t.year, t.month, t.day, t.hour,
                     t.minute, t.second, platform::ProcessId(), platform::ThreadId(), 0);
}

void Loga(std::string_view text) {
  try {
    LogState& s = State();
    LockGuard guard(s.lock);
    std::string stamp = LogStamp();
    AddRecent(s, stamp + " " + std::string(text));
    WriteLine(s, stamp, text);
  } catch (...) {
    // The log never raises to its caller; a line that cannot even be formatted is lost.
  }
}

void LogaDebug(std::string_view text) {
  if (State().debug) Loga(text);
}

void LogaConsole(std::string_view text, bool keepInMemoryOnly) {
  if (keepInMemoryOnly) KeepLogInMemory(text, {}, {}, false, 0);
  else Loga(text);
  if (State().consoleEcho) {
    std::string out = Cp1252ToUtf8(text) + "\n";
    if (std::fwrite(out.data(), 1, out.size(), stdout) == out.size()) std::fflush(stdout);
    std::clearerr(stdout);
  }
}

void KeepLogInMemory(std::string_view text, std::string stamp, std::string_view fileName, bool saveTemporaryCopy,
                     int errorCode) {
  try {
    LogState& s = State();
    LockGuard guard(s.lock);
    KeepInMemoryLocked(s, text, std::move(stamp), fileName, saveTemporaryCopy, errorCode);
  } catch (...) {
  }
}

void LogFormatFailure(std::string_view format, const std::exception& e) {
  Loga(std::string(format) + " **** exception Loga Format:" + ExceptionClassName(e) + " " + e.what());
}

bool DebugLogOn() { return State().debug; }
void SetDebugLog(bool on) { State().debug = on; }

void SetConsoleEcho() {
  // A process without a usable standard output gets no console of its own here: echo stays off.
  bool ok = std::fwrite("\n", 1, 1, stdout) == 1 && std::fflush(stdout) == 0;
  std::clearerr(stdout);
  State().consoleEcho = ok;
}

bool ConsoleEchoOn() { return State().consoleEcho; }

std::vector<std::string> RecentLogLines() {
  LogState& s = State();
  LockGuard guard(s.lock);
  return {s.recent.begin(), s.recent.end()};
}

size_t RecentLogLinesLimit() { return State().recentLimit; }

void SetRecentLogLinesLimit(size_t limit) {
  LogState& s = State();
  LockGuard guard(s.lock);
  s.recentLimit = std::max<size_t>(limit, 1);
}

std::vector<std::string> PendingLogLines() {
  LogState& s = State();
  LockGuard guard(s.lock);
  if (!s.pending) return {};
  return {s.pending->begin(), s.pending->end()};
}

void LogMemoryStatus() {
  std::ifstream in("/proc/meminfo");
  uint64_t memTotal = 0, memAvailable = 0, commitLimit = 0, committed = 0;
  std::string key;
  uint64_t value = 0;
  std::string unit;
  while (in >> key >> value) {
    std::getline(in, unit);
    if (key == "MemTotal:") memTotal = value;
    else if (key == "MemAvailable:") memAvailable = value;
    else if (key == "CommitLimit:") commitLimit = value;
    else if (key == "Committed_AS:") committed = value;
  }
  uint64_t load = memTotal ? (memTotal - std::min(memAvailable, memTotal)) * 100 / memTotal : 0;
  // The kernel's commit limit stands for the virtual memory the process may still claim.
  uint64_t virtAvailable = commitLimit > committed ? commitLimit - committed : 0;
  Loga(fmt::format("MemoryStatus Load:{}% Phys:{}/{} Virt:{}/{}", load, memTotal, memAvailable, virtAvailable,
                   commitLimit));
}

void ReportException(std::string_view where, const std::exception& e) {
  Loga("exception " + ExceptionClassName(e) + ":" + e.what() + " " + std::string(where));
  DumpStack(LastRaiseDump());
}

void ReportExceptionWithCode(std::string_view where, int& code, const std::exception& e, int defaultCode) {
  if (code == 0)
    if (const auto* db = dynamic_cast<const EDBException*>(&e)) code = db->ErrorCode();
  if (code == 0) code = defaultCode;
  if (code == 0) code = 4000;
  Loga(std::string(where) + " erro:" + std::to_string(code) + " " + ExceptionClassName(e) + ":" + e.what());
}

void FatalRunError250(std::string_view text) {
  auto address = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  Loga("Error: " + std::string(text));
  DumpStack(CaptureStack("DLPA", "RunError250:" + std::string(text)));
  SetRunTimeError(250, address);
  EndProcess(250);
}

void Assert250(bool condition, std::string_view text) {
  if (!condition) FatalRunError250("RunError250assert: " + std::string(text));
}

std::string LogFileName() { return State().fileName; }

void SetLogFileName(std::string name) {
  LogState& s = State();
  LockGuard guard(s.lock);
  s.fileName = std::move(name);
}

void LogStart(std::string_view unitName) {
  LogState& s = State();
  if (s.init == LogState::Init::Done) return;
  if (s.init == LogState::Init::InProgress) FatalRunError250("Basic.MyInic");
  s.init = LogState::Init::InProgress;
  for (int i = 1; i <= ParamCount(); ++i) {
    std::string p = ParamStr(i);
    if (p.size() == 3 && (p[0] == '/' || p[0] == '-') && (p[1] == 'L' || p[1] == 'l') && (p[2] == 'I' || p[2] == 'i'))
      s.debug = true;
  }
  LogaDebug("Basic " + std::string(unitName));
  InstallStackHandlers();
  s.init = LogState::Init::Done;
}

void LogEnd() {
  LogState& s = State();
  CheckFatalRunError();
  LogaDebug("*Basic");
  RemoveStackHandlers();
  {
    LockGuard guard(s.lock);
    s.recent.clear();
    // Lines still kept in memory survive only in the temporary copy written when they were kept.
    s.pending.reset();
  }
  LogaDebug("*Basic end");
  s.init = LogState::Init::No;
}

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string NumberedName(const std::filesystem::path& file) {
  namespace fs = std::filesystem;
  fs::path dir = file.parent_path();
  std::string base = file.stem().string();
  std::string ext = file.extension().string();
  long highest = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir.empty() ? fs::path(".") : dir, ec)) {
    std::string name = entry.path().filename().string();
    if (name.size() < base.size() + ext.size() || name.compare(0, base.size(), base) != 0 ||
        name.compare(name.size() - ext.size(), ext.size(), ext) != 0)
      continue;
    std::string_view middle = std::string_view(name).substr(base.size());
    middle = middle.substr(0, middle.find('.'));
    long number = 0;
    auto [ptr, err] = std::from_chars(middle.data(), middle.data() + middle.size(), number);
    if (err == std::errc() && ptr == middle.data() + middle.size() && !middle.empty())
      highest = std::max(highest, number);
  }
  std::string numbered = (dir / base).string() + fmt::format("{:03d}", highest + 1) + ext;
  return numbered;
}

// Moves the file, copying across file systems where a rename cannot.
bool MoveFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  std::error_code ec;
  if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec)) return false;
  return std::filesystem::remove(from, ec);
}

// Where the kept tail starts: just past the first line break (or blank) in the 255 bytes at the cut.
int64_t CutAtBoundary(std::string_view window, int64_t cut) {
  for (std::string_view mark : {"\r\n", "\n\r", "\n", "\r", " "}) {
    size_t at = window.find(mark);
    if (at != std::string_view::npos) return cut + static_cast<int64_t>(at + mark.size());
  }
  return cut;
}

int RotateSteps(const std::string& fileName, const std::string& numbered, int64_t tail) {
  if (!MoveFile(fileName, numbered)) return 3244;
  {
    File fresh(std::fopen(fileName.c_str(), "ab"));
    if (!fresh) return 3245;
  }
  File old(std::fopen(numbered.c_str(), "r+b"));
  if (!old) return 3246;
  struct stat st {};
  if (::fstat(::fileno(old.get()), &st) != 0) return 3247;
  int64_t cut = std::max<int64_t>(st.st_size - tail, 10);
  if (cut < st.st_size) {
    if (::fseeko(old.get(), cut, SEEK_SET) != 0) return 3248;
    char window[255];
    size_t n = std::fread(window, 1, sizeof window, old.get());
    if (std::ferror(old.get())) return 3248;
    cut = CutAtBoundary(std::string_view(window, n), cut);
  }
  if (::fseeko(old.get(), cut, SEEK_SET) != 0) return 3249;
  File fresh(std::fopen(fileName.c_str(), "ab"));
  if (!fresh) return 3251;
  char block[8192];
  for (;;) {
    size_t n = std::fread(block, 1, sizeof block, old.get());
    if (std::ferror(old.get())) return 3250;
    if (n == 0) break;
    if (std::fwrite(block, 1, n, fresh.get()) != n) return 3251;
  }
  if (std::fflush(fresh.get()) != 0) return 3251;
  if (cut < st.st_size && ::ftruncate(::fileno(old.get()), cut) != 0) return 3252;
  return 0;
}

}  // namespace

int RotateLogFile(const std::string& fileName, int64_t tail, int64_t threshold) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0) return 0;
  int64_t size = st.st_size;
  if (size <= threshold + tail + 100) return 0;
  std::string numbered = NumberedName(fileName);
  Loga("NDTCM " + fileName + " size:" + std::to_string(size) + " TAG:" + std::to_string(threshold) +
       " TMR:" + std::to_string(tail) + "; moving part to " + numbered);
  int code = RotateSteps(fileName, numbered, tail);
  if (code != 0) Loga("NDTCM Erro:" + std::to_string(code));
  return code;
}

}  // namespace zi
