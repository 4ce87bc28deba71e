// Creating, deleting, resending and saving statements in the statement window, and the view
// switches that ask the save question first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "statement_window_fixture.h"
#include "toolbox/display_formats.h"

namespace zi::test {
namespace {

using desktop::kMrCancel;
using desktop::kMrNo;
using desktop::kMrYes;
using desktop::tBalWin;
using desktop::TStmKey;

class StatementWindowSave : public StatementWindowTest {
 protected:
  void SetUp() override {
    StatementWindowTest::SetUp();
    answer_ = true;
  }
  int64_t Statements() { return Count("select count(*) from Balanco"); }
  // Every stored statement with its values, as text.
  std::string Stored() {
    const auto result = Server().ExecuteSql(
        "select b.id || ':' || b.ChecagemFalhou || ':' || b.AceitarFalhaNaChecagem || ':' || "
                         "coalesce((select group_concat(conta || '=' || coalesce(printf('%g', valor), 'NULL'), ',') "
                         "from (select * from BalancoUmaConta u where u.balanco = b.id order by De3Meses, conta)), '') "
                         "from Balanco b order by b.id");
    std::string text;
    for (const auto& row : result.at(0).rows) text += row.at(0).AsText() + "\n";
    return text;
  }
  // Adds a second statement to the window (consolidated 31/12/2024, "1" in account 2), saves it and
  // reads the window again from the database.
  void SaveASecondStatement(tBalWin& w) {
    dialogAnswers_.push_back(TStmKey{Day(2024, 12, 31), true});
    ASSERT_TRUE(w.NewStatement());
    Type(w, 2, RowOf(w, 2), "1");
    ASSERT_TRUE(w.Save());
    w.Load();
  }
};

TEST_F(StatementWindowSave, TheHeaderDialogAsksForANewKeyUntilItIsFree) {
  tBalWin& w = Open("PETR");
  dialogAnswers_.push_back(TStmKey{Day(2023, 12, 31), true});
  dialogAnswers_.push_back(std::nullopt);
  EXPECT_FALSE(w.NewStatement());
  ASSERT_EQ(dialogs_.size(), 2u);
  EXPECT_EQ(dialogs_[0].title, "Add a new Financial Statement");
  EXPECT_EQ(dialogs_[0].dateText, "dd/MM/yyyy");
  EXPECT_FALSE(dialogs_[0].consolidado);
  EXPECT_EQ(dialogs_[0].sourceLine, "");
  EXPECT_EQ(dialogs_[1].title, "This financial statement already exists!");
  EXPECT_EQ(dialogs_[1].dateText, "31/12/2023");
  EXPECT_TRUE(dialogs_[1].consolidado);
  EXPECT_EQ(w.ColumnCount(), 1);
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowSave, TheHeaderDialogsDefaultPatternHasANumericMonthAndAFourDigitYear) {
  EXPECT_EQ(desktop::HeaderDialogPattern(), "dd/MM/yyyy");
  SetRegional({.decimalSeparator = ',', .dateSeparator = '-', .shortDateFormat = "dd-MMM-yy"});
  EXPECT_EQ(desktop::HeaderDialogPattern(), "dd-MM-yyyy");
  SetRegional({.decimalSeparator = '.', .dateSeparator = '/', .shortDateFormat = "M/d/yy"});
  EXPECT_EQ(desktop::HeaderDialogPattern(), "M/d/yyyy");
}

TEST_F(StatementWindowSave, TheHeaderDialogAcceptsADateAndAChoiceOnly) {
  std::string error;
  EXPECT_EQ(desktop::ReadHeaderDialog("31/12/2024", 1, error), (TStmKey{Day(2024, 12, 31), true}));
  EXPECT_EQ(error, "");
  EXPECT_EQ(desktop::ReadHeaderDialog("31/12/24", 0, error), (TStmKey{Day(2024, 12, 31), false}));
  for (const std::string text : {"dd/MM/yyyy", "", "-", "31/13/2024", "31/12/202"}) {
    EXPECT_EQ(desktop::ReadHeaderDialog(text, 0, error), std::nullopt) << text;
    EXPECT_EQ(error, "Please fill in all fields correctly");
  }
  EXPECT_EQ(desktop::ReadHeaderDialog("31/12/2024", -1, error), std::nullopt);
  EXPECT_EQ(error, "Please fill in all fields correctly");
}

TEST_F(StatementWindowSave, NewColumnsGoInDateOrderNonConsolidatedFirst) {
  tBalWin& w = Open("PETR");
  dialogAnswers_ = {TStmKey{Day(2024, 12, 31), true}, TStmKey{Day(2022, 12, 31), false},
                    TStmKey{Day(2023, 12, 31), false}};
  ASSERT_TRUE(w.NewStatement());
  EXPECT_EQ(w.CurrentCol(), 2);
  ASSERT_TRUE(w.NewStatement());
  EXPECT_EQ(w.CurrentCol(), 1);
  ASSERT_TRUE(w.NewStatement());
  EXPECT_EQ(w.CurrentCol(), 2);
  EXPECT_EQ(view_.selectedCol, 2);
  w.LoadAll();
  std::vector<std::string> keys;
  for (int col = 1; col <= w.ColumnCount(); ++col)
    keys.push_back(w.HeaderText(col, 0).text + " " + w.HeaderText(col, 1).text);
  EXPECT_EQ(keys, (std::vector<std::string>{"31/12/2022 Non-consolidated", "31/12/2023 Non-consolidated",
                                            "31/12/2023 Consolidated", "31/12/2024 Consolidated"}));
  // Statements that received no entry are never written.
  EXPECT_FALSE(w.HasDataChanged());
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(Statements(), 2);
}

TEST_F(StatementWindowSave, ANewStatementWithAnEntryIsWrittenWithItsCheck) {
  tBalWin& w = Open("IBM");
  dialogAnswers_.push_back(TStmKey{Day(2024, 6, 30), true});
  ASSERT_TRUE(w.NewStatement());
  Type(w, 1, RowOf(w, 2), "40");
  Type(w, 1, RowOf(w, 3), "60");
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_TRUE(w.Save());
  EXPECT_FALSE(w.HasDataChanged());
  EXPECT_EQ(w.HeaderText(1, 3).text, "");
  const int64_t id = SqlValue("select max(id) from Balanco").AsInteger();
  EXPECT_EQ(Count("select count(*) from Balanco where id = " + std::to_string(id) +
                  " and empresa = " + std::to_string(CompanyId("IBM")) + " and consolidado = 1 and sourcedobal = 0"),
            1);
  // A new statement has no months: its grade is 2.
  EXPECT_EQ(Grade(static_cast<int>(id)), 2);
  EXPECT_EQ(StatementWindowTest::Stored(static_cast<int>(id), 1), "");
  EXPECT_EQ(StatementWindowTest::Stored(static_cast<int>(id), 2), "40");
  EXPECT_EQ(StatementWindowTest::Stored(static_cast<int>(id), 3), "60");
  // Typing again into the saved statement asks, as into any stored one.
  Type(w, 1, RowOf(w, 3), "70");
  EXPECT_EQ(questions_.size(), 1u);
}

TEST_F(StatementWindowSave, DeletingAStoredStatementAsksAndDeletesItAtTheSave) {
  tBalWin& w = Open("PETR");
  answer_ = false;
  EXPECT_FALSE(w.Delete(1));
  EXPECT_EQ(questions_,
            (std::vector<std::string>{"Confirm|Delete Local Consolidated 31/12/2023  financial statement ?|No"}));
  EXPECT_EQ(w.ColumnCount(), 1);
  answer_ = true;
  EXPECT_TRUE(w.Delete(1));
  EXPECT_EQ(w.ColumnCount(), 0);
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_EQ(Statements(), 2);
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(Statements(), 1);
  EXPECT_EQ(Count("select count(*) from Balanco where id = 1"), 0);
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowSave, DeletingANewStatementSendsNothingAndIsNoChange) {
  tBalWin& w = Open("PETR");
  dialogAnswers_.push_back(TStmKey{Day(2024, 12, 31), false});
  ASSERT_TRUE(w.NewStatement());
  Type(w, 2, RowOf(w, 2), "5");
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_TRUE(w.Delete(2));
  EXPECT_FALSE(w.HasDataChanged());
  EXPECT_EQ(w.ColumnCount(), 1);
}

TEST_F(StatementWindowSave, ResendRecordsTheRequestAtTheSave) {
  tBalWin& w = Open("PETR");
  w.Resend(1);
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(Count("select count(*) from DataLog where tip = 26 and oid = " + std::to_string(CompanyId("PETR")) +
                  " and aux = 1 and txt = '1|0' and date = 45291"),
            1);
  EXPECT_FALSE(w.HasDataChanged());
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(Count("select count(*) from DataLog where tip = 26"), 1);
}

TEST_F(StatementWindowSave, IgnoredErrorsAreStoredInTheStatementsFlags) {
  tBalWin& w = Open("VALE");
  w.IgnoreErrors(1);
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(Count("select count(*) from Balanco where id = 2 and AceitarFalhaNaChecagem = 1"), 1);
  EXPECT_EQ(Grade(2), 2);
}

TEST_F(StatementWindowSave, AnEntryThatBreaksATotalIsStoredWithTheFailedGrade) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), "450");
  EXPECT_TRUE(w.HasDataError());
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(Grade(1), 2);
  EXPECT_EQ(StatementWindowTest::Stored(1, 2), "450");
  EXPECT_EQ(StatementWindowTest::Stored(1, 1), "1000");
  // The window read again shows it marked.
  tBalWin& again = Open("PETR");
  again.EnsureLoaded({1});
  EXPECT_EQ(again.HeaderText(1, 2).text, "Error");
  EXPECT_EQ(again.Cell(1, RowOf(again, 1)).colour, desktop::kStmRed);
}

