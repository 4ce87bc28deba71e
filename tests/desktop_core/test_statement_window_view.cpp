// What the statement window shows: header rows, labels, value cells with their colours, the status
// line, the popup's items, the view's buttons, units and decimals, the settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/settings.h"
#include "statement_window_fixture.h"

namespace zi::test {
namespace {

using desktop::kStmBlack;
using desktop::kStmBlue;
using desktop::kStmGrey;
using desktop::kStmGreyBack;
using desktop::kStmRed;
using desktop::kWhite;
using desktop::tBalWin;
using desktop::TStmCell;
using desktop::TStmMenuItem;
using desktop::TStmStatusPiece;

class StatementWindowView : public StatementWindowTest {};

std::vector<std::string> Labels(const tBalWin& w) {
  std::vector<std::string> labels;
  for (int row = 0; row < w.RowCount(); ++row) labels.push_back(w.Label(row).text);
  return labels;
}

TEST_F(StatementWindowView, ShowsTheLabelsOfTheCompanysFormatUnderTheHeaderRows) {
  tBalWin& w = Open("VALE");
  EXPECT_TRUE(w.GridVisible());
  EXPECT_FALSE(w.FormatMissing());
  EXPECT_EQ(w.FormatId(), 1);
  EXPECT_EQ(Labels(w), (std::vector<std::string>{"", "", "Doc Type : Financial Statements", "", "Balance sheet",
                                                  "0001  Ativo total", "0002    +Ativo circulante",
                                                  "0003    +Ativo n\xE3o circulante", "0004  Passivo total",
                                                  "0005    +Passivo", "0006    +Patrim\xF4nio l\xEDquido",
                                                  "Income statement", "0007  +Receita l\xEDquida", "0008  -Custos",
                                                  "0009  =Lucro bruto"}));
  EXPECT_EQ(w.RowCount(), 15);
  EXPECT_EQ(w.ColCount(), 2);
  EXPECT_EQ(w.ColumnCount(), 1);
}

TEST_F(StatementWindowView, AfterALoadTheLastColumnOnTheFirstLineIsCurrentAndNothingIsRead) {
  tBalWin& w = Open("VALE");
  EXPECT_EQ(view_.selectedCol, 1);
  EXPECT_EQ(view_.selectedRow, 4);
  EXPECT_EQ(w.CurrentCol(), 1);
  EXPECT_EQ(w.CurrentRow(), 4);
  EXPECT_FALSE(w.ColumnLoaded(1));
  // The grid makes the cell current: its column is entered, read and checked.
  w.SetCurrentCell(view_.selectedCol, view_.selectedRow);
  EXPECT_TRUE(w.ColumnLoaded(1));
  EXPECT_EQ(w.HeaderText(1, 2).text, "Error");
}

TEST_F(StatementWindowView, QueriesNeverReadAColumnTheViewDidNotAskFor) {
  tBalWin& w = Open("PETR");
  dialogAnswers_.push_back(desktop::TStmKey{Day(2022, 12, 31), false});
  ASSERT_TRUE(w.NewStatement());
  // The new column is loaded (a blank statement); reload to get a column never drawn.
  w.Load();
  w.SetCurrentCell(-1, -1);
  const int before = static_cast<int>(Count("select count(*) from Balanco"));
  EXPECT_EQ(before, 2);
  EXPECT_EQ(w.HeaderText(1, 0).text, "");
  EXPECT_EQ(w.Cell(1, RowOf(w, 2)).text, "");
  EXPECT_FALSE(w.ColumnLoaded(1));
  EXPECT_EQ(w.EnsureLoaded({1}), 0);
  EXPECT_TRUE(w.ColumnLoaded(1));
  EXPECT_EQ(w.HeaderText(1, 0).text, "31/12/2023");
}

TEST_F(StatementWindowView, HeaderRowsOfAStatementThatPassesItsCheck) {
  tBalWin& w = Open("PETR");
  w.EnsureLoaded({1});
  EXPECT_EQ(w.HeaderText(1, 0), (TStmCell{.text = "31/12/2023", .bold = true, .align = TStmCell::kCentre}));
  EXPECT_EQ(w.HeaderText(1, 1), (TStmCell{.text = "Consolidated", .narrow = true, .align = TStmCell::kCentre}));
  EXPECT_EQ(w.HeaderText(1, 2), (TStmCell{.narrow = true, .align = TStmCell::kCentre}));
  EXPECT_EQ(w.HeaderText(1, 3), (TStmCell{.narrow = true, .align = TStmCell::kCentre}));
  EXPECT_FALSE(w.HasDataError());
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowView, AFailedCheckShowsErrorInRedBoldAndItsAccountInRed) {
  tBalWin& w = Open("VALE");
  w.EnsureLoaded({1});
  EXPECT_EQ(w.HeaderText(1, 2),
            (TStmCell{.text = "Error", .colour = kStmRed, .bold = true, .narrow = true, .align = TStmCell::kCentre}));
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)), (TStmCell{.text = "900", .colour = kStmRed, .background = kStmGreyBack,
                                               .align = TStmCell::kRight}));
  EXPECT_EQ(w.Cell(1, RowOf(w, 2)),
            (TStmCell{.text = "400", .colour = kStmBlack, .background = kWhite, .align = TStmCell::kRight}));
  // A block title is no account line: empty on grey.
  EXPECT_EQ(w.Cell(1, 4), (TStmCell{.background = kStmGreyBack, .align = TStmCell::kRight}));
  EXPECT_TRUE(w.HasDataError());
  // The check as read changed nothing: the column is not changed.
  EXPECT_EQ(w.HeaderText(1, 3).text, "");
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowView, TheStatusLineShowsTheDifferenceOfAnAccountInErrorInPieces) {
  tBalWin& w = Open("VALE");
  w.SetCurrentCell(1, RowOf(w, 1));
  const std::vector<TStmStatusPiece> status = w.Status();
  ASSERT_FALSE(status.empty());
  ASSERT_LE(status.size(), 20u);
  std::string whole;
  for (size_t i = 0; i < status.size(); ++i) {
    EXPECT_EQ(status[i].red, i % 2 == 1) << i;
    whole += status[i].text + "|";
  }
  EXPECT_NE(whole.find("100"), std::string::npos) << whole;
  // Leaving the grid empties it.
  const int shows = view_.statusShows;
  w.SetCurrentCell(-1, -1);
  EXPECT_TRUE(w.Status().empty());
  EXPECT_GT(view_.statusShows, shows);
}

