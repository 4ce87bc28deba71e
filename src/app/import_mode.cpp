#include "app/import_mode.h"

#include <memory>

#include "import/command_line_run.h"
#include "session/zi_globs.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/switches.h"

namespace zi::app {

namespace {

constexpr int kNoInputFile = 3774;

ExitKind KindOf(const impcli::tMyImpMain& run, int code) {
  if (code == 0) return ExitKind::Ok;
  // A run that never left its check pass wrote nothing.
  return run.ToNoCheck() ? ExitKind::CheckFailed : ExitKind::ImportPartial;
}

}  // namespace

RunResult RunImportMode(const ModeSelection& selection) {
  const std::string& file = selection.value;
  SetConsoleEcho();
  LogaConsole("ImpCli import <" + PathText(file) + ">");
  if (file.empty()) {
    LogaConsole("- end import erro:" + std::to_string(kNoInputFile) + " Error: no input file");
    return {kNoInputFile, ExitKind::Other};
  }
  CliLogin();
  if (CliLoginCode() != 0) {
    LogaConsole("- end import erro:" + std::to_string(CliLoginCode()) + " login");
    return {CliLoginCode(), ExitKind::LoginFailed};
  }
  auto run = std::make_unique<impcli::tMyImpMain>(file, true, TemParam("logfilenameonimport"), "");
  while (run->NotFinished()) run->Step();
  const int code = run->ResultCode();
  const std::string summary = run->StateText("impcli");
  const ExitKind kind = KindOf(*run, code);
  run->AfterRun();
  run.reset();
  LogaConsole("- end import " + (code == 0 ? std::string("ok") : "erro:" + std::to_string(code)) + " " + summary);
  return {code, kind};
}

}  // namespace zi::app