TEST_F(StatementWindowSave, TheSaveCommitsThePendingCellFirst) {
  tBalWin& w = Open("PETR");
  const int row = RowOf(w, 2);
  w.SetCurrentCell(1, row);
  w.SetEditText(1, row, "420");
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_EQ(StatementWindowTest::Stored(1, 2), "420");
}

TEST_F(StatementWindowSave, AFailedWriteAtEachStepLeavesHeaderAndValuesTogetherOrNeither) {
  const std::string before = Stored();
  const std::string oldPetr = "1:0:0:1=1000,2=400,3=600,4=1000,5=700,6=300,7=500,8=300,9=200\n";
  const std::string newPetr = "1:2:0:1=1000,2=450,4=1000,5=700,6=300,7=500,8=300,9=200\n";
  const std::string vale = before.substr(oldPetr.size());
  ASSERT_EQ(before, oldPetr + vale);
  bool saved = false;
  int failures = 0;
  for (int n = 1; n <= 40 && !saved; ++n) {
    windows_.clear();
    boxes_.clear();
    tBalWin& w = Open("PETR");
    Type(w, 1, RowOf(w, 2), "450");
    Type(w, 1, RowOf(w, 3), "");
    w.Resend(1);
    Driver().InjectFaults({.failCall = n});
    saved = w.Save();
    Driver().InjectFaults({});
    if (saved) break;
    ++failures;
    // The statement is the old one or the new one, never a mix; the window still holds the rest.
    const std::string after = Stored();
    EXPECT_TRUE(after == oldPetr + vale || after == newPetr + vale) << "call " << n << "\n" << after;
    EXPECT_EQ(w.HeaderText(1, 3).text, after == oldPetr + vale ? "changed & not saved" : "") << n;
    EXPECT_TRUE(w.HasDataChanged()) << n;
    EXPECT_FALSE(boxes_.empty()) << n;
    // Saving again writes what is left.
    ASSERT_TRUE(w.Save()) << n;
    EXPECT_EQ(Stored(), newPetr + vale) << n;
    EXPECT_EQ(Count("select count(*) from DataLog where tip = 26"), 1) << n;
    EXPECT_FALSE(w.HasDataChanged()) << n;
    // Put the statement back for the next step.
    Sql("delete from DataLog");
    Sql("update Balanco set ChecagemFalhou = 0 where id = 1");
    Sql("insert into BalancoUmaConta (balanco, conta, De3Meses, valor) values (1, 3, 0, 600)");
    Sql("update BalancoUmaConta set valor = 400 where balanco = 1 and conta = 2");
    ASSERT_EQ(Stored(), before) << n;
  }
  EXPECT_TRUE(saved);
  EXPECT_GE(failures, 3);
  EXPECT_EQ(Stored(), newPetr + vale);
}

