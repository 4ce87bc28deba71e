#include "app/entry.h"

#include <cstdio>
#include <exception>
#include <string>

#include "app/run_modes.h"
#include "catalogue/hooks.h"
#include "session/bulletin.h"
#include "session/login.h"
#include "session/zi_globs.h"
#include "toolbox/lifecycle.h"
#include "toolbox/log.h"
#include "toolbox/process.h"
#include "toolbox/racote.h"
#include "toolbox/shell_registration.h"
#include "toolbox/switches.h"
#include "toolbox/text.h"
#include "toolbox/version.h"

namespace zi::app {

namespace {

constexpr int kModeExceptionDefault = 3938;
constexpr const char* kImportFileTypes = "zi|txt|imp|csv|prn";

void RegisterFileTypes() {
  std::string program = ParamStr(0);
  RegExt("zi", "ZorInput import file", "application/x-zorinput-import", false, "open", "/rimport=", program);
  for (int i = 1; i <= ContaItensPipe(kImportFileTypes); ++i) {
    std::string type = ItemPipe(i, kImportFileTypes);
    RegExt(type, type + " file", "", true, "Import with ZorInput", "/rimport=", program);
  }
}

// Before the desktop: hand over to the versioned copy, then make the import files open with us.
void PrepareDesktop() {
  if (RACOTE(kCopyVersion).copyStarted) EndProcess(0);
  RegisterFileTypes();
}

// Every unattended mode logs in first; the modes whose own work is not in this build stop after it.
RunResult LoginThenNotAvailable(const ModeSelection& selection) {
  CliLogin();
  if (CliLoginCode() != 0) return {CliLoginCode(), ExitKind::LoginFailed};
  Loga(std::string("ZorInput mode ") + SwitchOf(selection.mode) + " is not available in this build erro:" +
       std::to_string(kModeNotAvailable));
  return {kModeNotAvailable, ExitKind::Other};
}

RunResult LoginOnly(const ModeSelection&) {
  int code = InitDbConnection("", "", false, nullptr);
  return {code, code == 0 ? ExitKind::Ok : ExitKind::LoginFailed};
}

void InstallModeHandlers() {
  for (RunMode mode : {RunMode::Import, RunMode::PfImport, RunMode::RImport, RunMode::MsgQQ, RunMode::MsgQQCode,
                       RunMode::ExportaBacComStatus, RunMode::ExportaBacSemStatus, RunMode::ContasQueNaoFecham,
                       RunMode::ExportaCac, RunMode::ExportaCotacoes})
    SetModeHandler(mode, LoginThenNotAvailable);
  SetModeHandler(RunMode::ReqGBolAlone, LoginOnly);
  SetReqGBolHandler([](int priority, const std::string& requesterText) {
    PedeBoletim(priority);
    AppendRequester(requesterText);
  });
}

std::string EndLine(int modeCode, int processCode) {
  std::string line = "- ZorInput end";
  if (modeCode != 0) line += " erro:" + std::to_string(modeCode);
  if (processCode != 0) line += " Sys.ExitCode:" + std::to_string(processCode);
  return line;
}

RunResult RunEntry() {
  Loga(std::string("ZorInput start ver:") + kVersionText + " " + UserAtMachine());
  RunResult result;
  try {
    ModeSelection selection = SelectRunMode();
    if (selection.mode == RunMode::Desktop) PrepareDesktop();
    result = RunSelectedMode(selection);
  } catch (const std::exception& e) {
    ReportExceptionWithCode("ZorInput.main", result.code, e, kModeExceptionDefault);
    result.kind = ExitKind::Other;
  }
  if (ExitCode() == 0) SetExitCode(result.code);
  Loga(EndLine(result.code, ExitCode()));
  return result;
}

}  // namespace

void Main(int argc, char** argv) {
  SetCommandLine(argc, argv);
  FoundationStart();
  ZiGlobsStart();
  InstallCatalogueHooks();
  InstallModeHandlers();
  RunResult result = RunEntry();
  int modeCode = result.code;
  // The shutdown may still change the process's code (a bulletin request sent at the end).
  FoundationEnd();
  int code = ExitCode();
  if (code != 0) std::fprintf(stderr, "%s\n", EndLine(modeCode, code).c_str());
  EndProcess(ProcessExitStatus(code, result.kind));
}

}  // namespace zi::app
