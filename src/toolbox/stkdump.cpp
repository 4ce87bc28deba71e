#include "toolbox/stkdump.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <typeinfo>

#include <fmt/format.h>

#include "toolbox/errors.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/platform.h"

namespace zi {

extern const bool kThrowHookLinked;

namespace {

constexpr int kMaxFrames = 64;

// Taken with a bounded wait: a thread that faulted while it held the lock must not stop the report.
std::timed_mutex& DumpMutex() {
  static auto* mutex = new std::timed_mutex;
  return *mutex;
}
constexpr auto kDumpLockWait = std::chrono::seconds(1);

TDumpInfo& LastDump() {
  static auto* dump = new TDumpInfo;
  return *dump;
}

thread_local bool capturing = false;

__attribute__((noinline)) std::vector<uintptr_t> WalkStack(int skipFrames) {
  void* frames[kMaxFrames];
  int n = ::backtrace(frames, kMaxFrames);
  std::vector<uintptr_t> addresses;
  for (int i = skipFrames + 1; i < n; ++i) addresses.push_back(reinterpret_cast<uintptr_t>(frames[i]));
  return addresses;
}

TDumpInfo MakeDump(std::string className, std::string message, const std::vector<uintptr_t>& addresses) {
  TDumpInfo dump{std::move(className), std::move(message), addresses.empty() ? 0 : addresses.front(), {}};
  dump.entries.reserve(addresses.size());
  for (uintptr_t a : addresses) dump.entries.push_back(DumpEntryOf(a));
  return dump;
}

void RecordRaise(TDumpInfo dump) {
  std::unique_lock<std::timed_mutex> guard(DumpMutex(), kDumpLockWait);
  if (guard.owns_lock()) LastDump() = std::move(dump);
}

// Message of a thrown object, when it is a standard exception.
std::string MessageOf(void* object, const std::type_info* type) {
  void* adjusted = object;
  if (type && typeid(std::exception).__do_catch(type, &adjusted, 1))
    return static_cast<std::exception*>(adjusted)->what();
  return {};
}

std::string Hex8(uint64_t value) { return fmt::format("{:08X}", static_cast<uint32_t>(value)); }

std::terminate_handler previousTerminate = nullptr;
bool handlersInstalled = false;

struct SignalName {
  int number;
  const char* className;
};
// An abort stands for a fault too: the C library aborts on a corrupted heap, inside its allocator.
constexpr SignalName kFatalSignals[] = {{SIGSEGV, "EAccessViolation"}, {SIGBUS, "EBusError"},
                                        {SIGFPE, "EMathError"},        {SIGILL, "EPrivilege"},
                                        {SIGABRT, "EAbort"}};
struct sigaction previousActions[std::size(kFatalSignals)];

// Logs what escaped every handler and ends the run with the fatal code: a terminate handler may not
// return, so the exception is not raised again for the platform.
[[noreturn]] void MyExceptHandler() {
  ArmFatalWatchdog();
  LogForFatalEnd();
  std::string className, message;
  bool isException = false;
  if (std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& e) {
      className = ExceptionClassName(e);
      message = e.what();
      isException = true;
    } catch (...) {
      if (const std::type_info* type = abi::__cxa_current_exception_type()) className = ClassNameOf(*type);
    }
  }
  TDumpInfo dump = LastRaiseDump();
  uintptr_t address = dump.raiseAddress;
  std::string line = "Exception Error at " + Hex8(address) + " " + Hex8(DumpEntryOf(address).offset);
  if (!className.empty()) line += "  " + className;
  if (isException) line += " " + message;
  Loga(line);
  Loga("exception " + className + ":" + message + " [Basic.MyExceptHandler]");
  DumpStack(dump);
  FatalRunError250("[Basic.MyExceptHandler]");
}

// Large enough for the log and the dump when the fault is the stack's own overflow.
char alternateStack[256 * 1024];

// The faulting instruction, from the interrupted context; the fault's data address where the
// processor's registers are not known here.
uintptr_t InstructionAddress(const siginfo_t* info, const void* context) {
  [[maybe_unused]] const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  if (uc) return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
  if (uc) return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
  if (uc) return static_cast<uintptr_t>(uc->uc_mcontext.pc);
#endif
  return reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr);
}

// The faulting address goes after the frames of the fault's own machinery, unless the walk already
// holds it.
void InsertFaultAddress(std::vector<uintptr_t>& addresses, uintptr_t fault) {
  constexpr size_t kMachineryFrames = 3;
  if (std::find(addresses.begin(), addresses.end(), fault) != addresses.end()) return;
  addresses.insert(addresses.begin() + static_cast<std::ptrdiff_t>(std::min(kMachineryFrames, addresses.size())),
                   fault);
}

// The thread that reports a fatal signal; 0 while none does.
std::atomic<pid_t> fatalSignalOwner{0};

// The first line of a fault's report is made without allocating or locking: the fault may have
// happened inside the allocator, or under a lock that the rest of the report needs.
TFixedLine faultMessage;  // "signal N (description) at address X"
TFixedLine faultLine;      // the stamp, a blank and "Exception Error at ..."
size_t faultStampSize = 0;

