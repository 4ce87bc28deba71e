// The statement window on screen over a demo database: the grid after a load, entries typed into
// the cells and the question asked once whichever way the cell is left, F10, F2 from the editor,
// the view switches, the save question and the header dialog of a new statement.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "desktop/core/ui_port.h"
#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/main_window.h"
#include "desktop/statements/statement_grid.h"
#include "desktop/statements/statement_header_dialog.h"
#include "desktop/statements/statement_window_view.h"
#include "main_window_test.h"
#include "support/demo_database.h"
#include "toolbox/lifecycle.h"

namespace zi::desktop {
namespace {

constexpr int kFirstColumn = 1;

class StatementWindowView : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    SetRegional({});
    TWinMainCtl::THooks hooks;
    hooks.chooser = [this] {
      ++choosers;
      return chooserAnswer;
    };
    hooks.login = [] {};
    hooks.usrGetData = [](int& days) {
      days = -1;
      return 0;
    };
    hooks.pickObject = [this](tObjHierEx&) {
      ++picks;
      return false;
    };
    main = std::make_unique<TWinMain>(std::move(hooks));
    saveDialog = new tSaveDialog(main.get());
    SetSaveQuestion([this](bool hasDataError) {
      saveQuestions.push_back(hasDataError);
      return saveDialog->Ask(hasDataError);
    });
    main->show();
    QApplication::setActiveWindow(main.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
  }
  void TearDown() override {
    main.reset();
    SetSaveQuestion({});
    DemoDatabase::TearDown();
  }

  // Opens the statement window of a demo company, its grid focused as a click leaves it.
  void Open(const std::string& cod) {
    tObjHierEx company;
    company.EmpId = CompanyId(cod);
    ASSERT_TRUE(main->Ctl().SwitchTo(company, kChooserKindBase + kKindStatements));
    view = dynamic_cast<tBalWinView*>(main->Ctl().Doc());
    ASSERT_NE(view, nullptr);
    test::ProcessUntil([&] { return Editor() != nullptr; });
    view->Grid()->setFocus();
    test::ProcessUntil([&] { return Editor() && Editor()->hasFocus(); });
    ASSERT_NE(Editor(), nullptr);
  }
  QLineEdit* Editor() const { return view ? view->Grid()->Editor() : nullptr; }
  // The grid row of an account's line, found by the account number its label starts with.
  int RowOfAccount(int conta) const {
    char code[8];
    std::snprintf(code, sizeof code, "%04d ", conta);
    for (int row = kStmHeaderRows; row < view->Window().RowCount(); ++row)
      if (view->Window().Label(row).text.starts_with(code)) return row;
    ADD_FAILURE() << "no line of account " << conta;
    return -1;
  }
  std::string Shown(int col, int row) const { return view->Window().Cell(col, row).text; }
  // Clicks a cell as the user does and waits for its editor.
  void ClickCell(int col, int row) {
    const QRect cell = view->Grid()->visualRect(view->Grid()->IndexOf(col, row));
    QTest::mouseClick(view->Grid()->viewport(), Qt::LeftButton, {}, cell.center());
    test::ProcessUntil([&] { return Editor() && view->CurrentGridRow() == row && view->CurrentGridCol() == col; });
  }
  // Types over the current cell's text without leaving it.
  void Type(const std::string& text) {
    ASSERT_NE(Editor(), nullptr);
    Editor()->selectAll();
    QTest::keyClicks(Editor(), QString::fromStdString(text));
  }
  // The stored value of an account in the demo company's one statement.
  double StoredValue(const std::string& cod, int conta) {
    return Server()
        .ExecuteSql(
            "SELECT valor FROM BalancoUmaConta u JOIN Balanco b ON b.id = u.balanco JOIN empresa e ON e.id = "
            "b.empresa WHERE e.cod = ? AND u.conta = ? AND u.De3Meses = 0",
            {DbValue(cod), DbValue(int64_t{conta})})
        .at(0)
        .rows.at(0)
        .at(0)
        .AsFloat();
  }
  int QuestionsAsked() const { return static_cast<int>(questions_.size()); }

