#pragma once
// Call stacks recorded at every raise, and their dump to the log.

#include <cstdint>
#include <typeinfo>
#include <string>
#include <vector>

namespace zi {

struct TDumpEntry {
  uint32_t offset = 0;     // from the program's load address; 0 for an address below it
  bool inProgram = false;  // the address lies inside the program's own code
};

struct TDumpInfo {
  std::string className;
  std::string message;
  uintptr_t raiseAddress = 0;  // absolute address of the raise, 0 when unknown
  std::vector<TDumpEntry> entries;
};

// Called at every raise, before the exception leaves the raising function.
void RecordThrow(void* object, const std::type_info* type);

// The record of the most recent raise on any thread.
TDumpInfo LastRaiseDump();

// Records the caller's stack, leaving out `skipFrames` innermost frames besides this function's own.
TDumpInfo CaptureStack(std::string className, std::string message, int skipFrames = 0);

TDumpEntry DumpEntryOf(uintptr_t address);

// Logs the header, the entries eight to a line (or "<pilha vazia>"), and "--------".
void DumpStack(const TDumpInfo& dump);
// The text of one line of entries, as DumpStack writes it.
std::string DumpEntriesLine(const std::vector<TDumpEntry>& entries);

// Installs the handlers of unhandled exceptions and of processor faults; RemoveStackHandlers restores
// the previous ones.
void InstallStackHandlers();
void RemoveStackHandlers();
// Gives the calling thread a stack of its own for the fault handler, so that its stack overflowing
// is reported like any fault instead of killing the process. Every thread of ours calls it first.
void UseAlternateSignalStack();

}  // namespace zi
