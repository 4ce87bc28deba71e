// Typing into the statement window: the calculator, the reading rules, the question asked once
// before a stored statement changes, the check run again after every accepted entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/core/ui_port.h"
#include "session/login.h"
#include "statement_window_fixture.h"

namespace zi::test {
namespace {

using desktop::kStmBlue;
using desktop::kStmRed;
using desktop::tBalWin;

constexpr const char* kModifyPetr =
    "Confirm|Are you sure you want to modify the  Local Consolidated 31/12/2023 financial statement ?|Yes";

class StatementWindowEntries : public StatementWindowTest {
 protected:
  void SetUp() override {
    StatementWindowTest::SetUp();
    answer_ = true;
  }
};

TEST_F(StatementWindowEntries, AnExpressionInThousandsStoresItsSumTimesAThousand) {
  tBalWin& w = Open("PETR");
  w.SetDivisor(1);
  const int row = RowOf(w, 2);
  Type(w, 1, row, "=100+20-5");
  EXPECT_EQ(Shown(w, 1, 2), "115");
  EXPECT_EQ(questions_, (std::vector<std::string>{kModifyPetr}));
  // The editor shows what the cell holds, and Enter moved on to the next typed line.
  EXPECT_EQ(w.GetEditText(1, row), "115");
  EXPECT_EQ(grids_.back()->movedToRow, RowOf(w, 3));
  saveAnswer_ = desktop::kMrYes;
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(Stored(1, 2), "115000");
}

TEST_F(StatementWindowEntries, TextsThatDoNotReadChangeNothingAndAskNothing) {
  tBalWin& w = Open("PETR");
  w.SetDivisor(1);
  const int row = RowOf(w, 2);
  for (const std::string text : {"abc", "nan", "inf", "1e400", "=100+", "=5-", "=(1+2", "=1+x", "1 2", "0x10"}) {
    Type(w, 1, row, text);
    EXPECT_EQ(Shown(w, 1, 2), "0") << text;
    EXPECT_EQ(w.GetEditText(1, row), "0") << text;
  }
  EXPECT_TRUE(questions_.empty());
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(beeps_, 0);
  EXPECT_FALSE(w.HasDataChanged());
  EXPECT_EQ(w.HeaderText(1, 3).text, "");
}

TEST_F(StatementWindowEntries, ThousandsSeparatorsAndBlanksAreRead) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), " 1,234.5 ");
  w.SetDecimals(1);
  EXPECT_EQ(Shown(w, 1, 2), "1,234.5");
}

TEST_F(StatementWindowEntries, ADashRemovesTheValueAndTheCheckComputesTheTotal) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 1), "-");
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_EQ(Shown(w, 1, 1), "1,000");
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).colour, kStmBlue);
  EXPECT_EQ(w.HeaderText(1, 2).text, "");
  saveAnswer_ = desktop::kMrYes;
  ASSERT_TRUE(w.Save());
  // The calculated total is stored as an ordinary value.
  EXPECT_EQ(Stored(1, 1), "1000");
  EXPECT_EQ(Grade(1), 0);
}

TEST_F(StatementWindowEntries, TypingTheStoredValueAgainAsksNothing) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), "400");
  Type(w, 1, RowOf(w, 2), "400.000000001");
  EXPECT_TRUE(questions_.empty());
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowEntries, TheFirstEntryIntoAStoredStatementAsksOnceLaterOnesDoNot) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), "450");
  Type(w, 1, RowOf(w, 3), "550");
  Type(w, 1, RowOf(w, 5), "650");
  EXPECT_EQ(questions_, (std::vector<std::string>{kModifyPetr}));
  EXPECT_EQ(w.HeaderText(1, 3).text, "changed & not saved");
  EXPECT_TRUE(w.MenuState(1)[0].enabled);
}

