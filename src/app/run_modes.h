#pragma once
// The run modes of the program entry: which one the command line selects, with its value.

#include <functional>
#include <optional>
#include <string>

#include "toolbox/own_codes.h"

namespace zi::app {

enum class RunMode {
  Import,
  PfImport,
  RImport,
  MsgQQ,
  MsgQQCode,
  ReqGBolAlone,
  ExportaBacComStatus,
  ExportaBacSemStatus,
  ContasQueNaoFecham,
  ExportaCac,
  ExportaCotacoes,
  CheckServer,
  Desktop,
};

// The switch name of a mode ("import", ...); "" for the desktop.
const char* SwitchOf(RunMode mode);

struct ModeSelection {
  RunMode mode = RunMode::Desktop;
  // The mode switch's value: the system's bytes for the modes whose value names files or folders
  // (import, pfimport, rimport, msgqq, msgqqcode, exportacotacoes), program text for the others.
  std::string value;
  bool reqgbol = false;       // "reqgbol" was given, alone or with another mode
  std::string reqgbolValue;   // as given
  bool reqgbolPriorityValid = false;
  int reqgbolPriority = 0;    // 0 to 9; a value outside or not a number gives 0
};

// Reads the switches: "reqgbol" first, then the first mode of the table that is present.
ModeSelection SelectRunMode();

// How a run ended, for the process exit status.
enum class ExitKind {
  Ok,
  ImportPartial,  // the import pass left errors: some lines were not imported
  CheckFailed,    // the check pass failed: nothing was written
  LoginFailed,    // login, connection or configuration
  Other,
};

struct RunResult {
  int code = 0;
  ExitKind kind = ExitKind::Ok;
};

// The 8-bit process exit status for a run's full code (a fatal run-time error ends the process with 250
// before a status is computed).
int ProcessExitStatus(int code, ExitKind kind);

// The items of a "msgqq" value: object id, auxiliary id, file.
struct MsgQQArgs {
  int objectId = 0;
  int auxiliaryId = 0;
  std::string file;
  char kind = 'a';  // "msgqqcode": 'T' with an auxiliary id, 'a' without
};
std::optional<MsgQQArgs> ParseMsgQQ(const std::string& value);
std::optional<MsgQQArgs> ParseMsgQQCode(const std::string& value);

// The number of "contasquenaofecham" and "exportacac": not a number reads as 2147483647.
int NumberValueOrMax(const std::string& value);

// Mode handlers are wired in by the subsystems that implement them.
using ModeHandler = std::function<RunResult(const ModeSelection&)>;
void SetModeHandler(RunMode mode, ModeHandler handler);
// Called when "reqgbol" was given, before the mode runs.
using ReqGBolHandler = std::function<void(int priority, const std::string& requesterText)>;
void SetReqGBolHandler(ReqGBolHandler handler);

// Logs each parameter that the program does not read: an unknown switch by its name, never its
// value (a mistyped password switch must not put the password in the log), and a parameter that is
// no switch by its position.
void LogIgnoredParameters();

// Runs the selected mode; a mode without a handler logs one line and returns kModeNotAvailable.
// A "reqgbol" value that is no priority 0 to 9 is logged as a warning first.
RunResult RunSelectedMode(const ModeSelection& selection);

}  // namespace zi::app