void WriteFaultTexts(int signal, const char* className, uintptr_t at, uintptr_t dataAddress) {
  const char* description = ::sigdescr_np(signal);
  faultMessage.Add("signal ");
  faultMessage.Number(static_cast<uint64_t>(signal), 1);
  faultMessage.Add(" (");
  faultMessage.Add(description ? description : "?");
  faultMessage.Add(") at address ");
  faultMessage.Number(dataAddress, 16, 16);
  AddStamp(faultLine);
  faultStampSize = faultLine.Size();
  faultLine.Add(" Exception Error at ");
  faultLine.Number(static_cast<uint32_t>(at), 8, 16);
  faultLine.Add(" ");
  faultLine.Number(DumpEntryOf(at).offset, 8, 16);
  faultLine.Add("  ");
  faultLine.Add(className);
  faultLine.Add(" ");
  faultLine.Add(faultMessage.Text());
}

// A processor fault (or an abort) is logged like an unhandled exception and ends the run with the
// fatal code, once: a fault of another thread meanwhile waits for that end, and a fault inside the
// report itself ends the process at once. The watchdog ends a report that cannot finish, writing
// the first line when the report could not.
void FatalSignalHandler(int signal, siginfo_t* info, void* context) {
  const auto self = static_cast<pid_t>(platform::ThreadId());
  pid_t owner = 0;
  if (!fatalSignalOwner.compare_exchange_strong(owner, self)) {
    if (owner == self) EndByWatchdog();
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    ::pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
    for (;;) ::pause();
  }
  ArmFatalWatchdog();
  const char* className = "ESignal";
  for (const auto& s : kFatalSignals)
    if (s.number == signal) className = s.className;
  const uintptr_t at = InstructionAddress(info, context);
  WriteFaultTexts(signal, className, at, reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr));
  SetWatchdogLastLine(faultLine.Text());
  LogForFatalEnd();
  Loga(faultLine.Text() + faultStampSize + 1);
  SetWatchdogLastLine(nullptr);
  const std::string message = faultMessage.Text();
  std::vector<uintptr_t> walk = WalkStack(0);
  InsertFaultAddress(walk, at);
  TDumpInfo dump = MakeDump(className, message, walk);
  dump.raiseAddress = at;
  Loga("exception " + std::string(className) + ":" + message + " [Basic.MyExceptHandler]");
  DumpStack(dump);
  FatalRunError250("[Basic.MyExceptHandler]");
}

}  // namespace

void RecordThrow(void* object, const std::type_info* type) {
  if (capturing) return;
  capturing = true;
  try {
    std::string className = type ? ClassNameOf(*type) : std::string();
    RecordRaise(MakeDump(std::move(className), MessageOf(object, type), WalkStack(2)));
  } catch (...) {
    // Recording is best effort; the raise itself must go on.
  }
  capturing = false;
}

TDumpInfo LastRaiseDump() {
  std::unique_lock<std::timed_mutex> guard(DumpMutex(), kDumpLockWait);
  if (!guard.owns_lock()) return {};
  return LastDump();
}

TDumpEntry DumpEntryOf(uintptr_t address) {
  uintptr_t base = platform::ProgramLoadAddress();
  TDumpEntry entry;
  entry.offset = address < base ? 0 : static_cast<uint32_t>(address - base);
  entry.inProgram = platform::IsProgramAddress(address);
  return entry;
}

TDumpInfo CaptureStack(std::string className, std::string message, int skipFrames) {
  return MakeDump(std::move(className), std::move(message), WalkStack(skipFrames + 1));
}

std::string DumpEntriesLine(const std::vector<TDumpEntry>& entries) {
  std::string line;
  for (const auto& e : entries) {
    if (!line.empty()) line += ' ';
    line += Hex8(e.offset);
    line += e.inProgram ? ' ' : '?';
  }
  return line;
}

void DumpStack(const TDumpInfo& dump) {
  Loga(dump.className + ": " + dump.message);
  if (dump.entries.empty()) Loga("<pilha vazia>");
  for (size_t i = 0; i < dump.entries.size(); i += 8) {
    auto first = dump.entries.begin() + static_cast<std::ptrdiff_t>(i);
    auto last = dump.entries.begin() + static_cast<std::ptrdiff_t>(std::min(i + 8, dump.entries.size()));
    Loga(DumpEntriesLine({first, last}));
  }
  Loga("--------");
}

void InstallStackHandlers() {
  if (handlersInstalled || !kThrowHookLinked) return;
  handlersInstalled = true;
  void* warmUp[1];
  ::backtrace(warmUp, 1);  // loads the unwinder now, not first inside a fault handler
  (void)platform::ProgramLoadAddress();
  PrepareStampWithoutAllocating();
  previousTerminate = std::set_terminate(MyExceptHandler);
  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = FatalSignalHandler;
  // Not reset on entry and not blocked while it runs: a second fault comes back to the handler,
  // which ends the process with the fatal code instead of letting the signal kill it.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kFatalSignals); ++i)
    ::sigaction(kFatalSignals[i].number, &action, &previousActions[i]);
}

void UseAlternateSignalStack() {
  thread_local std::unique_ptr<char[]> own(new char[sizeof alternateStack]);
  stack_t stack{};
  stack.ss_sp = own.get();
  stack.ss_size = sizeof alternateStack;
  ::sigaltstack(&stack, nullptr);
}

void RemoveStackHandlers() {
  if (!handlersInstalled) return;
  handlersInstalled = false;
  std::set_terminate(previousTerminate);
  for (size_t i = 0; i < std::size(kFatalSignals); ++i)
    ::sigaction(kFatalSignals[i].number, &previousActions[i], nullptr);
}

}  // namespace zi