  std::unique_ptr<TWinMain> main;
  tSaveDialog* saveDialog = nullptr;
  std::vector<bool> saveQuestions;
  tBalWinView* view = nullptr;
  int choosers = 0;
  int chooserAnswer = kMrCancel;
  int picks = 0;
};

TEST_F(StatementWindowView, OpensOnTheLastColumnAtTheFirstLine) {
  Open("PETR");
  ASSERT_EQ(view->Window().ColumnCount(), 1);
  EXPECT_EQ(view->CurrentGridCol(), kFirstColumn);
  EXPECT_EQ(view->CurrentGridRow(), kStmHeaderRows);
  EXPECT_TRUE(view->Window().ColumnLoaded(kFirstColumn));
  EXPECT_EQ(view->Window().HeaderText(kFirstColumn, 0).text, "31/12/2023");
  EXPECT_EQ(view->Window().HeaderText(kFirstColumn, 1).text, "Consolidated");
  EXPECT_EQ(Shown(kFirstColumn, RowOfAccount(2)), "400");
  EXPECT_FALSE(view->Grid()->grab().isNull());
}

TEST_F(StatementWindowView, F10ReadsEveryStatementUnderAWaitCursor) {
  for (const char* date : {"2018-12-31", "2019-12-31", "2020-12-31", "2021-12-31", "2022-12-31"})
    Server().ExecuteSql(
        std::string("INSERT INTO Balanco (empresa, dataref, consolidado, sourcedobal, TipoDocumento, meses) "
                    "SELECT id, julianday('") +
        date + "') - julianday('1899-12-30'), 1, 0, 0, 12 FROM empresa WHERE cod = 'PETR'");
  main->resize(700, 500);
  Open("PETR");
  const int columns = 6;
  ASSERT_EQ(view->Window().ColumnCount(), columns);
  test::ProcessUntil([&] { return view->Window().ColumnLoaded(columns); });
  EXPECT_EQ(view->CurrentGridCol(), columns);
  QHeaderView* header = view->Grid()->horizontalHeader();
  const int last = columns - 1;
  EXPECT_GE(header->sectionViewportPosition(last), 0) << "the last column in sight";
  EXPECT_LE(header->sectionViewportPosition(last) + header->sectionSize(last), view->Grid()->viewport()->width());
  EXPECT_FALSE(view->Window().ColumnLoaded(1)) << "out of sight, not read";
  // Drawing reads nothing: the columns that came into sight are read after the paint.
  view->Grid()->horizontalScrollBar()->setValue(0);
  view->Grid()->grab();
  EXPECT_FALSE(view->Window().ColumnLoaded(1));
  test::ProcessUntil([&] { return view->Window().ColumnLoaded(1); });
  EXPECT_TRUE(view->Window().ColumnLoaded(1));
  EXPECT_FALSE(view->Window().ColumnLoaded(4)) << "never in sight";
  QTest::keyClick(Editor(), Qt::Key_F10);
  for (int col = 1; col <= columns; ++col) EXPECT_TRUE(view->Window().ColumnLoaded(col)) << col;
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// With more than five statements the grid keeps to the labels and five columns until the user
// scrolls sideways.
TEST_F(StatementWindowView, ManyStatementsFillTheWindowOnceScrolledSideways) {
  for (const char* date : {"2018-12-31", "2019-12-31", "2020-12-31", "2021-12-31", "2022-12-31"})
    Server().ExecuteSql(
        std::string("INSERT INTO Balanco (empresa, dataref, consolidado, sourcedobal, TipoDocumento, meses) "
                    "SELECT id, julianday('") +
        date + "') - julianday('1899-12-30'), 1, 0, 0, 12 FROM empresa WHERE cod = 'PETR'");
  main->resize(2400, 600);
  Open("PETR");
  ASSERT_EQ(view->Window().ColumnCount(), 6);
  const int narrow = view->Grid()->width();
  EXPECT_LT(narrow, view->width());
  EXPECT_EQ(view->Grid()->x(), 0);
  EXPECT_EQ(view->Grid()->horizontalHeader()->sectionSize(0), 7 * view->Grid()->fontMetrics().height());
  view->Grid()->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  test::ProcessUntil([&] { return view->Grid()->width() > narrow; });
  EXPECT_EQ(view->Grid()->width(), view->width());
}

// The first entry into a stored statement asks once; No puts the stored value back and asks nothing
// more, whichever way the cell is left.
TEST_F(StatementWindowView, NoByEnterRestoresTheValueAndAsksOnce) {
  Open("PETR");
  const int row = RowOfAccount(2);
  ClickCell(kFirstColumn, row);
  Type("450");
  QTest::keyClick(Editor(), Qt::Key_Return);
  ASSERT_EQ(QuestionsAsked(), 1);
  EXPECT_EQ(questions_[0],
            "Confirm|Are you sure you want to modify the  Local Consolidated 31/12/2023 financial statement ?|Yes");
  EXPECT_EQ(Shown(kFirstColumn, row), "400");
  EXPECT_EQ(view->CurrentGridRow(), RowOfAccount(3)) << "Enter goes on to the next typed line";
  QTest::keyClick(Editor(), Qt::Key_Return);
  QTest::keyClick(Editor(), Qt::Key_Return);
  EXPECT_EQ(QuestionsAsked(), 1);
  EXPECT_EQ(view->Window().HeaderText(kFirstColumn, 3).text, "") << "not changed";
}

TEST_F(StatementWindowView, NoByAClickRestoresTheValueAndAsksOnce) {
  Open("PETR");
  const int row = RowOfAccount(2);
  ClickCell(kFirstColumn, row);
  Type("450");
  ClickCell(kFirstColumn, RowOfAccount(5));
  EXPECT_EQ(QuestionsAsked(), 1);
  EXPECT_EQ(Shown(kFirstColumn, row), "400");
  ClickCell(kFirstColumn, RowOfAccount(6));
  ClickCell(kFirstColumn, row);
  EXPECT_EQ(QuestionsAsked(), 1);
  EXPECT_EQ(view->Window().HeaderText(kFirstColumn, 3).text, "") << "not changed";
}

// F3 from the editor: the chooser names another window, the save question saves, and the entry
// is asked about once on the way out.
TEST_F(StatementWindowView, NoByF3AndSaveChangesAsksOnceAndWritesNothing) {
  Open("PETR");
  ClickCell(kFirstColumn, RowOfAccount(2));
  Type("450");
  chooserAnswer = kChooserKindBase + kKindLog;
  test::WhenModal([&](QWidget*) { QTest::mouseClick(saveDialog->SaveButton(), Qt::LeftButton); });
  QTest::keyClick(Editor(), Qt::Key_F3);
  test::ProcessUntil([&] { return main->Ctl().Doc() != view; });
  EXPECT_EQ(choosers, 1);
  EXPECT_EQ(saveQuestions, std::vector<bool>{false});
  EXPECT_EQ(QuestionsAsked(), 1);
  EXPECT_EQ(StoredValue("PETR", 2), 400);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
}

// The save question of a view switch: Save changes commits the cell, No to the entry keeps the
// value, and the switch goes on.
TEST_F(StatementWindowView, NoByTheSaveQuestionOfASwitchAsksOnce) {
  Open("PETR");
  const int row = RowOfAccount(2);
  ClickCell(kFirstColumn, row);
  Type("450");
  test::WhenModal([&](QWidget*) { QTest::mouseClick(saveDialog->SaveButton(), Qt::LeftButton); });
  QTest::mouseClick(view->PeriodButtons().at(1), Qt::LeftButton);
  EXPECT_EQ(saveQuestions, std::vector<bool>{false});
  EXPECT_EQ(QuestionsAsked(), 1);
  EXPECT_EQ(view->Window().ViewKey().periodo, kPeriodo3M);
  EXPECT_TRUE(view->PeriodButtons().at(1)->isChecked());
  EXPECT_FALSE(view->Window().HasDataChanged());
}

// The question in a real box, which takes the focus from the cell editor: No, by Enter or by a
// click, is asked once and puts the value back, and moving on asks nothing more.
TEST_F(StatementWindowView, NoInARealBoxIsAskedOnce) {
  int asked = 0;
  SetUiPort({.beep = [] {},
             .askYesNo =
                 [&](const std::string& caption, const std::string& text, bool noIsDefault) {
                   ++asked;
                   return AskQtYesNo(caption, text, noIsDefault, QMessageBox::Question);
                 }});
  const auto answerNo = [] {
    test::WhenModal([](QWidget* modal) {
      auto* box = dynamic_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      box->button(QMessageBox::No)->click();
    });
  };
  Open("PETR");
  const int row = RowOfAccount(2);
  ClickCell(kFirstColumn, row);
  Type("450");
  answerNo();
  QTest::keyClick(Editor(), Qt::Key_Return);
  test::ProcessUntil([&] { return !QApplication::activeModalWidget() && Editor(); });
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Shown(kFirstColumn, row), "400");
  ClickCell(kFirstColumn, RowOfAccount(5));
  EXPECT_EQ(asked, 1);
  ClickCell(kFirstColumn, row);
  Type("460");
  answerNo();
  ClickCell(kFirstColumn, RowOfAccount(6));
  test::ProcessUntil([&] { return !QApplication::activeModalWidget() && Editor(); });
  ClickCell(kFirstColumn, RowOfAccount(3));
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Shown(kFirstColumn, row), "400");
  EXPECT_EQ(view->Window().HeaderText(kFirstColumn, 3).text, "") << "not changed";
}

