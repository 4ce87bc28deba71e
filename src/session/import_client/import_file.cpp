#include "session/import_client/import_file.h"

#include <memory>

#include "import/command_line_run.h"
#include "import/json_import.h"
#include "session/zi_globs.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"

namespace zi {

namespace {

void RunText(const std::string& file, bool portfolio, bool prefix, TImportOutcome& outcome) {
  auto run = std::make_unique<impcli::tMyImpMain>(file, true, prefix, "");
  run->SetPortfolio(portfolio);
  run->SetCachedCompanyLookup(portfolio);
  while (run->NotFinished()) run->Step();
  outcome.code = run->ResultCode();
  outcome.summary = run->StateText("impcli");
  outcome.name = run->RunName();
  outcome.lineCount = run->LineCount();
  // A run that never left its check pass wrote nothing.
  outcome.nothingWritten = run->ToNoCheck();
  run->AfterRun();
}

void RunJson(std::unique_ptr<TImpJSON> run, TImportOutcome& outcome) {
  while (run->NotFinished()) run->Step();
  outcome.summary = run->StateText("impcli");
  outcome.name = run->FileName();
  outcome.lineCount = run->lnn();
  outcome.nothingWritten = false;
  // Writing the annotated file back may fail too; that counts as the run's error.
  run->AfterRun();
  outcome.code = run->ResultCode();
}

}  // namespace

TImportOutcome ImportaArquivo(const std::string& file, bool logIn, bool portfolio, bool prefix) {
  SetConsoleEcho();
  LogaConsole("ImpCli import <" + PathText(file) + ">");
  TImportOutcome outcome;
  if (file.empty()) {
    outcome.code = kNoInputFile;
    outcome.summary = "Error: no input file";
    Loga(outcome.summary);
  } else if (logIn && (CliLogin(), CliLoginCode() != 0)) {
    outcome.code = CliLoginCode();
    outcome.summary = "login";
    outcome.loginFailed = true;
  } else {
    // JSON first: only a file that is no JSON array is run as text.
    std::unique_ptr<TImpJSON> json;
    const int offered = TryJsonImport(file, true, _ParamCmdTxt{true, prefix, portfolio}, json);
    if (json && offered != 0 && offered != kNotJsonArray) {
      json->Output("Error:" + std::to_string(offered) + " erro fatal", false);
      json.reset();
    }
    if (json) RunJson(std::move(json), outcome);
    else RunText(file, portfolio, prefix, outcome);
  }
  LogaConsole("- end import " + (outcome.code == 0 ? std::string("ok") : "erro:" + std::to_string(outcome.code)) +
              " " + outcome.summary);
  return outcome;
}

}  // namespace zi
