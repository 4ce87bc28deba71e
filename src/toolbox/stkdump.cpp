#include "toolbox/stkdump.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
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

std::mutex& DumpMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

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
  std::lock_guard<std::mutex> guard(DumpMutex());
  LastDump() = std::move(dump);
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
constexpr SignalName kFatalSignals[] = {
    {SIGSEGV, "EAccessViolation"}, {SIGBUS, "EBusError"}, {SIGFPE, "EMathError"}, {SIGILL, "EPrivilege"}};
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

// A processor fault is logged like an unhandled exception and ends the run with the fatal code.
// The handler is reset on entry, so a fault inside it ends the process at once; the watchdog ends a
// handler that cannot finish.
void FatalSignalHandler(int signal, siginfo_t* info, void* context) {
  ArmFatalWatchdog();
  LogForFatalEnd();
  const char* className = "ESignal";
  for (const auto& s : kFatalSignals)
    if (s.number == signal) className = s.className;
  const uintptr_t at = InstructionAddress(info, context);
  auto dataAddress = reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr);
  std::string message = fmt::format("signal {} ({}) at address {:016X}", signal, strsignal(signal), dataAddress);
  std::vector<uintptr_t> walk = WalkStack(0);
  InsertFaultAddress(walk, at);
  TDumpInfo dump = MakeDump(className, message, walk);
  dump.raiseAddress = at;
  RecordRaise(dump);
  Loga("Exception Error at " + Hex8(at) + " " + Hex8(DumpEntryOf(at).offset) + "  " + className + " " + message);
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
  std::lock_guard<std::mutex> guard(DumpMutex());
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
  previousTerminate = std::set_terminate(MyExceptHandler);
  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = FatalSignalHandler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kFatalSignals); ++i)
    ::sigaction(kFatalSignals[i].number, &action, &previousActions[i]);
}

void RemoveStackHandlers() {
  if (!handlersInstalled) return;
  handlersInstalled = false;
  std::set_terminate(previousTerminate);
  for (size_t i = 0; i < std::size(kFatalSignals); ++i)
    ::sigaction(kFatalSignals[i].number, &previousActions[i], nullptr);
}

}  // namespace zi

