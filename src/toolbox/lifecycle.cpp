#include "toolbox/lifecycle.h"

#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include <fmt/format.h>

#include "toolbox/http.h"
#include "toolbox/log.h"
#include "toolbox/pool.h"
#include "toolbox/stkdump.h"

namespace zi {

namespace {

ExitProc exitProcSlot = nullptr;
std::vector<ExitProc>* exitProcStash = nullptr;
bool stashLogged = false;

int processExitCode = 0;
int runTimeErrorCode = 0;
uintptr_t runTimeErrorAddress = 0;

std::unique_ptr<TCallBackList> settingsCallbacks;
RegionalSettings regional;
DateDisplayPattern datePattern;

constexpr const char* kExitProcWhere = "[Basic2.RodaTodasAsExitProcs]";

int foundationUses = 0;
bool ending = false;
volatile sig_atomic_t watchdogArmed = 0;
std::atomic<const char*> watchdogLastLine{nullptr};

void WatchdogExpired(int) { EndByWatchdog(); }

// An exit procedure that raises is logged and the chain goes on: the writers are flushed after it.
void RunExitProc(ExitProc procedure) {
  try {
    procedure();
  } catch (const std::exception& e) {
    ReportException(kExitProcWhere, e);
  } catch (...) {
    Loga(std::string("exception (not a standard one) ") + kExitProcWhere);
  }
}

void FlushWriters() {
  FlushKeptLogLines();
  std::fflush(nullptr);
}

// Converts the C library's date format ("%d/%m/%Y") to the day-month-year letters the program shows.
std::string ShortDateFormatOf(const char* cFormat) {
  std::string out;
  for (const char* p = cFormat; *p; ++p) {
    if (*p != '%' || !p[1]) {
      out += *p;
      continue;
    }
    switch (*++p) {
      case 'd': case 'e': out += "dd"; break;
      case 'm': out += "MM"; break;
      case 'Y': out += "yyyy"; break;
      case 'y': out += "yy"; break;
      case 'D': out += "MM/dd/yy"; break;
      case 'F': out += "yyyy-MM-dd"; break;
      case 'b': case 'h': out += "MMM"; break;
      default: break;
    }
  }
  return out;
}

char DateSeparatorOf(const std::string& shortDateFormat) {
  for (char c : shortDateFormat)
    if (c != 'd' && c != 'M' && c != 'y') return c;
  return '/';
}

// Read through a locale object of our own: the process's C locale, which the file parsers and
// formatters rely on, is never changed.
void ReadRegionalSettings() {
  locale_t user = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
  locale_t loc = user ? user : ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  const char* radix = loc ? ::nl_langinfo_l(RADIXCHAR, loc) : ".";
  const char* dateFormat = loc ? ::nl_langinfo_l(D_FMT, loc) : "%m/%d/%y";
  regional.decimalSeparator = radix && *radix ? radix[0] : '.';
  regional.shortDateFormat = ShortDateFormatOf(dateFormat ? dateFormat : "%m/%d/%y");
  regional.dateSeparator = DateSeparatorOf(regional.shortDateFormat);
  // The C library keeps no list separator: the default one applies.
  regional.listSeparator = DeriveListSeparator(';', regional.decimalSeparator);
  if (loc) ::freelocale(loc);
}

void RebuildDatePattern() { datePattern = DatePatternOf(regional.shortDateFormat, regional.dateSeparator); }

void StartMomento() {
  LogStart("Momento");
  LogaDebug("Momento");
}

void StartDatas() {
  if (!settingsCallbacks) settingsCallbacks = std::make_unique<TCallBackList>();
  CallBackListAdd(settingsCallbacks.get(), RebuildDatePattern, "D.EDFW");
  RebuildDatePattern();
}

void StartBasic2() {
  LogaDebug("Basic2");
  if (!settingsCallbacks) settingsCallbacks = std::make_unique<TCallBackList>();
  ReadRegionalSettings();
  settingsCallbacks->ChamaTodos("B2.GFS");
}

// Nothing to initialise here: there is no component-object library, and the band images of the
// desktop come with its own resources.
void StartBasic4() { LogaDebug("basic4"); }

void StopBasic4() {
  CheckFatalRunError();
  LogaDebug("*basic4");
  LogaDebug("*basic4 end");
}

void MyExit() {
  LogaDebug("*Basic2.MyExit");
  CheckFatalRunError();
  settingsCallbacks.reset();
  LogaDebug("*Basic2.MyExit end");
}

void StopBasic2() {
  LogaDebug("*Basic2");
  MyExit();
  RodaTodasAsExitProcs();
  LogaDebug("*Basic2 end");
}

void StopBasic() {
  PoolFreeAll();
  LogEnd();
}

}  // namespace

void SetExitProc(ExitProc procedure) { exitProcSlot = procedure; }
ExitProc ExitProcSlot() { return exitProcSlot; }

void RoubaOChainDeExitProcs() {
  if (!exitProcSlot) return;
  if (!stashLogged) {
    stashLogged = true;
    Loga("Basic2.RoubaOChainDeExitProcs");
  }
  if (!exitProcStash) exitProcStash = new std::vector<ExitProc>;
  exitProcStash->push_back(exitProcSlot);
  exitProcSlot = nullptr;
}

void RodaTodasAsExitProcs() {
  LogaDebug("*Basic2.RodaTodasAsExitProcs");
  RoubaOChainDeExitProcs();
  if (exitProcStash && !exitProcStash->empty()) Loga("Basic2.RodaTodasAsExitProcs rodando");
  while (exitProcStash && !exitProcStash->empty()) {
    exitProcSlot = exitProcStash->back();
    exitProcStash->pop_back();
    // A procedure may install another one, which then runs at once.
    while (ExitProc procedure = exitProcSlot) {
      exitProcSlot = nullptr;
      RunExitProc(procedure);
    }
  }
  delete exitProcStash;
  exitProcStash = nullptr;
  LogaDebug("*Basic2.RodaTodasAsExitProcs end");
}

int ExitCode() { return processExitCode; }
void SetExitCode(int code) { processExitCode = code; }

void SetRunTimeError(int code, uintptr_t address) {
  runTimeErrorCode = code;
  runTimeErrorAddress = address ? address : 1;
  processExitCode = code;
}

void CheckFatalRunError() {
  if (!runTimeErrorAddress) return;
  uint32_t offset = DumpEntryOf(runTimeErrorAddress).offset;
  runTimeErrorAddress = 0;
  Loga(fmt::format("Run time error {} at {:08X}", runTimeErrorCode, offset));
}

const RegionalSettings& Regional() { return regional; }

void SetRegional(const RegionalSettings& settings) {
  regional = settings;
  RebuildDatePattern();
}

char DeriveListSeparator(char localeListSeparator, char decimalSeparator) {
  char list = localeListSeparator ? localeListSeparator : ';';
  if (list == decimalSeparator) return list == ';' ? '|' : ';';
  return list;
}

TCallBackList* SettingsCallbacks() { return settingsCallbacks.get(); }

const DateDisplayPattern& DatePattern() { return datePattern; }

DateDisplayPattern DatePatternOf(const std::string& shortDateFormat, char dateSeparator) {
  DateDisplayPattern pattern{"", dateSeparator};
  for (char c : shortDateFormat) {
    char part = c == 'd' ? 'D' : c == 'M' ? 'M' : (c == 'y' ? 'Y' : 0);
    if (part && pattern.order.find(part) == std::string::npos) pattern.order += part;
  }
  if (pattern.order.size() != 3) pattern.order = "DMY";
  return pattern;
}

void FoundationStart() {
  if (foundationUses++ > 0) return;
  StartMomento();
  StartDatas();
  StartBasic2();
  StartBasic4();
}

void FoundationEnd() {
  if (foundationUses == 0) return;
  foundationUses = 0;
  while (ExitProc procedure = exitProcSlot) {
    exitProcSlot = nullptr;
    RunExitProc(procedure);
  }
  StopBasic4();
  StopBasic2();
  // After the exit procedures, which may still report a failure; before the log's end.
  FinishBackgroundHttpMail();
  StopBasic();
}

void EndProcess(int status) {
  if (ending) {
    // A fatal error during shutdown: report it and leave without running the shutdown again.
    CheckFatalRunError();
  } else {
    ending = true;
    FoundationEnd();
  }
  FlushWriters();
  ::_exit(status);
}

// Only calls that are safe in a signal handler: a fault's handler arms it first of all. The alarm
// is unblocked in the arming thread, so that it reaches the process even when every other thread
// blocks it.
void ArmFatalWatchdog() {
  if (watchdogArmed) return;
  watchdogArmed = 1;
  struct sigaction action {};
  action.sa_handler = WatchdogExpired;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGALRM, &action, nullptr);
  sigset_t alarmSignal;
  sigemptyset(&alarmSignal);
  sigaddset(&alarmSignal, SIGALRM);
  ::pthread_sigmask(SIG_UNBLOCK, &alarmSignal, nullptr);
  ::alarm(kFatalWatchdogSeconds);
}

void SetWatchdogLastLine(const char* stampedLine) { watchdogLastLine.store(stampedLine); }

void EndByWatchdog() {
  if (const char* line = watchdogLastLine.load()) WriteLineWithoutAllocating(line);
  ::_exit(250);
}

}  // namespace zi
