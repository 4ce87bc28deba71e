#include "import_client/import_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include <nlohmann/json.hpp>

#include "catalogue/caches.h"
#include "import/command_line_run.h"
#include "import/dry_run.h"
#include "import/json_import.h"
#include "import/regular_file.h"
#include "import_client/progress_line.h"
#include "session/zi_globs.h"
#include "toolbox/codec.h"
#include "toolbox/log.h"
#include "toolbox/own_codes.h"
#include "toolbox/platform.h"

namespace zi {

namespace {

constexpr const char* kCheckOk = "check ok";
constexpr const char* kDryRunNotBegun = "the dry run could not begin";

const char* KindName(TImportKind kind) {
  switch (kind) {
    case TImportKind::CheckOnly: return "checkonly";
    case TImportKind::DryRun: return "dryrun";
    case TImportKind::Import: break;
  }
  return "import";
}

void RunText(const std::string& file, bool portfolio, bool prefix, const TImportExtras& extras,
             TImportOutcome& outcome) {
  auto run = std::make_unique<impcli::tMyImpMain>(file, extras.kind != TImportKind::CheckOnly, prefix, "",
                                                  extras.encoding);
  run->SetDryRun(extras.kind == TImportKind::DryRun);
  run->SetPortfolio(portfolio);
  run->SetCachedCompanyLookup(portfolio);
  if (!extras.rejects.empty()) run->SetRejectsFile(extras.rejects);
  TProgressLine progress(ProgressLineWanted());
  while (run->NotFinished()) {
    run->Step();
    progress.Show(run->ToNoCheck() ? "check" : "import", run->lnn(), run->LineCount());
  }
  outcome.code = run->ResultCode();
  outcome.summary = run->StateText("impcli");
  outcome.name = run->RunName();
  outcome.lineCount = run->LineCount();
  outcome.messageCount = run->ErrMsgCount();
  outcome.failedLineCount = run->FailedLineCount();
  outcome.firstMessage = run->FirstErrMsg();
  outcome.lastMessage = run->LastErrMsg();
  // A run that never left its check pass wrote nothing.
  outcome.nothingWritten = run->ToNoCheck();
  if (extras.kind == TImportKind::CheckOnly && outcome.code == 0) run->Output(kCheckOk, false);
  run->AfterRun();
}

void RunJson(std::unique_ptr<TImpJSON> run, TImportOutcome& outcome) {
  while (run->NotFinished()) run->Step();
  outcome.jsonEntries = run->WouldBeEntries();
  outcome.name = run->FileName();
  outcome.recordCount = run->ElementIndex();
  outcome.failedRecordCount = run->FailedRecordCount();
  // The error entries written into the file say what went wrong with each record.
  outcome.messageCount = run->Register().ErrorsAdded();
  outcome.firstMessage = run->Register().FirstError();
  outcome.lastMessage = run->Register().LastError();
  outcome.nothingWritten = false;
  // Writing the annotated file back may fail too; that counts as the run's error, and its state
  // says so.
  run->AfterRun();
  outcome.code = run->ResultCode();
  outcome.summary = run->StateText("impcli");
}

// Whether a file the run writes at its end can be made: found out only then, the outcome it was
// asked for would be lost after the import. Empty, or why not.
std::string CannotBeWritten(const std::string& path, const char* what) {
  if (path.empty()) return {};
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    return std::string(what) + " file " + PathText(path) + " cannot be written: it is a folder";
  }
  // The file is written beside it first, then renamed into place: a file of a name of its own (another
  // run may be writing beside the same file) tells whether the folder takes one.
  std::string probe = path + ".zi-probe-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    const int reason = errno;
    return std::string(what) + " file " + PathText(path) + " cannot be written erro:" + std::to_string(reason) + " " +
           std::strerror(reason);
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return {};
}

// A JSON file's records are written one by one as they are read: it has no check pass to run alone.
void RefuseCheckOnly(TImpJSON& run, TImportOutcome& outcome) {
  outcome.code = kCheckOnlyJsonFile;
  outcome.refused = true;
  outcome.summary = "Error:" + std::to_string(kCheckOnlyJsonFile) + " " + OwnCodeText(kCheckOnlyJsonFile);
  outcome.name = run.FileName();
  run.Output(outcome.summary, false);
}

// Rolls the dry run back and keeps what it would have changed.
void EndDryRun(TImportOutcome& outcome) {
  outcome.dryRun = db::ZiDb().EndDryRun();
  // What the caches learned inside the transaction went with it.
  DropObjectCaches();
  if (outcome.dryRun->code != 0 && outcome.code == 0) outcome.code = kDryRunLost;
}

}  // namespace

