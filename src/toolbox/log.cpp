#include "toolbox/log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>

#include "toolbox/codec.h"
#include "toolbox/errors.h"
#include "toolbox/lifecycle.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"
#include "toolbox/stkdump.h"
#include "toolbox/switches.h"
#include "toolbox/sync.h"
#include "toolbox/text.h"

namespace zi {

namespace {

constexpr size_t kDefaultRecentLimit = 300;
constexpr size_t kPendingLimit = 256;
constexpr int kOpenAttempts = 11;
constexpr int kFirstWaitMs = 500;
constexpr int kLaterWaitMs = 25;
constexpr int kEmptyFileNameError = 123;
// The log and its temporary copy are for the user and the support staff of the group, no one else.
constexpr mode_t kLogFileMode = 0640;
// Other processes hold the temporary copy's lock only while they append to it.
constexpr int kTemporaryCopyWaitMs = 500;
// Each rotation by another process sends a waiting writer back to the log's name once.
constexpr int kMaxReopens = 100;

struct LogState {
  TCriticalSection lock{"SeqAcessoLoga"};
  std::deque<std::string> recent;
  size_t recentLimit = kDefaultRecentLimit;
  std::optional<std::deque<std::string>> pending;
  size_t pendingSaved = 0;  // kept lines already in the temporary copy, counted from the head
  bool shortWaits = false;  // an earlier line used up its attempts: later lines wait less
  bool fatalEnd = false;    // the process is ending on a fatal error: no line may wait long
  int heldLog = -1;         // the log, opened and locked by a rotation that logs through it
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

// 0, or the errno of the failed write.
int WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

std::string FileLine(std::string_view line) { return Cp1252ToUtf8(line) + "\r\n"; }

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

// Whether the file still goes by the name: a rotation by another process may have renamed it while
// this one waited for its lock.
bool NamedBy(const struct stat& held, const std::string& name) {
  struct stat named {};
  return ::stat(name.c_str(), &named) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool StillNamed(int fd, const std::string& name) {
  struct stat held {};
  return ::fstat(fd, &held) == 0 && NamedBy(held, name);
}

// Appends the kept lines that are not there yet: processes kept out of the log share the copy, and
// each line reaches it once, in order. The copy lives in a folder that others may write to, so it is
// never followed through a link, and a file that is not a plain file of our own is left alone.
void SaveTemporaryCopy(LogState& s) {
  const auto& pending = *s.pending;
  if (s.pendingSaved >= pending.size()) return;
  const std::string path = platform::TempDir() + "/zor.tmp.log";
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  platform::UniqueFd fd(::open(path.c_str(), kFlags, kLogFileMode));
  if (!fd.ok()) return;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) return;
  if (!WaitForFileLock(fd.get(), kTemporaryCopyWaitMs)) return;
  std::string data;
  for (size_t i = s.pendingSaved; i < pending.size(); ++i) data += FileLine(pending[i]);
  if (WriteAll(fd.get(), data) == 0) s.pendingSaved = pending.size();
}

// Creating the log never follows a link and never takes over a file another process made meanwhile.
bool CreateLogFile(const std::string& name, int& error) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, kLogFileMode);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  if (errno == EEXIST) return true;
  error = platform::ErrorCodeOf(errno);
  return false;
}

// Opens the log for appending and takes its lock, with the retries of a shared file, waiting `waitMs`
// at each attempt. A FIFO or a device is never waited on: it is no log. Returns the descriptor, or -1
// with the error code set.
int OpenLocked(LogState& s, int waitMs, int& error) {
  int reopened = 0;
  for (int attempt = 1;; ++attempt) {
    int fd = ::open(s.fileName.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      const int openError = errno;
      if (openError == ENOENT && attempt < kOpenAttempts) {
        if (!CreateLogFile(s.fileName, error)) return -1;
        continue;
      }
      // A FIFO without a reader.
      error = openError == ENXIO ? kLogNotARegularFile : platform::ErrorCodeOf(openError);
      return -1;
    }
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd);
      error = kLogNotARegularFile;
      return -1;
    }
    bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!locked && errno != EWOULDBLOCK) {
      error = platform::ErrorCodeOf(errno);
      ::close(fd);
      return -1;
    }
    if (!locked && attempt >= kOpenAttempts) {
      ::close(fd);
      s.shortWaits = true;
      error = platform::ErrorCodeOf(EWOULDBLOCK);
      return -1;
    }
    if (!locked) locked = WaitForFileLock(fd, waitMs);
    if (locked && NamedBy(held, s.fileName)) return fd;
    ::close(fd);
    // The name now belongs to the fresh file of a rotation: going back to it is no new attempt.
    if (locked && ++reopened < kMaxReopens) --attempt;
  }
}

