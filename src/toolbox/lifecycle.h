#pragma once
// The start and orderly end of the process: the foundation's start-up order, the exit-procedure chain,
// the process exit code and the pending run-time error.

#include <cstdint>
#include <string>

#include "toolbox/sync.h"

namespace zi {

using ExitProc = void (*)();

// The one exit-procedure slot that components chain into; the foundation takes them over.
void SetExitProc(ExitProc procedure);
ExitProc ExitProcSlot();
void RoubaOChainDeExitProcs();
void RodaTodasAsExitProcs();

// The process's own exit code (the mode's result is kept apart by the program entry).
int ExitCode();
void SetExitCode(int code);

// A run-time error waiting to be reported at exit: the code and the address it was raised at.
void SetRunTimeError(int code, uintptr_t address);
// Logs "Run time error N at XXXXXXXX" once and clears the pending address.
void CheckFatalRunError();

struct RegionalSettings {
  char decimalSeparator = '.';
  char dateSeparator = '/';
  std::string shortDateFormat = "dd/MM/yyyy";
  char listSeparator = ';';
};
const RegionalSettings& Regional();
// Replaces the settings read from the system (a user's choice, a test's), the date pattern with them.
void SetRegional(const RegionalSettings& settings);
// Derives the list separator from the locale's own one and the decimal separator.
char DeriveListSeparator(char localeListSeparator, char decimalSeparator);

// Callbacks run whenever the regional settings are read again.
TCallBackList* SettingsCallbacks();

// The date display pattern (order and separators) rebuilt from the short date format.
struct DateDisplayPattern {
  std::string order = "DMY";  // the order in which day, month and year are shown
  char separator = '/';
};
const DateDisplayPattern& DatePattern();
DateDisplayPattern DatePatternOf(const std::string& shortDateFormat, char dateSeparator);

// Starts the foundation once: log, date unit, regional settings, stack capture, component library.
void FoundationStart();
// Ends it, in reverse order; the exit procedures and the log's last lines run here.
void FoundationEnd();
// Runs FoundationEnd and ends the process with the given status. Safe to call from a fatal path: a
// fatal error during the shutdown skips the rest of it, but the writers (the log's kept lines and
// every standard stream) are still flushed before the process ends.
[[noreturn]] void EndProcess(int status);

// From a fatal error on, the process ends with 250 within a few seconds whatever happens: a log, a
// dump or a flush that cannot finish must not keep an unattended run alive. Armed once.
void ArmFatalWatchdog();
inline constexpr unsigned kFatalWatchdogSeconds = 10;
// A whole log line that the watchdog writes before it ends the process, for a fatal path that has
// not logged it yet; nullptr for none. The text must stay valid. Safe in a signal handler.
void SetWatchdogLastLine(const char* stampedLine);
// What the watchdog does when it fires: writes that line, if any, and ends the process with 250.
[[noreturn]] void EndByWatchdog();

}  // namespace zi
