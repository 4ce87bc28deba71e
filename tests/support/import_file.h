#pragma once
// Runs a text as an import file through the command-line run, in a test's folder, and reads the
// log it wrote.

#include <filesystem>
#include <string>
#include <vector>

#include "import/command_line_run.h"
#include "support/test_files.h"

namespace zi::test {

struct TImportOutcome {
  int code = 0;
  int messages = 0;  // the run's ErrMsgCount
};

// The log is emptied first, so that it holds this run alone.
inline TImportOutcome ImportText(const TempDir& dir, const std::string& text, bool andImport = true) {
  std::filesystem::remove(dir.File("zorinput.log"));
  const std::string file = dir.File("in.txt");
  WriteFile(file, text);
  impcli::tMyImpMain run(file, andImport, false, "");
  while (run.NotFinished()) run.Step();
  return {run.ResultCode(), run.ErrMsgCount()};
}

inline std::vector<std::string> ImportLog(const TempDir& dir) { return WithoutStamps(ReadLines(dir.File("zorinput.log"))); }

}  // namespace zi::test