void KeepInMemoryLocked(LogState& s, std::string_view text, std::string stamp, std::string_view fileName,
                        bool saveTemporaryCopy, int errorCode) {
  if (!s.pending) {
    s.pending.emplace();
    s.pendingSaved = 0;
  }
  auto& pending = *s.pending;
  while (pending.size() > kPendingLimit) {
    pending.pop_front();
    if (s.pendingSaved > 0) --s.pendingSaved;
  }
  if (stamp.empty()) stamp = LogStamp();
  if (pending.empty() && (!fileName.empty() || errorCode != 0))
    pending.push_back(stamp + " start of log kept in memory (<" + std::string(fileName) +
                      "> error:" + std::to_string(errorCode) + ")");
  pending.push_back(stamp + " " + std::string(text));
  if (saveTemporaryCopy) SaveTemporaryCopy(s);
}

// The kept lines, closed by the line that says so, then the line itself, in one write so that they
// stay in order. 0, or the errno of the failed write.
int WriteKeptLinesAnd(LogState& s, int fd, const std::string& stamp, std::string_view line) {
  std::string block;
  if (s.pending) {
    for (const auto& kept : *s.pending) block += FileLine(kept);
    block += FileLine(stamp + " end of log kept in memory");
  }
  if (!line.empty()) block += FileLine(line);
  if (const int error = WriteAll(fd, block)) return error;
  s.pending.reset();
  s.pendingSaved = 0;
  return 0;
}

void WriteLine(LogState& s, const std::string& stamp, std::string_view text) {
  if (writing) return;
  writing = true;
  int error = kEmptyFileNameError;
  const bool held = s.heldLog >= 0;
  int fd = held                 ? s.heldLog
           : s.fileName.empty() ? -1
                                : OpenLocked(s, s.shortWaits ? kLaterWaitMs : kFirstWaitMs, error);
  if (fd >= 0) {
    error = WriteKeptLinesAnd(s, fd, stamp, stamp + " " + std::string(text));
    if (error != 0) error = platform::ErrorCodeOf(error);
    if (!held) ::close(fd);
  }
  if (fd < 0 || error != 0) KeepInMemoryLocked(s, text, stamp, PathText(s.fileName), true, error);
  writing = false;
}

// At the end of the process the kept lines get one last, longer chance at the log; what still cannot
// be written is in the temporary copy.
void WriteKeptLinesAtTheEnd(LogState& s) {
  if (!s.pending || s.pending->empty()) return;
  int error = 0;
  const int fd = s.fileName.empty() ? -1 : OpenLocked(s, s.fatalEnd ? kLaterWaitMs : kFirstWaitMs, error);
  if (fd >= 0) {
    error = WriteKeptLinesAnd(s, fd, LogStamp(), {});
    ::close(fd);
    if (error == 0) return;
  }
  SaveTemporaryCopy(s);
}

