#pragma once
// A logged-in test database with the holdings' directives plugged in and the process's document
// indexes empty, and a text import run to its end.

#include <string>

#include "holdings/registry_import.h"
#include "import/command_line_run.h"
#include "support/logged_in_database.h"

namespace zi::test {

class HoldingsDatabase : public LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    RegisterHolderDirectives();
    ForgetIndexes();
  }
  void TearDown() override {
    ForgetIndexes();
    LoggedInDatabase::TearDown();
  }
  static void ForgetIndexes() {
    TShareholderRegistry::DocIndex().Reset();
    TPtfAssetTvmRegistry::DocIndex().Reset();
  }
  // The run's result code.
  int Import(const std::string& text, bool cachedLookup = false) {
    const std::string file = dir_.File("in.txt");
    WriteFile(file, text);
    impcli::tMyImpMain run(file, true, false, "");
    run.SetCachedCompanyLookup(cachedLookup);
    while (run.NotFinished()) run.Step();
    return run.ResultCode();
  }
};

}  // namespace zi::test