TEST_F(StatementWindowSave, AFailedDeletionStaysPendingAndTheOtherStepsStillRun) {
  tBalWin& w = Open("PETR");
  dialogAnswers_.push_back(TStmKey{Day(2024, 12, 31), true});
  ASSERT_TRUE(w.NewStatement());
  Type(w, 2, RowOf(w, 2), "7");
  ASSERT_TRUE(w.Delete(1));
  Driver().InjectFaults({.failCall = 1});
  EXPECT_FALSE(w.Save());
  Driver().InjectFaults({});
  EXPECT_EQ(BoxCaptions().size(), 1u);
  // The deletion failed; the new statement was written all the same.
  EXPECT_EQ(Count("select count(*) from Balanco where id = 1"), 1);
  EXPECT_EQ(Statements(), 3);
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_EQ(w.HeaderText(1, 3).text, "");
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(Count("select count(*) from Balanco where id = 1"), 0);
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowSave, TheConnectionLostDuringTheSaveWritesNothingAndKeepsTheChanges) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), "450");
  const std::string before = Stored();
  Driver().InjectFaults({.failCall = 1, .failPersistent = true, .failAsConnectionLoss = true});
  EXPECT_FALSE(w.Save());
  Driver().InjectFaults({});
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_FALSE(boxes_.empty());
  EXPECT_EQ(w.HeaderText(1, 3).text, "changed & not saved");
  // The network is back: nothing was written, and the next save writes the change.
  if (!Driver().Connected()) Driver().Open();
  EXPECT_EQ(Stored(), before);
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(StatementWindowTest::Stored(1, 2), "450");
}