TEST_F(StatementWindowView, AMissingTopLevelTotalGradesAnchorsAndTheStatusNamesIt) {
  Sql("DELETE FROM BalancoUmaConta WHERE balanco = 1 AND conta = 9");
  Sql("UPDATE Balanco SET ChecagemFalhou = 1 WHERE id = 1");
  tBalWin& w = Open("PETR");
  w.SetCurrentCell(1, RowOf(w, 2));
  EXPECT_EQ(w.HeaderText(1, 2), (TStmCell{.text = "Anchors", .colour = kStmRed, .narrow = true,
                                          .align = TStmCell::kCentre}));
  const std::vector<TStmStatusPiece> status = w.Status();
  ASSERT_FALSE(status.empty());
  EXPECT_EQ(status[0].text.rfind("Anchors : ", 0), 0u) << status[0].text;
  EXPECT_FALSE(status[0].red);
  w.IgnoreErrors(1);
  EXPECT_EQ(w.HeaderText(1, 2).text, "Anchors (ignored)");
  EXPECT_EQ(w.HeaderText(1, 2).colour, kStmBlue);
}

TEST_F(StatementWindowView, TheLabelOfTheCurrentRowIsWhite) {
  tBalWin& w = Open("VALE");
  w.SetCurrentCell(1, RowOf(w, 5));
  EXPECT_EQ(w.Label(RowOf(w, 5)).background, kWhite);
  EXPECT_EQ(w.Label(RowOf(w, 6)).background, kStmGreyBack);
}

