// The share-base window on screen over the demo database's PETR: typing in the grid, the source
// buttons with unsaved edits, and F10 to F12 for administrators and for others.

#include "desktop/catalogue/share_base_window_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/share_base_files.h"
#include "desktop/catalogue/table_editor.h"
#include "desktop/core/window_kinds.h"
#include "desktop/doc_views.h"
#include "desktop/main_window.h"
#include "main_window_test.h"
#include "support/demo_database.h"
#include "support/window_settings.h"

namespace zi::desktop {
namespace {

constexpr int kOrdinariasRow = 2;
constexpr int kIssuedCol = 0;
constexpr int kTreasuryCol = 1;

class ShareBaseWindowView : public test::DemoDatabase {
 protected:
  void SetUp() override {
    DemoDatabase::SetUp();
    oldPath_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
  }
  void TearDown() override {
    main.reset();
    std::filesystem::current_path(oldPath_);
    DemoDatabase::TearDown();
  }
  void OpenPetr() {
    main = std::make_unique<TWinMain>(test::LoggedInHooks());
    ASSERT_NO_FATAL_FAILURE(test::ShowActive(main.get()));
    tObjHierEx petr;
    petr.EmpId = CompanyId("PETR");
    ASSERT_NO_FATAL_FAILURE(test::OpenDocWindow(*main, petr, kKindShareBase, view));
    view->Grid()->setFocus();
    QApplication::processEvents();
  }
  QString CellText(int row, int col) const {
    return view->Grid()->model()->index(row, col).data(Qt::DisplayRole).toString();
  }
  // Types into a cell as a user does: the first key opens the editor, Enter stores the text.
  void TypeInCell(int row, int col, const QString& text) {
    QTableView* grid = view->Grid();
    QApplication::setActiveWindow(main.get());
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, col));
    QTest::keyClicks(grid, text.left(1));
    QApplication::processEvents();
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr) << text.toStdString();
    QTest::keyClicks(editor, text.mid(1));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
  }
  void Key(Qt::Key key) {
    QTest::keyClick(view->Grid(), key);
    QApplication::processEvents();
  }
  QPushButton* SourceButton(const char* caption) const {
    for (QPushButton* button : view->SourceButtons())
      if (button->text() == caption) return button;
    return nullptr;
  }

  test::TWindowSettings settings_;
  std::filesystem::path oldPath_;
  std::unique_ptr<TWinMain> main;
  tBacWinView* view = nullptr;
};

TEST_F(ShareBaseWindowView, ShowsTheClassesByDateAndSlot) {
  OpenPetr();
  EXPECT_EQ(view->windowTitle(), "Number of Shares");
  QAbstractItemModel* model = view->Grid()->model();
  ASSERT_EQ(model->rowCount(), 4);
  ASSERT_EQ(model->columnCount(), 3);
  EXPECT_EQ(model->headerData(0, Qt::Vertical).toString(), "Total");
  EXPECT_EQ(model->headerData(kOrdinariasRow, Qt::Vertical).toString(), QString::fromUtf8("#0002    - Ordinárias"));
  EXPECT_EQ(model->headerData(1, Qt::Vertical, Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::red));
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "31/12/2023\nEmitidas");
  EXPECT_EQ(CellText(kOrdinariasRow, kIssuedCol), "7442454142");
  EXPECT_EQ(model->index(kOrdinariasRow, 2).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::blue));
  EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
  EXPECT_TRUE(model->flags(model->index(kOrdinariasRow, 0)) & Qt::ItemIsEditable);
  EXPECT_EQ(view->NewButton()->text(), "Create new Number Of Shares info");
  EXPECT_TRUE(SourceButton("Local")->isChecked());
  EXPECT_FALSE(SourceButton("SEC")->isChecked());
  EXPECT_FALSE(view->P1FBox()->isHidden());
}

TEST_F(ShareBaseWindowView, ANumberTypedIsStoredAndDerived) {
  OpenPetr();
  TypeInCell(kOrdinariasRow, kTreasuryCol, "1000");
  EXPECT_EQ(CellText(kOrdinariasRow, kTreasuryCol), "1000");
  EXPECT_EQ(CellText(kOrdinariasRow, 2), "7442453142");
  EXPECT_EQ(CellText(1, kTreasuryCol), "1000");
  EXPECT_TRUE(view->Window().HasDataChanged());
  EXPECT_EQ(beeps_, 0);
}

TEST_F(ShareBaseWindowView, ATypoBeepsAndKeepsTheValue) {
  OpenPetr();
  TypeInCell(kOrdinariasRow, kIssuedCol, "74x");
  EXPECT_EQ(beeps_, 1);
  EXPECT_EQ(CellText(kOrdinariasRow, kIssuedCol), "7442454142");
  EXPECT_FALSE(view->Window().HasDataChanged());
}

TEST_F(ShareBaseWindowView, ADashClearsTheSlot) {
  OpenPetr();
  TypeInCell(kOrdinariasRow, kIssuedCol, "-");
  EXPECT_EQ(CellText(kOrdinariasRow, kIssuedCol), "-");
  EXPECT_EQ(beeps_, 0);
  EXPECT_TRUE(view->Window().HasDataChanged());
}

