#pragma once
// A logged-in test database with the holdings' directives and JSON types plugged in and the
// process's document indexes empty, with text and JSON imports run to their end.

#include <memory>
#include <string>
#include <vector>

#include "holdings/portfolio_directives.h"
#include "holdings/registry_import.h"
#include "import/command_line_run.h"
#include "import/json_import.h"
#include "support/logged_in_database.h"

namespace zi::test {

class HoldingsDatabase : public LoggedInDatabase {
 protected:
  void SetUp() override {
    LoggedInDatabase::SetUp();
    RegisterHolderDirectives();
    RegisterPortfolioDirectives();
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

  // Imports the text as a JSON file; the file as written back, the run's result in result.
  std::string ImportJson(const std::string& text, int& result) {
    const std::string file = dir_.File("in.json");
    WriteFile(file, text);
    std::unique_ptr<TImpJSON> run;
    EXPECT_EQ(TryJsonImport(file, false, _ParamCmdTxt{}, run), 0) << text;
    if (!run) return {};
    while (run->NotFinished()) run->Step();
    run->AfterRun();
    result = run->ResultCode();
    run.reset();
    return ReadFile(file);
  }

  // The rows of a query, each as its values joined by "|" (NULL as "-").
  std::vector<std::string> Rows(const std::string& sql) {
    std::vector<std::string> rows;
    const auto sets = Server().ExecuteSql(sql);
    if (sets.empty()) return rows;
    for (const auto& row : sets[0].rows) {
      std::string line;
      for (const DbValue& value : row) {
        if (!line.empty()) line += "|";
        line += ValueText(value);
      }
      rows.push_back(line);
    }
    return rows;
  }

  std::vector<std::string> LogLines() { return WithoutStamps(ReadLines(dir_.File("zorinput.log"))); }

 private:
  static std::string ValueText(const DbValue& value) {
    switch (value.Type()) {
      case DbType::Null: return "-";
      case DbType::Integer: return std::to_string(value.AsInteger());
      case DbType::Float: {
        std::string text = std::to_string(value.AsFloat());
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
        return text;
      }
      case DbType::Text: return value.AsText();
      case DbType::Boolean: return value.AsBoolean() ? "1" : "0";
      default: return "?";
    }
  }
};

}  // namespace zi::test
