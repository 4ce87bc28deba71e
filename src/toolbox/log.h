#pragma once
// The log: every line goes to zorinput.log in the working directory, opened and closed per line
// under an exclusive lock, and to a short list of recent lines kept in memory. Lines that cannot be
// written are kept in memory, appended to zor.tmp.log in the temporary folder, and written first
// once the log can be written again, at the latest in a last attempt at the end of the process.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/printf.h>

namespace zi {

// "YYYY/MM/DD-hh:mm:ss PPPPPPPP/TTTTTTTT  0": date, time, process and thread id, a constant 0.
std::string LogStamp();

void Loga(std::string_view text);
void LogaDebug(std::string_view text);
void LogaConsole(std::string_view text, bool keepInMemoryOnly = false);
void KeepLogInMemory(std::string_view text, std::string stamp, std::string_view fileName, bool saveTemporaryCopy,
                     int errorCode);

// Logs the line that replaces a format that could not be applied to its arguments.
void LogFormatFailure(std::string_view format, const std::exception& e);

// printf-style placeholders; a format that does not fit its arguments is reported in the log.
template <typename... Args>
void LogaFormat(std::string_view format, const Args&... args) {
  std::string text;
  try {
    text = fmt::sprintf(format, args...);
  } catch (const std::exception& e) {
    LogFormatFailure(format, e);
    return;
  }
  Loga(text);
}

bool DebugLogOn();
void SetDebugLog(bool on);

// Switches echo of LogaConsole to standard output on when standard output can be written.
void SetConsoleEcho();
bool ConsoleEchoOn();
// Called before each echoed line: a progress line on the same terminal clears itself first.
void SetBeforeConsoleEcho(void (*hook)());

std::vector<std::string> RecentLogLines();
size_t RecentLogLinesLimit();
void SetRecentLogLinesLimit(size_t limit);
std::vector<std::string> PendingLogLines();

void LogMemoryStatus();

void ReportException(std::string_view where, const std::exception& e);
// Settles code (the exception's own number, then defaultCode, then 4000) and logs it.
void ReportExceptionWithCode(std::string_view where, int& code, const std::exception& e, int defaultCode);

[[noreturn]] void FatalRunError250(std::string_view text);
// The process ends on a fatal error: a locked log costs each line only the short wait, and the
// lines kept get no long last attempt, so that the dump is written before the watchdog fires.
void LogForFatalEnd();
void Assert250(bool condition, std::string_view text);

std::string LogFileName();
// Overrides the log file's name (tests); an empty name makes every line go to memory (error 123).
void SetLogFileName(std::string name);

// Moves all but the last `tail` bytes of a file over the threshold to a numbered file beside it,
// holding the file's lock throughout, so that processes appending to it lose no line and another
// rotation cannot cut it twice. A file that another process keeps locked is left for a later call.
// Returns 0 or the error code it logged.
int RotateLogFile(const std::string& fileName, int64_t tail, int64_t threshold);

// A line built in a fixed buffer, never allocating: what a fatal signal's handler writes first.
class TFixedLine {
 public:
  void Add(const char* text);
  // The number in the base, at least `digits` long, padded on the left with `pad`.
  void Number(uint64_t value, int digits, unsigned base = 10, char pad = '0');
  size_t Size() const { return size_; }
  const char* Text();

 private:
  char text_[400];
  size_t size_ = 0;
};
// Adds LogStamp's text without allocating or locking; the local time's offset from UTC is the one
// PrepareStampWithoutAllocating read.
void AddStamp(TFixedLine& line);
void PrepareStampWithoutAllocating();
// Appends a whole line (stamp included) to the log file with plain system calls: for the last
// moment of a process whose log facility cannot be trusted any more.
void WriteLineWithoutAllocating(const char* stampedLine);

// Log start and end, called by the foundation's start-up and shutdown.
void LogStart(std::string_view unitName);
void LogEnd();
// Writes the lines kept in memory, if any, in a last attempt; for an end that skips LogEnd.
void FlushKeptLogLines();

}  // namespace zi
