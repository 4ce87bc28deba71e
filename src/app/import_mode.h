#pragma once
// The import run modes: "import" runs the file here, "rimport" hands it to the server's queue,
// "pfimport" keeps importing the portfolio files dropped into folders.

#include "app/run_modes.h"
#include "toolbox/codec.h"

namespace zi::app {

// The "encoding" switch of the modes that read import text files, read before the login: 0, or
// 99311 (logged) when it names no encoding this program reads.
int ImportEncodingSwitch(TImportEncoding& encoding);

// The exit kind tells a check that failed (nothing was written) from an import pass that left
// errors (some lines were not imported).
RunResult RunImportMode(const ModeSelection& selection);

// The run mode "rimport": log in and upload the file into the server's import queue.
RunResult RunRemoteImportMode(const ModeSelection& selection);

// The run mode "pfimport": the batch portfolio import of the folders named.
RunResult RunPortfolioBatchMode(const ModeSelection& selection);

}  // namespace zi::app
