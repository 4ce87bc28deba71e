// The widgets: where keys go, the in-place editor, the save question and the chooser.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <set>
#include <string>
#include <vector>

#include "desktop/core/desktop_messages.h"
#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/forms.h"
#include "desktop/main_window.h"
#include "main_window_test.h"
#include "support/test_files.h"

namespace zi::desktop {
namespace {

// Three records of four fields in rows; field 1 is skipped by Enter.
class GridWindow : public tMdiChildGrid {
 public:
  const char* ClassName() const override { return "tGridWindow"; }
  int MdiType() const override { return 9; }

  std::vector<std::vector<std::string>> records = {
      {"a0", "b0", "c0", "d0"}, {"a1", "b1", "c1", "d1"}, {"a2", "b2", "c2", "d2"}};
  std::vector<std::string> stores;

 protected:
  void EnterRecord(int) override {}
  bool LeaveRecord() override { return true; }
  TFieldEdit GetFieldEdit(int field) override {
    TFieldEdit edit;
    edit.text = records.at(static_cast<size_t>(CurRecord())).at(static_cast<size_t>(field));
    edit.skip = field == 1;
    return edit;
  }
  void StoreFieldText(int field, const std::string& text) override {
    records.at(static_cast<size_t>(CurRecord())).at(static_cast<size_t>(field)) = text;
    stores.push_back(std::to_string(CurRecord()) + "," + std::to_string(field) + "=" + text);
  }
};

class GridView : public tDocWidget {
 public:
  GridView(QWidget* parent, QWidget* toolbar)
      : tDocWidget(std::make_unique<GridWindow>(), parent, toolbar), window(static_cast<GridWindow&>(Child())) {
    grid = new TMyGrid(this, window, [this](int col, int row) {
      return window.records.at(static_cast<size_t>(row)).at(static_cast<size_t>(col));
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid);
    grid->Reset(3, 4);
    window.CreateToolPanel(true);
    window.AttachGrid(grid);
    window.SetEditMode(tMdiChildGrid::kRecordsInRows);
  }
  GridWindow& window;
  TMyGrid* grid;
};

using test::ProcessUntil;
using test::WhenModal;

class Widgets : public test::MainWindowTest {
 protected:
  TWinMainCtl::THooks Hooks() override {
    TWinMainCtl::THooks hooks = MainWindowTest::Hooks();
    hooks.createWindow = [this](int kind) -> std::unique_ptr<tDocWindow> {
      if (kind != 9) return nullptr;
      auto view = std::make_unique<GridView>(main->findChild<QWidget*>("area"), main->ToolBar());
      gridView = view.get();
      return view;
    };
    return hooks;
  }
  QWidget* Grid() override { return gridView->grid; }