TEST_F(StatementWindowView, ThousandsAndDecimalsScaleTheTextsOnly) {
  tBalWin& w = Open("PETR");
  w.EnsureLoaded({1});
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).text, "1,000");
  w.SetDecimals(2);
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).text, "1,000.00");
  w.SetDivisor(1);
  EXPECT_EQ(w.DivisorIndex(), 1);
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).text, "1.00");
  w.SetDivisor(2);
  w.SetDecimals(4);
  EXPECT_EQ(w.Cell(1, RowOf(w, 2)).text, "0.0004");
  w.SetDecimals(9);
  EXPECT_EQ(w.Decimals(), 4);
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowView, ThePopupOfAStoredStatement) {
  tBalWin& w = Open("VALE");
  w.EnsureLoaded({1});
  const std::vector<TStmMenuItem> items = w.MenuState(1);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].caption, "Undo changes");
  EXPECT_FALSE(items[0].enabled);
  EXPECT_EQ(items[1].caption, "Delete");
  EXPECT_TRUE(items[1].enabled);
  EXPECT_EQ(items[2].caption, "Ignore errors");
  EXPECT_TRUE(items[2].enabled);
  EXPECT_EQ(items[3].caption, "Resend");
  EXPECT_TRUE(items[3].enabled);
  EXPECT_TRUE(w.MenuState(0).empty());
  // A statement that passed its check has nothing to ignore.
  tBalWin& petr = Open("PETR");
  petr.EnsureLoaded({1});
  EXPECT_FALSE(petr.MenuState(1)[2].enabled);
}

TEST_F(StatementWindowView, IgnoreErrorsShowsTheGradeInBlueAndClearsTheDataError) {
  tBalWin& w = Open("VALE");
  w.IgnoreErrors(1);
  EXPECT_EQ(w.HeaderText(1, 2),
            (TStmCell{.text = "Error (ignored)", .colour = kStmBlue, .narrow = true, .align = TStmCell::kCentre}));
  EXPECT_EQ(w.HeaderText(1, 3).text, "changed & not saved");
  EXPECT_EQ(w.HeaderText(1, 3).colour, kStmBlue);
  EXPECT_FALSE(w.HasDataError());
  EXPECT_TRUE(w.HasDataChanged());
  EXPECT_TRUE(w.MenuState(1)[0].enabled);
  w.IgnoreErrors(1);
  EXPECT_EQ(w.HeaderText(1, 2).text, "Error");
  EXPECT_TRUE(w.HasDataError());
  EXPECT_TRUE(w.HasDataChanged());
}

TEST_F(StatementWindowView, TheButtonsOfTheView) {
  tBalWin& w = Open("PETR");
  ASSERT_EQ(w.PeriodButtons().size(), 2u);
  EXPECT_EQ(w.PeriodButtons()[0].caption, "3,6,9,12mo");
  EXPECT_EQ(w.PeriodButtons()[1].caption, "3mo of 2nd\r&& 3rd qtr");
  ASSERT_EQ(w.DocTypeButtons().size(), 2u);
  EXPECT_EQ(w.DocTypeButtons()[0].caption, "Financial Statements");
  EXPECT_EQ(w.DocTypeButtons()[1].caption, "Credit Receivables Funds Reports");
  EXPECT_EQ(tBalWin::DivisorItems(), (std::vector<std::string>{"Units", "Thousands", "Millions"}));
  EXPECT_EQ(w.ViewKey(), (desktop::TStmViewKey{}));
}

TEST_F(StatementWindowView, TheSourceButtonsShowOnlyToUsersWhoSeeMoreThanOneSource) {
  tBalWin& admin = Open("PETR");
  EXPECT_TRUE(admin.SourceButtonsVisible());
  ASSERT_EQ(admin.SourceButtons().size(), 2u);
  EXPECT_EQ(admin.SourceButtons()[0].caption, "Local");
  EXPECT_EQ(admin.SourceButtons()[1].caption, "SEC");
  windows_.clear();
  LogInAsUser(0);
  tBalWin& user = Open("PETR");
  EXPECT_FALSE(user.SourceButtonsVisible());
  ASSERT_EQ(user.SourceButtons().size(), 1u);
}