TEST_F(StatementWindowSave, ASwitchWithoutChangesLoadsTheOtherView) {
  tBalWin& w = Open("PETR");
  EXPECT_TRUE(w.SwitchView({.periodo = 0, .tipoDocumento = 1, .source = 0}));
  EXPECT_TRUE(saveQuestions_.empty());
  EXPECT_EQ(w.ViewKey().tipoDocumento, 1);
  EXPECT_EQ(w.ColumnCount(), 0);
  EXPECT_EQ(w.FormatId(), 74);
  EXPECT_TRUE(w.SwitchView({}));
  EXPECT_EQ(w.ColumnCount(), 1);
}

TEST_F(StatementWindowSave, ARefusedSwitchLeavesEverythingAsItWas) {
  tBalWin& w = Open("VALE");
  Type(w, 1, RowOf(w, 2), "450");
  saveAnswer_ = kMrCancel;
  EXPECT_FALSE(w.SwitchView({.periodo = 1}));
  EXPECT_EQ(saveQuestions_, (std::vector<bool>{true}));
  EXPECT_EQ(w.ViewKey().periodo, 0);
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_EQ(Shown(w, 1, 2), "450");
}

TEST_F(StatementWindowSave, DiscardCancelsThePendingCellBeforeTheColumnsGo) {
  tBalWin& w = Open("PETR");
  const int row = RowOf(w, 2);
  w.SetCurrentCell(1, row);
  w.SetEditText(1, row, "999");
  saveAnswer_ = kMrNo;
  EXPECT_TRUE(w.SwitchView({.periodo = 1}));
  EXPECT_EQ(w.ViewKey().periodo, 1);
  // The typed text went nowhere: no question, no change in the new view.
  EXPECT_TRUE(questions_.empty());
  EXPECT_FALSE(w.HasDataChanged());
  w.SetCurrentCell(1, RowOf(w, 3));
  EXPECT_TRUE(questions_.empty());
  EXPECT_EQ(StatementWindowTest::Stored(1, 2), "400");
}

TEST_F(StatementWindowSave, YesSavesThenSwitches) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), "450");
  saveAnswer_ = kMrYes;
  EXPECT_TRUE(w.SwitchView({.periodo = 1}));
  EXPECT_EQ(StatementWindowTest::Stored(1, 2), "450");
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowSave, AFailedSaveRefusesTheSwitch) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), "450");
  saveAnswer_ = kMrYes;
  Driver().InjectFaults({.failCall = 1});
  EXPECT_FALSE(w.SwitchView({.periodo = 1}));
  Driver().InjectFaults({});
  EXPECT_EQ(w.ViewKey().periodo, 0);
  EXPECT_TRUE(w.HasDataChanged());
}

