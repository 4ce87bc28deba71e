#include "app/import_mode.h"

#include <cstdio>

#include "session/import_client/import_file.h"
#include "session/import_client/portfolio_batch.h"
#include "session/import_client/remote_import.h"
#include "session/zi_globs.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"

namespace zi::app {

RunResult RunImportMode(const ModeSelection& selection) {
  TImportExtras extras;
  PegaParamBytes("rejects", extras.rejects);
  PegaParamBytes("summary", extras.summary);
  const TImportOutcome outcome =
      ImportaArquivo(selection.value, true, false, TemParam("logfilenameonimport"), extras);
  if (outcome.code == 0) return {0, ExitKind::Ok};
  if (outcome.loginFailed) return {outcome.code, ExitKind::LoginFailed};
  // Refused before any check: no file, or nowhere to put the outcome asked for.
  if (outcome.code == kNoInputFile || outcome.code == kImportExtraNotWritable) return {outcome.code, ExitKind::Other};
  return {outcome.code, outcome.nothingWritten ? ExitKind::CheckFailed : ExitKind::ImportPartial};
}

RunResult RunRemoteImportMode(const ModeSelection& selection) {
  SetConsoleEcho();
  const auto progress = [](const std::string& text) {
    if (ConsoleEchoOn()) std::printf("%s\n", Cp1252ToUtf8(text).c_str());
  };
  const int code = EnviaArquivoParaImportacao(selection.value, PrioridadeDoIF(), true, progress);
  if (code == 0) return {0, ExitKind::Ok};
  return {code, code == kCliLoginFailed ? ExitKind::LoginFailed : ExitKind::Other};
}

RunResult RunPortfolioBatchMode(const ModeSelection& selection) {
  const int code = PortfolioBatchImport(selection.value);
  if (code == 0) return {0, ExitKind::Ok};
  return {code, code == kCliLoginFailed ? ExitKind::LoginFailed : ExitKind::Other};
}

}  // namespace zi::app