TEST_F(StatementWindowView, SettingsAreReadWhenBuiltAndWrittenWhenClosed) {
  GravaReg("DivisorBal", "1.00000000000000E+0003");
  GravaReg("DecimaisBal", "3");
  tBalWin& w = Open("PETR");
  EXPECT_EQ(w.DivisorIndex(), 1);
  EXPECT_EQ(w.Decimals(), 3);
  w.SetDivisor(2);
  w.SetDecimals(1);
  w.Close();
  EXPECT_EQ(LeReg("DivisorBal"), "1.00000000000000E+0006");
  EXPECT_EQ(LeReg("DecimaisBal"), "1");
  EXPECT_EQ(LeReg("SourceBal"), "0");
  EXPECT_EQ(LeReg("TipoDocumentoBal"), "0");
}

TEST_F(StatementWindowView, SettingsOutOfRangeFallBack) {
  GravaReg("DivisorBal", "2000");
  GravaReg("DecimaisBal", "7");
  GravaReg("TipoDocumentoBal", "2");
  tBalWin& w = Open("PETR");
  EXPECT_EQ(w.DivisorIndex(), 0);
  EXPECT_EQ(w.Decimals(), 0);
  EXPECT_EQ(w.ViewKey().tipoDocumento, 2);
  EXPECT_TRUE(w.FormatMissing());
  EXPECT_EQ(w.RowCount(), 5);
  EXPECT_NE(Log().find("TDB unkonown  Error: 25036 TpDoc: 2"), std::string::npos);
}

TEST_F(StatementWindowView, TheSourceSettingIsTakenOnlyByUsersWhoSeeOtherSources) {
  GravaReg("SourceBal", "2");
  EXPECT_EQ(Open("PETR").ViewKey().source, 2);
  windows_.clear();
  LogInAsUser(0);
  EXPECT_EQ(Open("PETR").ViewKey().source, 0);
}

TEST_F(StatementWindowView, ANonNumericDivisorSettingIsUnits) {
  GravaReg("DivisorBal", "lots");
  EXPECT_EQ(Open("PETR").DivisorIndex(), 0);
}

