#include "app/import_mode.h"

#include "session/import_client/import_file.h"
#include "session/zi_globs.h"
#include "toolbox/switches.h"

namespace zi::app {

RunResult RunImportMode(const ModeSelection& selection) {
  const TImportOutcome outcome = ImportaArquivo(selection.value, true, false, TemParam("logfilenameonimport"));
  if (outcome.code == 0) return {0, ExitKind::Ok};
  if (outcome.loginFailed) return {outcome.code, ExitKind::LoginFailed};
  if (outcome.code == kNoInputFile) return {outcome.code, ExitKind::Other};
  return {outcome.code, outcome.nothingWritten ? ExitKind::CheckFailed : ExitKind::ImportPartial};
}

}  // namespace zi::app