// The tool panel in the main window's toolbar: the new button, units and decimals, and the view's
// buttons with the current view's down; a switch without changes asks nothing.
TEST_F(StatementWindowView, TheToolPanelShowsTheViewAndSwitchesIt) {
  Open("PETR");
  EXPECT_EQ(view->NewButton()->toolTip(), "Create new Financial Statement");
  EXPECT_TRUE(main->ToolBar()->isAncestorOf(view->NewButton()));
  ASSERT_EQ(view->UnitsBox()->count(), 3);
  EXPECT_EQ(view->UnitsBox()->itemText(1), "Thousands");
  EXPECT_EQ(view->DecimalsBox()->count(), 5);
  ASSERT_EQ(view->PeriodButtons().size(), 2u);
  EXPECT_EQ(view->PeriodButtons()[1]->text(), "3mo of 2nd\n&& 3rd qtr");
  EXPECT_TRUE(view->PeriodButtons()[0]->isChecked());
  ASSERT_FALSE(view->SourceButtons().empty());
  EXPECT_TRUE(view->SourceButtons()[0]->isVisible()) << "an administrator chooses the source";
  EXPECT_TRUE(view->SourceButtons()[0]->isChecked());
  ASSERT_EQ(view->DocTypeButtons().size(), 2u);
  EXPECT_EQ(view->DocTypeButtons()[1]->width(), 170);
  QTest::mouseClick(view->DocTypeButtons()[1], Qt::LeftButton);
  EXPECT_TRUE(saveQuestions.empty());
  EXPECT_EQ(view->Window().ViewKey().tipoDocumento, 1);
  EXPECT_TRUE(view->DocTypeButtons()[1]->isChecked());
  EXPECT_FALSE(view->DocTypeButtons()[0]->isChecked());
  EXPECT_EQ(view->Window().ColumnCount(), 0) << "Petrobras has no such reports";
  EXPECT_EQ(view->Grid()->horizontalHeader()->sectionSize(0), 4);
  view->DecimalsBox()->setCurrentIndex(2);
  emit view->DecimalsBox()->activated(2);
  EXPECT_EQ(view->Window().Decimals(), 2);
  EXPECT_TRUE(boxes_.empty()) << testing::PrintToString(boxes_);
}

