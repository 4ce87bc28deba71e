#pragma once
// The local import of the command line: a file offered to the JSON import first, run as text when it
// is no JSON array, each message echoed on the console, one "- end import" line at the end.

#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "toolbox/codec.h"

namespace zi {

inline constexpr int kNoInputFile = 3774;

struct TImportOutcome {
  int code = 0;
  std::string name;     // the run's name
  std::string summary;  // the run's state text, "login" or the reason there was no run
  int lineCount = 0;    // lines of a text file; 0 for a JSON file
  int recordCount = 0;  // records of a JSON file the run went through
  bool loginFailed = false;
  // Refused before its first line: a JSON file to check alone, or a dry run whose transaction could
  // not begin.
  bool refused = false;
  int messageCount = 0;      // messages of a text run (errors and warnings); error entries of a JSON run
  int failedLineCount = 0;   // lines of a text file's import pass that are not written
  int failedRecordCount = 0;  // records of a JSON file with an error
  std::string firstMessage;  // of those
  std::string lastMessage;
  double seconds = 0;
  // Nothing was written: no run, or a text run that stopped in its check pass. A JSON run imports
  // record by record and may have written some.
  bool nothingWritten = true;
  // A dry run's: what it would have changed before its transaction was rolled back.
  std::optional<db::TAdoDataBaseCustomizado::TDryRunChanges> dryRun;
  // A JSON file's dry run: the log and error entries the records would have been written back with.
  std::vector<std::string> jsonEntries;

  // A record can fail without changing the run's code (a "cmdtxt" text's non-fatal errors).
  bool Ok() const { return code == 0 && failedLineCount == 0 && failedRecordCount == 0; }
};

// What a command-line import does with the file: check it and import it; only check it (nothing is
// written, bulletins included); or check it and import it in one transaction that is rolled back
// at the end (a dry run: every message of a real import, and what it would have changed).
enum class TImportKind { Import, CheckOnly, DryRun };

// What a user may ask of a command-line import beyond the run itself (files, as the system's bytes).
struct TImportExtras {
  std::string rejects;  // a text file's failed lines, for a fixed re-import (rejects.h)
  std::string summary;  // the outcome as a JSON object, for scripts
  TImportEncoding encoding = TImportEncoding::Unchosen;  // of a text file
  TImportKind kind = TImportKind::Import;
};

// logIn: log in first (CliLogin); portfolio: a file of the batch portfolio import (its company keys
// found through the company cache); prefix: the file name in front of every message of the run.
TImportOutcome ImportaArquivo(const std::string& file, bool logIn, bool portfolio, bool prefix,
                              const TImportExtras& extras = {});

// The summary file: 0, or the error number of the failure.
int WriteImportSummary(const std::string& path, const std::string& file, const TImportOutcome& outcome,
                       TImportKind kind = TImportKind::Import);

}  // namespace zi