TEST_F(StatementWindowSave, ASwitchAskedForDuringASwitchIsIgnored) {
  tBalWin* window = nullptr;
  bool inner = true;
  desktop::SetSaveQuestion([&](bool) {
    inner = window->SwitchView({.periodo = 0, .tipoDocumento = 1});
    return kMrNo;
  });
  tBalWin& w = Open("PETR");
  window = &w;
  w.Resend(1);
  EXPECT_TRUE(w.SwitchView({.periodo = 1}));
  EXPECT_FALSE(inner);
  EXPECT_EQ(w.ViewKey(), (desktop::TStmViewKey{.periodo = 1}));
}

TEST_F(StatementWindowSave, F10LoadsEveryColumnAndAColumnThatCannotBeReadIsShownOnce) {
  tBalWin& w = Open("PETR");
  dialogAnswers_.push_back(TStmKey{Day(2024, 12, 31), true});
  ASSERT_TRUE(w.NewStatement());
  w.Load();
  w.SetCurrentCell(-1, -1);
  ASSERT_FALSE(w.ColumnLoaded(1));
  Driver().InjectFaults({.failCall = 1});
  EXPECT_NE(w.EnsureLoaded({1}), 0);
  Driver().InjectFaults({});
  EXPECT_EQ(BoxCaptions().size(), 1u);
  EXPECT_NE(Log().find("BalWin.GaranteBal erro:"), std::string::npos);
  // Drawing again does not read it again.
  EXPECT_EQ(w.EnsureLoaded({1}), 0);
  EXPECT_FALSE(w.ColumnLoaded(1));
  EXPECT_EQ(BoxCaptions().size(), 1u);
  // F10 does.
  EXPECT_EQ(w.LoadAll(), 0);
  EXPECT_TRUE(w.ColumnLoaded(1));
}

TEST_F(StatementWindowSave, AListThatCannotBeReadLeavesAUsableWindowThatASwitchReadsAgain) {
  Driver().InjectFaults({.failCall = 1, .failPersistent = true});
  tBalWin& w = Open("PETR");
  Driver().InjectFaults({});
  EXPECT_FALSE(w.LoadFailed());
  EXPECT_EQ(w.ColumnCount(), 0);
  EXPECT_EQ(BoxCaptions().size(), 1u);
  // Without the list a new key could be a stored one.
  EXPECT_FALSE(w.NewStatement());
  EXPECT_TRUE(dialogs_.empty());
  ASSERT_TRUE(w.SwitchView({.periodo = 1}));
  ASSERT_TRUE(w.SwitchView({}));
  EXPECT_EQ(w.ColumnCount(), 1);
  Type(w, 1, RowOf(w, 2), "450");
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(StatementWindowTest::Stored(1, 2), "450");
}

TEST_F(StatementWindowSave, ColumnsThatCannotBeReadWhileDrawingShowOneBox) {
  tBalWin& w = Open("PETR");
  ASSERT_NO_FATAL_FAILURE(SaveASecondStatement(w));
  Driver().InjectFaults({.failCall = 1, .failPersistent = true});
  EXPECT_NE(w.EnsureLoaded({1, 2}), 0);
  EXPECT_NE(w.LoadAll(), 0);
  Driver().InjectFaults({});
  EXPECT_EQ(BoxCaptions().size(), 2u);
  EXPECT_FALSE(w.ColumnLoaded(1));
  EXPECT_FALSE(w.ColumnLoaded(2));
  EXPECT_EQ(w.EnsureLoaded({1, 2}), 0);
  EXPECT_EQ(BoxCaptions().size(), 2u);
  // Entering a column reads it again.
  w.SetCurrentCell(2, RowOf(w, 2));
  EXPECT_TRUE(w.ColumnLoaded(2));
  EXPECT_EQ(w.Cell(2, RowOf(w, 2)).text, "1");
}

TEST_F(StatementWindowSave, F10ReachesTheWindowFromTheGridAndItsEditor) {
  tBalWin& w = Open("PETR");
  ASSERT_NO_FATAL_FAILURE(SaveASecondStatement(w));
  ASSERT_EQ(w.ColumnCount(), 2);
  EXPECT_FALSE(w.ColumnLoaded(1));
  EXPECT_TRUE(w.TakesKeyInEditor(desktop::TKey::F10));
  EXPECT_TRUE(w.HandleShortCut({.key = desktop::TKey::F10, .editorFocused = true}));
  EXPECT_TRUE(w.ColumnLoaded(1));
  EXPECT_TRUE(w.ColumnLoaded(2));
}

}  // namespace
}  // namespace zi::test
