// The import window's "Dry Run" action on a real database: the run's every message, what it would
// have changed, and the database left as it was, also when the run is cancelled or cannot begin.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/connection.h"
#include "import/directives.h"
#include "import/imp_form.h"
#include "server/server.h"
#include "server/sqlite_db.h"
#include "support/demo_database.h"
#include "support/test_files.h"

namespace zi {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

// *PAIS adds, in the import pass, the company its first field names, as the company form does;
// a second field "bad" fails the line after the company was added.
class TCompanyLines {
 public:
  TCompanyLines() {
    SetDirectiveHandler("*PAIS", [](TImpMain& run, const TDirective&) {
      if (run.ToNoCheck()) return TDirectiveOutcome{};
      tObjEmp emp;
      emp.cod = run.Tokens().Token(1);
      emp.pais = 0;
      emp.nome = "Company " + emp.cod;
      emp.moedabal[0] = 1;
      if (const int code = DbObjEmpAdd(emp)) return TDirectiveOutcome{false, code};
      if (run.Tokens().Token(2) == "bad") return TDirectiveOutcome{false, 4100};
      return TDirectiveOutcome{};
    });
  }
  ~TCompanyLines() { SetDirectiveHandler("*PAIS", nullptr); }
  TCompanyLines(const TCompanyLines&) = delete;
  TCompanyLines& operator=(const TCompanyLines&) = delete;
};

class ImportWindowDryRun : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    SetErrorBoxHandler([this](const std::string& caption, const std::string& text) {
      boxes_.push_back(caption + "|" + text);
      boxesInDryRun_.push_back(db::ZiDb().InDryRun());
    });
  }
  std::vector<bool> boxesInDryRun_;
  int Companies(const std::string& code) {
    return static_cast<int>(
        Server().ExecuteSql("select count(*) from empresa where cod = ?", {DbValue(code)}).at(0).rows.at(0).at(0).AsInteger());
  }
  std::string WriteFile(const std::string& text) {
    const std::string file = dir_.File("in.txt");
    test::WriteFile(file, text);
    return file;
  }
};

TEST_F(ImportWindowDryRun, IsTheLastActionAndShowsWhatTheImportWouldChange) {
  EXPECT_EQ(tImpForm::kActions.back(), "Dry Run");
  EXPECT_EQ(tImpForm::kActions[tImpForm::kDryRunAction], "Dry Run");
  TCompanyLines lines;
  const std::string dump = Dump();
  tImpForm form;
  form.SetFileName(WriteFile("*PAIS ZZA\n*PAIS ZZB bad\n*PAIS ZZC\n"));
  form.SetAction(tImpForm::kDryRunAction);
  form.Okay();
  ASSERT_TRUE(form.RunActive());
  EXPECT_TRUE(db::ZiDb().InDryRun());
  while (form.Idle()) {
  }
  EXPECT_FALSE(form.RunActive());
  EXPECT_FALSE(db::ZiDb().InDryRun());
  // The failed line's company is undone with its line, as in a real run: two would be added (each
  // with its data-log row). Its call succeeded, and is counted: through ODBC it would have committed.
  EXPECT_THAT(form.LogPane(), ElementsAre("check ok, starting import", "end import error:4100",
                                          "- dry run calls ObjEmpAddV3:3",
                                          "- dry run table DataLog: added:2 changed:0 deleted:0",
                                          "- dry run table empresa: added:2 changed:0 deleted:0",
                                          "- dry run rolled back: nothing written"));
  EXPECT_EQ(Dump(), dump);
  EXPECT_EQ(Companies("ZZA"), 0);
  EXPECT_EQ(BoxCaptions(), std::vector<std::string>{"SQL error 4100 on Import"});
  EXPECT_THAT(boxesInDryRun_, ElementsAre(false)) << "the run's error, once the dry run is over";
  EXPECT_EQ(form.Action(), tImpForm::kNoAction);

  // The same file for real writes what the dry run counted.
  form.SetAction(0);
  form.Okay();
  while (form.Idle()) {
  }
  EXPECT_EQ(Companies("ZZA"), 1);
  EXPECT_EQ(Companies("ZZB"), 0);
  EXPECT_EQ(Companies("ZZC"), 1);
}

TEST_F(ImportWindowDryRun, CancelledRollsBackWhatItDid) {
  TCompanyLines lines;
  const std::string dump = Dump();
  tImpForm form;
  form.SetFileName(WriteFile("*PAIS ZZA\n*PAIS ZZB\n*PAIS ZZC\n"));
  form.SetAction(tImpForm::kDryRunAction);
  form.Okay();
  // The check of three lines, its end, and the first line imported.
  for (int tick = 0; tick < 5; ++tick) form.Idle();
  EXPECT_EQ(Companies("ZZA"), 1) << "inside the dry run's transaction";
  form.Cancel();
  EXPECT_FALSE(db::ZiDb().InDryRun());
  EXPECT_EQ(form.LogPane().back(), "- dry run rolled back: nothing written");
  EXPECT_EQ(Dump(), dump);
  EXPECT_THAT(boxes_, IsEmpty());
}

TEST_F(ImportWindowDryRun, ClosedInTheMiddleRollsBack) {
  TCompanyLines lines;
  const std::string dump = Dump();
  {
    tImpForm form;
    form.SetFileName(WriteFile("*PAIS ZZA\n*PAIS ZZB\n"));
    form.SetAction(tImpForm::kDryRunAction);
    form.Okay();
    for (int tick = 0; tick < 4; ++tick) form.Idle();
    EXPECT_EQ(Companies("ZZA"), 1) << "inside the dry run's transaction";
  }
  EXPECT_FALSE(db::ZiDb().InDryRun());
  EXPECT_EQ(Dump(), dump);
}

TEST_F(ImportWindowDryRun, ThatCannotBeginStartsNoRun) {
  TCompanyLines lines;
  // Another process holds the database's write lock for longer than this connection waits.
  Server().SetBusyTimeoutForTests(50);
  auto other = server::SqliteDb::Open(dir_.File("zi.db"));
  other->Exec("BEGIN IMMEDIATE");
  tImpForm form;
  form.SetFileName(WriteFile("*PAIS ZZA\n"));
  form.SetAction(tImpForm::kDryRunAction);
  form.Okay();
  EXPECT_FALSE(form.RunActive());
  EXPECT_FALSE(db::ZiDb().InDryRun());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Import|Import failed : Another process is writing to the database; try again later error:99201");
  other->Exec("ROLLBACK");
  form.SetAction(tImpForm::kDryRunAction);
  form.Okay();
  while (form.Idle()) {
  }
  EXPECT_EQ(form.LogPane().back(), "- dry run rolled back: nothing written");
  EXPECT_EQ(Companies("ZZA"), 0);
}

}  // namespace
}  // namespace zi