  GridView* gridView = nullptr;
};

TEST_F(Widgets, F3OverAFocusedGridOpensTheChooser) {
  QWidget* editor = OpenGrid();
  ASSERT_NE(dynamic_cast<TMyInplaceEdit*>(editor), nullptr);
  QTest::keyClick(editor, Qt::Key_F3);
  EXPECT_EQ(choosers, 1);
  EXPECT_EQ(main->windowTitle(), "ZorInput 20240410-1131 - User Info");
}

TEST_F(Widgets, ToolPanelInTheToolbarAndAnAddedCompany) {
  OpenGrid();
  QWidget* panel = gridView->ToolPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->parentWidget(), main->ToolBar());
  EXPECT_EQ(panel->geometry().left(), main->NewWinButton()->geometry().right() + 1 + 15);
  auto* undo = panel->findChild<QToolButton*>();
  ASSERT_NE(undo, nullptr);
  EXPECT_FALSE(undo->isEnabled());
  gridView->window.MarkChanged();
  EXPECT_TRUE(undo->isEnabled());
  undo->click();
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_EQ(gridView->window.State(), tMdiChild::kLoaded);
  PostDesktopMessage(kMsgCompanyAdded, 31);
  ProcessUntil([&] { return main->Ctl().CurObj().EmpId == 31; });
  EXPECT_EQ(main->Ctl().CurObj().EmpNome, "Added");
}

TEST_F(Widgets, KeysInsideAModalDialogStayThere) {
  OpenGrid();
  tSaveDialog dialog(main.get());
  WhenModal([](QWidget* modal) {
    QTest::keyClick(modal->focusWidget(), Qt::Key_F3);
    QTest::keyClick(modal->focusWidget(), Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.Ask(false), kMrCancel);
  EXPECT_EQ(choosers, 0);
}

TEST_F(Widgets, InplaceEditorEnterAndEscape) {
  auto* editor = dynamic_cast<TMyInplaceEdit*>(OpenGrid());
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "a0");
  editor->selectAll();
  QTest::keyClicks(editor, "new");
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(gridView->window.stores, std::vector<std::string>{"0,0=new"});
  EXPECT_EQ(gridView->grid->currentIndex().column(), 2) << "field 1 is skipped";
  editor = dynamic_cast<TMyInplaceEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "c0");
  QTest::keyClicks(editor, "zz");
  QTest::keyClick(editor, Qt::Key_Escape);
  QApplication::processEvents();
  editor = dynamic_cast<TMyInplaceEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "c0");
  EXPECT_EQ(editor->selectedText(), "c0");
  EXPECT_EQ(gridView->window.stores.size(), 1u);
}

TEST_F(Widgets, SaveQuestionFocusAndKeys) {
  tSaveDialog dialog(main.get());
  EXPECT_EQ(dialog.windowTitle(), "Warning");
  WhenModal([&](QWidget*) {
    EXPECT_EQ(QApplication::focusWidget(), dialog.SaveButton());
    QTest::keyClick(&dialog, Qt::Key_Return);
  });
  EXPECT_EQ(dialog.Ask(false), kMrYes);
  WhenModal([&](QWidget*) {
    EXPECT_EQ(QApplication::focusWidget(), dialog.ResumeButton());
    QTest::keyClick(&dialog, Qt::Key_Return);
  });
  EXPECT_EQ(dialog.Ask(true), kMrCancel);
  WhenModal([&](QWidget*) { dialog.DiscardButton()->click(); });
  EXPECT_EQ(dialog.Ask(true), kMrNo);
  WhenModal([&](QWidget*) { dialog.close(); });
  EXPECT_EQ(dialog.Ask(false), kMrCancel) << "closed from the title bar";
}

TEST_F(Widgets, ChooserButtonsAndTitleBar) {
  TWinNewwin& chooser = main->Chooser();
  EXPECT_EQ(chooser.windowTitle(), "New Window");
  EXPECT_TRUE(chooser.Button(1007)->isEnabled());
  EXPECT_FALSE(chooser.Button(1005)->isEnabled());
  EXPECT_EQ(chooser.Button(1005)->toolTip(), kNotBuiltTip);
  WhenModal([&](QWidget*) { chooser.close(); });
  EXPECT_EQ(chooser.exec(), kMrCancel);
  WhenModal([&](QWidget*) { QTest::keyClick(&chooser, Qt::Key_Escape); });
  EXPECT_EQ(chooser.exec(), kMrCancel);
  WhenModal([&](QWidget*) { chooser.Button(1007)->click(); });
  EXPECT_EQ(chooser.exec(), 1007);
}

TEST_F(Widgets, LoginDialog) {
  TWinLogin& login = main->LoginDialog();
  EXPECT_EQ(login.windowTitle(), "ZorInput Login");
  EXPECT_EQ(login.PasswordField()->echoMode(), QLineEdit::Password);
  login.SetUser("ana");
  WhenModal([&](QWidget*) { QTest::keyClick(login.PasswordField(), Qt::Key_Escape); });
  EXPECT_FALSE(login.Exec());
  WhenModal([&](QWidget*) {
    QTest::keyClicks(login.PasswordField(), "pw");
    QTest::keyClick(login.PasswordField(), Qt::Key_Return);
  });
  std::string user;
  std::string password;
  EXPECT_TRUE(login.Ask(user, password));
  EXPECT_EQ(password, "pw");
}

TEST_F(Widgets, MessageWindowLinesReplaceThoseBelow) {
  std::unique_ptr<TMessageWindow> window = CreateQtMessageWindow("ZorInput");
  window->SetLine(1, "Setting up");
  window->SetLine(2, "Logging in");
  window->SetLine(3, "Checking version");
  window->SetLine(2, "Getting user info");
  QWidget* shown = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && top->windowTitle() == "ZorInput") shown = top;
  ASSERT_NE(shown, nullptr);
  QStringList lines;
  for (QLabel* label : shown->findChildren<QLabel*>()) lines << label->text();
  EXPECT_EQ(lines, (QStringList{"Setting up", "Getting user info", "", ""}));
  window->Close();
  EXPECT_FALSE(shown->isVisible());
}