// A line beyond the bound is cut, so that the file, the console and the lists in memory stay
// bounded whatever a caller quotes; cut holds the shortened text.
std::string_view Bounded(std::string_view text, std::string& cut) {
  if (text.size() <= kLogLineLimit) return text;
  cut = CutText(text, kLogLineLimit);
  return cut;
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

void Loga(std::string_view whole) {
  try {
    std::string cut;
    const std::string_view text = Bounded(whole, cut);
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

namespace {
void (*beforeConsoleEcho)() = nullptr;
}  // namespace

void SetBeforeConsoleEcho(void (*hook)()) { beforeConsoleEcho = hook; }

void LogaConsole(std::string_view whole, bool keepInMemoryOnly) {
  if (keepInMemoryOnly) KeepLogInMemory(whole, {}, {}, false, 0);
  else Loga(whole);
  if (State().consoleEcho) {
    std::string cut;
    const std::string_view text = Bounded(whole, cut);
    if (beforeConsoleEcho) beforeConsoleEcho();
    std::string out = Cp1252ToUtf8(text) + "\n";
    if (std::fwrite(out.data(), 1, out.size(), stdout) == out.size()) std::fflush(stdout);
    std::clearerr(stdout);
  }
}

void KeepLogInMemory(std::string_view whole, std::string stamp, std::string_view fileName, bool saveTemporaryCopy,
                     int errorCode) {
  try {
    std::string cut;
    const std::string_view text = Bounded(whole, cut);
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
  ArmFatalWatchdog();
  LogForFatalEnd();
  Loga("Error: " + std::string(text));
  DumpStack(CaptureStack("DLPA", "RunError250:" + std::string(text)));
  SetRunTimeError(250, address);
  EndProcess(250);
}

void Assert250(bool condition, std::string_view text) {
  if (!condition) FatalRunError250("RunError250assert: " + std::string(text));
}

void LogForFatalEnd() {
  LogState& s = State();
  s.shortWaits = true;
  s.fatalEnd = true;
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

void FlushKeptLogLines() {
  LogState& s = State();
  LockGuard guard(s.lock);
  WriteKeptLinesAtTheEnd(s);
}

namespace {
long stampUtcOffset = 0;

// Days since 1970-01-01 to the civil date, in the proleptic Gregorian calendar.
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}
}  // namespace

void TFixedLine::Add(const char* text) {
  while (*text && size_ < sizeof text_ - 1) text_[size_++] = *text++;
}

void TFixedLine::Number(uint64_t value, int digits, unsigned base, char pad) {
  char reversed[24];
  int n = 0;
  do {
    reversed[n++] = "0123456789ABCDEF"[value % base];
    value /= base;
  } while (value && n < 24);
  while (n < digits && n < 24) reversed[n++] = pad;
  while (n > 0 && size_ < sizeof text_ - 1) text_[size_++] = reversed[--n];
}

const char* TFixedLine::Text() {
  text_[size_] = '\0';
  return text_;
}

void PrepareStampWithoutAllocating() {
  time_t now = ::time(nullptr);
  struct tm local {};
  if (::localtime_r(&now, &local)) stampUtcOffset = local.tm_gmtoff;
}

void AddStamp(TFixedLine& line) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const int64_t local = now.tv_sec + stampUtcOffset;
  const int64_t days = (local >= 0 ? local : local - 86399) / 86400;
  const auto seconds = static_cast<uint64_t>(local - days * 86400);
  int64_t year = 0;
  unsigned month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  line.Number(static_cast<uint64_t>(year), 4);
  line.Add("/");
  line.Number(month, 2);
  line.Add("/");
  line.Number(day, 2);
  line.Add("-");
  line.Number(seconds / 3600, 2);
  line.Add(":");
  line.Number(seconds / 60 % 60, 2);
  line.Add(":");
  line.Number(seconds % 60, 2);
  line.Add(" ");
  line.Number(platform::ProcessId(), 8, 16);
  line.Add("/");
  line.Number(platform::ThreadId(), 8, 16);
  line.Add("  0");
}

void WriteLineWithoutAllocating(const char* stampedLine) {
  const char* name = State().fileName.c_str();
  if (!*name) return;
  const int fd = ::open(name, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                        kLogFileMode);
  if (fd < 0) return;
  (void)!::write(fd, stampedLine, ::strlen(stampedLine));
  (void)!::write(fd, "\r\n", 2);
  ::close(fd);
}

void LogEnd() {
  LogState& s = State();
  CheckFatalRunError();
  LogaDebug("*Basic");
  // During a fatal end another thread may still fault: it must meet the handler, which makes it wait
  // for this end instead of letting the signal kill the process.
  if (!s.fatalEnd) RemoveStackHandlers();
  {
    LockGuard guard(s.lock);
    s.recent.clear();
    WriteKeptLinesAtTheEnd(s);
    s.pending.reset();
    s.pendingSaved = 0;
  }
  LogaDebug("*Basic end");
  s.init = LogState::Init::No;
}

namespace {

constexpr int kMoveFailed = 3244;
constexpr int kCreateFailed = 3245;
constexpr int kOpenNumberedFailed = 3246;
constexpr int kSizeFailed = 3247;
constexpr int kCutReadFailed = 3248;
constexpr int kCopyReadFailed = 3250;
constexpr int kCopyWriteFailed = 3251;
constexpr int kTruncateFailed = 3252;
constexpr size_t kCopyBlock = 8192;
// The fresh file is filled under this name and then takes the log's name in one step, so that the
// name never stands for a missing or half-filled file.
constexpr std::string_view kFreshSuffix = ".new";

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

// The file opened and locked, when it still needs rotating once its lock is held: another process
// may have rotated it while this one waited. Not ok when there is nothing to do (or the file stays
// locked: a later call rotates it); `openError` is set when the file cannot be opened at all.
platform::UniqueFd LockedForRotation(const std::string& fileName, int64_t limit, int64_t& size, int& openError) {
  for (int reopened = 0; reopened < kMaxReopens; ++reopened) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= limit) return {};
    platform::UniqueFd fd(::open(fileName.c_str(), O_RDWR | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.ok()) {
      if (errno != ENOENT) openError = errno;
      return {};
    }
    if (!WaitForFileLock(fd.get(), kFirstWaitMs * (kOpenAttempts - 1))) return {};
    if (!StillNamed(fd.get(), fileName)) continue;
    if (::fstat(fd.get(), &st) != 0 || st.st_size <= limit) return {};
    size = st.st_size;
    return fd;
  }
  return {};
}

// Copies from `offset` to the end; 0, kCopyReadFailed or kCopyWriteFailed.
int CopyFrom(int from, int64_t offset, int to) {
  char block[kCopyBlock];
  for (;;) {
    const ssize_t n = ::pread(from, block, sizeof block, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return kCopyReadFailed;
    if (n == 0) return 0;
    if (WriteAll(to, std::string_view(block, static_cast<size_t>(n))) != 0) return kCopyWriteFailed;
    offset += n;
  }
}

// A new file that only this call made, with the permissions of the file it stands in for.
platform::UniqueFd CreateBeside(const std::string& name, mode_t mode) {
  constexpr int kFlags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
  platform::UniqueFd fd(::open(name.c_str(), kFlags, kLogFileMode));
  if (fd.ok()) ::fchmod(fd.get(), mode & 0777);
  return fd;
}

// The locked file under its numbered name, or, where the file system cannot link, a copy of it. An
// existing numbered file is never replaced. Linking through the descriptor names exactly the file
// whose lock is held.
platform::UniqueFd Archive(int log, const std::string& numbered, mode_t mode, int& code) {
  const std::string self = "/proc/self/fd/" + std::to_string(log);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, numbered.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    platform::UniqueFd archive(::open(numbered.c_str(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!archive.ok()) {
      ::unlink(numbered.c_str());
      code = kOpenNumberedFailed;
    }
    return archive;
  }
  code = kMoveFailed;
  if (errno == EEXIST) return {};
  platform::UniqueFd copy = CreateBeside(numbered, mode);
  if (!copy.ok()) return {};
  if (CopyFrom(log, 0, copy.get()) != 0) {
    ::unlink(numbered.c_str());
    return {};
  }
  code = 0;
  return copy;
}

// Where the kept tail starts: just past the first line break (or blank) in the 255 bytes at the cut.
int64_t CutAtBoundary(std::string_view window, int64_t cut) {
  for (std::string_view mark : {"\r\n", "\n\r", "\n", "\r", " "}) {
    size_t at = window.find(mark);
    if (at != std::string_view::npos) return cut + static_cast<int64_t>(at + mark.size());
  }
  return cut;
}

int FindCut(int archive, int64_t tail, int64_t& cut) {
  struct stat st {};
  if (::fstat(archive, &st) != 0) return kSizeFailed;
  cut = std::max<int64_t>(st.st_size - tail, 10);
  if (cut >= st.st_size) return 0;
  char window[255];
  const ssize_t n = ::pread(archive, window, sizeof window, cut);
  if (n < 0) return kCutReadFailed;
  cut = CutAtBoundary(std::string_view(window, static_cast<size_t>(n)), cut);
  return 0;
}

// Under the lock of `log`: the older part stays in the numbered file, the tail moves to a fresh file
// that takes the log's name. A failure before the fresh file is in place undoes what was done.
int RotateSteps(int log, const std::string& fileName, const std::string& numbered, int64_t tail) {
  struct stat st {};
  if (::fstat(log, &st) != 0) return kSizeFailed;
  int code = 0;
  platform::UniqueFd archive = Archive(log, numbered, st.st_mode, code);
  if (!archive.ok()) return code;
  const std::string freshName = fileName + std::string(kFreshSuffix);
  // A fresh file left by a rotation that died on the way: nobody else uses it while the lock is held.
  ::unlink(freshName.c_str());
  platform::UniqueFd fresh = CreateBeside(freshName, st.st_mode);
  int64_t cut = 0;
  if (!fresh.ok()) code = kCreateFailed;
  if (code == 0) code = FindCut(archive.get(), tail, cut);
  if (code == 0) code = CopyFrom(archive.get(), cut, fresh.get());
  if (code == 0 && ::rename(freshName.c_str(), fileName.c_str()) != 0) code = kCreateFailed;
  if (code != 0) {
    ::unlink(numbered.c_str());
    if (fresh.ok()) ::unlink(freshName.c_str());
    return code;
  }
  if (::ftruncate(archive.get(), cut) != 0) return kTruncateFailed;
  return 0;
}

// The announcement goes into the file being rotated when that is the log: its lock is held here.
void LogThrough(LogState& s, int log, std::string_view text) {
  const bool isLog = !s.fileName.empty() && StillNamed(log, s.fileName);
  if (isLog) s.heldLog = log;
  Loga(text);
  s.heldLog = -1;
}

}  // namespace

int RotateLogFile(const std::string& fileName, int64_t tail, int64_t threshold) {
  LogState& s = State();
  LockGuard guard(s.lock);
  int64_t size = 0;
  int openError = 0;
  int code = 0;
  {
    platform::UniqueFd log = LockedForRotation(fileName, threshold + tail + 100, size, openError);
    if (!log.ok() && openError == 0) return 0;
    if (log.ok()) {
      const std::string numbered = NumberedName(fileName);
      LogThrough(s, log.get(),
                 "NDTCM " + PathText(fileName) + " size:" + std::to_string(size) + " TAG:" + std::to_string(threshold) +
                     " TMR:" + std::to_string(tail) + "; moving part to " + PathText(numbered));
      code = RotateSteps(log.get(), fileName, numbered, tail);
    } else {
      code = kMoveFailed;
    }
  }
  if (code != 0) Loga("NDTCM Erro:" + std::to_string(code));
  return code;
}

}  // namespace zi
