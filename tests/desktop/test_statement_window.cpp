// The statement window on screen over a demo database: the grid after a load, entries typed into
// the cells and the question asked once whichever way the cell is left, F10, F2 from the editor,
// the view switches, the save question and the header dialog of a new statement.

#include "desktop/statements/statement_window_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/main_window.h"
#include "desktop/statements/statement_grid.h"
#include "desktop/statements/statement_header_dialog.h"
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
  for (const char* date : {"2019-12-31", "2020-12-31", "2021-12-31", "2022-12-31"})
    Server().ExecuteSql(std::string("INSERT INTO Balanco (empresa, dataref, consolidado, sourcedobal, TipoDocumento, meses) "
                                    "SELECT id, julianday('") + date + "') - julianday('1899-12-30'), 1, 0, 0, 12 FROM empresa WHERE cod = 'PETR'");
  main->resize(700, 500);
  Open("PETR");
  ASSERT_EQ(view->Window().ColumnCount(), 5);
  test::ProcessUntil([&] { return view->Window().ColumnLoaded(5); });
  EXPECT_FALSE(view->Window().ColumnLoaded(1)) << "out of sight, not read";
  QTest::keyClick(Editor(), Qt::Key_F10);
  for (int col = 1; col <= 5; ++col) EXPECT_TRUE(view->Window().ColumnLoaded(col)) << col;
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace zi::desktop