TEST_F(StatementWindowView, ACompanyWithoutStatementsShowsOneEmptyColumn) {
  tBalWin& w = Open("IBM");
  EXPECT_TRUE(w.GridVisible());
  EXPECT_EQ(w.ColumnCount(), 0);
  EXPECT_EQ(w.ColCount(), 2);
  EXPECT_EQ(w.Cell(1, RowOf(w, 2)).text, "");
  EXPECT_TRUE(w.MenuState(1).empty());
  EXPECT_FALSE(w.HasDataChanged());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(StatementWindowView, ACompanyWhoseFormatIsMissingShowsNoLines) {
  tBalWin& w = Open("ITUB");
  EXPECT_TRUE(w.FormatMissing());
  EXPECT_EQ(w.RowCount(), 5);
  EXPECT_EQ(w.Label(4).text, "");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(StatementWindowView, WithoutACompanyTheGridIsHidden) {
  tBalWin& w = Open(0);
  EXPECT_FALSE(w.GridVisible());
  EXPECT_FALSE(w.NewStatement());
  EXPECT_TRUE(dialogs_.empty());
}

TEST_F(StatementWindowView, TheLabelColumnNamesAnotherSource) {
  tBalWin& w = Open("PETR");
  saveAnswer_ = desktop::kMrNo;
  ASSERT_TRUE(w.SwitchView({.periodo = 0, .tipoDocumento = 0, .source = 2}));
  EXPECT_EQ(w.Label(1).text, "Source : SEC");
  // PETR keeps no format for the SEC source.
  EXPECT_TRUE(w.FormatMissing());
  EXPECT_EQ(w.ColumnCount(), 0);
}

TEST_F(StatementWindowView, HeaderFieldLinesShowTheStatementsHeader) {
  AddHeaderFieldLines();
  tBalWin& w = Open("PETR");
  w.EnsureLoaded({1});
  EXPECT_EQ(w.Cell(1, RowOf(w, 1990)).text, "31/12/2023");
  EXPECT_EQ(w.Cell(1, RowOf(w, 1991)).text, "Yes");
  EXPECT_EQ(w.Cell(1, RowOf(w, 1992)).text, "12");
}

TEST_F(StatementWindowView, TheThreeMonthViewLeavesTheMonthsLineOut) {
  AddHeaderFieldLines();
  tBalWin& w = Open("PETR");
  ASSERT_TRUE(w.SwitchView({.periodo = 1}));
  EXPECT_EQ(w.ViewKey().periodo, 1);
  for (int row = 0; row < w.RowCount(); ++row) EXPECT_EQ(w.Label(row).text.rfind("1992", 0), std::string::npos);
  EXPECT_GE(RowOf(w, 1990), 4);
}

TEST_F(StatementWindowView, AStatementTheCheckCompletesWithoutErrorIsMarkedAndWrittenAtTheNextSave) {
  // PETR's 2022 statement as stored without its total assets.
  Sql("INSERT INTO Balanco (id, empresa, dataref, consolidado, sourcedobal, TipoDocumento, meses, moeda, datamoeda) "
      "VALUES (3, " + std::to_string(CompanyId("PETR")) + ", 44926, 1, 0, 0, 12, 1, 44926)");
  Sql("INSERT INTO BalancoUmaConta (balanco, conta, De3Meses, valor) VALUES (3, 2, 0, 350), (3, 3, 0, 600), "
      "(3, 4, 0, 950), (3, 5, 0, 650), (3, 6, 0, 300), (3, 7, 0, 480), (3, 8, 0, 290), (3, 9, 0, 190)");
  tBalWin& w = Open("PETR");
  ASSERT_EQ(w.ColumnCount(), 2);
  w.LoadAll();
  EXPECT_EQ(w.HeaderText(1, 0).text, "31/12/2022");
  EXPECT_EQ(w.HeaderText(1, 2).text, "");
  EXPECT_EQ(w.HeaderText(1, 3),
            (TStmCell{.text = "**", .colour = kStmBlue, .narrow = true, .align = TStmCell::kCentre}));
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).text, "950");
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).colour, kStmBlue);
  EXPECT_TRUE(w.HasDataChanged());
  saveAnswer_ = desktop::kMrYes;
  EXPECT_TRUE(w.Save());
  EXPECT_EQ(SqlValue("select printf('%g', valor) from BalancoUmaConta where balanco = 3 and conta = 1").AsText(),
            "950");
  EXPECT_EQ(w.HeaderText(1, 3).text, "");
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).colour, kStmBlue);
  EXPECT_FALSE(w.HasDataChanged());
}

TEST_F(StatementWindowView, AStatementTheCheckChangesAndFailsShowsFormatChangedInGreyAndIsNotWritten) {
  // VALE's statement without its total liabilities: the check as read computes them on its copy,
  // which the statement as stored does not have.
  Sql("DELETE FROM BalancoUmaConta WHERE balanco = 2 AND conta = 4");
  tBalWin& w = Open("VALE");
  w.EnsureLoaded({1});
  EXPECT_EQ(w.HeaderText(1, 2).text, "Error");
  EXPECT_EQ(w.HeaderText(1, 3), (TStmCell{.text = "format changed", .colour = kStmGrey, .narrow = true,
                                          .align = TStmCell::kCentre}));
  EXPECT_EQ(w.Cell(1, RowOf(w, 4)).text, "");
  EXPECT_EQ(w.Cell(1, RowOf(w, 4)).colour, kStmGrey);
  EXPECT_EQ(w.Cell(1, RowOf(w, 2)).colour, kStmGrey);
  EXPECT_EQ(w.Cell(1, RowOf(w, 1)).colour, kStmRed);
  EXPECT_FALSE(w.HasDataChanged());
  // A change of the user's makes it written, its texts coloured as in any changed column.
  answer_ = true;
  Type(w, 1, RowOf(w, 5), "510");
  EXPECT_EQ(w.HeaderText(1, 3).text, "changed & not saved");
  EXPECT_EQ(w.Cell(1, RowOf(w, 2)).colour, kStmBlack);
  EXPECT_EQ(w.Cell(1, RowOf(w, 4)).colour, kStmRed);
  EXPECT_TRUE(w.HasDataChanged());
}

}  // namespace
}  // namespace zi::test