TImportOutcome ImportaArquivo(const std::string& file, bool logIn, bool portfolio, bool prefix,
                              const TImportExtras& extras) {
  const int64_t start = platform::MonotonicMs();
  SetConsoleEcho();
  LogaConsole("ImpCli import <" + PathText(file) + ">");
  TImportOutcome outcome;
  std::string unwritable = CannotBeWritten(extras.rejects, "Rejects");
  if (unwritable.empty()) unwritable = CannotBeWritten(extras.summary, "Summary");
  if (file.empty()) {
    outcome.code = kNoInputFile;
    outcome.summary = "Error: no input file";
    Loga(outcome.summary);
  } else if (!unwritable.empty()) {
    outcome.code = kImportExtraNotWritable;
    outcome.summary = "Error:" + std::to_string(kImportExtraNotWritable) + " " + unwritable;
    LogaConsole(outcome.summary);
  } else if (logIn && (CliLogin(), CliLoginCode() != 0)) {
    outcome.code = CliLoginCode();
    outcome.summary = "login";
    outcome.loginFailed = true;
  } else if (extras.kind == TImportKind::DryRun && (outcome.code = db::ZiDb().StartDryRun()) != 0) {
    outcome.summary = "Error:" + std::to_string(outcome.code) + " " + kDryRunNotBegun;
    outcome.refused = true;
    LogaConsole(outcome.summary);
  } else {
    // JSON first: only a file that is no JSON array is run as text.
    std::unique_ptr<TImpJSON> json;
    const int offered = TryJsonImport(file, true, _ParamCmdTxt{true, prefix, portfolio}, json);
    if (json && offered != 0 && offered != kNotJsonArray) {
      json->Output("Error:" + std::to_string(offered) + " erro fatal", false);
      json.reset();
    }
    if (json) {
      if (!extras.rejects.empty()) json->SetRejectsFile(extras.rejects);
      json->SetDryRun(extras.kind == TImportKind::DryRun);
    }
    if (json && extras.kind == TImportKind::CheckOnly) {
      RefuseCheckOnly(*json, outcome);
    } else if (json) {
      // A JSON file has no check pass: it changes from its first record on.
      if (extras.kind == TImportKind::DryRun) db::ZiDb().CountDryRunChanges();
      RunJson(std::move(json), outcome);
    } else if (offered == kJsonFileHardLinked || offered == kJsonFileNotRewritable) {
      // A JSON file refused before its first record: nothing was imported.
      outcome.code = offered;
      outcome.summary = JsonStateText("impcli", offered, 0);
      outcome.name = file;
    } else {
      RunText(file, portfolio, prefix, extras, outcome);
    }
    if (extras.kind == TImportKind::DryRun) EndDryRun(outcome);
  }
  outcome.seconds = static_cast<double>(platform::MonotonicMs() - start) / 1000;
  LogaConsole("- end import " + (outcome.code == 0 ? std::string("ok") : "erro:" + std::to_string(outcome.code)) +
              " " + outcome.summary);
  if (outcome.dryRun) {
    for (const std::string& line : DryRunLines(*outcome.dryRun, outcome.jsonEntries)) LogaConsole(line);
  }
  if (!extras.summary.empty()) {
    if (const int error = WriteImportSummary(extras.summary, file, outcome, extras.kind)) {
      LogaConsole("Summary file " + PathText(extras.summary) + " not written erro:" + std::to_string(error));
    }
  }
  return outcome;
}

int WriteImportSummary(const std::string& path, const std::string& file, const TImportOutcome& outcome,
                       TImportKind kind) {
  // Program text is Windows-1252; a JSON file is UTF-8.
  nlohmann::ordered_json summary = {
      {"file", Cp1252ToUtf8(PathText(file))},
      {"kind", KindName(kind)},
      {"resultCode", outcome.code},
      {"ok", outcome.Ok()},
      {"nothingWritten", outcome.nothingWritten || outcome.dryRun.has_value()},
      {"state", Cp1252ToUtf8(outcome.summary)},
      {"lines", outcome.lineCount},
      {"records", outcome.recordCount},
      {"messages", outcome.messageCount},
      {"failedLines", outcome.failedLineCount},
      {"failedRecords", outcome.failedRecordCount},
      {"firstMessage", Cp1252ToUtf8(outcome.firstMessage)},
      {"lastMessage", Cp1252ToUtf8(outcome.lastMessage)},
      {"seconds", outcome.seconds},
  };
  if (outcome.dryRun) {
    const db::TAdoDataBaseCustomizado::TDryRunChanges& changes = *outcome.dryRun;
    nlohmann::ordered_json tables = nlohmann::ordered_json::array();
    for (const db::TableRowChanges& t : changes.tables) {
      tables.push_back({{"table", Cp1252ToUtf8(t.table)}, {"added", t.added}, {"changed", t.changed},
                        {"deleted", t.deleted}});
    }
    nlohmann::ordered_json calls = nlohmann::ordered_json::object();
    for (const auto& [procedure, count] : changes.calls) calls[Cp1252ToUtf8(procedure)] = count;
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    for (const std::string& entry : outcome.jsonEntries) entries.push_back(Cp1252ToUtf8(entry));
    summary["dryRun"] = {{"rolledBack", true},       {"complete", changes.code == 0},
                         {"rowsCounted", changes.rowsCounted}, {"tables", std::move(tables)},
                         {"calls", std::move(calls)}, {"jsonEntries", std::move(entries)}};
  }
  return WriteWholeFile(path, summary.dump(2) + "\n");
}

}  // namespace zi