TEST_F(Widgets, LogWindowFillsAtItsFirstPaint) {
  int reads = 0;
  tLogView view(nullptr, nullptr, [&](tLogForm::TTable& table) {
    ++reads;
    table.columns = {"id", "tip", "oid", "aux", "date"};
    table.rows = {{"1", "2", "3", "4", "2024/04/08-10:00:00"}};
    return 0;
  });
  view.resize(400, 300);
  EXPECT_EQ(reads, 0);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  ProcessUntil([&] { return reads == 1; });
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(view.Grid()->rowCount(), 1);
  EXPECT_EQ(view.Grid()->item(0, 4)->text(), "2024/04/08-10:00:00");
  // Narrow columns stay narrow, but no value is cut.
  const int narrow = view.Grid()->fontMetrics().horizontalAdvance("-999-");
  EXPECT_EQ(view.Grid()->columnWidth(2), narrow);
  EXPECT_GT(view.Grid()->columnWidth(4), view.Grid()->fontMetrics().horizontalAdvance("2024/04/08-10:00:00"));
  emit view.Grid()->cellDoubleClicked(0, 0);
  ProcessUntil([&] { return reads == 2; });
  EXPECT_EQ(reads, 2);
}

TEST_F(Widgets, ImportWindowReadsTheFileInTheEncodingItsListNames) {
  const std::string file = dir_.File("in.txt");
  test::WriteFile(file, "# S\xC3\xA3o Paulo\n");
  tImpView view(nullptr, nullptr);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  QStringList names;
  for (int i = 0; i < view.EncodingList()->count(); ++i) names << view.EncodingList()->itemText(i);
  EXPECT_EQ(names, (QStringList{"not named (a file that looks like UTF-8 is refused)", "utf-8", "windows-1252"}));
  EXPECT_EQ(view.EncodingList()->currentIndex(), 0);
  view.FileField()->setText(QString::fromStdString(file));

  auto runWith = [&](int encoding) {
    view.ActionList()->setCurrentIndex(0);
    view.EncodingList()->setCurrentIndex(encoding);
    QTest::mouseClick(view.OkayButton(), Qt::LeftButton);
    EXPECT_FALSE(view.EncodingList()->isEnabled()) << "while the run is active";
    ProcessUntil([&] { return !view.Window().Form().RunActive() && !view.Window().IsIdleRunning(); });
    EXPECT_TRUE(view.EncodingList()->isEnabled());
    return view.Pane()->toPlainText();
  };
  EXPECT_THAT(runWith(0).toStdString(), testing::HasSubstr("line:1 Error:99310 the file looks like UTF-8"));
  EXPECT_THAT(boxes_, testing::Contains(testing::HasSubstr("99310")));
  EXPECT_EQ(runWith(1), "check ok, starting import\nend import ok");
  EXPECT_EQ(view.Window().Form().Encoding(), TImportEncoding::Utf8);
}

}  // namespace
}  // namespace zi::desktop