TEST_F(StatementWindowEntries, NoRestoresTheValueWithNoSecondQuestionWhicheverWayTheCellIsLeft) {
  answer_ = false;
  tBalWin& w = Open("PETR");
  const int row = RowOf(w, 2);
  // By Enter.
  Type(w, 1, row, "450");
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_EQ(w.GetEditText(1, row), "400");
  EXPECT_EQ(Shown(w, 1, 2), "400");
  // By a click on another cell.
  w.SetCurrentCell(1, row);
  w.SetEditText(1, row, "460");
  w.SetCurrentCell(1, RowOf(w, 5));
  EXPECT_EQ(questions_.size(), 2u);
  w.SetCurrentCell(1, row);
  EXPECT_EQ(w.GetEditText(1, row), "400");
  // By the save path (the save question, F3, leaving the company).
  w.SetEditText(1, row, "470");
  EXPECT_TRUE(w.CommitRecord());
  EXPECT_EQ(questions_.size(), 3u);
  EXPECT_EQ(w.GetEditText(1, row), "400");
  EXPECT_FALSE(w.HasDataChanged());
  // Leaving afterwards commits nothing again.
  w.SetCurrentCell(1, RowOf(w, 3));
  w.CommitRecord();
  EXPECT_EQ(questions_.size(), 3u);
  EXPECT_EQ(Shown(w, 1, 2), "400");
}

TEST_F(StatementWindowEntries, ABoxOpenedFromACommitNeverCommitsTheCellASecondTime) {
  tBalWin& w = Open("PETR");
  int asked = 0;
  // The question takes the focus: the editor's focus-out commits while it is open.
  desktop::SetUiPort({.askYesNo = [&](const std::string&, const std::string&, bool) {
    ++asked;
    w.CommitRecord();
    w.SetCurrentCell(1, RowOf(w, 6));
    return true;
  }});
  const int row = RowOf(w, 2);
  w.SetCurrentCell(1, row);
  w.SetEditText(1, row, "450");
  w.KeyEnter();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Shown(w, 1, 2), "450");
}

TEST_F(StatementWindowEntries, AnEntryRunsTheCheckAgainWithItsMarksAndCalculatedValues) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), "500");
  EXPECT_EQ(w.HeaderText(1, 2).text, "Error");
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).colour, kStmRed);
  EXPECT_TRUE(w.HasDataError());
  w.SetCurrentCell(1, RowOf(w, 1));
  EXPECT_FALSE(w.Status().empty());
  Type(w, 1, RowOf(w, 3), "500");
  EXPECT_EQ(w.HeaderText(1, 2).text, "");
  EXPECT_FALSE(w.HasDataError());
  // An emptied part: the stored total no longer adds up.
  Type(w, 1, RowOf(w, 3), "");
  EXPECT_EQ(Shown(w, 1, 3), "");
  EXPECT_EQ(w.HeaderText(1, 2).text, "Error");
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).colour, kStmRed);
}

TEST_F(StatementWindowEntries, OnlyAccountLinesTakeEntries) {
  tBalWin& w = Open("PETR");
  // The block title's row and a header row.
  Type(w, 1, 4, "5");
  w.SetCurrentCell(1, 2);
  w.SetEditText(1, 2, "5");
  w.CommitRecord();
  EXPECT_TRUE(questions_.empty());
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowEntries, TheRightsWarningShowsButDoesNotStopTheEntry) {
  LogInAsUser(0);
  // The session remembers its last answer by company: ask about another one first.
  ChkEmpDoUsr(CompanyId("KO"));
  boxes_.clear();
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), "450");
  EXPECT_EQ(BoxCaptions(), (std::vector<std::string>{"Warning"}));
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_EQ(Shown(w, 1, 2), "450");
}

TEST_F(StatementWindowEntries, TypingIntoANewStatementAsksNothing) {
  tBalWin& w = Open("PETR");
  dialogAnswers_.push_back(desktop::TStmKey{Day(2024, 12, 31), true});
  ASSERT_TRUE(w.NewStatement());
  const int col = w.CurrentCol();
  EXPECT_EQ(col, 2);
  Type(w, col, RowOf(w, 2), "10");
  EXPECT_TRUE(questions_.empty());
  EXPECT_EQ(Shown(w, col, 2), "10");
  EXPECT_EQ(w.HeaderText(col, 3).text, "changed & not saved");
}