TEST_F(StatementWindowView, ASumTypedInThousandsIsStoredWhole) {
  Open("PETR");
  view->UnitsBox()->setCurrentIndex(1);
  emit view->UnitsBox()->activated(1);
  const int row = RowOfAccount(2);
  ClickCell(kFirstColumn, row);
  answer_ = true;
  Type("=100+20-5");
  QTest::keyClick(Editor(), Qt::Key_Return);
  EXPECT_EQ(QuestionsAsked(), 1);
  EXPECT_EQ(Shown(kFirstColumn, row), "115");
  view->UnitsBox()->setCurrentIndex(0);
  emit view->UnitsBox()->activated(0);
  EXPECT_EQ(Shown(kFirstColumn, row), "115,000");
  EXPECT_EQ(view->Window().HeaderText(kFirstColumn, 3).text, "changed & not saved");
  EXPECT_EQ(view->Window().HeaderText(kFirstColumn, 2).text, "Error") << "the check ran again";
  EXPECT_TRUE(view->Window().HasDataChanged());
}

TEST_F(StatementWindowView, EscapeRestoresTheCell) {
  Open("PETR");
  const int row = RowOfAccount(2);
  ClickCell(kFirstColumn, row);
  Type("999");
  QTest::keyClick(Editor(), Qt::Key_Escape);
  test::ProcessUntil([&] { return Editor() && Editor()->text() == "400"; });
  EXPECT_EQ(Editor()->text(), "400");
  EXPECT_FALSE(view->Window().HasDataChanged());
  EXPECT_EQ(QuestionsAsked(), 0);
}

