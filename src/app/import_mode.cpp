#include "app/import_mode.h"

#include <cstdio>
#include <optional>

#include <fmt/format.h>

#include "import_client/import_file.h"
#include "import_client/portfolio_batch.h"
#include "import_client/remote_import.h"
#include "session/zi_globs.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/switches.h"

namespace zi::app {

namespace {

constexpr const char* kUnknownEncodingLine =
    "ZorInput switch -encoding value \"{}\" is not utf-8 or windows-1252 erro:{}";
constexpr const char* kBothKindsLine = "ZorInput switches -checkonly and -dryrun exclude each other erro:{}";

}  // namespace

int ImportEncodingSwitch(TImportEncoding& encoding) {
  encoding = TImportEncoding::Unchosen;
  std::string value;
  if (!PegaParam("encoding", value)) return 0;
  if (const std::optional<TImportEncoding> named = ImportEncodingNamed(value)) {
    encoding = *named;
    return 0;
  }
  std::string shown = value;
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  Loga(fmt::format(kUnknownEncodingLine, shown, kImportEncodingUnknown));
  return kImportEncodingUnknown;
}

RunResult RunImportMode(const ModeSelection& selection) {
  TImportExtras extras;
  if (const int code = ImportEncodingSwitch(extras.encoding)) return {code, ExitKind::Other};
  const bool checkOnly = TemParam("checkonly");
  const bool dryRun = TemParam("dryrun");
  if (checkOnly && dryRun) {
    Loga(fmt::format(kBothKindsLine, kCheckOnlyAndDryRun));
    return {kCheckOnlyAndDryRun, ExitKind::Other};
  }
  if (checkOnly) extras.kind = TImportKind::CheckOnly;
  if (dryRun) extras.kind = TImportKind::DryRun;
  PegaParamBytes("rejects", extras.rejects);
  PegaParamBytes("summary", extras.summary);
  const TImportOutcome outcome =
      ImportaArquivo(selection.value, true, false, TemParam("logfilenameonimport"), extras);
  if (outcome.code == 0) return {0, ExitKind::Ok};
  if (outcome.loginFailed) return {outcome.code, ExitKind::LoginFailed};
  // Refused before any check: no file, nowhere to put the outcome asked for, a JSON file to check
  // alone, or a dry run that could not begin.
  if (outcome.code == kNoInputFile || outcome.code == kImportExtraNotWritable || outcome.refused)
    return {outcome.code, ExitKind::Other};
  return {outcome.code, outcome.nothingWritten ? ExitKind::CheckFailed : ExitKind::ImportPartial};
}

RunResult RunRemoteImportMode(const ModeSelection& selection) {
  SetConsoleEcho();
  const auto progress = [](const std::string& text) {
    if (ConsoleEchoOn()) std::printf("%s\n", Cp1252ToUtf8(text).c_str());
  };
  TImportEncoding encoding = TImportEncoding::Unchosen;
  if (const int code = ImportEncodingSwitch(encoding)) return {code, ExitKind::Other};
  const int code = EnviaArquivoParaImportacao(selection.value, PrioridadeDoIF(), true, encoding, progress);
  if (code == 0) return {0, ExitKind::Ok};
  return {code, code == kCliLoginFailed ? ExitKind::LoginFailed : ExitKind::Other};
}

RunResult RunPortfolioBatchMode(const ModeSelection& selection) {
  TImportEncoding encoding = TImportEncoding::Unchosen;
  if (const int code = ImportEncodingSwitch(encoding)) return {code, ExitKind::Other};
  const int code = PortfolioBatchImport(selection.value, encoding);
  if (code == 0) return {0, ExitKind::Ok};
  return {code, code == kCliLoginFailed ? ExitKind::LoginFailed : ExitKind::Other};
}

}  // namespace zi::app
