#include "app/import_mode.h"

#include <memory>

#include "import/command_line_run.h"
#include "import/json_import.h"
#include "session/zi_globs.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/switches.h"

namespace zi::app {

namespace {

constexpr int kNoInputFile = 3774;

struct TOutcome {
  int code;
  std::string summary;
  ExitKind kind;
};

// A text run never writes before its whole file passed the check.
TOutcome RunText(const std::string& file, bool prefix) {
  auto run = std::make_unique<impcli::tMyImpMain>(file, true, prefix, "");
  while (run->NotFinished()) run->Step();
  const int code = run->ResultCode();
  TOutcome outcome{code, run->StateText("impcli"), ExitKind::Ok};
  // A run that never left its check pass wrote nothing.
  if (code != 0) outcome.kind = run->ToNoCheck() ? ExitKind::CheckFailed : ExitKind::ImportPartial;
  run->AfterRun();
  return outcome;
}

// A JSON run imports record by record: an error leaves the other records imported.
TOutcome RunJson(std::unique_ptr<TImpJSON> run) {
  while (run->NotFinished()) run->Step();
  const std::string summary = run->StateText("impcli");
  // Writing the annotated file back may fail too; that counts as the run's error.
  run->AfterRun();
  const int code = run->ResultCode();
  return {code, summary, code == 0 ? ExitKind::Ok : ExitKind::ImportPartial};
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
  const bool prefix = TemParam("logfilenameonimport");
  // JSON first: only a file that is no JSON array is run as text.
  std::unique_ptr<TImpJSON> json;
  const int offered = TryJsonImport(file, true, _ParamCmdTxt{true, prefix, false}, json);
  if (json && offered != 0 && offered != kNotJsonArray) {
    json->Output("Error:" + std::to_string(offered) + " erro fatal", false);
    json.reset();
  }
  const TOutcome outcome = json ? RunJson(std::move(json)) : RunText(file, prefix);
  LogaConsole("- end import " + (outcome.code == 0 ? std::string("ok") : "erro:" + std::to_string(outcome.code)) +
              " " + outcome.summary);
  return {outcome.code, outcome.kind};
}

}  // namespace zi::app