TEST_F(StatementWindowView, F2FromTheEditorOpensThePicker) {
  Open("PETR");
  ClickCell(kFirstColumn, RowOfAccount(2));
  Type("4");
  ASSERT_TRUE(Editor()->hasFocus());
  QTest::keyClick(Editor(), Qt::Key_F2);
  EXPECT_EQ(picks, 1);
  EXPECT_EQ(Editor()->text(), "4") << "the picker took the key, not the editor";
}

// A switch refused at the save question ("Resume editing") leaves the view and puts the buttons
// back, and no second switch follows.
TEST_F(StatementWindowView, ARefusedSwitchPutsTheButtonsBack) {
  Open("PETR");
  ClickCell(kFirstColumn, RowOfAccount(2));
  answer_ = true;
  Type("450");
  QTest::keyClick(Editor(), Qt::Key_Return);
  ASSERT_TRUE(view->Window().HasDataChanged());
  test::WhenModal([&](QWidget*) { QTest::mouseClick(saveDialog->ResumeButton(), Qt::LeftButton); });
  QTest::mouseClick(view->PeriodButtons().at(1), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(saveQuestions.size(), 1u);
  EXPECT_EQ(view->Window().ViewKey().periodo, kPeriodoFY);
  EXPECT_TRUE(view->PeriodButtons().at(0)->isChecked());
  EXPECT_FALSE(view->PeriodButtons().at(1)->isChecked());
  EXPECT_TRUE(view->Window().HasDataChanged());
  EXPECT_EQ(view->Window().ColumnCount(), 1);
}

// A statement whose check fails: the save question starts on "Resume editing", and "Save changes"
// can still be chosen.
TEST_F(StatementWindowView, TheSaveQuestionOfAStatementWithErrorsStartsOnResumeEditing) {
  Open("VALE");
  ASSERT_TRUE(view->Window().HasDataError());
  ClickCell(kFirstColumn, RowOfAccount(6));
  answer_ = true;
  Type("350");
  QTest::keyClick(Editor(), Qt::Key_Return);
  ASSERT_TRUE(view->Window().HasDataChanged());
  QWidget* focused = nullptr;
  test::WhenModal([&](QWidget*) {
    focused = QApplication::focusWidget();
    QTest::mouseClick(saveDialog->ResumeButton(), Qt::LeftButton);
  });
  chooserAnswer = kChooserKindBase + kKindLog;
  QTest::keyClick(Editor(), Qt::Key_F3);
  EXPECT_EQ(saveQuestions, std::vector<bool>{true});
  EXPECT_EQ(focused, saveDialog->ResumeButton());
  EXPECT_EQ(main->Ctl().Doc(), view) << "resumed";
  test::WhenModal([&](QWidget*) { QTest::mouseClick(saveDialog->SaveButton(), Qt::LeftButton); });
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus ? focus : main.get(), Qt::Key_F3);
  test::ProcessUntil([&] { return main->Ctl().Doc() != view; });
  EXPECT_EQ(StoredValue("VALE", 6), 350);
}