TEST_F(StatementWindowEntries, TwoDigitYearsFallAtMostTwentyYearsAhead) {
  AddHeaderFieldLines();
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 1990), "30/6/25");
  EXPECT_EQ(Shown(w, 1, 1990), "30/06/2025");
  EXPECT_EQ(w.HeaderText(1, 0).text, "30/06/2025");
  Type(w, 1, RowOf(w, 1990), "30/6/90");
  EXPECT_EQ(Shown(w, 1, 1990), "30/06/1990");
  // A three-digit year, a dash and text do not read.
  for (const std::string text : {"30/6/202", "-", "soon"}) {
    Type(w, 1, RowOf(w, 1990), text);
    EXPECT_EQ(Shown(w, 1, 1990), "30/06/1990") << text;
  }
  EXPECT_EQ(questions_.size(), 1u);
}

TEST_F(StatementWindowEntries, ChangingTheDateToThatOfAnotherColumnIsRefused) {
  AddHeaderFieldLines();
  tBalWin& w = Open("PETR");
  dialogAnswers_.push_back(desktop::TStmKey{Day(2022, 12, 31), false});
  ASSERT_TRUE(w.NewStatement());
  ASSERT_EQ(w.CurrentCol(), 1);
  Type(w, 1, RowOf(w, 1991), "Y");
  EXPECT_EQ(Shown(w, 1, 1991), "Yes");
  Type(w, 1, RowOf(w, 1990), "31/12/2023");
  EXPECT_EQ(boxes_, (std::vector<std::string>{
                        "Error|A Local Consolidated 31/12/2023 financial statement already exists!"}));
  EXPECT_EQ(Shown(w, 1, 1990), "31/12/2022");
  // The other key is free.
  Type(w, 1, RowOf(w, 1991), "no");
  Type(w, 1, RowOf(w, 1990), "31/12/2023");
  EXPECT_EQ(Shown(w, 1, 1990), "31/12/2023");
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(questions_.empty());
}

TEST_F(StatementWindowEntries, MonthsAreAnIntegerAndShowInErrorWhenMissing) {
  AddHeaderFieldLines();
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 1992), "6.5");
  EXPECT_EQ(Shown(w, 1, 1992), "12");
  EXPECT_TRUE(questions_.empty());
  Type(w, 1, RowOf(w, 1992), "0");
  EXPECT_EQ(Shown(w, 1, 1992), "0");
  EXPECT_EQ(w.Cell(1, RowOf(w, 1992)).colour, kStmRed);
}

TEST_F(StatementWindowEntries, UndoChangesReadsTheStoredStatementAgain) {
  tBalWin& w = Open("PETR");
  Type(w, 1, RowOf(w, 2), "450");
  w.Resend(1);
  w.Undo(1);
  EXPECT_EQ(Shown(w, 1, 2), "400");
  EXPECT_EQ(w.HeaderText(1, 3).text, "");
  EXPECT_FALSE(w.MenuState(1)[0].enabled);
  // The resend mark stays.
  EXPECT_TRUE(w.HasDataChanged());
  // The next entry asks again.
  Type(w, 1, RowOf(w, 2), "460");
  EXPECT_EQ(questions_.size(), 2u);
}

TEST_F(StatementWindowEntries, UndoOnANewStatementGivesABlankOne) {
  tBalWin& w = Open("IBM");
  dialogAnswers_.push_back(desktop::TStmKey{Day(2024, 3, 31), false});
  ASSERT_TRUE(w.NewStatement());
  Type(w, 1, RowOf(w, 2), "10");
  w.Undo(1);
  EXPECT_EQ(Shown(w, 1, 2), "");
  EXPECT_EQ(w.HeaderText(1, 0).text, "31/03/2024");
  EXPECT_FALSE(w.HasDataChanged());
}

}  // namespace
}  // namespace zi::test