TEST_F(ShareBaseWindowView, ASourceChangeWithUnsavedEditsAsksFirst) {
  OpenPetr();
  TypeInCell(kOrdinariasRow, kTreasuryCol, "1000");
  settings_.saveAnswer = kMrCancel;
  SourceButton("SEC")->click();
  QApplication::processEvents();
  EXPECT_EQ(settings_.saveQuestions, 1);
  EXPECT_TRUE(SourceButton("Local")->isChecked());
  EXPECT_FALSE(SourceButton("SEC")->isChecked());
  EXPECT_EQ(CellText(kOrdinariasRow, kTreasuryCol), "1000");
  settings_.saveAnswer = kMrNo;
  SourceButton("SEC")->click();
  QApplication::processEvents();
  EXPECT_EQ(settings_.saveQuestions, 2);
  EXPECT_TRUE(SourceButton("SEC")->isChecked());
  EXPECT_EQ(view->Grid()->model()->columnCount(), 0);
}

TEST_F(ShareBaseWindowView, UnitsAndDecimalsRedraw) {
  OpenPetr();
  view->UnitList()->setCurrentIndex(1);
  emit view->UnitList()->activated(1);
  view->DecimalsList()->setCurrentIndex(3);
  emit view->DecimalsList()->activated(3);
  EXPECT_EQ(CellText(kOrdinariasRow, kIssuedCol), "7442454.142");
}

TEST_F(ShareBaseWindowView, ANewDateIsAskedAndAddsItsColumns) {
  OpenPetr();
  for (const char* date : {"31/12/2023", "30/06/2024"}) {
    test::WhenModal([date](QWidget* modal) {
      auto* field = modal->findChild<QLineEdit*>();
      ASSERT_NE(field, nullptr);
      EXPECT_EQ(modal->windowTitle(), "Choose date");
      field->setText(date);
      QTest::keyClick(field, Qt::Key_Return);
    });
    view->NewButton()->click();
    QApplication::processEvents();
  }
  EXPECT_EQ(boxes_, (std::vector<std::string>{"Choose date|There is Number Of Shares info on 31/12/2023 already"}));
  ASSERT_EQ(view->Grid()->model()->columnCount(), 6);
  EXPECT_EQ(view->Grid()->model()->headerData(3, Qt::Horizontal).toString(), "30/06/2024\nEmitidas");
  TypeInCell(kOrdinariasRow, 3 + kIssuedCol, "500");
  EXPECT_EQ(CellText(kOrdinariasRow, 3 + kIssuedCol), "500");
}

TEST_F(ShareBaseWindowView, P1FListsTheClassesWithASingleChild) {
  Sql("INSERT INTO BaseAcionaria (emp, dia, source, idclass, total, stattot, emtes, statem, extes, statex) "
      "SELECT id, 37985, 0, 4, 100, 2, 0, 2, 100, 5 FROM empresa WHERE cod = 'PETR'");
  OpenPetr();
  EXPECT_EQ(view->Grid()->model()->rowCount(), 4);
  QTest::mouseClick(view->P1FBox(), Qt::LeftButton);
  QApplication::processEvents();
  ASSERT_EQ(view->Grid()->model()->rowCount(), 5);
  EXPECT_EQ(view->Grid()->model()->headerData(3, Qt::Vertical).toString(), "#0003    - Preferenciais");
  QTest::mouseClick(view->P1FBox(), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(view->Grid()->model()->rowCount(), 4);
}

TEST_F(ShareBaseWindowView, F10OpensTheClassTableForAdministrators) {
  OpenPetr();
  QString title;
  int rows = 0;
  test::WhenModal([&](QWidget* modal) {
    auto* editor = dynamic_cast<tTableEditorDialog*>(modal);
    if (editor) {
      title = editor->windowTitle();
      rows = editor->Grid()->model() ? editor->Grid()->model()->rowCount() : 0;
    }
    modal->close();
  });
  Key(Qt::Key_F10);
  EXPECT_EQ(title, "Classes");
  EXPECT_EQ(rows, 5);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ShareBaseWindowView, F11AndF12ForAdministrators) {
  OpenPetr();
  Key(Qt::Key_F11);
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0].rfind("ZorInput|Confirm report showing inconsistencies for all companies of ", 0), 0u);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "PaiBateComFilhos|PaiBateComFilhos Ok:Y\r\n");
  Key(Qt::Key_F12);
  EXPECT_TRUE(std::filesystem::exists(dir_.File(BacExportFileName(CompanyId("PETR"), 0))));
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].rfind("Number of Shares|Saved to file ", 0), 0u);
}

TEST_F(ShareBaseWindowView, NoF10ToF12ForOthers) {
  LogInAsUser(0);
  OpenPetr();
  bool modalShown = false;
  for (const Qt::Key key : {Qt::Key_F10, Qt::Key_F11, Qt::Key_F12}) {
    QTimer::singleShot(0, [&] {
      if (QApplication::activeModalWidget()) {
        modalShown = true;
        QApplication::activeModalWidget()->close();
      }
    });
    Key(key);
  }
  EXPECT_FALSE(modalShown);
  EXPECT_TRUE(questions_.empty());
  EXPECT_TRUE(boxes_.empty());
  EXPECT_FALSE(std::filesystem::exists(dir_.File(BacExportFileName(CompanyId("PETR"), 0))));
  EXPECT_TRUE(view->P1FBox()->isHidden());
  EXPECT_EQ(view->SourceButtons().size(), 1u);
}

}  // namespace
}  // namespace zi::desktop