// The header dialog of a new statement: the default pattern, the error line, a key that exists
// asked again under its own title, and the new column current.
TEST_F(StatementWindowView, TheHeaderDialogAsksForANewKey) {
  Open("PETR");
  std::vector<std::string> seen;
  test::WhenModal([&](QWidget* modal) {
    auto* dialog = dynamic_cast<TEditaHeaderBal*>(modal);
    ASSERT_NE(dialog, nullptr);
    seen.push_back(dialog->TitleLine()->text().toStdString());
    seen.push_back(dialog->DateField()->text().toStdString());
    EXPECT_TRUE(dialog->NoButton()->isChecked());
    EXPECT_FALSE(dialog->ErrorLine()->isVisible());
    EXPECT_FALSE(dialog->SourceLine()->isVisible());
    dialog->DateField()->setText("31/13/2023");
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->ErrorLine()->isVisible());
    seen.push_back(dialog->ErrorLine()->text().toStdString());
    dialog->DateField()->setText("31/12/2023");
    dialog->YesButton()->click();
    test::WhenModal([&](QWidget* again) {
      auto* second = dynamic_cast<TEditaHeaderBal*>(again);
      ASSERT_NE(second, nullptr);
      seen.push_back(second->TitleLine()->text().toStdString());
      seen.push_back(second->DateField()->text().toStdString());
      EXPECT_TRUE(second->YesButton()->isChecked());
      second->DateField()->setText("31/12/2024");
      QTest::mouseClick(second->OkButton(), Qt::LeftButton);
    });
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  });
  QTest::mouseClick(view->NewButton(), Qt::LeftButton);
  EXPECT_EQ(seen, (std::vector<std::string>{"Add a new Financial Statement", "dd/MM/yyyy", kHeaderDialogError,
                                            "This financial statement already exists!", "31/12/2023"}));
  ASSERT_EQ(view->Window().ColumnCount(), 2);
  EXPECT_EQ(view->Window().HeaderText(2, 0).text, "31/12/2024");
  EXPECT_EQ(view->CurrentGridCol(), 2);
  EXPECT_FALSE(view->Window().HasDataChanged()) << "a new statement without entries is never written";
}

TEST_F(StatementWindowView, TheHeaderPopupActsOnItsColumn) {
  Open("VALE");
  std::vector<std::string> items;
  QTimer::singleShot(0, [&] {
    test::ProcessUntil([&] { return view->Popup() && view->Popup()->isVisible(); });
    ASSERT_NE(view->Popup(), nullptr);
    for (QAction* action : view->Popup()->actions())
      items.push_back(action->text().toStdString() + (action->isEnabled() ? "" : " (off)"));
    view->Popup()->setActiveAction(view->Popup()->actions().at(2));
    QTest::keyClick(view->Popup(), Qt::Key_Return);
  });
  // A right click on the column's header rows.
  QHeaderView* header = view->Grid()->horizontalHeader();
  const QPoint at(header->sectionViewportPosition(0) + 5, header->height() / 2);
  QContextMenuEvent click(QContextMenuEvent::Mouse, at, header->viewport()->mapToGlobal(at));
  QApplication::sendEvent(header->viewport(), &click);
  EXPECT_EQ(items, (std::vector<std::string>{"Undo changes (off)", "Delete", "Ignore errors", "Resend"}));
  EXPECT_EQ(view->Window().HeaderText(kFirstColumn, 2).text, "Error (ignored)");
  EXPECT_FALSE(view->Window().HasDataError());
}

// The status line names the check's difference of the current cell, in red and plain pieces, and
// empties when the focus leaves the grid for another control.
TEST_F(StatementWindowView, TheStatusLineFollowsTheCurrentCell) {
  Open("VALE");
  ClickCell(kFirstColumn, RowOfAccount(1));
  const std::vector<TStmStatusPiece> pieces = view->Window().Status();
  ASSERT_GE(pieces.size(), 2u);
  for (size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(view->StatusLine()->Text(static_cast<int>(i)).toStdString(), pieces[i].text) << i;
    EXPECT_EQ(view->StatusLine()->IsRed(static_cast<int>(i)), pieces[i].red) << i;
  }
  EXPECT_TRUE(view->StatusLine()->IsRed(1));
  view->DecimalsBox()->setFocus();
  test::ProcessUntil([&] { return view->StatusLine()->Text(0).isEmpty(); });
  EXPECT_TRUE(view->StatusLine()->Text(0).isEmpty());
  EXPECT_EQ(QuestionsAsked(), 0);
  view->Grid()->setFocus();
  test::ProcessUntil([&] { return !view->StatusLine()->Text(0).isEmpty(); });
  EXPECT_EQ(view->StatusLine()->Text(0).toStdString(), pieces[0].text);
}

}  // namespace
}  // namespace zi::desktop
